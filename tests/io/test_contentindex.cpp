// The content-index library (krvlindex.h) through its three C functions, and the core's
// wrapper around it.
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "support/officefiles.h"
#include "support/workdir.h"

#include <krvlindex.h>

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <iconv.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace korvel;
namespace fs = std::filesystem;

namespace {

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// utf8 converted to another encoding.
std::string Encode(const char* to, const std::string& utf8) {
    iconv_t cd = iconv_open(to, "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << to;
    std::string out(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t oLeft = out.size();
    EXPECT_NE(iconv(cd, &in, &inLeft, &o, &oLeft), static_cast<size_t>(-1)) << to;
    iconv_close(cd);
    out.resize(out.size() - oLeft);
    return out;
}

// Indexes text (as given bytes) as record id.
void IndexText(const std::string& id, const std::string& bytes) {
    fs::create_directories("src");
    const std::string file = "src/" + id + ".txt";
    WriteBytes(file, bytes);
    IndexFiles(file.c_str(), ("./index/" + id).c_str(), !fs::exists("KRVLINDEX"));
}

float Rank(const std::string& id, const std::string& query) { return SearchFiles(id.c_str(), query.c_str()); }

// The ids among `ids` that the query matches.
std::set<std::string> Matches(const std::vector<std::string>& ids, const std::string& query) {
    std::set<std::string> out;
    for (const auto& id : ids)
        if (SearchFiles(("./index/" + id).c_str(), query.c_str()) > 0) out.insert(id);
    return out;
}

bool IsCjkUnit(char16_t u) {
    return (u >= 0x3040 && u <= 0x318F) || (u >= 0x3300 && u <= 0x337F) || (u >= 0x3400 && u <= 0x3D2D) ||
           (u >= 0x4E00 && u <= 0x9FFF) || (u >= 0xF900 && u <= 0xFAFF) || (u >= 0xAC00 && u <= 0xD7AF);
}

// The query of the advanced search: each CJK run becomes its overlapping two-character
// words, each followed by a blank; a lone CJK character vanishes.
std::string AdvancedForm(const std::string& typed) {
    const QString q = QString::fromStdString(typed);
    QString out;
    for (qsizetype i = 0; i < q.size(); ++i) {
        const char16_t c = q[i].unicode();
        if (!IsCjkUnit(c)) {
            out += q[i];
        } else if (i + 1 < q.size() && IsCjkUnit(q[i + 1].unicode())) {
            out += q[i];
            out += q[i + 1];
            out += u' ';
        }
    }
    return out.toStdString();
}

}  // namespace

TEST(ContentIndex, LibraryExportsOnlyItsOwnFunctions) {
    QString out;
    ASSERT_EQ(RunCommand(QStringLiteral("nm -D --defined-only \"%1\"").arg(KRVLINDEX_LIB), out), 0);
    QStringList names;
    for (const QString& line : out.split(u'\n', Qt::SkipEmptyParts)) names << line.split(u' ').last();
    names.sort();
    EXPECT_EQ(names, (QStringList{"DeleteFiles", "IndexFiles", "IndexFilesFrom", "IndexFilesPlan", "IndexFilesRebuild",
                                  "IndexedSource", "SearchFiles", "SearchIndexedFiles"}));
}

TEST(ContentIndex, PlainTextEncodingsAreDetected) {
    TempWorkDir w;
    const std::string simplified = "内容索引的测试 hello Wörld\n第二行：中文文本。\n";
    const std::string traditional = "內容索引的測試 hello Wörld\n第二行：中文文本。\n";
    const std::string pureCjk = "内容索引测试中文文本";
    struct Case {
        const char* name;
        std::string bytes;
        std::string text;   // the text as the index folder keeps it
        std::string query;  // a run that must be found
        // clang-format off
    } cases[] = {
        {"utf-8", simplified, simplified, "索引的测"},
        {"utf-8 with mark", "\xEF\xBB\xBF" + simplified, simplified, "索引的测"},
        {"utf-16le with mark", "\xFF\xFE" + Encode("UTF-16LE", simplified), simplified, "索引的测"},
        {"utf-16be with mark", "\xFE\xFF" + Encode("UTF-16BE", simplified), simplified, "索引的测"},
        {"utf-16le", Encode("UTF-16LE", simplified), simplified, "索引的测"},
        {"utf-16be", Encode("UTF-16BE", simplified), simplified, "索引的测"},
        {"utf-16le without ascii", Encode("UTF-16LE", pureCjk), pureCjk, "中文"},
        {"gb18030", Encode("GB18030", simplified), simplified, "索引的测"},
        {"gbk", Encode("GBK", "文件的内容：中国人民银行 report"), "文件的内容：中国人民银行 report", "人民银行"},
        {"gb2312 short", Encode("GB2312", "中文"), "中文", "中文"},
        {"big5", Encode("BIG5", "內容索引的測試 hello\n第二行：中文文本。\n"), "內容索引的測試 hello\n第二行：中文文本。\n", "索引的測"},
        {"big5 long", Encode("BIG5", traditional.substr(0, traditional.find('W')) + "繁體中文資料庫"), "", "體中文資"},
    };
    // clang-format on
    int id = 1;
    for (const auto& c : cases) {
        const std::string sid = std::to_string(id++);
        IndexText(sid, c.bytes);
        EXPECT_GT(Rank(sid, c.query), 0.0f) << c.name;
        EXPECT_EQ(Rank(sid, "zzz " + c.query), 0.0f) << c.name;
        if (!c.text.empty()) {
            EXPECT_EQ(ReadBytes("index/" + sid + "/text.txt"), c.text) << c.name;
        }
    }
    EXPECT_GT(Rank("1", "HELLO"), 0.0f);  // letter case is ignored
    EXPECT_GT(Rank("1", "wörld"), 0.0f);
}

TEST(ContentIndex, CjkRunsMatchExactlyWhatGrepFinds) {
    TempWorkDir w;
    // clang-format off
    const std::vector<std::string> texts = {
        "我们的中文字体很好看。",                // the run 中文字
        "中文 文字 都在这里，但不连着。",        // both bigrams of 中文字, not the run
        "中文\n字体",                            // broken by a line end
        "中文、字体和文字",                      // broken by punctuation
        "abc中文字def 混合",                     // inside Latin letters
        "字中文，文字中",                        // the characters in another order
        "中文文字",                              // 中文 and 文字 joined through 文文
        "完全无关的内容 unrelated",
        "人民银行发布通知，人民币汇率",
        "银行人民",
        "哈哈哈哈",
        "哈哈 哈",
        "Ünïcödé straße and 日本語のテキスト",
        "한국어 텍스트 입니다",
    };
    // clang-format on
    std::vector<std::string> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
        ids.push_back(std::to_string(i + 1));
        IndexText(ids.back(), texts[i]);
    }
    // clang-format off
    const std::vector<std::string> runs = {
        "中文字", "中文", "文字", "文文", "中文字体", "人民银行", "银行人民", "民银",
        "哈哈哈", "哈哈哈哈哈", "日本語", "のテキ", "한국어", "国어", "字中",
    };
    // clang-format on
    for (const auto& run : runs) {
        std::set<std::string> grep;
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i].find(run) != std::string::npos) grep.insert(ids[i]);
        EXPECT_EQ(Matches(ids, run), grep) << "typed: " << run;
        EXPECT_EQ(Matches(ids, AdvancedForm(run)), grep) << "advanced: " << AdvancedForm(run);
    }
    // The fixture has the case that matters: both bigrams present, the run absent.
    EXPECT_EQ(Matches(ids, "中文字"), (std::set<std::string>{"1", "5"}));

    // A lone CJK character finds the texts holding it.
    EXPECT_EQ(Matches(ids, "银"), (std::set<std::string>{"9", "10"}));
    // Several words: all must occur.
    EXPECT_EQ(Matches(ids, "中文 字体"), (std::set<std::string>{"1", "3", "4"}));
    EXPECT_EQ(Matches(ids, AdvancedForm("人民 通知")), (std::set<std::string>{"9"}));
    EXPECT_EQ(Matches(ids, "abc 混合"), (std::set<std::string>{"5"}));
    EXPECT_EQ(Matches(ids, "abc unrelated"), (std::set<std::string>{}));
    EXPECT_EQ(Matches(ids, "STRASSE"), (std::set<std::string>{}));
    EXPECT_EQ(Matches(ids, "Straße"), (std::set<std::string>{"13"}));
    // Nothing to search for finds nothing.
    EXPECT_EQ(Matches(ids, ""), (std::set<std::string>{}));
    EXPECT_EQ(Matches(ids, " ，。 "), (std::set<std::string>{}));
}

