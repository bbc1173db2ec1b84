// The pieces of the window's live and honest state in the core: the change watch, the
// file state of listed records, the node listing narrowed by the search box, snippets
// of content hits, the progress of long operations and the pickers' folders.
#include "base/longop.h"
#include "base/settings.h"
#include "list/livestate.h"
#include "platform/volumes.h"
#include "list/recordlist.h"
#include "search/snippet.h"
#include "store/catalogue.h"
#include "store/pageset.h"
#include "support/catalogue.h"
#include "support/cli.h"
#include "support/records.h"
#include "support/scripted_prompter.h"
#include "tree/nodes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

using namespace korvel;

namespace {

// A record of a file on disk 7 that is not there.
void AddRecord(int id, const QString& name, const QString& tags) { testrec::AddRecord(id, name, "/d/x", "7", tags); }

class LiveListing : public ::testing::Test {
protected:
    TempCatalogue cat;
    ScriptedPrompter prompts;
    void SetUp() override {
        AddRecord(1, "report 2024.txt", " work ");
        AddRecord(2, "notes.txt", " work  plans ");
        AddRecord(3, "100%_done.txt", " work ");
        AddRecord(4, "it's.txt", " work  o'brien ");
        AddRecord(5, "holiday.jpg", " home ");
        ExecuteSql("insert into main2(id,name,findkey,fid) values(1,'work','work',0)", adCmdTextNoRecords,
                   S().catalogue);
        ReloadNodes(S().nodes, S().catalogue);
        S().pageset.SetPageSize(30);
        S().list.Reset();
        S().options.subnode = false;
    }
    void TearDown() override {
        S().list.Reset();
        S().nodes.map.clear();
        S().nodes.current = "0";
        S().options.subnode = true;
    }
    static QStringList Names() {
        QStringList n;
        for (const auto& r : S().list.Rows()) n << r[0];
        n.sort();
        return n;
    }
};

}  // namespace

TEST_F(LiveListing, TheSearchBoxNarrowsTheOpenedNodeByNameAndTags) {
    ASSERT_TRUE(S().list.ShowNodeRecords(NodeAllTags("1", S().nodes.map)));
    ASSERT_EQ(S().list.RecordCount(), 4);
    const struct {
        QString text;
        QStringList names;
        // clang-format off
    } cases[] = {
        {"REPORT", {"report 2024.txt"}},                     // name, letter case aside
        {"plans", {"notes.txt"}},                            // a tag
        {"%", {"100%_done.txt"}},                            // % is a plain character
        {"_", {"100%_done.txt"}},                            // so is _
        {"'", {"it's.txt"}},                                 // a quote is text
        {"o'brien", {"it's.txt"}},
        {"holiday", {}},                                     // not in the node
        {"", {"100%_done.txt", "it's.txt", "notes.txt", "report 2024.txt"}},  // the node again
    };
    // clang-format on
    for (const auto& c : cases) {
        EXPECT_TRUE(S().list.ShowNodeFiltered(c.text)) << c.text.toStdString();
        EXPECT_EQ(Names(), c.names) << c.text.toStdString();
        EXPECT_EQ(S().list.RecordCount(), c.names.size()) << c.text.toStdString();
    }
}

TEST_F(LiveListing, ChangesByAnotherConnectionAreSeenAndReloaded) {
    ChangeWatch watch(S().catalogue);
    ASSERT_TRUE(S().list.ShowNodeRecords(NodeAllTags("1", S().nodes.map)));
    EXPECT_EQ(watch.Poll(), ChangeWatch::Change::None);

    // Another program (another connection) adds a record to the node.
    {
        Connection other;
        other.Open(kConnectionString);
        Statement st(
            other, QStringLiteral("insert into main(id,name,findkey,dir,vol) values(9,'new.txt',' work ','/d/n','7')"));
        st.Step();
    }
    EXPECT_EQ(watch.Poll(), ChangeWatch::Change::Others);
    EXPECT_EQ(watch.Poll(), ChangeWatch::Change::None);
    ASSERT_TRUE(S().list.Reload());
    EXPECT_EQ(S().list.RecordCount(), 5);
    EXPECT_TRUE(Names().contains("new.txt"));

    // This program's own change: Own, and the count follows it.
    AddRecord(10, "mine.txt", " work ");
    EXPECT_EQ(watch.Poll(), ChangeWatch::Change::Own);
    S().list.Recount();
    EXPECT_EQ(S().list.RecordCount(), 6);
    EXPECT_EQ(S().list.RecordCountText(), "共 6 条记录(RECORDS)");
}

