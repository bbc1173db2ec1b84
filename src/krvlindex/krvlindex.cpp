// The content-index library. See krvlindex.h for the contract.
//
// Layout and life of the data:
// - "./index/<id>/text.txt" is the record's text in UTF-8, written to a temporary name and
//   renamed, so it is always whole. It is the source of truth.
// - "./KRVLINDEX" is a Xapian database derived from those folders: one document per record,
//   identified by the term "Q<id>", with the value "<id> <stamp>" in slot 0, where the stamp
//   (size, modification time, inode of text.txt) tells whether the document still matches
//   the folder. Commits are atomic, so a process killed while indexing leaves a store that
//   opens; what it had not committed yet is still in the folders.
// - Before a search runs against changed folders, the store is brought in line with them
//   ("reconcile"): folders it lacks or whose stamp differs are indexed from their text,
//   documents without a folder are removed. This is how a folder copied in from another
//   catalogue becomes searchable, how a lost or damaged store is rebuilt, and how records
//   indexed by a process that was killed before its commit are recovered.
//
// Terms (layout FrequentPairs, see Layout): the words and CJK characters of tokens.h with
// their positions, a word or character its text holds often under its own term ("F" +
// word); pairs of touching CJK characters that are both frequent in the text, with their
// counts only; triples of touching CJK characters that are all among the most frequent
// ones, with positions; and pairs of frequent words that stand side by side ("first
// second"), with their counts only. A word or a quoted phrase whose tokens must stand side
// by side (a CJK run of two or more characters, "e-mail", "exact words") is a phrase query
// on those positions, narrowed first by the pairs and triples; the common shapes need no
// position check where their tokens are frequent: a run of three frequent characters is
// its triple, a longer one the phrase of its triples, two characters or two words the pair
// term where both are frequent. It matches exactly the texts holding those tokens in that
// order, and a CJK run exactly the texts that contain it (what `grep -F` finds). No text
// is read back to confirm a match. A record's document has the record id as its document
// id, so a hit needs no lookup. A store of an older layout
// answers in its own layout until IndexFilesRebuild has built it anew.
//
// Whether the store holds exactly the folders' texts is noted in the store itself (the
// marker of "./index" as it was then), so a process that starts searching need not list
// the folders as long as "./index" is unchanged. A batch of indexing that wrote much ends
// with a compaction of the store. A large batch of new records (IndexFilesPlan) is built on
// every core, in parts that this compaction merges into the store (PartBuilder).
//
// Searching: the program asks for one record at a time, thousands of times with the same
// query, or for every hit at once (SearchIndexedFiles). The first call runs the query once
// over the whole store and keeps every matching record's relevance; the following calls
// look the record up. The kept result is dropped when the query changes, when this process
// changes the index, or when another process has changed the store or the folders
// (checked at most every 100 ms).
#include "krvlindex.h"

#include "textdecode.h"
#include "tokens.h"

#include <xapian.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <algorithm>
#include <atomic>
#include <bitset>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kStore = "KRVLINDEX";
constexpr const char* kIndexDir = "index";
constexpr const char* kTextName = "text.txt";
constexpr size_t kMaxTextBytes = 16u << 20;  // a longer file is indexed in part
// Text indexed since the last commit. A commit rewrites every block of the store that its
// terms fall in, which costs more the larger the store; the postings a writer holds back,
// kept in trees of terms, grow slow to add to. About a megabyte (some eighty texts) costs
// least processor time from a thousand texts to tens of thousands (a fifth less than 256
// KB or 4 MB at 20,000), and keeps the memory low.
constexpr size_t kCommitBytes = 1u << 20;
constexpr unsigned kCommitDocs = 4000;
constexpr auto kCommitInterval = std::chrono::seconds(30);
constexpr auto kChangeCheckInterval = std::chrono::milliseconds(100);
constexpr Xapian::valueno kStampSlot = 0;

// A record id: 1 to 19 decimal digits.
bool ParseId(std::string_view s, std::string& id) {
    if (s.empty() || s.size() > 19) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    id.assign(s);
    return true;
}

// The id of an index folder given as "./index/<id>", "index/<id>" (trailing "/" allowed).
bool IdOfFolder(std::string_view folder, std::string& id) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    while (folder.starts_with("./")) folder.remove_prefix(2);
    if (!folder.starts_with("index/")) return false;
    folder.remove_prefix(6);
    return ParseId(folder, id);
}

// The id named by a search: an index folder, or the bare id.
bool IdOfIndexName(std::string_view name, std::string& id) {
    while (name.size() > 1 && name.back() == '/') name.remove_suffix(1);
    const size_t slash = name.rfind('/');
    if (slash != std::string_view::npos) name.remove_prefix(slash + 1);
    return ParseId(name, id);
}

std::string StampOf(const struct stat& st) {
    char buf[96];
    std::snprintf(buf, sizeof buf, "%lld:%lld.%09ld:%llu", static_cast<long long>(st.st_size),
                  static_cast<long long>(st.st_mtim.tv_sec), st.st_mtim.tv_nsec,
                  static_cast<unsigned long long>(st.st_ino));
    return buf;
}

// Change marker of a file or folder: empty when it does not exist.
std::string MarkerOf(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0) return std::string();
    return StampOf(st);
}

// A new text in a folder that was there already leaves "./index" itself untouched, and so
// its marker: a store noted as in line with the folders would still be taken for it,
// holding the old text (when this process could not write the store, or another process
// notes it in line at the end of a batch it began before). Its modification time is moved
// on, past the one it had even where the clock has not advanced since.
void MoveMarkerOn(const char* path) {
    struct stat st;
    if (::stat(path, &st) != 0) return;
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    struct timespec next = st.st_mtim;
    if (++next.tv_nsec == 1000000000L) {
        next.tv_nsec = 0;
        ++next.tv_sec;
    }
    if (now.tv_sec > next.tv_sec || (now.tv_sec == next.tv_sec && now.tv_nsec > next.tv_nsec)) next = now;
    const struct timespec times[2] = {{0, UTIME_OMIT}, next};
    ::utimensat(AT_FDCWD, path, times, 0);
}

// Reads a regular file. Anything else (a pipe, a socket, a device, a folder) is refused
// by its status before it is opened, and the open does not wait in any case, so no call
// can hang on a pipe that nobody writes.
bool ReadFileCapped(const char* path, size_t cap, std::string& out) {
    out.clear();
    struct stat st;
    if (::stat(path, &st) != 0 || !S_ISREG(st.st_mode)) return false;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return false;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    out.resize(std::min<size_t>(static_cast<size_t>(st.st_size), cap));
    size_t have = 0;
    bool ok = true;
    while (have < out.size()) {
        const ssize_t got = ::read(fd, out.data() + have, out.size() - have);
        if (got > 0)
            have += static_cast<size_t>(got);
        else if (got == 0)
            break;
        else if (errno != EINTR) {
            ok = false;
            break;
        }
    }
    out.resize(have);
    ::close(fd);
    return ok;
}

// Writes data to path through a temporary file and a rename. On success st holds the
// status of the written file.
bool WriteWhole(const std::string& path, const std::string& data, struct stat& st) {
    const std::string tmp = path + ".tmp";
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    size_t done = 0;
    bool ok = true;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno == EINTR)
            continue;
        else {
            ok = false;
            break;
        }
    }
    if (::close(fd) != 0) ok = false;
    if (!ok || ::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return false;
    }
    return ::stat(path.c_str(), &st) == 0;
}

// True when the text gives at least one term (as krvl::Tokenizer cuts it): a CJK
// character, or a run of word characters not longer than a word may be. A text of blanks
// and punctuation is none. Stops at the first term.
bool HasTerms(std::string_view text) {
    krvl::Tokenizer tokens(text);
    krvl::Token t;
    while (tokens.Next(t))
        if (!t.term.empty()) return true;
    return false;
}

// The document id of a record: the record id itself.
std::optional<Xapian::docid> DocidOf(const std::string& id) {
    const unsigned long long v = std::stoull(id);
    if (v == 0 || v > std::numeric_limits<Xapian::docid>::max()) return std::nullopt;
    return static_cast<Xapian::docid>(v);
}