// Runs of the most frequent characters (the ones whose positions a common query would have
// to check in every text) match exactly what grep finds, also where the text holds every
// pair of the run but not the run.
TEST(ContentIndex, RunsOfFrequentCharactersMatchExactlyWhatGrepFinds) {
    TempWorkDir w;
    // clang-format off
    const std::vector<std::string> texts = {
        "的一是在不了",            // the runs whole
        "的一 是在",               // 的一 and 是在, apart
        "一是的一",                // 一是 and 的一 but not 的一是
        "的一，是",                // broken by punctuation
        "在的一是",                // at the end of a run
        "abc的一是def",            // inside Latin letters
        "是的一是的一是",          // repeated, overlapping
        "这是中国人的一天",
        "的一量子的一是在",        // a rare character among them
        "的\n一是",               // broken by a line end
        "的一是 在不了 的一是在不",
    };
    // clang-format on
    std::vector<std::string> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
        ids.push_back(std::to_string(i + 1));
        IndexText(ids.back(), texts[i]);
    }
    const std::vector<std::string> runs = {"的一是", "一是在",     "的一是在", "的一是在不", "是的一",  "是的一是",
                                           "的一量", "量子的一是", "人的一天", "一是的",     "是在不了"};
    for (const auto& run : runs) {
        std::set<std::string> grep;
        for (size_t i = 0; i < texts.size(); ++i)
            if (texts[i].find(run) != std::string::npos) grep.insert(ids[i]);
        EXPECT_EQ(Matches(ids, run), grep) << "typed: " << run;
        EXPECT_EQ(Matches(ids, AdvancedForm(run)), grep) << "advanced: " << AdvancedForm(run);
        EXPECT_EQ(Matches(ids, "\"" + run + "\""), grep) << "quoted: " << run;
    }
    EXPECT_EQ(Matches(ids, "的一是"), (std::set<std::string>{"1", "5", "6", "7", "9", "11"}));
    // In a phrase with words, and as one of several words.
    EXPECT_EQ(Matches(ids, "\"abc 的一是\""), (std::set<std::string>{"6"}));
    EXPECT_EQ(Matches(ids, "\"的一是 def\""), (std::set<std::string>{"6"}));
    EXPECT_EQ(Matches(ids, "\"def 的一是\""), (std::set<std::string>{}));
    EXPECT_EQ(Matches(ids, "abc 的一是"), (std::set<std::string>{"6"}));
    EXPECT_EQ(Matches(ids, "的一是 在不了"), (std::set<std::string>{"1", "11"}));
}