TEST_F(LiveListing, ReloadKeepsThePageAndTheOrder) {
    for (int i = 0; i < 70; ++i) AddRecord(100 + i, QStringLiteral("f%1").arg(i, 3, 10, QChar(u'0')), " work ");
    ASSERT_TRUE(S().list.ShowNodeRecords(NodeAllTags("1", S().nodes.map)));
    S().list.SortBy(0, true);  // name, descending
    S().list.FillPage(2);
    const QString firstOnPage2 = S().list.Rows().front()[0];
    ASSERT_TRUE(S().list.Reload());
    EXPECT_EQ(S().list.CurrentPage(), 2);
    EXPECT_EQ(S().list.Rows().front()[0], firstOnPage2);
    EXPECT_EQ(S().list.PageText(), "当前页 2 / 总页数 3");
}

TEST(FileStates, PresentMissingAndOffline) {
    TempCatalogue cat;
    QFile file("here.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString here = QDir::current().absoluteFilePath("here.txt");
    const QString gone = QDir::current().absoluteFilePath("gone.txt");
    const QString mountedDisk = DiskIdOfPath(here);
    const struct {
        QString dir, vol;
        bool byDisk;
        FileState state;
        // clang-format off
    } cases[] = {
        {here, mountedDisk, true, FileState::Present},
        {here, "", false, FileState::Present},
        {gone, mountedDisk, true, FileState::Missing},
        {gone, "0", true, FileState::Missing},          // no identity: cannot be offline
        {gone, "3141592653", true, FileState::Offline},  // a disk that is not mounted
        {gone, "3141592653", false, FileState::Offline},
        {here, "3141592653", false, FileState::Present},  // the path as stored exists
        {"", "", true, FileState::Missing},
    };
    // clang-format on
    for (const auto& c : cases)
        EXPECT_EQ(RecordFileState(c.dir, c.vol, c.byDisk, S().catalogue), c.state)
            << c.dir.toStdString() << " " << c.vol.toStdString() << " " << c.byDisk;
}

TEST(Snippets, AroundTheFirstMatchWithEveryOccurrenceMarked) {
    auto marked = [](const ContentSnippet& s) {
        QStringList m;
        for (const auto& [start, length] : s.marks) m << s.text.mid(start, length);
        return m;
    };
    const QString text = QStringLiteral("A concatenated line.\n\nThe cat sat on the mat; the CAT ran.");
    std::optional<ContentSnippet> s = SnippetOfText(text, "cat", 200);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->text, "A concatenated line. The cat sat on the mat; the CAT ran.");  // spaces collapsed
    EXPECT_EQ(marked(*s), QStringList({"cat", "CAT"}));  // whole words, not inside "concatenated"

    // No whole word: a part of a word is marked.
    s = SnippetOfText(text, "concat", 200);
    ASSERT_TRUE(s);
    EXPECT_EQ(marked(*s), QStringList({"concat"}));

    // Chinese: characters match where they stand; two words are both marked.
    s = SnippetOfText(QStringLiteral("今天我们讨论中文字体的显示问题，中文很美"), QStringLiteral("中文 显示"), 200);
    ASSERT_TRUE(s);
    EXPECT_EQ(marked(*s), QStringList({"中文", "显示", "中文"}));

    // A long text is cut around the match, with … at both cuts.
    const QString longText = QString(300, u'x') + " needle " + QString(300, u'y');
    s = SnippetOfText(longText, "needle", 60);
    ASSERT_TRUE(s);
    EXPECT_TRUE(s->text.startsWith(QStringLiteral("…")));
    EXPECT_TRUE(s->text.endsWith(QStringLiteral("…")));
    EXPECT_LE(s->text.size(), 64);
    EXPECT_EQ(marked(*s), QStringList({"needle"}));

    EXPECT_FALSE(SnippetOfText(text, "dog", 200));
    EXPECT_FALSE(SnippetOfText(text, "   ", 200));
    EXPECT_FALSE(SnippetOfText("", "cat", 200));
}

