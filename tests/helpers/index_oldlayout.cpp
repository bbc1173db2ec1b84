// Test helper: turns the content store "./KRVLINDEX" into the layout the previous version
// wrote (no triple terms of CJK characters, layout "2", nothing noted about the folders),
// or counts the triple terms in it, or tells what it holds as it is (nothing brought in
// line with the folders).
//
//   krvlindex_oldlayout downgrade     rewrites the store; prints nothing
//   krvlindex_oldlayout triples       prints the number of triple terms of all documents
//   krvlindex_oldlayout documents     prints the number of documents, and "in line" when
//                                     the store notes that it holds the folders' texts
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
        if (mode != "downgrade") return 2;
        Xapian::WritableDatabase db("KRVLINDEX", Xapian::DB_OPEN);
        std::vector<Xapian::docid> ids;
        for (auto d = db.postlist_begin(""); d != db.postlist_end(""); ++d) ids.push_back(*d);
        for (Xapian::docid id : ids) {
            Xapian::Document doc = db.get_document(id);
            std::vector<std::string> triples;
            for (auto t = doc.termlist_begin(); t != doc.termlist_end(); ++t)
                if (IsTriple(*t)) triples.push_back(*t);
            for (const std::string& t : triples) doc.remove_term(t);
            db.replace_document(id, doc);
        }
        db.set_metadata("layout", "2");
        db.set_metadata("folders", "");
        db.commit();
        return 0;
    } catch (const Xapian::Error& e) {
        std::fprintf(stderr, "%s\n", e.get_msg().c_str());
        return 1;
    }
}