TEST(ContentIndex, QuotedPhrasesMatchTheWordsInThatOrder) {
    TempWorkDir w;
    // clang-format off
    const std::vector<std::string> texts = {
        "the quick brown fox jumps",            // 1: the phrase
        "brown quick: the decoy has both",      // 2: both words, other order
        "quick, brown and more",                // 3: punctuation between is no word
        "quick red brown",                      // 4: another word between
        "报告：quick brown 中文字 end",          // 5: mixed
        "QUICK BROWN in capitals",              // 6
        "quick\nbrown across a line end",       // 7
        "中文 字 quick",                          // 8: the characters apart
    };
    // clang-format on
    std::vector<std::string> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
        ids.push_back(std::to_string(i + 1));
        IndexText(ids.back(), texts[i]);
    }
    using S = std::set<std::string>;
    struct Case {
        const char* query;
        S expected;
        // clang-format off
    } cases[] = {
        {"\"quick brown\"", S{"1", "3", "5", "6", "7"}},
        {"quick brown", S{"1", "2", "3", "4", "5", "6", "7"}},  // unquoted: all words, any order
        {"\"brown quick\"", S{"2"}},
        {"\xE2\x80\x9Cquick brown\xE2\x80\x9D", S{"1", "3", "5", "6", "7"}},  // full-width quotes
        {"\"brown 中文字\"", S{"5"}},
        {"\"brown 中文 文字 \"", S{"5"}},  // the advanced search's form of the same
        {"\"quick brown 中文\"", S{"5"}},
        {"\"中文字 end\"", S{"5"}},
        {"\"字 quick\"", S{"8"}},
        {"\"quick brown\" fox", S{"1"}},
        {"\"quick brown\" 报告", S{"5"}},
        {"\"quick red\" \"red brown\"", S{"4"}},
        {"\"quick brown", S{"1", "3", "5", "6", "7"}},  // an unclosed quote runs to the end
        {"\"\"", S{}},
    };
    // clang-format on
    for (const auto& c : cases) EXPECT_EQ(Matches(ids, c.query), c.expected) << c.query;

    // Every hit at once, in id order, with the relevance of the one-record form.
    std::vector<std::pair<std::string, float>> all;
    const int n = SearchIndexedFiles(
        "\"quick brown\"",
        [](const char* id, float rank, void* ctx) {
            static_cast<std::vector<std::pair<std::string, float>>*>(ctx)->emplace_back(id, rank);
        },
        &all);
    ASSERT_EQ(n, 5);
    std::vector<std::string> allIds;
    for (const auto& h : all) {
        allIds.push_back(h.first);
        EXPECT_FLOAT_EQ(h.second, Rank(h.first, "\"quick brown\""));
    }
    EXPECT_EQ(allIds, (std::vector<std::string>{"1", "3", "5", "6", "7"}));
}

TEST(ContentIndex, TextWithoutWordsLeavesNoIndexFolder) {
    TempWorkDir w;
    IndexText("1", "words here");
    ASSERT_TRUE(fs::exists("index/1"));
    for (const char* empty : {"", "  \n\t", " ，。！ --- "}) {
        IndexText("2", empty);
        EXPECT_FALSE(fs::exists("index/2")) << empty;
    }
    // A record whose text is replaced by none loses its index.
    IndexText("1", "\n");
    EXPECT_FALSE(fs::exists("index/1"));
    EXPECT_EQ(Rank("1", "words"), 0.0f);
}

TEST(ContentIndex, RelevanceGrowsWithTheMatch) {
    TempWorkDir w;
    IndexText("1", "apple banana cherry date elder fig grape");
    IndexText("2", "apple apple apple banana apple fig apple");
    IndexText("3", "banana cherry date elder fig grape honey");
    const float one = Rank("1", "apple"), many = Rank("2", "apple");
    EXPECT_GT(one, 0.0f);
    EXPECT_GT(many, one);
    EXPECT_EQ(Rank("3", "apple"), 0.0f);
    // Both forms of the index name give the same value.
    EXPECT_EQ(Rank("./index/2", "apple"), many);
    EXPECT_EQ(Rank("index/2/", "apple"), many);

    const auto hits = ContentIndex::Search("apple", {"3", "1", "2", "99"});
    ASSERT_EQ(hits.size(), 2u);
    EXPECT_EQ(hits[0].id, "2");
    EXPECT_EQ(hits[1].id, "1");
}

TEST(ContentIndex, DeleteAndReindex) {
    TempWorkDir w;
    IndexText("7", "old words of the first version 旧版本");
    IndexText("8", "old words elsewhere");
    EXPECT_GT(Rank("7", "first"), 0.0f);
    EXPECT_GT(Rank("7", "旧版本"), 0.0f);

    // Indexing again replaces the text: old words no longer match.
    IndexText("7", "the second version 新版本");
    EXPECT_EQ(Rank("7", "first"), 0.0f);
    EXPECT_EQ(Rank("7", "旧版本"), 0.0f);
    EXPECT_GT(Rank("7", "second 新版本"), 0.0f);

    DeleteFiles("7");
    EXPECT_FALSE(fs::exists("index/7"));
    EXPECT_EQ(Rank("7", "second"), 0.0f);
    EXPECT_EQ(Rank("./index/7", "second"), 0.0f);
    EXPECT_GT(Rank("8", "old"), 0.0f);

    // A fresh process (another opening of the store) does not see it either.
    QString out;
    EXPECT_EQ(RunCommand("sh -c \"ls index\"", out), 0);
    EXPECT_EQ(out, "8\n");

    // Ids that are not decimal numbers touch nothing.
    fs::create_directories("keep");
    DeleteFiles("../keep");
    DeleteFiles("");
    DeleteFiles("8 ");
    EXPECT_TRUE(fs::exists("keep"));
    EXPECT_TRUE(fs::exists("index/8/text.txt"));
    EXPECT_EQ(Rank("../8", "old"), Rank("8", "old"));
    EXPECT_EQ(Rank("8x", "old"), 0.0f);
    IndexFiles("src/8.txt", "./elsewhere/9", false);
    IndexFiles("src/8.txt", "./index/../9", false);
    IndexFiles("src/no-such-file.txt", "./index/10", false);
    EXPECT_FALSE(fs::exists("elsewhere"));
    EXPECT_FALSE(fs::exists("9"));
    EXPECT_FALSE(fs::exists("index/10"));
}