// The documents of db that hold the text of a folder in `folders` (id -> stamp) and sit at
// that record's document id: id -> the stamp they were built from. Every other document
// (of a folder that is gone, misplaced, or all of them when !usable) goes to stale.
std::unordered_map<std::string, std::string> StoredStamps(const Xapian::Database& db,
                                                          const std::unordered_map<std::string, std::string>& folders,
                                                          bool usable, std::vector<Xapian::docid>& stale) {
    std::unordered_map<std::string, std::string> stored;
    for (auto v = db.valuestream_begin(kStampSlot); v != db.valuestream_end(kStampSlot); ++v) {
        const std::string value = *v;
        const size_t sp = value.find(' ');
        const std::string id = value.substr(0, sp);
        // The folders' ids are decimal ids, so DocidOf is only asked for one of them.
        if (usable && sp != std::string::npos && folders.count(id) && DocidOf(id) == std::optional(v.get_docid()))
            stored.emplace(id, value.substr(sp + 1));
        else
            stale.push_back(v.get_docid());
    }
    return stored;
}

// What the store's documents hold beyond the words and CJK characters with their
// positions and the pairs of touching CJK characters. Every layout gives the same answers;
// they differ in how much position checking a query needs.
enum class Layout {
    Plain,
    // Also the triples of touching CJK characters that are all among the most frequent
    // (kFrequentCjk), as terms without positions. The position lists of those characters
    // are the longest of a text, and a run of them (as common a query as any) would have
    // every text checked on them; a run of three such characters is its triple term, and
    // a longer run checks positions only in the texts holding all of its triples.
    FrequentTriples,
    // FrequentTriples with the triples' positions (each at its first character), so that
    // a longer run of frequent characters is a phrase of its overlapping triples, whose
    // position lists are short. And words by how often their text holds them: a word that
    // its text holds at least kFrequentCount times is stored as kFrequentPrefix + word
    // (with its positions), and every two such words that stand side by side also give
    // their pair "first second" (without positions). Two words side by side are then the
    // pair term in the texts where both are frequent, and are checked on positions only in
    // the texts where one of them is not (the plain term of that word lists those texts,
    // and its position list there is short).
    WordPairs,
    // WordPairs with the CJK characters taken as the words are: a character its text
    // holds at least kFrequentCount times is stored as kFrequentPrefix + character, and
    // two touching characters give their pair term only where both are frequent in the
    // text. A text holds most of its pairs once or twice, so the store's documents have a
    // third of the pair terms they had, and indexing takes a third less time; the texts
    // where one of the two characters is not frequent are checked on its short position
    // list, as for words.
    FrequentPairs,
};

constexpr Layout kCurrentLayout = Layout::FrequentPairs;
constexpr unsigned kFrequentCount = 8;
constexpr std::string_view kFrequentPrefix = "F";  // never starts a word: words are lower case

// Whether the layout names words (WordPairs on), and CJK characters (FrequentPairs), by
// how often their text holds them.
bool WordsByCount(Layout layout) { return layout == Layout::WordPairs || layout == Layout::FrequentPairs; }
bool CharsByCount(Layout layout) { return layout == Layout::FrequentPairs; }

// The most frequent characters of Chinese text, most frequent first: together about a
// quarter of a usual text, so that their triples are few beside its other terms.
constexpr std::string_view kFrequentCjk = "的一是在不了有和人这中大为上个国我以要他时来用们生到作地于出就分";

bool IsFrequentCjk(unsigned ch) {
    static const std::bitset<0x10000> set = [] {
        std::bitset<0x10000> s;
        for (Xapian::Utf8Iterator it(kFrequentCjk.data(), kFrequentCjk.size()), end; it != end; ++it) s.set(*it);
        return s;
    }();
    return ch < set.size() && set.test(ch);
}

std::string FrequentTerm(const std::string& word) { return std::string(kFrequentPrefix) + word; }
std::string WordPairTerm(const std::string& first, const std::string& second) { return first + " " + second; }

std::string CjkTerm(std::initializer_list<unsigned> chars) {
    std::string term;
    for (unsigned c : chars) Xapian::Unicode::append_utf8(term, c);
    return term;
}

// Two or three CJK characters as one key (each takes 21 bits, the first the highest).
uint64_t CjkKey(uint64_t a, uint64_t b, uint64_t c = 0) { return (a << 42) | (b << 21) | c; }

Xapian::Document MakeDocument(const std::string& id, std::string_view text, const std::string& stamp, Layout layout) {
    // The terms are gathered first and each is handed to the document once, with all of its
    // positions: the document keeps its terms in a tree of strings, slow to look up once per
    // occurrence. WordPairs also needs to know how often the text holds each word before it
    // can name the word's term.
    using Positions = std::vector<unsigned>;
    std::unordered_map<unsigned, Positions> chars;        // CJK character -> positions
    std::unordered_map<uint64_t, unsigned> charPairs;     // two touching characters -> count
    std::unordered_map<uint64_t, Positions> charTriples;  // three touching frequent ones -> positions of the first
    std::unordered_map<std::string, Positions> words;     // word -> positions
    using Word = std::pair<const std::string, Positions>;
    std::vector<std::pair<const Word*, unsigned>> run;  // the words in order, with their positions
    chars.reserve(512);
    charPairs.reserve(text.size() / 16);
    words.reserve(512);
    // The CJK characters just before the current token that touch it and each other
    // (at most two), earliest first.
    unsigned before[2] = {0, 0};
    int touching = 0;
    unsigned prevPos = 0;
    krvl::Tokenizer tokens(text);
    krvl::Token t;
    while (tokens.Next(t)) {
        if (!t.cjk) {
            if (!t.term.empty()) {
                auto w = words.try_emplace(t.term).first;
                w->second.push_back(t.pos);
                if (WordsByCount(layout)) run.emplace_back(&*w, t.pos);
            }
            touching = 0;
            prevPos = t.pos;
            continue;
        }
        const bool touches = touching > 0 && prevPos + 1 == t.pos;
        chars[t.ch].push_back(t.pos);
        if (touches) ++charPairs[CjkKey(before[1], t.ch)];
        if (touches && touching == 2 && layout != Layout::Plain && IsFrequentCjk(before[0]) &&
            IsFrequentCjk(before[1]) && IsFrequentCjk(t.ch))
            charTriples[CjkKey(before[0], before[1], t.ch)].push_back(t.pos - 2);
        if (touches) {
            before[0] = before[1];
            touching = 2;
        } else {
            touching = 1;
        }
        before[1] = t.ch;
        prevPos = t.pos;
    }

    Xapian::Document doc;
    doc.add_boolean_term("Q" + id);
    auto addPositions = [&doc](const std::string& term, const Positions& positions) {
        for (unsigned pos : positions) doc.add_posting(term, pos);
    };
    auto charOf = [](uint64_t key, int k) { return static_cast<unsigned>((key >> (42 - 21 * k)) & ((1u << 21) - 1)); };
    for (const auto& [c, positions] : chars)
        addPositions(
            CharsByCount(layout) && positions.size() >= kFrequentCount ? FrequentTerm(CjkTerm({c})) : CjkTerm({c}),
            positions);
    for (const auto& [key, count] : charPairs) {
        const unsigned a = charOf(key, 0), b = charOf(key, 1);
        if (CharsByCount(layout) && (chars.at(a).size() < kFrequentCount || chars.at(b).size() < kFrequentCount))
            continue;
        doc.add_term(CjkTerm({a, b}), count);
    }
    for (const auto& [key, positions] : charTriples) {
        const std::string term = CjkTerm({charOf(key, 0), charOf(key, 1), charOf(key, 2)});
        if (WordsByCount(layout))  // from WordPairs on, with their positions
            addPositions(term, positions);
        else
            doc.add_term(term, static_cast<Xapian::termcount>(positions.size()));
    }
    auto frequent = [](const Word* w) { return w->second.size() >= kFrequentCount; };
    for (const auto& [word, positions] : words)
        addPositions(WordsByCount(layout) && positions.size() >= kFrequentCount ? FrequentTerm(word) : word, positions);
    // Two frequent words side by side also give their pair.
    for (size_t k = 1; k < run.size(); ++k)
        if (run[k - 1].second + 1 == run[k].second && frequent(run[k].first) && frequent(run[k - 1].first))
            doc.add_term(WordPairTerm(run[k - 1].first->first, run[k].first->first));
    doc.add_value(kStampSlot, id + " " + stamp);
    doc.set_data(id);
    return doc;
}

