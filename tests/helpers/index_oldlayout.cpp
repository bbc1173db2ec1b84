// Test helper: turns the content store "./KRVLINDEX" into a layout an earlier version
// wrote, or tells what the store holds as it is (nothing brought in line with the folders).
//
//   krvlindex_oldlayout downgrade [3|4]
//                                      rewrites the store in layout "2" (no triple terms of
//                                      CJK characters), "3" (triples without positions),
//                                      both without frequent-word terms or word pairs, or
//                                      "4" (frequent words and their pairs, but every CJK
//                                      character under its own term and the pair terms of
//                                      all touching characters); with nothing noted about
//                                      the folders; prints nothing
//   krvlindex_oldlayout triples        prints the number of triple terms of all documents
//   krvlindex_oldlayout documents      prints the number of documents, and "in line" when
//                                      the store notes that it holds the folders' texts
//   krvlindex_oldlayout layout         prints the layout the store notes
//   krvlindex_oldlayout pairs          prints the number of distinct pair terms of words
#include <xapian.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace {

// The CJK characters of a term when it is made of nothing else (the store's CJK ranges
// all lie at U+3040 or above; the texts of the tests have no other characters there).
std::vector<unsigned> CjkChars(const std::string& term) {
    std::vector<unsigned> chars;
    for (Xapian::Utf8Iterator it(term), end; it != end; ++it) {
        if (*it < 0x3040) return {};
        chars.push_back(*it);
    }
    return chars;
}

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
            // Triples (with their counts), pairs of words, frequent words and characters
            // ("F" + word, with their positions) and pairs of CJK characters: what the
            // earlier layouts lack or hold otherwise. The CJK characters by position, to
            // make the pairs of all touching ones.
            std::vector<std::pair<std::string, Xapian::termcount>> triples;
            std::vector<std::string> wordPairs, charPairs;
            std::vector<std::pair<std::string, std::vector<Xapian::termpos>>> frequent;
            std::map<Xapian::termpos, std::string> chars;
            for (auto t = doc.termlist_begin(); t != doc.termlist_end(); ++t) {
                const std::string term = *t;
                const bool frequentTerm = term.size() > 1 && term[0] == 'F';
                const size_t cjk = CjkChars(frequentTerm ? term.substr(1) : term).size();
                if (cjk == 1)
                    for (auto p = t.positionlist_begin(); p != t.positionlist_end(); ++p)
                        chars[*p] = frequentTerm ? term.substr(1) : term;
                if (IsTriple(term))
                    triples.emplace_back(term, t.get_wdf());
                else if (cjk == 2 && !frequentTerm)
                    charPairs.push_back(term);
                else if (term.find(' ') != std::string::npos)
                    wordPairs.push_back(term);
                else if (frequentTerm && (layout != "4" || cjk == 1))
                    frequent.emplace_back(term,
                                          std::vector<Xapian::termpos>(t.positionlist_begin(), t.positionlist_end()));
            }
            if (layout != "4") {
                for (const auto& t : triples) {
                    doc.remove_term(t.first);
                    if (layout == "3") doc.add_term(t.first, t.second);
                }
                for (const std::string& t : wordPairs) doc.remove_term(t);
            }
            for (const auto& f : frequent) {
                doc.remove_term(f.first);
                for (Xapian::termpos p : f.second) doc.add_posting(f.first.substr(1), p);
            }
            for (const std::string& t : charPairs) doc.remove_term(t);
            for (const auto& [pos, ch] : chars)
                if (const auto next = chars.find(pos + 1); next != chars.end()) doc.add_term(ch + next->second);
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