// A record indexed again while another process holds the store's write lock gets its new
// text in its folder only. A process that starts searching afterwards must not take the
// store for in line with the folders: it finds the new text, not the old one.
TEST(ContentIndex, ATextRewrittenWhileAnotherProcessWritesTheStoreIsNotMissed) {
    TempWorkDir w;
    IndexText("1", "alpha words");
    IndexText("2", "other words");
    ASSERT_GT(Rank("1", "alpha"), 0.0f);  // the store is in line with the folders now

    // Another process holds the store's write lock.
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        const int fd = ::open("KRVLINDEX/flintlock", O_RDWR | O_CREAT, 0644);
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        const char answer = fd >= 0 && ::fcntl(fd, F_SETLK, &lock) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();
        _exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ::close(ready[0]);
    ::close(ready[1]);
    IndexText("1", "beta words");
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    ASSERT_EQ(answer, 'y');
    EXPECT_EQ(ReadBytes("index/1/text.txt"), "beta words");

    const auto hits = [](const char* query) {
        QString out;
        EXPECT_EQ(RunCommand(QStringLiteral("\"%1\" search %2").arg(KRVLINDEX_WRITER, query), out), 0);
        return out;
    };
    EXPECT_EQ(hits("beta"), "1\n");
    EXPECT_EQ(hits("alpha"), "");
    EXPECT_EQ(hits("words"), "1\n2\n");
    // And this process, which could not write the store, finds the same.
    EXPECT_GT(Rank("1", "beta"), 0.0f);
    EXPECT_EQ(Rank("1", "alpha"), 0.0f);
}

TEST(ContentIndex, CopiedIndexFolderIsSearchableInAnotherWorkingFolder) {
    TempWorkDir first;
    IndexText("3", "synchronised record 同步的记录");
    const QString from = first.path();
    TempWorkDir second;
    IndexText("1", "a record of the second catalogue");
    EXPECT_GT(Rank("1", "second"), 0.0f);
    fs::copy(FsPath(from + "/index/3"), "index/42", fs::copy_options::recursive);
    EXPECT_GT(Rank("42", "同步的记录"), 0.0f);
    EXPECT_GT(Rank("./index/42", "synchronised"), 0.0f);
    EXPECT_EQ(Rank("1", "synchronised"), 0.0f);

    // A folder removed by hand leaves the results too (at the next query; a kept result
    // looks at the disk again after at most 100 ms).
    fs::remove_all("index/42");
    EXPECT_EQ(Rank("42", "synchronised record"), 0.0f);
    EXPECT_GT(Rank("1", "record"), 0.0f);
}

TEST(ContentIndex, LostOrDamagedStoreIsRebuiltFromTheFolders) {
    TempWorkDir w;
    IndexText("1", "first text");
    IndexText("2", "second text");
    EXPECT_GT(Rank("1", "first"), 0.0f);
    fs::remove_all("KRVLINDEX");
    EXPECT_GT(Rank("2", "second"), 0.0f);
    EXPECT_GT(Rank("1", "text"), 0.0f);

    // A store whose files were overwritten with garbage.
    for (const auto& e : fs::directory_iterator("KRVLINDEX"))
        if (e.path().extension() == ".glass") WriteBytes(e.path().string(), std::string(100, 'x'));
    IndexText("3", "third text");
    EXPECT_GT(Rank("3", "third"), 0.0f);
    EXPECT_GT(Rank("1", "first"), 0.0f);
}

// A batch that writes many documents ends with the store compacted in place: everything
// in it (texts, remembered sources) is still there, a search kept from before the batch
// sees the new store, and no working copy is left. A compaction cut short between its
// renames leaves the store under its side name; the next use takes it back, sources and
// all (a rebuild from the folders would have lost the sources).
TEST(ContentIndex, ALargeBatchEndsWithACompactStoreThatKeepsEverything) {
    TempWorkDir w;
    IndexText("1", "before the batch");
    EXPECT_GT(Rank("1", "before"), 0.0f);
    fs::create_directories("src");
    const int n = 300;
    for (int i = 2; i <= n; ++i) {
        const std::string file = "src/" + std::to_string(i) + ".txt";
        WriteBytes(file, "batch text w" + std::to_string(i) + " 的一是在 common words");
        IndexFilesFrom(file.c_str(), ("./index/" + std::to_string(i)).c_str(), ("source " + std::to_string(i)).c_str());
    }
    IndexFilesFrom(nullptr, nullptr, nullptr);
    EXPECT_FALSE(fs::exists("KRVLINDEX.compact"));
    EXPECT_FALSE(fs::exists("KRVLINDEX.old"));

    auto check = [&](const char* when) {
        EXPECT_GT(Rank("1", "before"), 0.0f) << when;
        int hits = SearchIndexedFiles(
            "的一是在", [](const char*, float, void*) {}, nullptr);
        EXPECT_EQ(hits, n - 1) << when;
        for (int i : {2, 150, n}) {
            EXPECT_GT(Rank(std::to_string(i), "w" + std::to_string(i)), 0.0f) << when << " " << i;
            char buf[64];
            ASSERT_GT(IndexedSource(std::to_string(i).c_str(), buf, sizeof buf), 0) << when << " " << i;
            EXPECT_EQ(std::string(buf), "source " + std::to_string(i)) << when;
        }
        char none[8];
        EXPECT_EQ(IndexedSource("1", none, sizeof none), 0) << when;  // indexed without a source
    };
    check("after the batch");

    // Cut short between the renames: the store has only its side name.
    fs::rename("KRVLINDEX", "KRVLINDEX.old");
    IndexText("1", "after the cut");
    EXPECT_FALSE(fs::exists("KRVLINDEX.old"));
    EXPECT_EQ(Rank("1", "before"), 0.0f);
    EXPECT_GT(Rank("1", "cut"), 0.0f);
    IndexText("1", "before the batch");
    check("after the cut");
}