// --- Queries -------------------------------------------------------------------------

std::vector<std::string> SplitWords(std::string_view q) {
    std::vector<std::string> words;
    std::string cur;
    for (size_t i = 0; i < q.size();) {
        const unsigned char c = static_cast<unsigned char>(q[i]);
        size_t blank = 0;
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v')
            blank = 1;
        else if (q.substr(i, 3) == "\xE3\x80\x80")
            blank = 3;  // ideographic space
        if (blank) {
            if (!cur.empty()) words.push_back(std::move(cur));
            cur.clear();
            i += blank;
        } else {
            cur += q[i++];
        }
    }
    if (!cur.empty()) words.push_back(std::move(cur));
    return words;
}

// The two characters of a word made of exactly two CJK characters, or nothing.
std::optional<std::pair<unsigned, unsigned>> CjkPair(const std::string& w) {
    Xapian::Utf8Iterator it(w), end;
    unsigned cs[2];
    int n = 0;
    for (; it != end; ++it) {
        if (n == 2 || !krvl::IsCjk(*it)) return std::nullopt;
        cs[n++] = *it;
    }
    if (n != 2) return std::nullopt;
    return std::make_pair(cs[0], cs[1]);
}

// Words of two CJK characters that chain ("中文", "文字") are joined to their run ("中文字").
std::vector<std::string> JoinBigramChains(const std::vector<std::string>& words) {
    std::vector<std::string> out;
    bool lastIsChain = false;
    unsigned lastChar = 0;
    for (const std::string& w : words) {
        const auto pair = CjkPair(w);
        if (pair && lastIsChain && pair->first == lastChar) {
            Xapian::Unicode::append_utf8(out.back(), pair->second);
        } else {
            out.push_back(w);
        }
        lastIsChain = pair.has_value();
        if (pair) lastChar = pair->second;
    }
    return out;
}

// The query of one token: where the layout names it by how often its text holds it,
// either of its two terms.
Xapian::Query TokenQuery(const krvl::Token& t, Layout layout) {
    if (!(t.cjk ? CharsByCount(layout) : WordsByCount(layout))) return Xapian::Query(t.term);
    return Xapian::Query(Xapian::Query::OP_OR, Xapian::Query(t.term), Xapian::Query(FrequentTerm(t.term)));
}

// The term of two tokens side by side: two touching CJK characters, or two words.
std::string PairTerm(const krvl::Token& a, const krvl::Token& b) {
    return a.cjk ? a.term + b.term : WordPairTerm(a.term, b.term);
}

// The query of tokens that must stand in this shape: one term, or a phrase on positions
// (within the span the tokens take in the query, so gaps count as they do in the text),
// narrowed by the pair terms of touching CJK characters and, from FrequentTriples on, by
// the triple terms of the run. Up to WordPairs two touching CJK characters are exactly
// their pair term; three touching frequent ones, exactly their triple term; from WordPairs
// on a longer run of frequent ones, exactly the phrase of its triples, and two words side
// by side (in FrequentPairs also two touching CJK characters), their pair term or (where
// one of them is not frequent in the text) their phrase.
void AddSequence(const std::vector<krvl::Token>& toks, Layout layout, std::vector<Xapian::Query>& parts) {
    std::vector<const krvl::Token*> terms;
    std::vector<std::string> pairs, triples;   // terms every text with the tokens holds
    std::vector<size_t> pairEnds, tripleEnds;  // the token each pair and triple ends with
    // The second of two tokens side by side whose pair term only the texts where both are
    // frequent hold.
    std::vector<size_t> frequentPairEnds;
    unsigned first = 0, last = 0;
    auto adjacent = [&](size_t k) {
        return k > 0 && !toks[k - 1].term.empty() && !toks[k].term.empty() && toks[k - 1].pos + 1 == toks[k].pos;
    };
    auto touching = [&](size_t k) { return adjacent(k) && toks[k - 1].cjk && toks[k].cjk; };
    for (size_t k = 0; k < toks.size(); ++k) {
        if (toks[k].term.empty()) continue;
        if (terms.empty()) first = toks[k].pos;
        last = toks[k].pos;
        terms.push_back(&toks[k]);
        if (touching(k) && CharsByCount(layout)) {
            frequentPairEnds.push_back(k);
        } else if (touching(k)) {
            pairs.push_back(toks[k - 1].term + toks[k].term);
            pairEnds.push_back(k);
        }
        if (layout != Layout::Plain && touching(k) && touching(k - 1) && IsFrequentCjk(toks[k - 2].ch) &&
            IsFrequentCjk(toks[k - 1].ch) && IsFrequentCjk(toks[k].ch)) {
            triples.push_back(toks[k - 2].term + toks[k - 1].term + toks[k].term);
            tripleEnds.push_back(k);
        }
        if (WordsByCount(layout) && adjacent(k) && !toks[k - 1].cjk && !toks[k].cjk) frequentPairEnds.push_back(k);
    }
    if (terms.empty()) return;
    if (terms.size() == 1) {
        parts.push_back(TokenQuery(*terms[0], layout));
        return;
    }
    if (terms.size() == 2 && frequentPairEnds.size() == 1) {
        // Side by side: the pair where both are frequent in the text, else the phrase in
        // the texts where the first, or the second, is not.
        const krvl::Token& a = *terms[0];
        const krvl::Token& b = *terms[1];
        const Xapian::Query infrequentFirst[] = {Xapian::Query(a.term), TokenQuery(b, layout)};
        const Xapian::Query infrequentSecond[] = {Xapian::Query(FrequentTerm(a.term)), Xapian::Query(b.term)};
        parts.emplace_back(
            Xapian::Query::OP_OR, Xapian::Query(PairTerm(a, b)),
            Xapian::Query(
                Xapian::Query::OP_OR,
                Xapian::Query(Xapian::Query::OP_PHRASE, std::begin(infrequentFirst), std::end(infrequentFirst), 2),
                Xapian::Query(Xapian::Query::OP_PHRASE, std::begin(infrequentSecond), std::end(infrequentSecond), 2)));
        return;
    }
    // A pair within a triple narrows no further: a text with the triple has it. Leaving it
    // out spares the query its posting list.
    auto withinTriple = [&](size_t k) {
        return std::any_of(tripleEnds.begin(), tripleEnds.end(), [&](size_t end) { return end == k || end == k + 1; });
    };
    if (!tripleEnds.empty()) {
        std::vector<std::string> kept;
        for (size_t i = 0; i < pairs.size(); ++i)
            if (!withinTriple(pairEnds[i])) kept.push_back(pairs[i]);
        pairs.swap(kept);
        std::erase_if(frequentPairEnds, withinTriple);
    }
    if (terms.size() == 3 && triples.size() == 1) {
        parts.emplace_back(triples[0]);  // made only where the three stand together
        return;
    }
    if (WordsByCount(layout) && terms.size() >= 4 && triples.size() == terms.size() - 2) {
        // A run of frequent characters: its triples, each one position after the other.
        parts.emplace_back(Xapian::Query::OP_PHRASE, triples.begin(), triples.end(), triples.size());
        return;
    }
    for (const std::string& t : triples) parts.emplace_back(t);
    for (const std::string& p : pairs) parts.emplace_back(p);
    // Two tokens side by side stand in the texts with their pair, or with either of them
    // not frequent there.
    for (size_t k : frequentPairEnds)
        parts.emplace_back(
            Xapian::Query::OP_OR, Xapian::Query(PairTerm(toks[k - 1], toks[k])),
            Xapian::Query(Xapian::Query::OP_OR, Xapian::Query(toks[k - 1].term), Xapian::Query(toks[k].term)));
    if (terms.size() == 2 && pairs.size() == 1) {
        // The pair term is only made where the two stand together.
    } else {
        std::vector<Xapian::Query> each;
        for (const krvl::Token* t : terms) each.push_back(TokenQuery(*t, layout));
        parts.emplace_back(Xapian::Query::OP_PHRASE, each.begin(), each.end(), last - first + 1);
    }
}

