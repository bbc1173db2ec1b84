#include "files/filters.h"
#include "support/filterfile.h"
#include "support/state.h"
#include "files/filters.h"
#include "files/markup.h"
#include "support/workdir.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

const QStringList kElements = {"file", "dir", "index", "import", "fdn", "ffn"};

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// A working folder holding a copy of the six-list fixture, lists loaded from it.
class Filters : public ::testing::Test {
protected:
    TempWorkDir dir;
    void SetUp() override {
        QFile::copy(KORVEL_FIXTURES "/filter_six.xml", "filter.xml");
        QFile::setPermissions("filter.xml", QFile::ReadOwner | QFile::WriteOwner);
        LoadFilterLists(S().filters);
    }
    void TearDown() override {
        for (const QString& e : kElements) S().filters.List(e).clear();
    }
};

}  // namespace

TEST(FilterMatch, PatternRules) {
    struct Case {
        const char* pattern;
        QString name;
        bool matches;
    };
    // clang-format off
    const Case cases[] = {
        {"*.tmp", "a.tmp", true},       {"*.tmp", ".tmp", true},
        {"*.tmp", "a.TMP", false},      {"*.tmp", "a.tmp.bak", false},
        {"abc*.txt", "x.txt", true},    {"*", "anything at all", true},
        {"*", "", true},                {"", "a", false},
        {"Thumbs.db", "Thumbs.db", true}, {"Thumbs.db", "xThumbs.db", false},
        {"Thumbs.db", "thumbs.db", false}, {"*~", "notes.txt~", true},
        {"a*b*c", "xb*c", true},        {"a*b*c", "xbc", false},  // text after the first "*"
        {"*.txt", QStringLiteral("文档.txt"), true},
    };
    // clang-format on
    for (const Case& c : cases)
        EXPECT_EQ(MatchesFilterList(c.name, {QString::fromUtf8(c.pattern)}), c.matches)
            << c.pattern << " vs " << c.name.toStdString();
    EXPECT_FALSE(MatchesFilterList("a", {}));
    EXPECT_TRUE(MatchesFilterList("a.doc", {"*.txt", "*.doc"}));
}

TEST(FilterMatch, ElementOfMode) {
    const std::pair<int, const char*> cases[] = {{0, "file"}, {1, "dir"}, {2, "index"}, {5, "import"},
                                                 {7, "fdn"},  {8, "ffn"}, {3, "index"}, {-1, "index"}};
    for (auto [mode, element] : cases) EXPECT_EQ(FilterElementOfMode(mode), element) << mode;
}

TEST_F(Filters, LoadsTheSixListsInFileOrder) {
    EXPECT_EQ(S().filters.List("file"), QStringList({"*.tmp", "a&b"}));
    EXPECT_EQ(S().filters.List("dir"), QStringList({".git", "test"}));
    EXPECT_EQ(S().filters.List("index"), QStringList({"*.txt"}));
    EXPECT_TRUE(S().filters.List("import").isEmpty());
    EXPECT_EQ(S().filters.List("fdn"), QStringList({"docs"}));
    EXPECT_EQ(S().filters.List("ffn"), QStringList({"*.pdf", QStringLiteral("文档.txt"), "<raw>"}));
    EXPECT_EQ(StoredFilterList("ffn"), S().filters.List("ffn"));
    EXPECT_TRUE(StoredFilterList("nothing").isEmpty());
}