// A store written by the previous version (without the triples of frequent characters)
// is neither rebuilt nor refused: it answers exactly as before and takes new records in
// its own layout.
TEST(ContentIndex, AStoreOfThePreviousLayoutKeepsAnswering) {
    TempWorkDir w;
    const std::vector<std::string> texts = {"的一是在不了", "的一 是在", "在的一是 words", "other words"};
    std::vector<std::string> ids;
    for (size_t i = 0; i < texts.size(); ++i) {
        ids.push_back(std::to_string(i + 1));
        IndexText(ids.back(), texts[i]);
    }
    IndexFilesFrom(nullptr, nullptr, nullptr);  // lets another process write
    QString out;
    ASSERT_EQ(RunCommand(QStringLiteral("\"%1\" triples").arg(KRVLINDEX_OLDLAYOUT), out), 0);
    ASSERT_NE(out.trimmed(), "0");  // the current layout has them
    ASSERT_EQ(RunCommand(QStringLiteral("\"%1\" downgrade").arg(KRVLINDEX_OLDLAYOUT), out), 0) << out.toStdString();

    ids.push_back("5");
    IndexText("5", "是在的一是");
    const std::vector<std::string> all = {texts[0], texts[1], texts[2], texts[3], "是在的一是"};
    for (const std::string run : {"的一是", "一是在", "是在", "的一是在", "在的一是"}) {
        std::set<std::string> grep;
        for (size_t i = 0; i < all.size(); ++i)
            if (all[i].find(run) != std::string::npos) grep.insert(ids[i]);
        EXPECT_EQ(Matches(ids, run), grep) << run;
    }
    EXPECT_EQ(Matches(ids, "words"), (std::set<std::string>{"3", "4"}));
    IndexFilesFrom(nullptr, nullptr, nullptr);
    ASSERT_EQ(RunCommand(QStringLiteral("\"%1\" triples").arg(KRVLINDEX_OLDLAYOUT), out), 0);
    EXPECT_EQ(out.trimmed(), "0");  // neither rebuilt nor written in another layout
}

namespace {

// Texts and queries where the shortcuts of the store (terms of frequent words and CJK
// characters and their pairs, triples of frequent CJK characters) must give what checking
// positions gives: a word or character is frequent in a text that holds it eight times or
// more, and each query has decoys (the same words or characters in the other order, apart,
// a run cut by punctuation or a line break).
// The text repeated n times, each time apart from the others (a lone CJK character between
// them keeps their words from standing side by side).
std::string Repeat(const std::string& text, int n) {
    std::string out = text;
    for (int i = 1; i < n; ++i) out += " 口 " + text;
    return out;
}

const std::vector<std::string> kShapeTexts = {
    Repeat("alpha beta. alpha beta", 4),                   // 1 both frequent, side by side
    Repeat("beta alpha gamma beta alpha", 4),              // 2 both frequent, only in the other order
    Repeat("alpha gamma beta alpha gamma beta", 4),        // 3 both frequent, apart
    "alpha beta",                                          // 4 neither frequent
    "alpha beta alpha 口 " + Repeat("alpha", 6),           // 5 the first frequent
    "beta alpha beta 口 " + Repeat("beta", 6),             // 6 the second frequent
    Repeat("alpha alpha beta gamma beta gamma", 4),        // 7 a word doubled
    "的一是在不了的一是在不了",                            // 8 a run of frequent characters, twice
    "的一是，在不了的一是\n在不了",                        // 9 the same cut by punctuation and line breaks
    "在是一的了不在是一的了不",                            // 10 the other order
    "的一是在 alpha beta 的一是在 gamma",                  // 11 words and characters
    Repeat("alpha-beta alpha-beta", 4) + " 的的一是在在",  // 12 a hyphenated word; the run inside others
    Repeat("中文 中文", 4),                                // 13 both characters frequent, touching
    Repeat("文中 文中", 4),                                // 14 both frequent, only in the other order
    Repeat("中，文。中 文", 4),                            // 15 both frequent, apart
    "中文",                                                // 16 neither frequent
    "中文 " + Repeat("中", 8),                             // 17 the first frequent
    "中文 " + Repeat("文", 8),                             // 18 the second frequent
    Repeat("中\n文 中\n文", 4),                            // 19 both frequent, cut by line breaks
};

struct ShapeCase {
    const char* query;
    std::set<std::string> ids;
};

// clang-format off
const ShapeCase kShapeCases[] = {
    {"\"alpha beta\"",           {"1", "4", "5", "6", "7", "11", "12"}},
    {"\"beta alpha\"",           {"1", "2", "3", "5", "6", "12"}},
    {"\"alpha beta gamma\"",     {"7"}},
    {"\"gamma beta alpha\"",     {"2", "3"}},
    {"alpha-beta",               {"1", "4", "5", "6", "7", "11", "12"}},
    {"alpha beta",               {"1", "2", "3", "4", "5", "6", "7", "11", "12"}},
    {"gamma",                    {"2", "3", "7", "11"}},
    {"\"alpha beta 的一是在\"",  {"11"}},
    {"的一是在",                 {"8", "11", "12"}},
    {"的一是在不了",             {"8"}},
    {"一是在不",                 {"8"}},
    {"了的一是",                 {"8", "9"}},
    {"的一是",                   {"8", "9", "11", "12"}},
    {"在不了",                   {"8", "9"}},
    {"在是一的了",               {"10"}},
    {"的的一是在在",             {"12"}},
    {"中文",                     {"13", "16", "17", "18"}},
    {"文中",                     {"14"}},
    {"\"中文 中文\"",           {"13"}},
    {"文",                       {"13", "14", "15", "16", "17", "18", "19"}},
    {"中文中",                   {}},
};
// clang-format on

std::vector<std::string> IndexShapeTexts() {
    std::vector<std::string> ids;
    for (size_t i = 0; i < kShapeTexts.size(); ++i) {
        ids.push_back(std::to_string(i + 1));
        fs::create_directories("src");
        const std::string file = "src/" + ids.back() + ".txt";
        WriteBytes(file, kShapeTexts[i]);
        IndexFilesFrom(file.c_str(), ("./index/" + ids.back()).c_str(), ("source " + ids.back()).c_str());
    }
    IndexFilesFrom(nullptr, nullptr, nullptr);  // lets another process write
    return ids;
}

void ExpectShapes(const std::vector<std::string>& ids, const std::string& when) {
    for (const ShapeCase& c : kShapeCases) {
        EXPECT_EQ(Matches(ids, c.query), c.ids) << c.query << " " << when;
        std::set<std::string> all;
        SearchIndexedFiles(
            c.query, [](const char* id, float, void* out) { static_cast<std::set<std::string>*>(out)->insert(id); },
            &all);
        std::set<std::string> amongIds;  // other records of the test may match as well
        for (const std::string& id : ids)
            if (all.count(id)) amongIds.insert(id);
        EXPECT_EQ(amongIds, c.ids) << c.query << " (all hits) " << when;
    }
}

std::string OldLayout(const QString& args) {
    QString out;
    EXPECT_EQ(RunCommand(QStringLiteral("\"%1\" %2").arg(KRVLINDEX_OLDLAYOUT, args), out), 0) << out.toStdString();
    return out.trimmed().toStdString();
}

}  // namespace