// The parts of a query: "quoted text" (also in “full-width quotes”) is one phrase; outside
// quotes every word (split at white space) must occur, its own tokens side by side.
Xapian::Query BuildQuery(std::string_view text, Layout layout) {
    std::vector<Xapian::Query> parts;
    std::string outside;
    auto flushWords = [&]() {
        for (const std::string& word : JoinBigramChains(SplitWords(outside)))
            AddSequence(krvl::TokenList(word), layout, parts);
        outside.clear();
    };
    size_t i = 0;
    while (i < text.size()) {
        size_t openLen = 0;
        std::string_view close;
        if (text[i] == '"') {
            openLen = 1;
            close = "\"";
        } else if (text.substr(i, 3) == "\xE2\x80\x9C") {  // “
            openLen = 3;
            close = "\xE2\x80\x9D";  // ”
        }
        if (!openLen) {
            outside += text[i++];
            continue;
        }
        flushWords();
        const size_t start = i + openLen;
        size_t end = text.find(close, start);
        // An unclosed quote runs to the end.
        const std::string_view phrase =
            text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
        // Chained two-character words ("中文 文字 ", the advanced search's form) are joined
        // into their run here too.
        std::string joined;
        for (const std::string& w : JoinBigramChains(SplitWords(phrase))) joined += w + " ";
        AddSequence(krvl::TokenList(joined), layout, parts);
        i = end == std::string_view::npos ? text.size() : end + close.size();
    }
    flushWords();
    if (parts.empty()) return Xapian::Query();
    return Xapian::Query(Xapian::Query::OP_AND, parts.begin(), parts.end());
}

// --- State ---------------------------------------------------------------------------

// The layout of the store's documents ("2": Plain, "3": FrequentTriples, "4": WordPairs,
// "5": FrequentPairs; all with the record id as document id). A new store takes the current layout; a store
// of an unknown layout is rebuilt from the folders in place.
constexpr const char* kLayoutKey = "layout";
constexpr const char* kLayoutPlain = "2";
constexpr const char* kLayoutTriples = "3";
constexpr const char* kLayoutWordPairs = "4";
constexpr const char* kLayoutFrequentPairs = "5";
constexpr const char* kCurrentLayoutValue = kLayoutFrequentPairs;
const std::string kSourcePrefix = "src:";  // metadata key of a record's remembered source
// Metadata: the marker of "./index" when the store last held exactly the folders' texts.
// While "./index" still has that marker, a process starting to search trusts the store
// and lists no folder.
constexpr const char* kFoldersKey = "folders";
// A batch of indexing that wrote at least this many documents, and at least an eighth of
// the store's documents, is followed by a compaction of the store: a store written in
// many commits holds mostly pages that are partly empty or no longer used.
constexpr unsigned kCompactMinDocs = 200;

std::optional<Layout> LayoutOf(const std::string& value) {
    if (value == kLayoutFrequentPairs) return Layout::FrequentPairs;
    if (value == kLayoutWordPairs) return Layout::WordPairs;
    if (value == kLayoutTriples) return Layout::FrequentTriples;
    if (value == kLayoutPlain) return Layout::Plain;
    return std::nullopt;
}

// Building the store on every core: the records of a large batch whose ids all lie above
// every document id of the store are split into as many runs of consecutive ids as there
// are cores, and each run is built into a store of its own ("KRVLINDEX.part<k>") by a
// thread. At the end of the batch the store and the parts are merged by the compaction
// that a large batch ends with anyway (it needs the parts' id ranges apart from each other
// and from the store's). Until then the store notes that it is not in line with the
// folders, so a search of another process, or of the next one after a kill, brings it in
// line from them; the remembered sources go to the store itself as before.
constexpr const char* kPartPrefix = "KRVLINDEX.part";
constexpr const char* kRebuildStore = "KRVLINDEX.rebuild";  // a store of an older layout, rebuilt
constexpr size_t kPartQueueBytes = 1u << 20;                // texts waiting for one part's thread
constexpr unsigned kMaxParts = 8;
constexpr size_t kMinPlanDocs = 64;  // a smaller batch is built in one go

class PartBuilder {
public:
    PartBuilder(std::string dir, Layout layout, size_t commitBytes)
        : dir_(std::move(dir)), layout_(layout), commitBytes_(commitBytes) {
        thread_ = std::thread([this] { Run(); });
    }
    ~PartBuilder() { Close(); }

    const std::string& dir() const { return dir_; }

    // Queues a document (text given) or its removal (text empty); waits while the thread
    // is far behind, so that the texts in memory stay few.
    void Put(Xapian::docid docid, const std::string& id, std::string_view text, const std::string& stamp) {
        std::unique_lock<std::mutex> lock(mu_);
        space_.wait(lock, [&] { return queuedBytes_ < kPartQueueBytes || failed_; });
        queuedBytes_ += text.size();
        queue_.push_back({docid, id, std::string(text), stamp});
        ready_.notify_one();
    }

    // Builds what is queued, commits and closes the part. True when it holds every
    // document given to it.
    bool Close() {
        if (thread_.joinable()) {
            {
                std::lock_guard<std::mutex> lock(mu_);
                closing_ = true;
            }
            ready_.notify_one();
            thread_.join();
        }
        return !failed_;
    }

private:
    struct Item {
        Xapian::docid docid;
        std::string id, text, stamp;
    };

    void Run() {
        std::optional<Xapian::WritableDatabase> db;
        try {
            db.emplace(dir_, Xapian::DB_CREATE_OR_OVERWRITE | Xapian::DB_BACKEND_GLASS);
        } catch (...) {
            Fail();
        }
        size_t pending = 0;
        for (;;) {
            Item item;
            {
                std::unique_lock<std::mutex> lock(mu_);
                ready_.wait(lock, [&] { return !queue_.empty() || closing_; });
                if (queue_.empty()) break;
                item = std::move(queue_.front());
                queue_.pop_front();
                queuedBytes_ -= item.text.size();
            }
            space_.notify_one();
            if (failed_) continue;
            try {
                if (item.text.empty()) {
                    try {
                        db->delete_document(item.docid);
                    } catch (const Xapian::DocNotFoundError&) {
                    }
                } else {
                    db->replace_document(item.docid, MakeDocument(item.id, item.text, item.stamp, layout_));
                    pending += item.text.size();
                    if (pending >= commitBytes_) {
                        db->commit();
                        pending = 0;
                    }
                }
            } catch (...) {
                Fail();
            }
        }
        if (db && !failed_) {
            try {
                db->commit();
                db->close();
            } catch (...) {
                Fail();
            }
        }
    }

    void Fail() {
        std::lock_guard<std::mutex> lock(mu_);
        failed_ = true;
        space_.notify_all();
    }

    std::string dir_;
    Layout layout_;
    size_t commitBytes_;
    std::mutex mu_;
    std::condition_variable ready_, space_;
    std::deque<Item> queue_;
    size_t queuedBytes_ = 0;
    bool closing_ = false;
    std::atomic<bool> failed_{false};
    std::thread thread_;
};

// The parts a process left behind: it was killed before it merged them. Only looked at
// while holding the store's write lock: no live process is building them then.
std::vector<std::string> LeftParts() {
    std::vector<std::string> parts;
    DIR* d = ::opendir(".");
    if (!d) return parts;
    while (struct dirent* e = ::readdir(d))
        if (std::string_view(e->d_name).starts_with(kPartPrefix)) parts.emplace_back(e->d_name);
    ::closedir(d);
    return parts;
}

void RemoveLeftParts() {
    std::error_code ec;
    for (const std::string& p : LeftParts()) std::filesystem::remove_all(p, ec);
}

