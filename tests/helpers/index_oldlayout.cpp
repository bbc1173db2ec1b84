// Test helper: turns the content store "./KRVLINDEX" into a layout an earlier version
// wrote, or tells what the store holds as it is (nothing brought in line with the folders).
//
//   krvlindex_oldlayout downgrade [3]  rewrites the store in layout "2" (no triple terms of
//                                      CJK characters) or "3" (triples without positions);
//                                      both without frequent-word terms or word pairs and
//                                      with nothing noted about the folders; prints nothing
//   krvlindex_oldlayout triples        prints the number of triple terms of all documents
//   krvlindex_oldlayout documents      prints the number of documents, and "in line" when
//                                      the store notes that it holds the folders' texts
//   krvlindex_oldlayout layout         prints the layout the store notes
//   krvlindex_oldlayout pairs          prints the number of distinct pair terms of words
#include <xapian.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Three characters of three UTF-8 bytes each, none of them ASCII.
bool IsTriple(const std::string& term) {
    if (term.size() != 9) return false;
    for (size_t i = 0; i < 9; i += 3)
        if ((static_cast<unsigned char>(term[i]) & 0xF0) != 0xE0) return false;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    try {
        if (mode == "triples") {
            Xapian::Database db("KRVLINDEX");
            long n = 0;
            for (auto d = db.postlist_begin(""); d != db.postlist_end(""); ++d)
                for (auto t = db.termlist_begin(*d); t != db.termlist_end(*d); ++t) n += IsTriple(*t);
            std::printf("%ld\n", n);
            return 0;
        }
        if (mode == "documents") {
            Xapian::Database db("KRVLINDEX");
            std::printf("%u%s\n", db.get_doccount(), db.get_metadata("folders").empty() ? "" : " in line");
            return 0;
        }
        if (mode == "pairs") {
            Xapian::Database db("KRVLINDEX");
            long n = 0;
            for (auto t = db.allterms_begin(); t != db.allterms_end(); ++t) n += (*t).find(' ') != std::string::npos;
            std::printf("%ld\n", n);
            return 0;
        }
        if (mode == "layout") {
            Xapian::Database db("KRVLINDEX");
            std::printf("%s\n", db.get_metadata("layout").c_str());
            return 0;
        }
        if (mode != "downgrade") return 2;
        const std::string layout = argc > 2 ? argv[2] : "2";
        Xapian::WritableDatabase db("KRVLINDEX", Xapian::DB_OPEN);
        std::vector<Xapian::docid> ids;
        for (auto d = db.postlist_begin(""); d != db.postlist_end(""); ++d) ids.push_back(*d);
        for (Xapian::docid id : ids) {
            Xapian::Document doc = db.get_document(id);
            // Triples (with their counts), pairs of words, and frequent words ("F" + word,
            // with their positions): what the earlier layouts lack or hold otherwise.
            std::vector<std::pair<std::string, Xapian::termcount>> triples;
            std::vector<std::string> wordPairs;
            std::vector<std::pair<std::string, std::vector<Xapian::termpos>>> frequent;
            for (auto t = doc.termlist_begin(); t != doc.termlist_end(); ++t) {
                const std::string term = *t;
                if (IsTriple(term))
                    triples.emplace_back(term, t.get_wdf());
                else if (term.find(' ') != std::string::npos)
                    wordPairs.push_back(term);
                else if (term.size() > 1 && term[0] == 'F')
                    frequent.emplace_back(term,
                                          std::vector<Xapian::termpos>(t.positionlist_begin(), t.positionlist_end()));
            }
            for (const auto& t : triples) {
                doc.remove_term(t.first);
                if (layout == "3") doc.add_term(t.first, t.second);
            }
            for (const std::string& t : wordPairs) doc.remove_term(t);
            for (const auto& f : frequent) {
                doc.remove_term(f.first);
                for (Xapian::termpos p : f.second) doc.add_posting(f.first.substr(1), p);
            }
            db.replace_document(id, doc);
        }
        db.set_metadata("layout", layout);
        db.set_metadata("folders", "");
        db.commit();
        return 0;
    } catch (const Xapian::Error& e) {
        std::fprintf(stderr, "%s\n", e.get_msg().c_str());
        return 1;
    }
}