// The store's shortcuts answer exactly what positions alone answer (a store of the first
// layout, which has none of them, is the reference).
TEST(ContentIndex, FrequentWordPairsAndTriplesAnswerAsPositionsDo) {
    TempWorkDir w;
    const std::vector<std::string> ids = IndexShapeTexts();
    ASSERT_EQ(OldLayout("layout"), "5");
    // alpha beta, beta alpha, alpha alpha, alpha gamma, gamma beta, beta gamma
    ASSERT_EQ(OldLayout("pairs"), "6");
    ExpectShapes(ids, "current layout");
    OldLayout("downgrade 4");
    ExpectShapes(ids, "every character pair");
    OldLayout("downgrade 3");
    ExpectShapes(ids, "triples without positions");
    OldLayout("downgrade");
    ASSERT_EQ(OldLayout("triples"), "0");
    ExpectShapes(ids, "positions alone");
}

// The index job's end brings a store of an older layout into the current one; it answers
// the same before, during and after, and keeps the remembered sources.
TEST(ContentIndex, AStoreOfAnOlderLayoutIsRebuiltAndAnswersTheSame) {
    TempWorkDir w;
    const std::vector<std::string> ids = IndexShapeTexts();
    OldLayout("downgrade 3");
    ExpectShapes(ids, "before");
    const std::string added = std::to_string(ids.size() + 1);
    IndexText(added, "alpha beta after the downgrade");  // written in the store's own layout
    EXPECT_EQ(Matches({added}, "\"alpha beta\""), (std::set<std::string>{added}));
    EXPECT_EQ(IndexFilesRebuild(0), static_cast<int>(ids.size()));  // one of them all built
    EXPECT_TRUE(fs::exists("KRVLINDEX.rebuild"));
    EXPECT_EQ(OldLayout("layout"), "3");
    ExpectShapes(ids, "during");
    EXPECT_EQ(IndexFilesRebuild(60000), 0);
    EXPECT_EQ(OldLayout("layout"), "5");
    EXPECT_FALSE(fs::exists("KRVLINDEX.rebuild"));
    EXPECT_EQ(OldLayout("documents"), added + " in line");
    ExpectShapes(ids, "after");
    EXPECT_EQ(Matches({added}, "\"alpha beta\""), (std::set<std::string>{added}));
    for (const std::string& id : ids) {
        char buf[64];
        ASSERT_GT(IndexedSource(id.c_str(), buf, sizeof buf), 0) << id;
        EXPECT_EQ(std::string(buf), "source " + id);
    }
    EXPECT_EQ(IndexFilesRebuild(0), 0);  // nothing left to do
}

// A process killed in the middle of a rebuild leaves the store answering in its own
// layout; the next rebuild goes on from what the killed one had built.
TEST(ContentIndex, ARebuildKilledMidwayLeavesAnAnsweringStore) {
    TempWorkDir w;
    std::vector<std::string> ids = IndexShapeTexts();
    const size_t shapes = ids.size();
    for (size_t i = shapes + 1; i <= shapes + 28; ++i) {
        ids.push_back(std::to_string(i));
        IndexText(ids.back(), "filler text " + std::to_string(i) + " filler 的一是");
    }
    IndexFilesFrom(nullptr, nullptr, nullptr);
    OldLayout("downgrade");
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, 1);
        execl(KRVLINDEX_WRITER, KRVLINDEX_WRITER, "rebuild", "10", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
    EXPECT_EQ(OldLayout("layout"), "2");
    ExpectShapes({ids.begin(), ids.begin() + shapes}, "after the kill");
    EXPECT_EQ(Matches(ids, "filler").size(), 28u);
    const int left = IndexFilesRebuild(0);
    EXPECT_EQ(left, static_cast<int>(ids.size()) - 11);  // the killed one's ten were kept
    while (IndexFilesRebuild(0) > 0) {
    }
    EXPECT_EQ(OldLayout("layout"), "5");
    ExpectShapes({ids.begin(), ids.begin() + shapes}, "rebuilt");
    EXPECT_EQ(Matches(ids, "filler").size(), 28u);
    EXPECT_EQ(Matches(ids, "\"filler 的一是\"").size(), 28u);
}

namespace {

// Waits (at most a minute) until a writer in another process has made n index folders;
// the number it made.
size_t AwaitIndexFolders(size_t n) {
    const auto start = std::chrono::steady_clock::now();
    size_t folders = 0;
    while (std::chrono::steady_clock::now() - start < std::chrono::seconds(60)) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        folders = fs::exists("index") ? static_cast<size_t>(std::distance(fs::directory_iterator("index"), {})) : 0;
        if (folders >= n) break;
    }
    return folders;
}

}  // namespace

TEST(ContentIndex, KilledWhileIndexingLeavesAStoreThatOpensAndAnswers) {
    TempWorkDir w;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(KRVLINDEX_WRITER, KRVLINDEX_WRITER, static_cast<char*>(nullptr));
        _exit(127);
    }
    // Let it write some hundreds of records, then kill it: whatever it had committed is in
    // the store, the rest only in the folders.
    const size_t folders = AwaitIndexFolders(400);
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(folders, 400u);

    // Every record whose text was written is found, the last ones too.
    std::vector<std::string> indexed;
    for (const auto& e : fs::directory_iterator("index"))
        if (fs::exists(e.path() / "text.txt")) indexed.push_back(e.path().filename().string());
    ASSERT_GE(indexed.size(), 399u);
    for (const auto& id : indexed) {
        EXPECT_GT(Rank(id, "w" + id), 0.0f) << id;
        EXPECT_GT(Rank(id, "崩溃安全"), 0.0f) << id;
    }
    // The store was opened as it was left, not set aside as damaged.
    EXPECT_FALSE(fs::exists("KRVLINDEX.damaged"));
}