struct Library {
    std::mutex mu;
    std::string cwd;  // the working directory the state below belongs to

    std::optional<Xapian::WritableDatabase> writer;
    Layout writerLayout = kCurrentLayout;
    unsigned pendingDocs = 0;
    size_t pendingBytes = 0;
    unsigned batchDocs = 0;  // documents written since the last compaction (or start)
    Clock::time_point lastCommit = Clock::now();

    bool needReconcile = true;
    // Records with a text as the last reconcile found them; only when it listed the
    // folders (foldersKnown). Otherwise the store, being in line with them, tells.
    bool foldersKnown = false;
    std::unordered_set<Xapian::docid> folderIds;

    // Markers of "./index" and of the store's version file when the kept result was made.
    std::string indexMarker, storeMarker;
    Clock::time_point lastChangeCheck;

    std::optional<Xapian::Database> reader;
    std::optional<Xapian::Database> sourceReader;  // remembered sources, read without writing

    bool resultValid = false;
    std::string resultQuery;
    std::vector<std::pair<Xapian::docid, float>> result;  // in ascending id order

    // The parts being built for the batch of the plan (PartBuilder), the id range of each,
    // ascending; and whether the store was in line with the folders when the plan began,
    // with the marker "./index" has had since through this process's own changes.
    std::vector<std::unique_ptr<PartBuilder>> parts;
    std::vector<std::pair<Xapian::docid, Xapian::docid>> partRanges;
    bool planInLine = false;
    std::string planMarker;

    // The rebuild of a store of an older layout (Rebuild): the new store, the folders
    // (id, stamp) it still lacks, the marker of "./index" when they were listed, and
    // whether every folder's text could be read.
    std::optional<Xapian::WritableDatabase> rebuildDb;
    std::vector<std::pair<std::string, std::string>> rebuildTodo;
    std::string rebuildMarker;
    bool rebuildListed = false;  // rebuildTodo holds the listing (of this working directory)
    bool rebuildWhole = true;
    std::string rebuildText;

    ~Library() { CloseWriter(); }

    // The part a document of the plan goes to, or -1.
    int PartOf(Xapian::docid docid) const {
        if (parts.size() != partRanges.size()) return -1;
        const auto it = std::lower_bound(partRanges.begin(), partRanges.end(), std::make_pair(docid, docid),
                                         [](const auto& a, const auto& b) { return a.second < b.first; });
        return it != partRanges.end() && it->first <= docid && docid <= it->second
                   ? static_cast<int>(it - partRanges.begin())
                   : -1;
    }

    // Starts building the records of ids on every core, when they are many and all above
    // the store's document ids; writes each one's group (its part, or 0) to groups and
    // returns the number of groups.
    int Plan(const char* const* ids, int count, int* groups) {
        for (int i = 0; i < count; ++i) groups[i] = 0;
        FinishPlan();
        const unsigned cores = std::min(kMaxParts, std::max(1u, std::thread::hardware_concurrency()));
        if (cores < 2 || count < static_cast<int>(kMinPlanDocs) || !OpenWriter()) return 1;
        std::vector<Xapian::docid> docids;
        docids.reserve(static_cast<size_t>(count));
        std::string id;
        for (int i = 0; i < count; ++i) {
            if (!ids[i] || !ParseId(ids[i], id)) continue;
            if (const auto d = DocidOf(id)) docids.push_back(*d);
        }
        std::sort(docids.begin(), docids.end());
        docids.erase(std::unique(docids.begin(), docids.end()), docids.end());
        if (docids.size() < kMinPlanDocs || docids.front() <= writer->get_lastdocid()) return 1;
        const size_t n = std::min<size_t>(cores, docids.size() / (kMinPlanDocs / 2));
        for (size_t k = 0; k < n; ++k)
            partRanges.emplace_back(docids[k * docids.size() / n], docids[(k + 1) * docids.size() / n - 1]);
        // The store does not hold the parts' documents before the merge: it says so.
        const std::string marker = MarkerOf(kIndexDir);
        planInLine = writer->get_metadata(kFoldersKey) == marker;
        planMarker = marker;
        writer->set_metadata(kFoldersKey, std::string());
        writer->commit();
        RemoveLeftParts();
        for (size_t k = 0; k < n; ++k)
            parts.push_back(std::make_unique<PartBuilder>(kPartPrefix + std::to_string(k), writerLayout, kCommitBytes));
        for (int i = 0; i < count; ++i) {
            if (!ids[i] || !ParseId(ids[i], id)) continue;
            if (const auto d = DocidOf(id)) groups[i] = std::max(0, PartOf(*d));
        }
        return static_cast<int>(n);
    }

    // Ends the plan: the parts are built and merged into the store with a compaction. When
    // a part failed, or the merge did, the store keeps saying that it is not in line with
    // the folders, and the next search brings it in line from them.
    void FinishPlan() {
        if (parts.empty()) return;
        bool whole = true;
        std::vector<std::string> built;
        for (auto& p : parts) {
            whole = p->Close() && whole;
            built.push_back(p->dir());
        }
        parts.clear();
        partRanges.clear();
        bool merged = false;
        try {
            if (writer) {
                writer->commit();
                merged = Compact(built);
            }
        } catch (...) {
        }
        std::error_code ec;
        for (const std::string& b : built) std::filesystem::remove_all(b, ec);
        batchDocs = 0;
        if (merged && whole && planInLine && MarkerOf(kIndexDir) == planMarker && OpenWriter()) {
            writer->set_metadata(kFoldersKey, planMarker);
            writer->commit();
        } else if (!merged || !whole) {
            needReconcile = true;
        }
    }

    void CloseWriter() {
        FinishPlan();
        if (!writer) return;
        sourceReader.reset();  // it would not see what the writer wrote
        try {
            writer->commit();
            writer->close();
        } catch (...) {
        }
        writer.reset();
        pendingDocs = 0;
        pendingBytes = 0;
    }

    // Commits and closes the writer; a batch that wrote much is compacted first.
    void FinishBatch() {
        FinishPlan();
        if (!writer) return;
        try {
            writer->commit();
            if (batchDocs >= kCompactMinDocs && batchDocs >= writer->get_doccount() / 8) Compact({});
        } catch (...) {
        }
        batchDocs = 0;
        CloseWriter();
    }

    // Writes a compact copy of the committed store, merged with the given stores (parts
    // whose document ids lie apart from the store's and each other's), and puts it in the
    // store's place, while the writer's lock keeps other writers out. Readers of other
    // processes go on reading the files they have open and see the new store when they
    // next look (its version file is another file). Any failure leaves the store as it was
    // and returns false.
    // With withStore false the copy holds the given stores alone: they replace the store.
    bool Compact(const std::vector<std::string>& with, bool withStore = true) {
        const std::string tmp = std::string(kStore) + ".compact";
        const std::string old = std::string(kStore) + ".old";
        std::error_code ec;
        std::filesystem::remove_all(tmp, ec);
        std::filesystem::remove_all(old, ec);
        try {
            Xapian::Database all;
            if (withStore) all.add_database(*writer);
            for (const std::string& w : with) {
                Xapian::Database part(w);
                if (part.get_doccount() > 0) all.add_database(part);
            }
            all.compact(tmp, Xapian::DBCOMPACT_NO_RENUMBER | Xapian::Compactor::FULL);
        } catch (const Xapian::Error&) {
            std::filesystem::remove_all(tmp, ec);
            return false;
        }
        sourceReader.reset();
        reader.reset();
        if (::rename(kStore, old.c_str()) != 0) {
            std::filesystem::remove_all(tmp, ec);
            return false;
        }
        if (::rename(tmp.c_str(), kStore) != 0) {
            ::rename(old.c_str(), kStore);
            std::filesystem::remove_all(tmp, ec);
            return false;
        }
        try {
            writer->close();
        } catch (...) {
        }
        writer.reset();
        std::filesystem::remove_all(old, ec);
        return true;
    }