TEST_F(Filters, MissingOrBrokenFileGivesEmptyLists) {
    for (const QByteArray& content : {QByteArray(), QByteArray("<file><value>a</value>"),
                                      QByteArray("\xff\xfe<\0f\0i\0", 9), QByteArray("garbage")}) {
        QFile::remove("filter.xml");
        if (!content.isNull()) {
            QFile f("filter.xml");
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        LoadFilterLists(S().filters);
        for (const char* e : {"dir", "index", "import", "fdn", "ffn"}) EXPECT_TRUE(S().filters.List(e).isEmpty()) << e;
        // Adding and removing change nothing in a file without the elements; the
        // import-side lists still take an added entry in memory.
        AddFilterValue(S().filters, "dir", "x");
        AddFilterValue(S().filters, "ffn", "*.x");
        EXPECT_TRUE(S().filters.List("dir").isEmpty());
        EXPECT_EQ(S().filters.List("ffn"), QStringList({"*.x"}));
        RemoveFilterValue(S().filters, "ffn", "*.x");
        EXPECT_EQ(S().filters.List("ffn"), QStringList({"*.x"}));
        S().filters.List("ffn").clear();
        S().filters.List("file").clear();
    }
}

TEST_F(Filters, AddWritesFileAndMemoryOnce) {
    AddFilterValue(S().filters, "file", "*.log");
    EXPECT_EQ(S().filters.List("file"), QStringList({"*.tmp", "a&b", "*.log"}));
    EXPECT_EQ(StoredFilterList("file"), QStringList({"*.tmp", "a&b", "*.log"}));
    // An entry with a quote and markup characters is stored and read back as typed.
    AddFilterValue(S().filters, "dir", "it's <mine> & co");
    EXPECT_EQ(StoredFilterList("dir").last(), "it's <mine> & co");

    // Adding a text already there leaves the file unchanged; only the import-side lists
    // take it again in memory.
    const QByteArray before = ReadAll("filter.xml");
    AddFilterValue(S().filters, "file", "*.tmp");
    AddFilterValue(S().filters, "fdn", "docs");
    EXPECT_EQ(ReadAll("filter.xml"), before);
    EXPECT_EQ(S().filters.List("file").count("*.tmp"), 1);
    EXPECT_EQ(S().filters.List("fdn"), QStringList({"docs", "docs"}));
    // An added entry goes into an element written as an empty-element tag.
    AddFilterValue(S().filters, "import", "*.sln");
    EXPECT_EQ(StoredFilterList("import"), QStringList({"*.sln"}));
    // Every other list is kept.
    EXPECT_EQ(StoredFilterList("ffn"), QStringList({"*.pdf", QStringLiteral("文档.txt"), "<raw>"}));
}

TEST_F(Filters, RemoveTakesTheEntryFromFileAndMemory) {
    RemoveFilterValue(S().filters, "file", "a&b");
    EXPECT_EQ(S().filters.List("file"), QStringList({"*.tmp"}));
    EXPECT_EQ(StoredFilterList("file"), QStringList({"*.tmp"}));
    // Not in the file: nothing changes, not even memory.
    S().filters.List("dir") << "only-in-memory";
    RemoveFilterValue(S().filters, "dir", "only-in-memory");
    EXPECT_EQ(S().filters.List("dir"), QStringList({".git", "test", "only-in-memory"}));
    // The import-side lists lose every stored copy.
    for (int i = 0; i < 2; ++i) {
        MarkupDocument doc;
        ASSERT_TRUE(doc.LoadFile("filter.xml"));
        ASSERT_TRUE(doc.NextElement("fdn"));
        doc.AppendChildElement("value", "docs");
        ASSERT_TRUE(doc.SaveFile("filter.xml"));
    }
    ASSERT_EQ(StoredFilterList("fdn").count("docs"), 3);
    RemoveFilterValue(S().filters, "fdn", "docs");
    EXPECT_TRUE(StoredFilterList("fdn").isEmpty());
    EXPECT_TRUE(S().filters.List("fdn").isEmpty());
}

TEST_F(Filters, StartupAddsTestToDirInTheFileOnly) {
    RemoveFilterValue(S().filters, "dir", "test");
    ASSERT_EQ(S().filters.List("dir"), QStringList({".git"}));
    AddStartupFilterValue();
    AddStartupFilterValue();
    EXPECT_EQ(StoredFilterList("dir"), QStringList({".git", "test"}));
    EXPECT_EQ(S().filters.List("dir"), QStringList({".git"}));  // effective from the next start
}

TEST(FilterDefaults, DefaultFileHasAllSixListsWithSensibleEntries) {
    TempWorkDir dir;
    ASSERT_TRUE(WriteDefaultFilterFile(kFilterFile));
    MarkupDocument doc;
    ASSERT_TRUE(doc.LoadFile(kFilterFile));
    for (const QString& e : kElements) {
        doc.RewindToTop();
        EXPECT_TRUE(doc.NextElement(e)) << e.toStdString();
        EXPECT_FALSE(StoredFilterList(e).isEmpty()) << e.toStdString();
    }
    const QStringList file = StoredFilterList("file");
    for (const char* name : {"a.tmp", "notes~", ".DS_Store", "Thumbs.db"})
        EXPECT_TRUE(MatchesFilterList(name, file)) << name;
    EXPECT_FALSE(MatchesFilterList("report.pdf", file));
    const QStringList dirs = StoredFilterList("dir");
    for (const char* name : {".git", ".svn", ".hg"}) EXPECT_TRUE(MatchesFilterList(name, dirs));
    EXPECT_FALSE(MatchesFilterList("projects", dirs));
    const QStringList index = StoredFilterList("index");
    for (const char* name :
         {"a.txt", "a.doc", "a.docx", "a.pdf", "a.ppt", "a.pptx", "a.xls", "a.xlsx", "a.odt", "a.odp", "a.ods", "a.md"})
        EXPECT_TRUE(MatchesFilterList(name, index)) << name;
    // Written once, read back unchanged: a start-up addition goes into the file.
    AddStartupFilterValue();
    EXPECT_TRUE(StoredFilterList("dir").contains("test"));
    for (const QString& e : kElements) S().filters.List(e).clear();
}