namespace {

// A batch of records 2 to 301 after record 1, as the index job hands it over: planned when
// `plan`, each record in the order of the groups taken in turn. Record i holds its word
// "w<i>", a phrase in either order, a rare or a common CJK run; every 17th has no text;
// record 10 is indexed twice (the second text counts) and record 20 deleted again.
// Returns the groups of the plan and, per query, the ids found.
std::map<std::string, std::set<std::string>> BuildBatch(bool plan, int& groups,
                                                        const std::vector<std::string>& queries) {
    IndexText("1", "before the batch common w1");
    fs::create_directories("src");
    std::vector<std::string> ids;
    for (int i = 2; i <= 301; ++i) ids.push_back(std::to_string(i));
    std::vector<size_t> order;
    groups = 1;
    if (plan) {
        std::vector<const char*> ptrs;
        for (const std::string& id : ids) ptrs.push_back(id.c_str());
        std::vector<int> groupOf(ids.size(), -1);
        groups = IndexFilesPlan(ptrs.data(), static_cast<int>(ptrs.size()), groupOf.data());
        std::vector<std::vector<size_t>> byGroup(static_cast<size_t>(std::max(1, groups)));
        for (size_t k = 0; k < ids.size(); ++k) byGroup.at(static_cast<size_t>(groupOf[k])).push_back(k);
        for (size_t k = 0; order.size() < ids.size(); ++k)
            for (const auto& g : byGroup)
                if (k < g.size()) order.push_back(g[k]);
    } else {
        for (size_t k = 0; k < ids.size(); ++k) order.push_back(k);
    }
    auto give = [](const std::string& id, const std::string& text) {
        const std::string file = "src/" + id + ".txt";
        WriteBytes(file, text);
        IndexFilesFrom(file.c_str(), ("./index/" + id).c_str(), ("source " + id).c_str());
    };
    give("10", "stale words only");
    for (size_t k : order) {
        const int i = std::stoi(ids[k]);
        if (i % 17 == 0) {
            give(ids[k], " ,. ");
            continue;
        }
        give(ids[k], "common w" + ids[k] + (i % 3 == 0 ? " alpha beta " : " beta alpha ") +
                         (i % 5 == 0 ? "量子纠缠实验" : "实验纠缠") + (i % 2 == 0 ? " 的一是在不了" : " 的一 是在"));
    }
    DeleteFiles("20");
    IndexFilesFrom(nullptr, nullptr, nullptr);
    // The store as the batch left it, before a search could bring it in line.
    QString store;
    EXPECT_EQ(RunCommand(QStringLiteral("\"%1\" documents").arg(KRVLINDEX_OLDLAYOUT), store), 0);
    std::map<std::string, std::set<std::string>> found;
    found["(store)"].insert(store.trimmed().toStdString());
    for (const std::string& q : queries) {
        std::set<std::string>& hits = found[q];
        SearchIndexedFiles(
            q.c_str(), [](const char* id, float, void* c) { static_cast<std::set<std::string>*>(c)->insert(id); },
            &hits);
    }
    return found;
}

}  // namespace

// A large batch among new records is built on every core in parts that are merged at its
// end: it answers exactly as a store built one record after another, keeps the remembered
// sources, and leaves no part behind.
TEST(ContentIndex, ABatchBuiltOnEveryCoreAnswersAsOneBuiltInTurn) {
    const std::vector<std::string> queries = {"common",   "w1",       "w10",      "w20",
                                              "w34",      "w299",     "stale",    "\"alpha beta\"",
                                              "量子纠缠", "的一是在", "纠缠实验", "实验纠缠"};
    std::map<std::string, std::set<std::string>> expected;
    for (const std::string& q : queries) expected[q];
    for (int i = 1; i <= 301; ++i) {
        if (i == 20 || (i % 17 == 0 && i > 1)) continue;
        const std::string id = std::to_string(i);
        expected["common"].insert(id);
        if (i == 1 || i == 10 || i == 299) expected["w" + id].insert(id);
        if (i == 1) continue;
        if (i % 3 == 0) expected["\"alpha beta\""].insert(id);
        expected[i % 5 == 0 ? "量子纠缠" : "实验纠缠"].insert(id);
        if (i % 5 == 0) expected["纠缠实验"].insert(id);
        if (i % 2 == 0) expected["的一是在"].insert(id);
    }

    int groups = 0;
    std::map<std::string, std::set<std::string>> inTurn, onEveryCore;
    {
        TempWorkDir w;
        inTurn = BuildBatch(false, groups, queries);
    }
    TempWorkDir w;
    onEveryCore = BuildBatch(true, groups, queries);
    if (std::thread::hardware_concurrency() >= 2) {
        EXPECT_GT(groups, 1);
    }
    for (const std::string& q : queries) {
        EXPECT_EQ(inTurn[q], expected[q]) << q;
        EXPECT_EQ(onEveryCore[q], expected[q]) << q;
    }
    // Both stores hold every record with a text and say they are in line with the folders.
    const std::string whole = std::to_string(expected["common"].size()) + " in line";
    EXPECT_EQ(inTurn["(store)"], std::set<std::string>{whole});
    EXPECT_EQ(onEveryCore["(store)"], std::set<std::string>{whole});
    for (const char* id : {"2", "10", "17", "150", "301"}) {
        char buf[64];
        ASSERT_GT(IndexedSource(id, buf, sizeof buf), 0) << id;
        EXPECT_EQ(std::string(buf), std::string("source ") + id);
    }
    for (const auto& e : fs::directory_iterator("."))
        EXPECT_FALSE(e.path().filename().string().starts_with("KRVLINDEX.")) << e.path();

    // A batch among records the store has is built in one go, and as exactly.
    std::vector<const char*> again = {"3", "6", "9"};
    std::vector<int> groupOf(again.size(), -1);
    EXPECT_EQ(IndexFilesPlan(again.data(), static_cast<int>(again.size()), groupOf.data()), 1);
    EXPECT_EQ(groupOf, (std::vector<int>{0, 0, 0}));
    WriteBytes("src/3.txt", "gamma delta");
    IndexFilesFrom("src/3.txt", "./index/3", "source 3 again");
    IndexFilesFrom(nullptr, nullptr, nullptr);
    EXPECT_GT(Rank("3", "\"gamma delta\""), 0.0f);
    EXPECT_EQ(Rank("3", "common"), 0.0f);
    EXPECT_GT(Rank("6", "common"), 0.0f);
}