    // --- Rebuilding a store of an older layout --------------------------------------------
    //
    // The store of the current layout is built beside the store ("KRVLINDEX.rebuild") from
    // the folders, a step at a time, each step ending with a commit; the store itself goes
    // on answering in its own layout meanwhile. When the new store holds every folder's
    // text, it takes the store's place as a compaction's copy does. A process killed in
    // the middle leaves the store as it was and the new store as far as it got: the next
    // step goes on from there (a document whose stamp still matches its folder is kept).
    // The new store is only open during a step, while this process holds the store's
    // lock, so that no two processes write it.

    // Opens the new store. False when it cannot be written; `fresh` tells that it was
    // made anew.
    bool OpenRebuild(bool& fresh) {
        fresh = false;
        std::error_code ec;
        for (int attempt = 0; attempt < 2 && !rebuildDb; ++attempt) {
            try {
                rebuildDb.emplace(kRebuildStore, Xapian::DB_CREATE_OR_OPEN | Xapian::DB_BACKEND_GLASS);
                if (rebuildDb->get_metadata(kLayoutKey) != kCurrentLayoutValue) {
                    if (rebuildDb->get_doccount() == 0) {
                        rebuildDb->set_metadata(kLayoutKey, kCurrentLayoutValue);
                        fresh = true;
                    } else {
                        // Left by another version: started afresh.
                        rebuildDb.reset();
                        std::filesystem::remove_all(kRebuildStore, ec);
                    }
                }
            } catch (const Xapian::DatabaseLockError&) {
                rebuildDb.reset();
                return false;
            } catch (const Xapian::Error&) {
                // Damaged: started afresh.
                rebuildDb.reset();
                std::filesystem::remove_all(kRebuildStore, ec);
            }
        }
        return rebuildDb.has_value();
    }

    void CloseRebuild() {
        if (!rebuildDb) return;
        try {
            rebuildDb->commit();
            rebuildDb->close();
        } catch (...) {
        }
        rebuildDb.reset();
    }

    // The folders whose text the new store lacks or holds as it was before; removes its
    // documents of folders that are gone.
    void ListRebuildWork() {
        rebuildMarker = MarkerOf(kIndexDir);
        const auto folders = ScanFolders();
        std::vector<Xapian::docid> stale;
        const auto stored = StoredStamps(*rebuildDb, folders, true, stale);
        for (Xapian::docid d : stale) rebuildDb->delete_document(d);
        rebuildTodo.clear();
        for (const auto& f : folders) {
            const auto it = stored.find(f.first);
            if (it == stored.end() || it->second != f.second) rebuildTodo.push_back(f);
        }
        rebuildListed = true;
        rebuildWhole = true;
    }

    // Builds the next listed document into the new store; counts its bytes.
    void RebuildNext(size_t& bytes) {
        const auto [id, stamp] = rebuildTodo.back();
        rebuildTodo.pop_back();
        const auto docid = DocidOf(id);
        if (!docid) return;
        const std::string path = std::string(kIndexDir) + "/" + id + "/" + kTextName;
        if (!ReadFileCapped(path.c_str(), kMaxTextBytes, rebuildText)) {
            rebuildWhole = false;
            return;
        }
        rebuildDb->replace_document(*docid, MakeDocument(id, rebuildText, stamp, kCurrentLayout));
        bytes += rebuildText.size();
        if (bytes >= kCommitBytes) {
            rebuildDb->commit();
            bytes = 0;
        }
    }

    // Builds the next documents of the new store for about `budget` (at least one); when it
    // holds every folder's text, puts it in the store's place. Returns the documents left
    // to build: 0 when the store is in the current layout, -1 when it is held by another
    // process or the new store cannot be written.
    int Rebuild(std::chrono::milliseconds budget) {
        FinishPlan();
        if (!OpenWriter()) return -1;
        std::error_code ec;
        if (writerLayout == kCurrentLayout) {
            // Done, by this process or another: what is left of a new store goes.
            rebuildListed = false;
            rebuildTodo.clear();
            if (std::filesystem::exists(kRebuildStore, ec)) std::filesystem::remove_all(kRebuildStore, ec);
            return 0;
        }
        if (writer->get_doccount() == 0) {
            // Nothing to build: the empty store takes the current layout as it is.
            writer->set_metadata(kLayoutKey, kCurrentLayoutValue);
            writer->commit();
            writerLayout = kCurrentLayout;
            std::filesystem::remove_all(kRebuildStore, ec);
            return 0;
        }
        bool fresh = false;
        if (!OpenRebuild(fresh)) return -1;
        struct Closer {
            Library& lib;
            ~Closer() { lib.CloseRebuild(); }
        } closer{*this};
        if (fresh || !rebuildListed) ListRebuildWork();
        const auto until = Clock::now() + budget;
        size_t bytes = 0;
        for (bool first = true; !rebuildTodo.empty() && (first || Clock::now() < until); first = false)
            RebuildNext(bytes);
        if (!rebuildTodo.empty()) return static_cast<int>(std::min<size_t>(rebuildTodo.size(), INT_MAX));
        // A last look at the folders, under the store's lock, and what changed since the
        // listing; then the remembered sources follow, and the new store takes the store's
        // place.
        const bool wholeSoFar = rebuildWhole;
        ListRebuildWork();
        rebuildWhole = rebuildWhole && wholeSoFar;
        while (!rebuildTodo.empty()) RebuildNext(bytes);
        for (auto k = writer->metadata_keys_begin(kSourcePrefix); k != writer->metadata_keys_end(kSourcePrefix); ++k)
            rebuildDb->set_metadata(*k, writer->get_metadata(*k));
        const bool whole = rebuildWhole && MarkerOf(kIndexDir) == rebuildMarker;
        rebuildDb->set_metadata(kFoldersKey, whole ? rebuildMarker : std::string());
        const bool empty = rebuildDb->get_doccount() == 0;
        CloseRebuild();
        rebuildListed = false;
        Forget();
        needReconcile = !whole;
        if (empty) {
            // No folder has a text any more: the store is emptied in place.
            std::vector<Xapian::docid> all(writer->postlist_begin(""), writer->postlist_end(""));
            for (Xapian::docid d : all) writer->delete_document(d);
            writer->set_metadata(kLayoutKey, kCurrentLayoutValue);
            writer->set_metadata(kFoldersKey, whole ? rebuildMarker : std::string());
            writer->commit();
            writerLayout = kCurrentLayout;
        } else {
            writer->commit();
            if (!Compact({kRebuildStore}, false)) return -1;
        }
        std::filesystem::remove_all(kRebuildStore, ec);
        batchDocs = 0;
        return 0;
    }

    void Forget() {
        resultValid = false;
        result.clear();
    }

    // Follows the process into another working directory (tests do; the program does not).
    void EnterCwd() {
        char buf[4096];
        const char* now = ::getcwd(buf, sizeof buf);
        const std::string dir = now ? now : "";
        if (dir == cwd) return;
        CloseWriter();
        reader.reset();
        sourceReader.reset();
        rebuildListed = false;
        rebuildTodo.clear();
        folderIds.clear();
        foldersKnown = false;
        needReconcile = true;
        batchDocs = 0;
        indexMarker.clear();
        storeMarker.clear();
        Forget();
        cwd = dir;
    }

    // A store left without its name by a compaction that was cut short between its two
    // renames gets its name back.
    static void RecoverSetAside() {
        struct stat st;
        const std::string old = std::string(kStore) + ".old";
        if (::stat(kStore, &st) != 0 && errno == ENOENT && ::stat(old.c_str(), &st) == 0) ::rename(old.c_str(), kStore);
    }