TEST(Snippets, ComeFromTheIndexedTextOfTheRecord) {
    TempWorkDir work;
    ASSERT_TRUE(QDir().mkpath("index/42"));
    QFile f("index/42/text.txt");
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("季度报告：收入增长。").toUtf8());
    f.close();
    std::optional<ContentSnippet> s = RecordContentSnippet(42, QStringLiteral("收入"), 80);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->text, QStringLiteral("季度报告：收入增长。"));
    ASSERT_EQ(s->marks.size(), 1u);
    EXPECT_EQ(s->marks[0], std::make_pair(5, 2));
    EXPECT_FALSE(RecordContentSnippet(43, QStringLiteral("收入"), 80));  // not indexed
    EXPECT_FALSE(RecordContentSnippet(42, QStringLiteral("支出"), 80));  // no match
}

TEST(Progress, StateFailuresAndEstimate) {
    LongOperation op;
    op.ResetProgress();
    op.ReportProgress(25, 100, "/a/b.txt");
    op.ReportFailure("b failed");
    ProgressState p = op.Progress();
    EXPECT_EQ(p.done, 25);
    EXPECT_EQ(p.total, 100);
    EXPECT_EQ(p.item, "/a/b.txt");
    EXPECT_EQ(p.failures, QStringList{"b failed"});
    op.ResetProgress();
    EXPECT_TRUE(op.Progress().failures.isEmpty());

    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(25, 100, 10.0), 30.0);
    EXPECT_DOUBLE_EQ(EstimateSecondsLeft(100, 100, 10.0), 0.0);
    EXPECT_LT(EstimateSecondsLeft(0, 100, 10.0), 0);  // no pace yet
    EXPECT_LT(EstimateSecondsLeft(5, 0, 10.0), 0);    // no total
}

TEST(Pickers, StartWhereTheLastPickOfTheirKindEndedElseHome) {
    TempWorkDir work;
    QDir().mkpath("a");
    QDir().mkpath("b");
    const QString a = QDir::current().absoluteFilePath("a");
    const QString b = QDir::current().absoluteFilePath("b");
    EXPECT_EQ(PickStartFolder(PickKind::Import), QDir::homePath());
    RememberPickFolder(PickKind::Import, a);
    RememberPickFolder(PickKind::Export, b);
    EXPECT_EQ(PickStartFolder(PickKind::Import), a);
    EXPECT_EQ(PickStartFolder(PickKind::Export), b);
    EXPECT_EQ(PickStartFolder(PickKind::Sync), QDir::homePath());
    EXPECT_EQ(ReadSetting("folders", "import", ""), a);  // kept in config.cnf
    ASSERT_TRUE(QDir(b).removeRecursively());
    EXPECT_EQ(PickStartFolder(PickKind::Export), QDir::homePath());  // gone: home again
}

TEST(CliInit, MakesAMissingFolderButOtherCommandsRefuseIt) {
    TempWorkDir work;
    const QString fresh = QDir::current().absoluteFilePath("new/deeper");
    CliResult other = RunCli(fresh, {"nodes"});
    EXPECT_NE(other.status, 0);
    EXPECT_FALSE(QFileInfo::exists(fresh));
    CliResult init = RunCli(fresh, {"init"});
    ASSERT_EQ(init.status, 0) << init.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(fresh + "/kv.kdb"));
    EXPECT_EQ(RunCli(fresh, {"nodes"}).status, 0);
}