// Killed while building a planned batch on every core: the next writer takes what the
// parts had committed into the store, every record whose text was written is found (the
// store is brought in line from the folders), and no part is left behind.
TEST(ContentIndex, KilledWhileBuildingInPartsLeavesAStoreThatAnswersEverything) {
    TempWorkDir w;
    const pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(KRVLINDEX_WRITER, KRVLINDEX_WRITER, "100000", "plan", static_cast<char*>(nullptr));
        _exit(127);
    }
    const size_t folders = AwaitIndexFolders(400);
    const bool building = fs::exists("KRVLINDEX.part0") || std::thread::hardware_concurrency() < 2;
    kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_GE(folders, 400u);
    EXPECT_TRUE(building);

    std::vector<std::string> indexed;
    for (const auto& e : fs::directory_iterator("index"))
        if (fs::exists(e.path() / "text.txt")) indexed.push_back(e.path().filename().string());
    ASSERT_GE(indexed.size(), 399u);
    if (std::thread::hardware_concurrency() >= 2) {
        // A write that opens the store takes the parts' committed documents (a part commits
        // every few dozen of these texts); the store does not yet claim to be in line.
        DeleteFiles("999999");
        QString store;
        ASSERT_EQ(RunCommand(QStringLiteral("\"%1\" documents").arg(KRVLINDEX_OLDLAYOUT), store), 0);
        const QStringList fields = store.trimmed().split(u' ');
        EXPECT_GE(fields.value(0).toInt(), 200) << store.toStdString();
        EXPECT_EQ(fields.size(), 1) << store.toStdString();
    }
    for (const auto& id : indexed) {
        EXPECT_GT(Rank(id, "w" + id), 0.0f) << id;
        EXPECT_GT(Rank(id, "崩溃安全"), 0.0f) << id;
    }
    EXPECT_EQ(SearchIndexedFiles(
                  "崩溃安全", [](const char*, float, void*) {}, nullptr),
              static_cast<int>(indexed.size()));
    EXPECT_FALSE(fs::exists("KRVLINDEX.damaged"));
    for (const auto& e : fs::directory_iterator("."))
        EXPECT_FALSE(e.path().filename().string().starts_with("KRVLINDEX.part")) << e.path();
}

TEST(ContentIndex, WrapperIndexesThroughTheExtractor) {
    TempWorkDir w;
    const QString dir = w.path();
    const std::string odt = (dir + "/报告 \"最终\".odt").toStdString();
    // An odt whose name holds a blank, a double quote and Chinese.
    const std::string x =
        "<office:document-content xmlns:office=\"o\" xmlns:text=\"t\"><office:body><office:text>"
        "<text:p>季度报告<text:s text:c=\"2\"/>quarterly figures</text:p></office:text></office:body>"
        "</office:document-content>";
    ASSERT_TRUE(officefiles::WriteZip(odt, {{"content.xml", x}}));
    const QString path = QString::fromStdString(odt);
    EXPECT_EQ(ExtractorKind(path), "odt");
    ASSERT_TRUE(RunExtractor(path, ExtractorKind(path), 20000, QStringLiteral(KORVEL_WORD2)));
    EXPECT_EQ(ReadBytes("temp2/1.txt"), "季度报告  quarterly figures\n");
    ContentIndex::Index(ExtractedTextPath(), "5");
    EXPECT_GT(ContentIndex::Rank(ContentIndex::FolderOf("5"), "季度报告 quarterly"), 0.0f);
    ContentIndex::Remove("5");
    EXPECT_EQ(ContentIndex::Rank("5", "quarterly"), 0.0f);
}

TEST(ContentIndex, DocumentKinds) {
    struct Case {
        const char* path;
        const char* kind;       // DocumentKind
        const char* extractor;  // ExtractorKind
        // clang-format off
    } cases[] = {
        {"/a/b.doc", "doc", "doc"},      {"/a/B.DOC", "doc", "doc"},        {"/a/b.ppt", "ppt", "ppt"},
        {"/a/b.docx", "docx", "docx"},   {"/a/b.pptx", "pptx", "pptx"},     {"/a/b.xlsx", "xlsx", "xlsx"},
        {"/a/b.odt", "odt", "odt"},      {"/a/b.odp", "odp", "odp"},        {"/a/b.ods", "ods", "ods"},
        {"/a/b.pdf", "pdf", "pdf"},      {"/a/b.xls", "xls", "xls"},        {"/a/b.rtf", "rtf", "rtf"},
        {"/a/b.html", "html", "html"},   {"/a/b.HTM", "html", "html"},      {"/a/b.xhtml", "html", "html"},
        {"/a/b.epub", "epub", "epub"},   {"/a/b.txt", "txt", ""},           {"/a/b.md", "txt", ""},
        {"/a/b.csv", "txt", ""},         {"/a/README", "txt", ""},          {"/a/b.html.gz", "html.gz", "html.gz"},
        {"/a/b.txt.gz", "txt.gz", "txt.gz"}, {"/a/b.pdf.GZ", "pdf.gz", "pdf.gz"}, {"/a/b.tar.gz", "", ""},
        {"/a/b.gz", "", ""},             {"/a/b.doc/c", "", ""},            {"/a/doc", "", ""},
        {"/a/b.docm", "", ""},           {"/a/b.exe", "", ""},              {"/a/.txt", "", ""},
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_EQ(DocumentKind(c.path), c.kind) << c.path;
        EXPECT_EQ(ExtractorKind(c.path), c.extractor) << c.path;
    }
}