    // Opens the store for writing; false when another process holds it. A store that cannot
    // be opened for another reason is set aside as "KRVLINDEX.damaged" and made anew.
    bool OpenWriter() {
        if (writer) return true;
        RecoverSetAside();
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                writer.emplace(kStore, Xapian::DB_CREATE_OR_OPEN | Xapian::DB_BACKEND_GLASS);
                lastCommit = Clock::now();
                if (AdoptLeftParts()) writer.emplace(kStore, Xapian::DB_OPEN | Xapian::DB_BACKEND_GLASS);
                RemoveLeftParts();
                const auto layout = LayoutOf(writer->get_metadata(kLayoutKey));
                if (layout) {
                    writerLayout = *layout;
                } else {
                    // A new (empty) store is in the current layout from the start; one of
                    // another layout is brought into it from the folders.
                    writerLayout = kCurrentLayout;
                    if (writer->get_doccount() == 0)
                        writer->set_metadata(kLayoutKey, kCurrentLayoutValue);
                    else
                        needReconcile = true;
                }
                return true;
            } catch (const Xapian::DatabaseLockError&) {
                return false;
            } catch (const Xapian::DatabaseError&) {
                if (attempt > 0) return false;
                SetStoreAside();
                needReconcile = true;
            } catch (...) {
                return false;
            }
        }
        return false;
    }

    // Merges into the store what the parts left by a killed process had committed, so that
    // their documents need not be built again from the folders (the store still says it
    // is not in line with them, and the next search compares the stamps). True when the
    // store was replaced (the writer is closed then).
    bool AdoptLeftParts() {
        std::vector<std::string> usable;
        for (const std::string& p : LeftParts()) {
            try {
                Xapian::Database part(p);
                usable.push_back(p);
            } catch (const Xapian::Error&) {
                // Killed before its first commit: nothing to take.
            }
        }
        if (usable.empty()) return false;
        writer->commit();
        needReconcile = true;
        return Compact(usable);
    }

    void CommitIfDue(bool force) {
        if (!writer || (pendingDocs == 0 && !force)) return;
        if (force || pendingDocs >= kCommitDocs || pendingBytes >= kCommitBytes ||
            Clock::now() - lastCommit >= kCommitInterval) {
            writer->commit();
            pendingDocs = 0;
            pendingBytes = 0;
            lastCommit = Clock::now();
        }
    }

    // Adds or replaces the store's document of a record from its folder's text.
    void StoreText(Xapian::docid docid, const std::string& id, std::string_view text, const std::string& stamp) {
        if (const int part = PartOf(docid); part >= 0) {
            parts[static_cast<size_t>(part)]->Put(docid, id, text, stamp);
            ++batchDocs;
            return;
        }
        writer->replace_document(docid, MakeDocument(id, text, stamp, writerLayout));
        ++pendingDocs;
        ++batchDocs;
        pendingBytes += text.size();
        CommitIfDue(false);
    }

    // After this process added or removed a folder: when the store was in line with the
    // folders just before (its marker is `before`), it is still, with the new marker.
    void NoteOwnFolderChange(const std::string& before) {
        if (!writer) return;
        const std::string now = MarkerOf(kIndexDir);
        if (now == before) return;
        if (!parts.empty()) {
            // The store says it is not in line until the parts are merged.
            if (planMarker == before) planMarker = now;
            return;
        }
        if (writer->get_metadata(kFoldersKey) == before) writer->set_metadata(kFoldersKey, now);
    }

    // Remembers the source text of a record (empty: forgets it).
    void NoteSource(const std::string& id, const char* source) {
        if (!OpenWriter()) return;
        writer->set_metadata(kSourcePrefix + id, source ? std::string(source).substr(0, 255) : std::string());
        ++pendingDocs;
        CommitIfDue(false);
    }

    void IndexFrom(const char* file, const char* folder, const char* source) {
        std::string id;
        if (!IdOfFolder(folder, id)) return;
        if (!file || !*file) {
            Delete(id.c_str());
        } else {
            Index(file, folder);
        }
        NoteSource(id, source);
    }

    int Source(const char* idText, char* buffer, int size) {
        std::string id;
        if (!ParseId(idText, id) || size <= 0) return -1;
        const auto docid = DocidOf(id);
        if (!docid) return -1;
        std::string source;
        if (writer) {
            source = writer->get_metadata(kSourcePrefix + id);
        } else {
            RecoverSetAside();
            if (!sourceReader) {
                try {
                    sourceReader.emplace(kStore);
                } catch (const Xapian::Error&) {
                    sourceReader.reset();
                }
            }
            if (sourceReader) source = sourceReader->get_metadata(kSourcePrefix + id);
        }
        if (source.empty()) {
            // An index without a remembered source is its folder's text.
            struct stat st;
            const std::string text = std::string(kIndexDir) + "/" + id + "/" + kTextName;
            return ::stat(text.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? 0 : -1;
        }
        if (source.size() + 1 > static_cast<size_t>(size)) return -1;
        std::memcpy(buffer, source.c_str(), source.size() + 1);
        return static_cast<int>(source.size());
    }

    void Index(const char* file, const char* folder) {
        std::string id;
        if (!IdOfFolder(folder, id)) return;
        const auto docid = DocidOf(id);
        if (!docid) return;
        std::string bytes;
        if (!ReadFileCapped(file, kMaxTextBytes, bytes)) return;
        const std::string text = krvl::DecodeToUtf8(bytes);
        bytes.clear();
        bytes.shrink_to_fit();
        if (!HasTerms(text)) {
            // Nothing to find: the record gets no index (and loses an old one).
            Delete(id.c_str());
            return;
        }
        const std::string dir = std::string(kIndexDir) + "/" + id;
        const std::string before = MarkerOf(kIndexDir);
        ::mkdir(kIndexDir, 0755);
        const bool rewrite = ::mkdir(dir.c_str(), 0755) != 0 && errno == EEXIST;
        struct stat st;
        if (!WriteWhole(dir + "/" + kTextName, text, st)) return;
        if (rewrite) MoveMarkerOn(kIndexDir);
        Forget();
        folderIds.insert(*docid);
        if (OpenWriter()) {
            StoreText(*docid, id, text, StampOf(st));
            NoteOwnFolderChange(before);
        } else {
            needReconcile = true;
        }
    }

    void Delete(const char* idText) {
        std::string id;
        if (!ParseId(idText, id)) return;
        const std::string before = MarkerOf(kIndexDir);
        std::error_code ec;
        std::filesystem::remove_all(std::string(kIndexDir) + "/" + id, ec);
        Forget();
        const auto docid = DocidOf(id);
        if (!docid) return;
        folderIds.erase(*docid);
        if (OpenWriter()) {
            try {
                writer->delete_document(*docid);
            } catch (const Xapian::DocNotFoundError&) {
                // It had no document: nothing to remove.
            }
            if (const int part = PartOf(*docid); part >= 0) parts[static_cast<size_t>(part)]->Put(*docid, id, {}, {});
            writer->set_metadata(kSourcePrefix + id, std::string());
            NoteOwnFolderChange(before);
            ++pendingDocs;
            CommitIfDue(false);
        } else {
            needReconcile = true;
        }
    }

    // The folders with a text, id -> stamp.
    std::unordered_map<std::string, std::string> ScanFolders() {
        std::unordered_map<std::string, std::string> folders;
        DIR* d = ::opendir(kIndexDir);
        if (!d) return folders;
        const int dfd = ::dirfd(d);
        std::string id;
        while (struct dirent* e = ::readdir(d)) {
            if (!ParseId(e->d_name, id)) continue;
            if (e->d_type != DT_DIR && e->d_type != DT_UNKNOWN) continue;
            struct stat st;
            const std::string rel = id + "/" + kTextName;
            if (::fstatat(dfd, rel.c_str(), &st, 0) != 0 || !S_ISREG(st.st_mode)) continue;
            folders.emplace(id, StampOf(st));
        }
        ::closedir(d);
        return folders;
    }

    // True when the store says it holds exactly the folders' texts as "./index" is now,
    // in a layout it can be searched in. Reads the store without writing.
    bool StoreInLine() {
        RecoverSetAside();
        try {
            Xapian::Database db(kStore);
            if (!LayoutOf(db.get_metadata(kLayoutKey))) return false;
            return db.get_metadata(kFoldersKey) == MarkerOf(kIndexDir);
        } catch (const Xapian::Error&) {
            return false;
        }
    }

    // Brings the store in line with the folders (unless it says it is); a store found
    // damaged on the way is set aside and built anew.
    void Reconcile() {
        if (StoreInLine()) {
            needReconcile = false;
            foldersKnown = false;
            folderIds.clear();
            return;
        }
        try {
            ReconcileOnce();
        } catch (const Xapian::DatabaseLockError&) {
            throw;
        } catch (const Xapian::DatabaseError&) {
            writer.reset();
            reader.reset();
            SetStoreAside();
            ReconcileOnce();
        }
    }

    void SetStoreAside() {
        std::error_code ec;
        const std::string aside = std::string(kStore) + ".damaged";
        std::filesystem::remove_all(aside, ec);
        std::filesystem::rename(kStore, aside, ec);
    }

    void ReconcileOnce() {
        const std::string marker = MarkerOf(kIndexDir);
        const auto folders = ScanFolders();
        folderIds.clear();
        for (const auto& f : folders)
            if (const auto docid = DocidOf(f.first)) folderIds.insert(*docid);
        foldersKnown = true;
        if (!OpenWriter()) return;  // tried again before the next search
        const bool sameLayout = LayoutOf(writer->get_metadata(kLayoutKey)).has_value();
        std::vector<Xapian::docid> stale;
        const auto stored = StoredStamps(*writer, folders, sameLayout, stale);
        for (Xapian::docid d : stale) {
            writer->delete_document(d);
            ++pendingDocs;
        }
        std::string text;
        bool whole = true;
        for (const auto& f : folders) {
            auto it = stored.find(f.first);
            if (it != stored.end() && it->second == f.second) continue;
            const auto docid = DocidOf(f.first);
            if (!docid) continue;
            const std::string path = std::string(kIndexDir) + "/" + f.first + "/" + kTextName;
            if (!ReadFileCapped(path.c_str(), kMaxTextBytes, text)) {
                whole = false;
                continue;
            }
            StoreText(*docid, f.first, text, f.second);
        }
        if (!sameLayout) writer->set_metadata(kLayoutKey, kCurrentLayoutValue);
        // Only a store that now holds every folder's text may be trusted without a look.
        writer->set_metadata(kFoldersKey, whole ? marker : std::string());
        CommitIfDue(true);
        needReconcile = false;
    }

    void OpenReader() {
        RecoverSetAside();
        try {
            if (reader)
                reader->reopen();
            else
                reader.emplace(kStore);
        } catch (const Xapian::Error&) {
            reader.reset();
            try {
                reader.emplace(kStore);
            } catch (const Xapian::Error&) {
                reader.reset();
            }
        }
    }

    // Drops the kept result when another process changed the folders or the store; then
    // the store is brought in line with the folders before the next query. While a kept
    // result is being used, this looks at the disk at most every kChangeCheckInterval.
    void NoticeOutsideChanges(bool now) {
        const auto t = Clock::now();
        if (!now && resultValid && t - lastChangeCheck < kChangeCheckInterval) return;
        lastChangeCheck = t;
        if (MarkerOf(kIndexDir) != indexMarker || MarkerOf(StoreVersionFile().c_str()) != storeMarker) {
            needReconcile = true;
            Forget();
        }
    }

    static std::string StoreVersionFile() { return std::string(kStore) + "/iamglass"; }

    void RunQuery(const std::string& query) {
        CloseWriter();  // commits, and lets other processes write between searches
        if (needReconcile) Reconcile();
        CloseWriter();
        indexMarker = MarkerOf(kIndexDir);
        const std::string sm = MarkerOf(StoreVersionFile().c_str());
        if (sm != storeMarker) reader.reset();  // the store may have been replaced: open it afresh
        storeMarker = sm;
        lastChangeCheck = Clock::now();
        result.clear();
        resultQuery = query;
        resultValid = true;
        OpenReader();
        if (!reader) return;
        const auto layout = LayoutOf(reader->get_metadata(kLayoutKey));
        const Xapian::Query q = BuildQuery(query, layout.value_or(kCurrentLayout));
        if (q.empty()) return;
        Xapian::Enquire enquire(*reader);
        enquire.set_query(q);
        enquire.set_docid_order(Xapian::Enquire::ASCENDING);
        const Xapian::MSet mset = enquire.get_mset(0, reader->get_doccount());
        result.reserve(mset.size());
        for (auto m = mset.begin(); m != mset.end(); ++m) {
            if (foldersKnown && !folderIds.count(*m)) continue;
            // BM25 weights are not negative; one is added so that a match always ranks above 0.
            result.emplace_back(*m, static_cast<float>(1.0 + m.get_weight()));
        }
        std::sort(result.begin(), result.end());
    }

    void Prepare(const char* query) {
        const bool kept = resultValid && resultQuery == query;
        NoticeOutsideChanges(!kept);
        if (!resultValid || resultQuery != query) RunQuery(query);
    }

    float Search(const char* name, const char* query) {
        std::string id;
        if (!IdOfIndexName(name, id)) return 0.0f;
        const auto docid = DocidOf(id);
        if (!docid) return 0.0f;
        Prepare(query);
        const auto it = std::lower_bound(result.begin(), result.end(), std::make_pair(*docid, 0.0f));
        return it != result.end() && it->first == *docid ? it->second : 0.0f;
    }

    int SearchAll(const char* query, void (*onHit)(const char*, float, void*), void* context) {
        Prepare(query);
        // A copy: onHit may search again.
        const std::vector<std::pair<Xapian::docid, float>> hits = result;
        char id[16];
        for (const auto& h : hits) {
            std::snprintf(id, sizeof id, "%u", h.first);
            onHit(id, h.second, context);
        }
        return static_cast<int>(hits.size());
    }
};

Library& Lib() {
    static Library lib;
    return lib;
}

}  // namespace

KRVLINDEX_API void IndexFiles(const char* file, const char* folder, bool createStore) {
    (void)createStore;
    if (!file || !folder) return;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        lib.Index(file, folder);
    } catch (...) {
        lib.needReconcile = true;
        lib.writer.reset();
    }
}

KRVLINDEX_API void DeleteFiles(const char* id) {
    if (!id) return;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        lib.Delete(id);
    } catch (...) {
        lib.needReconcile = true;
        lib.writer.reset();
    }
}

KRVLINDEX_API float SearchFiles(const char* index, const char* query) {
    if (!index || !query) return 0.0f;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        return lib.Search(index, query);
    } catch (...) {
        lib.Forget();
        lib.needReconcile = true;
        lib.reader.reset();
        return 0.0f;
    }
}

KRVLINDEX_API int SearchIndexedFiles(const char* query, void (*onHit)(const char* id, float relevance, void* context),
                                     void* context) {
    if (!query || !onHit) return 0;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        return lib.SearchAll(query, onHit, context);
    } catch (...) {
        lib.Forget();
        lib.needReconcile = true;
        lib.reader.reset();
        return 0;
    }
}

KRVLINDEX_API void IndexFilesFrom(const char* file, const char* folder, const char* source) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        if (!folder)
            lib.FinishBatch();
        else
            lib.IndexFrom(file, folder, source);
    } catch (...) {
        lib.needReconcile = true;
        lib.writer.reset();
    }
}

KRVLINDEX_API int IndexFilesPlan(const char* const* ids, int count, int* groups) {
    if (!ids || !groups || count <= 0) return 1;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        return lib.Plan(ids, count, groups);
    } catch (...) {
        lib.needReconcile = true;
        return 1;
    }
}

KRVLINDEX_API int IndexedSource(const char* id, char* buffer, int size) {
    if (!id || !buffer) return -1;
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        return lib.Source(id, buffer, size);
    } catch (...) {
        lib.sourceReader.reset();
        return -1;
    }
}

KRVLINDEX_API int IndexFilesRebuild(int milliseconds) {
    Library& lib = Lib();
    std::lock_guard<std::mutex> lock(lib.mu);
    try {
        lib.EnterCwd();
        return lib.Rebuild(std::chrono::milliseconds(std::max(0, milliseconds)));
    } catch (...) {
        lib.CloseRebuild();
        lib.rebuildListed = false;
        lib.needReconcile = true;
        lib.writer.reset();
        return -1;
    }
}
