#include "base/dialogs.h"
#include "support/state.h"
#include "base/fsutil.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/filters.h"
#include "commands/importmenu.h"
#include "io/import.h"
#include "io/importcore.h"
#include "io/recordwriter.h"
#include "list/recordlist.h"
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "support/startcli.h"
#include "support/diskwalk.h"
#include "tree/nodes.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <atomic>
#include <thread>

using namespace korvel;

namespace {

const QStringList kLists = {"file", "dir", "index", "import", "fdn", "ffn"};

struct Row {
    QString name, findkey, dir, id, filetype, filesize, filedtime, fileinputdtime, vol;
};

// A working folder with a fresh catalogue, a folder `disk` for the files to import, the
// option flags and filter lists at their defaults, and a scripted prompter.
class Import : public DiskWalkTest {
protected:
    void SetUp() override {
        DiskWalkTest::SetUp();
        S().options.same = S().options.sysindex = S().options.trend = S().options.dtrend = true;
        S().presets.depth = 1;
        S().presets.createNodeTree = S().presets.importLastDir = true;
        for (const QString& l : kLists) S().filters.List(l).clear();
        S().list.Clear();
    }
    void TearDown() override {
        S().list.Clear();
        DiskWalkTest::TearDown();
    }

    std::vector<Row> Rows() {
        std::vector<Row> out;
        Recordset rs = ExecuteSql("select * from main order by id", adCmdText, S().catalogue);
        for (; !rs.Eof(); rs.MoveNext()) {
            auto f = [&](const char* n) { return VariantToText(rs.Field(QString::fromLatin1(n))); };
            out.push_back({f("name"), f("findkey"), f("dir"), f("id"), f("filetype"), f("filesize"), f("filedtime"),
                           f("fileinputdtime"), f("vol")});
        }
        return out;
    }
    // Paths below disk of every record ("name/" for folder records), sorted.
    QStringList Catalogued() {
        QStringList out;
        const QString base = DecodePath(disk) + "/";
        for (const Row& r : Rows()) {
            QString rel = r.dir.startsWith(base) ? r.dir.mid(base.size()) : r.dir;
            out << (r.filetype == kFolderRecordType ? rel + "/" : rel);
        }
        out.sort();
        return out;
    }
    long long Count(const QString& sql) {
        Recordset rs = ExecuteSql(sql, adCmdText, S().catalogue);
        return rs.Eof() ? -1 : rs.Field(0).toLongLong();
    }
    QString AddNode(const QString& name, const QString& tags, const QString& parent) {
        QString id = InsertNodeWithId(name, tags, parent, S().catalogue);
        ReloadNodes(S().nodes, S().catalogue);
        return id;
    }
    // ADD REC TREE through the prompter: root node "0" unless given.
    bool RunTree(const QString& root, const QString& depth, bool nodes, bool lastDir, const QString& node = "0",
                 const QString& tags = QString()) {
        prompts.nodes.push_back(node);
        prompts.AnswerDialog(dlg::kAddTree, {{dlg::kRoot, root},
                                             {dlg::kDepth, depth},
                                             {dlg::kTags, tags},
                                             {dlg::kCreateNodeTree, nodes},
                                             {dlg::kImportLastDir, lastDir}});
        return ImportRecordTree(S()).kind != Outcome::Kind::Refused;
    }
};

}  // namespace

// ---- keyword texts and small rules -----------------------------------------------------------

TEST(ImportRules, KeywordTexts) {
    EXPECT_EQ(ImportKeywordText("", true, "T"), "  T  ");
    EXPECT_EQ(ImportKeywordText("", false, "T"), "   ");
    EXPECT_EQ(ImportKeywordText("a b", true, "T"), " a b T  ");
    EXPECT_EQ(ImportKeywordText("a", false, "T"), " a  ");
    EXPECT_EQ(DropKeywordText("T"), " T  ");
    EXPECT_EQ(NoteKeywordText({"b", "a", "b"}), "   a  b   ");
    EXPECT_EQ(NoteKeywordText({}), "    ");
}

TEST(ImportRules, DepthTextAndClamp) {
    const std::pair<const char*, int> texts[] = {{"2", 2}, {"abc", 0}, {"", 0}, {" 7x", 7}, {"-5", -5}, {"+3", 3}};
    for (auto [text, value] : texts) EXPECT_EQ(DecimalTextValue(text), value) << text;
    const std::pair<int, int> clamps[] = {{-5, 1}, {0, 0}, {1, 1}, {20, 20}, {50, 20}};
    for (auto [in, out] : clamps) {
        S().presets.depth = ClampedDepth(in);  // as the dialogs keep it
        EXPECT_EQ(ClampedDepth(in), out);
        EXPECT_EQ(S().presets.depth, out);
    }
    S().presets.depth = 1;
    EXPECT_EQ(LastPathPiece("/a/b/c.txt"), "c.txt");
    EXPECT_EQ(LastPathPiece("/a/b/"), "b");
    EXPECT_EQ(FolderKeyword("/x/My Docs"), "My-Docs");
}

// ---- ADD REC, drops, notes, ADD DIR ------------------------------------------------------------

TEST_F(Import, AddFileRecordsStoresEveryValue) {
    const QString node = AddNode("n", "tagA", "0");
    MakeFile(disk + "/big.bin", 1048577);
    MakeFile(disk + "/it's a file.txt", 2047);
    MakeFile(disk + "/中文 文件.txt", 5);
    const QStringList files = {P("big.bin"), P("it's a file.txt"), P("中文 文件.txt")};
    prompts.nodes.push_back(node);
    prompts.files.push_back(files);
    prompts.AnswerDialog(dlg::kKeyDialog, {{dlg::kTags, "t1 t2"}, {dlg::kInherit, true}});
    AddFileRecords(S());

    ASSERT_EQ(prompts.dialogsShown.size(), 1u);
    EXPECT_EQ(prompts.dialogsShown[0].first, dlg::kKeyDialog);
    EXPECT_TRUE(prompts.dialogsShown[0].second.value(dlg::kInherit).toBool());  // preset ticked
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 3u);
    const char* sizes[] = {"1 M", "1 K", "0 K"};
    const QRegularExpression catalogueTime(R"(^\d{4}-\d{2}-\d{2} \d{1,2}:\d{1,2}:\d{1,2}$)");
    for (int i = 0; i < 3; ++i) {
        const Row& r = rows[i];
        EXPECT_EQ(r.dir, files[i]);
        EXPECT_EQ(r.name, files[i].mid(files[i].lastIndexOf('/') + 1));
        EXPECT_EQ(r.id, QString::number(i + 1));
        EXPECT_EQ(r.findkey, " t1 t2 tagA  ");
        EXPECT_EQ(r.filetype, "文件");
        EXPECT_EQ(r.filesize, sizes[i]);
        EXPECT_EQ(r.filedtime, StatusTexts(files[i]).timeText);
        EXPECT_TRUE(catalogueTime.match(r.fileinputdtime).hasMatch()) << r.fileinputdtime.toStdString();
        EXPECT_EQ(r.vol, DiskIdOfPath(files[i]));
    }
    // One list row per record, the newest at the top.
    ASSERT_EQ(S().list.RowCount(), 3);
    const QStringList top = S().list.Rows()[0];
    EXPECT_EQ(top, QStringList({rows[2].name, rows[2].findkey, rows[2].dir, "3", "文件", rows[2].filesize,
                                rows[2].filedtime, "", rows[2].vol, "", ""}));
}

TEST_F(Import, CancelRulesOfAddRec) {
    MakeFile(disk + "/a.txt");
    // Cancelling the node picker or the file dialog imports nothing.
    AddFileRecords(S());
    prompts.nodes.push_back("0");
    AddFileRecords(S());
    EXPECT_TRUE(Rows().empty());
    // Cancelling the keyword dialog still imports: empty tags, INHERIT on.
    const QString node = AddNode("n", "T", "0");
    prompts.nodes.push_back(node);
    prompts.files.push_back(QStringList{P("a.txt")});
    prompts.CancelDialog(dlg::kKeyDialog);
    AddFileRecords(S());
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0].findkey, "  T  ");
    // OK with no node picked: inherited text " ".
    MakeFile(disk + "/b.txt");
    prompts.nodes.push_back(QString());
    prompts.files.push_back(QStringList{P("b.txt")});
    prompts.AnswerDialog(dlg::kKeyDialog, {{dlg::kTags, ""}, {dlg::kInherit, false}});
    AddFileRecords(S());
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(Rows()[1].findkey, "   ");
}

TEST_F(Import, SameFileCheckStopsChosenFilesButSkipsOnlyADroppedFile) {
    for (const char* n : {"A", "B", "C", "D"}) MakeFile(disk + "/" + n);
    AddDroppedFile(S(), P("B"));
    // ADD REC of A, B, C: B is catalogued, so the run ends there.
    prompts.nodes.push_back("0");
    prompts.files.push_back(QStringList{P("A"), P("B"), P("C")});
    AddFileRecords(S());
    EXPECT_EQ(Catalogued(), QStringList({"A", "B"}));
    // Dropping C, B, D skips B alone.
    for (const char* n : {"C", "B", "D"}) AddDroppedFile(S(), P(n));
    EXPECT_EQ(Catalogued(), QStringList({"A", "B", "C", "D"}));
    EXPECT_TRUE(prompts.messages.empty());
    // With the option off, a file can be catalogued again.
    S().options.same = false;
    AddDroppedFile(S(), P("A"));
    EXPECT_EQ(Count("select count(*) from main where dir='" + SqlText(P("A")) + "'"), 2);
}

TEST_F(Import, BackupCopyCountsAsCatalogued) {
    MakeFile(disk + "/it's.txt");
    const QString path = P("it's.txt");
    const QString vol = DiskIdOfPath(path);
    RecordWriter writer(S().catalogue);
    EXPECT_FALSE(writer.IsCatalogued(path, vol));
    ExecuteSql("insert into main4(recordid,filepath,vol) values(9,'" + SqlText(path) + "','" + vol + "')",
               adCmdTextNoRecords, S().catalogue);
    EXPECT_TRUE(writer.IsCatalogued(path, vol));
    EXPECT_FALSE(writer.IsCatalogued(path, vol + "1"));  // another disk
    AddDroppedFile(S(), path);
    EXPECT_TRUE(Rows().empty());
}

TEST_F(Import, FailedSameFileLookupIsReportedAndThePathImported) {
    // A backup table whose every read fails: the lookup in main finds nothing, the one in
    // main4 fails with the engine's error.
    ExecuteSql("drop table main4", adCmdTextNoRecords, S().catalogue);
    ExecuteSql(
        "create view main4 as select 0 as recordid, '' as filepath, '' as vol "
        "where abs(-9223372036854775807 - 1) > 0",
        adCmdTextNoRecords, S().catalogue);
    MakeFile(disk + "/a.txt");
    MakeDir(disk + "/t");
    MakeFile(disk + "/t/b.txt");

    // ADD REC: a message box with caption "info", then the file is imported.
    prompts.nodes.push_back("0");
    prompts.files.push_back(QStringList{P("a.txt")});
    AddFileRecords(S());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_EQ(Catalogued(), QStringList({"a.txt"}));

    // The folder walk reports it among its progress texts and imports the file too.
    RunTree(P("t"), "2", false, false);
    EXPECT_EQ(Catalogued(), QStringList({"a.txt", "t/b.txt"}));
    EXPECT_TRUE(prompts.statusTexts.filter(P("t/b.txt")).size() >= 2) << prompts.statusTexts.join("\n").toStdString();
    EXPECT_EQ(prompts.statusTexts.last(), "finish");
}

// The window's dialogs read a name that is not UTF-8 with U+FFFD for each byte they cannot
// decode; the import finds the file's real name again or refuses the path with a notice.
TEST_F(Import, DialogPathsWithUnreadableNamesFindTheirFilesAgain) {
    MakeDir(disk + "/dir\xe9");
    MakeFile(disk + "/dir\xe9/a\xff.txt", 5);
    MakeFile(disk + "/two\xfe", 1);
    MakeFile(disk + "/two\xfd", 1);  // both read as "two\uFFFD"
    const QString lost = QString(QChar(0xFFFD));
    const QString base = DecodePath(disk);
    struct Case {
        QString chosen;
        QByteArray expected;  // bytes of the path on disk; empty: refused
        // clang-format off
    } cases[] = {
        {base + "/dir" + lost + "/a" + lost + ".txt", disk + "/dir\xe9/a\xff.txt"},
        {base + "/dir" + lost, disk + "/dir\xe9"},
        {base + "/two" + lost, QByteArray()},              // two names read the same
        {base + "/gone" + lost + ".txt", QByteArray()},    // no such file
        {P("plain.txt"), disk + "/plain.txt"},             // nothing to repair: as given
    };
    // clang-format on
    for (const Case& c : cases) {
        const QString got = PathFromDialog(c.chosen);
        EXPECT_EQ(got, c.expected.isEmpty() ? QString() : DecodePath(c.expected)) << c.expected.toStdString();
    }

    // ADD REC: the repaired path is catalogued with its size; the refused one is named in
    // a notice and the others still go in.
    prompts.nodes.push_back("0");
    prompts.files.push_back(QStringList{base + "/two" + lost, cases[0].chosen});
    AddFileRecords(S());
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(EncodePath(Rows()[0].dir), disk + "/dir\xe9/a\xff.txt");
    EXPECT_FALSE(Rows()[0].filedtime.isEmpty());  // its status was read
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains(base + "/two" + lost));

    // ADD DIR: the folder's real name.
    prompts.folders.push_back(cases[1].chosen);
    prompts.nodes.push_back("0");
    AddFolderRecord(S());
    ASSERT_EQ(Rows().size(), 2u);
    EXPECT_EQ(EncodePath(Rows()[1].dir), disk + "/dir\xe9");
    EXPECT_EQ(Rows()[1].filetype, kFolderRecordType);
}

TEST_F(Import, DroppedAndNoteFilesGetTheirKeywordTexts) {
    const QString node = AddNode("n", "k1 k2", "0");
    S().nodes.current = node;
    MakeFile(disk + "/drop.txt");
    MakeFile(disk + "/PENLET_n.txt", 1048577);
    AddDroppedFile(S(), P("drop.txt"));
    AddNoteRecord(S(), P("PENLET_n.txt"), {"b", "a", "b"});
    AddNoteRecord(S(), P("PENLET_n.txt"), {"c"});  // catalogued already: skipped
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].findkey, " k1 k2  ");
    EXPECT_EQ(rows[1].findkey, "   a  b   ");
    EXPECT_EQ(rows[1].filesize, "1048577");  // notes store the byte count
    EXPECT_EQ(rows[1].filetype, "文件");
    S().nodes.current = "0";
}

// An export's temporary copy is never catalogued: each import command says so, in the
// order of the files, and imports the others.
TEST_F(Import, TemporaryCopiesAreRefusedWithAMessage) {
    const QString copy1 = P(".korvel-copy-1-a1b2c3");
    const QString copy2 = P(".korvel-copy-2-d4e5f6");
    MakeFile(EncodePath(copy1));
    MakeFile(EncodePath(copy2));
    MakeFile(disk + "/good.txt");
    MakeFile(disk + "/PENLET_n.txt");
    auto refusal = [](const QString& path) {
        return path + ": 导出时的临时文件，不是文档(an export's temporary copy, not a document)";
    };

    EXPECT_EQ(AddDroppedFile(S(), copy1).kind, Outcome::Kind::Failed);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, refusal(copy1));
    EXPECT_EQ(prompts.messages[0].caption, "info");
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);

    prompts.messages.clear();
    prompts.nodes.push_back("0");
    prompts.files.push_back(QStringList{copy1, P("good.txt"), copy2});
    const Outcome added = AddFileRecords(S());
    EXPECT_EQ(added.kind, Outcome::Kind::Partly);
    EXPECT_EQ(added.done, 1);
    EXPECT_EQ(added.notDone, 2);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, refusal(copy1));
    EXPECT_EQ(prompts.messages[1].text, refusal(copy2));
    EXPECT_EQ(Catalogued(), QStringList({"good.txt"}));

    // Below the commands nothing is shown: the problems come back with the step.
    prompts.messages.clear();
    const FileImport note = AddNoteRecord(S(), copy2, {"k"});
    EXPECT_EQ(note.step, FileStep::Failed);
    EXPECT_EQ(note.problems, QStringList({refusal(copy2)}));
    const FileImport ok = AddNoteRecord(S(), P("PENLET_n.txt"), {"k"});
    EXPECT_EQ(ok.step, FileStep::Added);
    EXPECT_TRUE(ok.problems.isEmpty());
    EXPECT_EQ(ok.added.record.path, P("PENLET_n.txt"));
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(Catalogued(), QStringList({"PENLET_n.txt", "good.txt"}));
}

TEST_F(Import, MissingFileIsImportedWithEmptyStatusTexts) {
    prompts.nodes.push_back("0");
    prompts.files.push_back(QStringList{P("vanished.txt")});
    AddFileRecords(S());
    ASSERT_EQ(Rows().size(), 1u);
    EXPECT_EQ(Rows()[0].filesize, "");
    EXPECT_EQ(Rows()[0].filedtime, "");
}

TEST_F(Import, AddFolderRecordQuotesPathAndName) {
    MakeDir(disk + "/it's a 'dir'");
    const QString path = P("it's a 'dir'");
    // Cancelling the folder picker or the node picker adds nothing.
    AddFolderRecord(S());
    prompts.folders.push_back(path);
    AddFolderRecord(S());
    EXPECT_TRUE(Rows().empty());

    prompts.folders.push_back(path);
    prompts.nodes.push_back("0");
    prompts.AnswerDialog(dlg::kKeyDialog, {{dlg::kTags, "x"}, {dlg::kInherit, false}});
    AddFolderRecord(S());
    const std::vector<Row> rows = Rows();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].dir, path);
    EXPECT_EQ(rows[0].name, "it's a 'dir'");
    EXPECT_EQ(rows[0].filetype, "文件夹");
    EXPECT_EQ(rows[0].findkey, " x  ");
    EXPECT_EQ(rows[0].vol, DiskIdOfPath(path));
    EXPECT_EQ(rows[0].filedtime, StatusTexts(path).timeText);
    ASSERT_EQ(S().list.RowCount(), 1);
    EXPECT_EQ(S().list.Rows()[0][2], path);
    EXPECT_EQ(S().list.Rows()[0][4], "文件夹");
}

// ---- ADD REC TREE ----------------------------------------------------------------------------------

namespace {

// top/f0.txt, top/s1/f1.txt, top/s1/s2/f2.txt, top/s1/s2/s3/f3.txt, top/s1/s2/s3/s4/f4.txt
void MakeChain(const QByteArray& disk) {
    QByteArray d = disk + "/top";
    MakeDir(d);
    MakeFile(d + "/f0.txt");
    for (int i = 1; i <= 4; ++i) {
        d += "/s" + QByteArray::number(i);
        MakeDir(d);
        MakeFile(d + "/f" + QByteArray::number(i) + ".txt");
    }
}

}  // namespace

TEST_F(Import, DepthDecidesWhatIsWalked) {
    MakeChain(disk);
    struct Case {
        const char* depth;
        QStringList expected;
        int storedDepth;
    };
    const QStringList d0 = {"top/f0.txt", "top/s1/"};
    const QStringList d1 = {"top/f0.txt", "top/s1/f1.txt", "top/s1/s2/"};
    // clang-format off
    const Case cases[] = {
        {"0", d0, 0},
        {"abc", d0, 0},
        {"1", d1, 1},
        {"-5", d1, 1},
        {"2", {"top/f0.txt", "top/s1/f1.txt", "top/s1/s2/f2.txt", "top/s1/s2/s3/"}, 2},
        {"50", {"top/f0.txt", "top/s1/f1.txt", "top/s1/s2/f2.txt", "top/s1/s2/s3/f3.txt", "top/s1/s2/s3/s4/f4.txt"}, 20},
    };
    // clang-format on
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        prompts.statusTexts.clear();
        EXPECT_TRUE(RunTree(P("top"), c.depth, false, true));
        EXPECT_EQ(Catalogued(), c.expected) << c.depth;
        EXPECT_EQ(S().presets.depth, c.storedDepth) << c.depth;
        ASSERT_FALSE(prompts.statusTexts.isEmpty());
        EXPECT_EQ(prompts.statusTexts.last(), "finish");
        EXPECT_TRUE(prompts.statusTexts.contains(P("top/f0.txt")));
    }
    EXPECT_EQ(Count("select count(*) from main2"), 0);  // no node tree asked for
    EXPECT_FALSE(S().catalogue.InTransaction());
}

TEST_F(Import, NodeTreeMirrorsFoldersAndRecordsCarryTheirKeywords) {
    const QString x = AddNode("X", "x1", "0");
    MakeDir(disk + "/A");
    MakeDir(disk + "/A/My Docs");
    MakeDir(disk + "/A/B");
    MakeFile(disk + "/A/B/g.txt");
    MakeFile(disk + "/A/My Docs/it's.txt");
    ASSERT_TRUE(RunTree(P("A") + "/", "2", true, true, x, "t9"));
    ReloadNodes(S().nodes, S().catalogue);
    std::map<QString, std::pair<QString, QString>> nodes;  // name -> (tags, parent name)
    for (const auto& [id, e] : S().nodes.map)
        if (id != "0") nodes[e.name] = {e.tags, S().nodes.map[e.parent].name};
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes["A"], std::make_pair(QString("A"), QString("X")));
    EXPECT_EQ(nodes["B"], std::make_pair(QString("B"), QString("A")));
    EXPECT_EQ(nodes["My-Docs"], std::make_pair(QString("My-Docs"), QString("A")));
    // Keywords: typed tags and the node's tags, then one folder name per level, each
    // blank doubled.
    Recordset rs = ExecuteSql("select findkey from main where name='g.txt'", adCmdText, S().catalogue);
    ASSERT_FALSE(rs.Eof());
    EXPECT_EQ(rs.Field(0).toString(), "    t9  x1  A    B  ");
    rs = ExecuteSql("select findkey from main where name='it''s.txt'", adCmdText, S().catalogue);
    ASSERT_FALSE(rs.Eof());
    EXPECT_TRUE(rs.Field(0).toString().contains(" My-Docs "));
}

TEST_F(Import, LastFolderRules) {
    MakeDir(disk + "/top");
    for (const char* n : {"report.files", ".files", "x.files", "plain"}) MakeDir(disk + "/top/" + n);
    RunTree(P("top"), "0", false, true);
    EXPECT_EQ(Catalogued(), QStringList({"top/.files/", "top/plain/"}));
    ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
    RunTree(P("top"), "0", false, false);
    EXPECT_TRUE(Catalogued().isEmpty());
}

TEST_F(Import, FileAndFolderFilters) {
    MakeDir(disk + "/top");
    MakeFile(disk + "/top/a.tmp");
    MakeFile(disk + "/top/b.txt");
    for (const char* d : {"skip", "take"}) {
        MakeDir(disk + "/top/" + d);
        MakeFile(disk + "/top/" + d + "/in.txt");
    }
    struct Case {
        bool fileFlag, dirFlag;
        QStringList file, ffn, dir, fdn;
        QStringList expected;
    };
    // clang-format off
    const Case cases[] = {
        {true, true, {"*.tmp"}, {}, {"skip"}, {}, {"top/b.txt", "top/take/in.txt"}},
        {true, true, {}, {}, {}, {}, {"top/a.tmp", "top/b.txt", "top/skip/in.txt", "top/take/in.txt"}},
        {false, true, {"*.tmp"}, {"*.txt"}, {}, {}, {"top/b.txt", "top/skip/in.txt", "top/take/in.txt"}},
        {false, true, {}, {}, {}, {}, {}},  // empty ffn with the file filter off: no file
        {true, false, {}, {}, {}, {"take"}, {"top/a.tmp", "top/b.txt", "top/take/in.txt"}},
        {true, false, {}, {}, {}, {}, {"top/a.tmp", "top/b.txt"}},
    };
    // clang-format on
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        S().options.trend = c.fileFlag;
        S().options.dtrend = c.dirFlag;
        S().filters.List("file") = c.file;
        S().filters.List("ffn") = c.ffn;
        S().filters.List("dir") = c.dir;
        S().filters.List("fdn") = c.fdn;
        RunTree(P("top"), "2", false, true);
        EXPECT_EQ(Catalogued(), c.expected) << c.fileFlag << c.dirFlag;
    }
}

TEST_F(Import, ImportListRecordsTheFolderOncePerMatchingFile) {
    MakeDir(disk + "/proj");
    MakeFile(disk + "/proj/a.sln");
    MakeFile(disk + "/proj/b.sln");
    MakeFile(disk + "/proj/c.txt");
    S().filters.List("import") = {"*.sln"};
    S().options.same = false;
    RunTree(P("proj"), "2", false, true);
    EXPECT_EQ(Catalogued(), QStringList({"proj/", "proj/", "proj/a.sln", "proj/b.sln", "proj/c.txt"}));
    ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
    S().options.same = true;
    RunTree(P("proj"), "2", false, true);
    EXPECT_EQ(Catalogued(), QStringList({"proj/", "proj/a.sln", "proj/b.sln", "proj/c.txt"}));
}

TEST_F(Import, StrangeNamesOpenTheirFilesAgain) {
    MakeDir(disk + "/top");
    const QByteArray names[] = {"it's.txt", "a b  c.txt", "中文 名字.txt", "bad\xff\xfe.txt", "l\xe9gacy.doc"};
    std::set<QByteArray> expected;
    for (const QByteArray& n : names) {
        MakeFile(disk + "/top/" + n);
        expected.insert(disk + "/top/" + n);
    }
    MakeDir(disk + "/top/dir\xff 'q'");
    MakeFile(disk + "/top/dir\xff 'q'/x.txt");
    expected.insert(disk + "/top/dir\xff 'q'/x.txt");
    RunTree(P("top"), "2", true, true);
    std::set<QByteArray> stored;
    for (const Row& r : Rows()) {
        const QByteArray native = EncodePath(r.dir);
        stored.insert(native);
        struct stat st;
        EXPECT_EQ(::stat(native.constData(), &st), 0) << native.constData();
        EXPECT_EQ(r.name, r.dir.mid(r.dir.lastIndexOf('/') + 1));
    }
    EXPECT_EQ(stored, expected);
    // The folder with the odd name got its node.
    EXPECT_EQ(Count("select count(*) from main2 where name like 'dir%'"), 1);
    // Importing again finds every one of them catalogued.
    RunTree(P("top"), "2", false, true);
    EXPECT_EQ(Rows().size(), expected.size());
}

TEST_F(Import, SymlinkLoopsAreNotFollowed) {
    MakeDir(disk + "/top");
    MakeDir(disk + "/top/a");
    MakeFile(disk + "/top/a/f.txt");
    ASSERT_EQ(::symlink("..", (disk + "/top/a/up").constData()), 0);
    ASSERT_EQ(::symlink((disk + "/top").constData(), (disk + "/top/a/self").constData()), 0);
    ASSERT_EQ(::symlink("a/f.txt", (disk + "/top/link.txt").constData()), 0);
    ASSERT_EQ(::symlink("nowhere", (disk + "/top/dangling.txt").constData()), 0);
    RunTree(P("top"), "20", true, true);
    // The link to a file is catalogued as that file's other name; links to folders and
    // dangling links are not.
    EXPECT_EQ(Catalogued(), QStringList({"top/a/f.txt", "top/link.txt"}));
    EXPECT_EQ(Count("select count(*) from main2"), 2);  // top and a
}

TEST_F(Import, EntriesThatVanishDuringTheWalk) {
    MakeDir(disk + "/top");
    MakeFile(disk + "/top/keep.txt");
    MakeFile(disk + "/top/gone.txt");
    MakeDir(disk + "/top/gonedir");
    MakeFile(disk + "/top/gonedir/x.txt");
    MakeDir(disk + "/top/other");
    MakeFile(disk + "/top/other/y.txt");
    S().presets.entryHook = ([](const QByteArray& path) {
        if (path.endsWith("/gone.txt")) ::unlink(path.constData());
        if (path.endsWith("/gonedir")) std::filesystem::remove_all(path.constData());
    });
    RunTree(P("top"), "2", true, true);
    EXPECT_EQ(Catalogued(), QStringList({"top/keep.txt", "top/other/y.txt"}));
    EXPECT_EQ(Count("select count(*) from main2 where name='gonedir'"), 0);  // no node either
    EXPECT_EQ(Count("select count(*) from main2"), 2);
    EXPECT_EQ(prompts.statusTexts.last(), "finish");
}

TEST_F(Import, UnreadableFolderContributesNothing) {
    MakeDir(disk + "/top");
    MakeDir(disk + "/top/closed");
    MakeFile(disk + "/top/closed/x.txt");
    MakeFile(disk + "/top/open.txt");
    ::chmod((disk + "/top/closed").constData(), 0);
    // Root reads every folder: walk as an ordinary user then (the catalogue is already open,
    // so its files stay writable through their open descriptors).
    const bool asRoot = ::geteuid() == 0;
    if (asRoot) {
        ::chmod(disk.constData(), 0755);
        ASSERT_EQ(::seteuid(65534), 0);
    }
    RunTree(P("top"), "2", true, true);
    if (asRoot) {
        ASSERT_EQ(::seteuid(0), 0);
    }
    ::chmod((disk + "/top/closed").constData(), 0755);
    EXPECT_EQ(Catalogued(), QStringList({"top/open.txt"}));
    EXPECT_EQ(Count("select count(*) from main2"), 1);
}

TEST_F(Import, StopKeepsWhatWasImportedAndCommitsIt) {
    MakeDir(disk + "/top");
    for (int i = 0; i < 20; ++i) MakeFile(disk + "/top/f" + QByteArray::number(i));
    int seen = 0;
    S().presets.entryHook = ([&seen](const QByteArray&) {
        if (++seen == 6) S().ops.import.RequestStop();
    });
    RunTree(P("top"), "2", true, true);
    // The entry during which stop was pressed is finished; the walk ends before the next.
    EXPECT_EQ(Rows().size(), 6u);
    EXPECT_FALSE(prompts.statusTexts.contains("finish"));
    EXPECT_FALSE(S().catalogue.InTransaction());
    // Another connection sees the rows: they were committed.
    Connection other;
    other.Open(kConnectionString);
    Recordset rs = other.Execute("select count(*) from main", adCmdText);
    EXPECT_EQ(rs.Field(0).toLongLong(), 6);
}

TEST_F(Import, UnreadableRootImportsNothingAndSaysSo) {
    RunTree(P("no such folder"), "2", true, true);
    EXPECT_TRUE(Rows().empty());
    EXPECT_EQ(Count("select count(*) from main2"), 0);
    // Said in the progress texts and once more after the dialog; never "finish".
    ASSERT_EQ(prompts.statusTexts.size(), 1);
    EXPECT_TRUE(prompts.statusTexts[0].contains(P("no such folder")));
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, prompts.statusTexts[0]);
    EXPECT_EQ(prompts.messages[0].icon, MsgIcon::Exclamation);
    // Cancelling the node picker or the dialog starts nothing.
    EXPECT_EQ(ImportRecordTree(S()).kind, Outcome::Kind::Refused);
    prompts.nodes.push_back("0");
    EXPECT_EQ(ImportRecordTree(S()).kind, Outcome::Kind::Refused);
}

TEST_F(Import, ReimportAddsNoRecordAndWalkValuesMatchTheFileStatus) {
    MakeChain(disk);
    RunTree(P("top"), "2", false, true);
    const std::vector<Row> first = Rows();
    ASSERT_EQ(first.size(), 4u);
    for (const Row& r : first) {
        const FileStatusTexts t = StatusTexts(r.dir);
        EXPECT_EQ(r.filedtime, t.timeText);
        EXPECT_EQ(r.filesize, t.sizeText);
        EXPECT_EQ(r.vol, DiskIdOfPath(r.dir));
    }
    RunTree(P("top"), "2", false, true);
    EXPECT_EQ(Rows().size(), first.size());
}

// ---- korvel-cli -------------------------------------------------------------------------------------

namespace {

struct CliResult {
    int code;
    QString out, err;
};

CliResult Cli(const QStringList& args) {
    QProcess p;
    p.start(KORVEL_CLI, args);
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

TEST_F(Import, CliImportTreeAndAddFiles) {
    S().catalogue.Close();
    MakeChain(disk);
    MakeFile(disk + "/it's.txt");
    const QString w = work.path();
    CliResult r = Cli({"--dir", w, "import-tree", P("top"), "--node", "0", "--depth", "1", "--no-node-tree"});
    ASSERT_EQ(r.code, 0) << r.err.toStdString();
    QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
    // The walk's end, then the count of the content index built after it.
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines.mid(lines.size() - 2), (QStringList{"finish", "成功创建0条索引!"}));
    EXPECT_TRUE(lines.contains(P("top/s1/f1.txt")));

    r = Cli({"--dir", w, "add-files", "0", P("it's.txt"), P("top/f0.txt"), "--tags", "a b", "--no-inherit"});
    EXPECT_EQ(r.code, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains("added 4 " + P("it's.txt"))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains("already catalogued: " + P("top/f0.txt")));

    // Errors go to standard error with exit status 1.
    for (const QStringList& bad :
         {QStringList{"import-tree", P("top"), "--node", "77"}, QStringList{"import-tree", P("top")},
          QStringList{"import-tree", P("none"), "--node", "0"}, QStringList{"add-files", "0", P("none.txt")},
          QStringList{"add-files", "0", P("top")}}) {
        r = Cli(QStringList{"--dir", w} + bad);
        EXPECT_EQ(r.code, 1) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    S().catalogue.Open(kConnectionString);
    EXPECT_EQ(Rows().size(), 4u);
    Recordset rs = ExecuteSql("select findkey from main where name='it''s.txt'", adCmdText, S().catalogue);
    EXPECT_EQ(rs.Field(0).toString(), " a b  ");
}

TEST_F(Import, SigkillMidImportLeavesAnIntactCatalogue) {
    // The tree goes to memory when it can: creating files on the test machines' disks is slow.
    QTemporaryDir shm(QStringLiteral("/dev/shm/korvel-kill-XXXXXX"));
    const QByteArray tree = shm.isValid() ? QFile::encodeName(shm.path()) : disk;
    const int folders = 20, perFolder = 500;
    for (int d = 0; d < folders; ++d) {
        const QByteArray dir = tree + "/dir " + QByteArray::number(d);
        MakeDir(dir);
        for (int f = 0; f < perFolder; ++f) MakeFile(dir + "/文件 " + QByteArray::number(f) + ".txt", 0);
    }
    S().catalogue.Close();
    Connection watcher;  // opened before the writer starts; a WAL reader never waits
    watcher.Open(kConnectionString);

    // korvel-cli import-tree with its progress texts on a pipe.
    const RunningCli run = StartCli({"--dir", QFile::encodeName(work.path()), "import-tree", tree, "--node", "0"});
    ASSERT_NE(run.pid, 0);
    const pid_t pid = run.pid;

    // As soon as the first imported path is reported the walk is inside its first
    // transaction. Holding the process longer than the commit interval makes it commit at
    // its next entry; it is killed right after that, in the middle of the next batch.
    char buf[256];
    ASSERT_GT(::read(run.out, buf, sizeof buf), 0);
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(watcher.Execute("select count(*) from main", adCmdText).Field(0).toLongLong(), 0);
    ::kill(pid, SIGCONT);
    long long seen = 0;
    for (int i = 0; i < 20000 && seen == 0; ++i) {
        seen = watcher.Execute("select count(*) from main", adCmdText).Field(0).toLongLong();
        if (seen == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ::close(run.out);
    watcher.Close();
    EXPECT_TRUE(WIFSIGNALED(status));
    ASSERT_GT(seen, 0);

    S().catalogue.Open(kConnectionString);
    EXPECT_EQ(ExecuteSql("PRAGMA integrity_check", adCmdText, S().catalogue).Field(0).toString(), "ok");
    const long long kept = Count("select count(*) from main");
    EXPECT_GE(kept, seen);
    EXPECT_LT(kept, folders * perFolder);
    // Every row is whole: no record without its values, every one points at its file.
    EXPECT_EQ(Count("select count(*) from main where name is null or findkey is null or dir is null or "
                    "filetype is null or filesize is null or filedtime is null or fileinputdtime is null or "
                    "vol is null or name='' or filedtime=''"),
              0);
    for (const Row& r : Rows()) ASSERT_TRUE(PathExists(r.dir)) << r.dir.toStdString();
    S().catalogue.Close();

    // The catalogue goes on working: the same import again completes the tree once.
    CliResult again = Cli({"--dir", work.path(), "import-tree", DecodePath(tree), "--node", "0", "--no-node-tree"});
    ASSERT_EQ(again.code, 0) << again.err.toStdString();
    S().catalogue.Open(kConnectionString);
    EXPECT_EQ(Count("select count(*) from main where filetype='文件'"), folders * perFolder);
    EXPECT_EQ(Count("select count(distinct dir) from main"), folders * perFolder);
}

// Several programs writing into one catalogue at once: two korvel-cli imports, the
// window's own walk (in this process, on its worker thread) and korvel-cli add-node runs.
// All of them start while another program holds the write lock, so they queue for it.
// Every record and node of every one of them arrives, with unique ids, and each add-node
// prints the id of its own node.
TEST_F(Import, ProgramsWritingAtOnceLoseNothing) {
    QTemporaryDir shm(QStringLiteral("/dev/shm/korvel-conc-XXXXXX"));
    const QByteArray base = shm.isValid() ? QFile::encodeName(shm.path()) : disk;
    const int folders = 8, perFolder = 400;
    const QStringList trees = {"ta", "tb", "tc"};
    for (const QString& t : trees) {
        const QByteArray top = base + "/" + t.toLatin1();
        MakeDir(top);
        for (int d = 0; d < folders; ++d) {
            const QByteArray dir = top + "/" + t.toLatin1() + " " + QByteArray::number(d);
            MakeDir(dir);
            for (int f = 0; f < perFolder; ++f) MakeFile(dir + "/文件 " + QByteArray::number(f) + ".txt", 0);
        }
    }
    const QString root = DecodePath(base);

    // Another program holds the write lock while everybody starts.
    Connection holder;
    holder.Open(kConnectionString);
    holder.Begin();
    std::vector<std::unique_ptr<QProcess>> imports;
    for (const QString& t : {QString("ta"), QString("tb")}) {
        auto p = std::make_unique<QProcess>();
        // Into files: a pipe nobody reads would stall the writer.
        p->setStandardOutputFile(work.path() + "/" + t + ".out");
        p->setStandardErrorFile(work.path() + "/" + t + ".err");
        p->start(KORVEL_CLI, {"--dir", work.path(), "import-tree", root + "/" + t, "--node", "0"});
        ASSERT_TRUE(p->waitForStarted());
        imports.push_back(std::move(p));
    }
    ImportOptions options;
    options.depth = 2;
    WalkResult windowWalk;
    std::thread window(
        [&] { windowWalk = WalkFolder(root + "/tc", 1, " ", "0", WithHook(options), S().ops.import, S().catalogue); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    holder.Commit();

    // add-node runs while the imports are going on.
    QStringList addedIds;
    int whileImporting = 0;
    for (int i = 0; i < 15; ++i) {
        const bool importing =
            imports[0]->state() != QProcess::NotRunning || imports[1]->state() != QProcess::NotRunning;
        const CliResult r = Cli({"--dir", work.path(), "add-node", "0", "extra " + QString::number(i)});
        ASSERT_EQ(r.code, 0) << r.err.toStdString();
        addedIds << r.out.trimmed();
        if (importing) ++whileImporting;
    }
    window.join();
    for (auto& p : imports) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0);
    }
    EXPECT_GT(whileImporting, 0);
    for (const QString& t : {QString("ta"), QString("tb")}) {
        QFile out(work.path() + "/" + t + ".out"), err(work.path() + "/" + t + ".err");
        ASSERT_TRUE(out.open(QIODevice::ReadOnly) && err.open(QIODevice::ReadOnly));
        // The walk's end, then the count of the content index built after it.
        const QByteArray printed = out.readAll();
        EXPECT_TRUE(printed.contains("\nfinish\n") && printed.endsWith("条索引!\n")) << t.toStdString();
        EXPECT_EQ(err.readAll(), QByteArray()) << t.toStdString();
    }
    EXPECT_TRUE(windowWalk.Complete());
    EXPECT_EQ(windowWalk.records, folders * perFolder);

    // Every record of every tree, once; ids unique.
    const long long all = 3LL * folders * perFolder;
    EXPECT_EQ(Count("select count(*) from main"), all);
    EXPECT_EQ(Count("select count(distinct id) from main"), all);
    EXPECT_EQ(Count("select count(distinct dir) from main"), all);
    for (const QString& t : trees) {
        const QString top = SqlText(root + "/" + t + "/");
        EXPECT_EQ(Count("select count(*) from main where dir like '" + top + "%'"), folders * perFolder)
            << t.toStdString();
        // One node per folder, each sub-folder's node under its tree's node, and the
        // records of a sub-folder carry its name as a keyword.
        EXPECT_EQ(Count("select count(*) from main2 where name='" + t + "' and fid=0"), 1);
        EXPECT_EQ(Count("select count(*) from main2 n join main2 p on n.fid=p.id where p.name='" + t +
                        "' and n.name like '" + t + "-%'"),
                  folders);
        EXPECT_EQ(
            Count("select count(*) from main where dir like '" + top + t + " 3/%' and findkey like '% " + t + "-3 %'"),
            perFolder);
    }
    EXPECT_EQ(Count("select count(*) from main2"), 3 * (folders + 1) + 15);
    // Each add-node printed its own node's id.
    EXPECT_EQ(QSet<QString>(addedIds.begin(), addedIds.end()).size(), 15);
    for (int i = 0; i < addedIds.size(); ++i) {
        ASSERT_TRUE(IsIdText(addedIds[i])) << addedIds[i].toStdString();
        Recordset rs = ExecuteSql("select name from main2 where id=" + addedIds[i], adCmdText, S().catalogue);
        ASSERT_FALSE(rs.Eof());
        EXPECT_EQ(rs.Field(0).toString(), "extra " + QString::number(i));
    }
}

// A long import leaves the write lock free between its batches long enough for a waiting
// program to take it: add-node finishes while the import is still running, instead of
// waiting for its end (or failing after the busy timeout).
TEST_F(Import, AnotherProgramGetsItsTurnDuringALongImport) {
    MakeDir(disk + "/big");
    for (int f = 0; f < 3000; ++f) MakeFile(disk + "/big/f" + QByteArray::number(f), 0);
    // Two milliseconds per entry: a walk of six seconds in 500 ms batches, long enough for
    // three korvel-cli runs on a loaded machine (the walk reads ahead of the writer now).
    S().presets.entryHook = ([](const QByteArray&) { std::this_thread::sleep_for(std::chrono::microseconds(2000)); });
    std::atomic<bool> walkDone{false};
    ImportOptions options;
    WalkResult result;
    std::thread window([&] {
        result = WalkFolder(P("big"), 1, " ", "0", WithHook(options), S().ops.import, S().catalogue);
        walkDone = true;
    });
    // Wait until the walk has written (and so holds the lock in a batch).
    Connection watcher;
    watcher.Open(kConnectionString);
    while (watcher.Execute("select count(*) from main2", adCmdText).Field(0).toLongLong() == 0 && !walkDone)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (int i = 0; i < 3; ++i) {
        const CliResult r = Cli({"--dir", work.path(), "add-node", "0", "n" + QString::number(i)});
        EXPECT_EQ(r.code, 0) << r.err.toStdString();
        EXPECT_FALSE(walkDone) << "add-node " << i << " only got the lock after the walk";
    }
    window.join();
    EXPECT_TRUE(result.Complete());
    EXPECT_EQ(Count("select count(*) from main"), 3000);
    EXPECT_EQ(Count("select count(*) from main2"), 4);
}

// Inserts the catalogue refuses during a walk are counted and said, never followed by
// "finish": a refused row alone (the walk goes on), or a failure that makes the engine
// roll back the whole batch (the walk stops there). Either way the counts of the result
// are the rows in the catalogue.
TEST_F(Import, RefusedWritesDuringAWalkAreCountedAndSaid) {
    MakeDir(disk + "/top");
    MakeDir(disk + "/top/sub");
    MakeDir(disk + "/top/badnode");
    for (int i = 0; i < 5; ++i) {
        MakeFile(disk + "/top/f" + QByteArray::number(i));
        MakeFile(disk + "/top/sub/g" + QByteArray::number(i));
    }
    MakeFile(disk + "/top/bad1");
    MakeFile(disk + "/top/sub/bad2");
    MakeFile(disk + "/top/badnode/h");
    struct Case {
        const char* raise;  // how the triggers refuse
        bool walkGoesOn;
    } cases[] = {{"abort", true}, {"rollback", false}};
    for (const Case& c : cases) {
        ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("delete from main2", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("drop trigger if exists refuse_main", adCmdTextNoRecords, S().catalogue);
        ExecuteSql("drop trigger if exists refuse_main2", adCmdTextNoRecords, S().catalogue);
        ExecuteSql(QString("create trigger refuse_main before insert on main when new.name like 'bad%' "
                           "begin select raise(%1, 'refused record'); end")
                       .arg(c.raise),
                   adCmdTextNoRecords, S().catalogue);
        ExecuteSql(QString("create trigger refuse_main2 before insert on main2 when new.name = 'badnode' "
                           "begin select raise(%1, 'refused node'); end")
                       .arg(c.raise),
                   adCmdTextNoRecords, S().catalogue);
        S().ops.import.TakeAll();
        ImportOptions o;
        o.depth = 2;
        const WalkResult r = WalkFolder(P("top"), 1, " ", "0", WithHook(o), S().ops.import, S().catalogue);
        QStringList texts;
        for (QString t; S().ops.import.Take(t) == 0;) texts << t;

        EXPECT_FALSE(r.Complete()) << c.raise;
        EXPECT_FALSE(r.stopped);
        EXPECT_EQ(r.records, Count("select count(*) from main")) << c.raise;
        EXPECT_EQ(r.nodes, Count("select count(*) from main2")) << c.raise;
        EXPECT_FALSE(texts.contains("finish")) << c.raise;
        EXPECT_EQ(texts.last(), r.FailureText(P("top")));
        EXPECT_TRUE(texts.last().contains(QString("%1 record(s)").arg(r.failedRecords)));
        EXPECT_TRUE(texts.filter("refused").size() >= 1);
        if (c.walkGoesOn) {
            // Only the refused rows are missing; the records under the refused node's
            // folder are still written, its keyword texts do not depend on the node.
            EXPECT_EQ(r.records, 11);
            EXPECT_EQ(r.failedRecords, 2);
            EXPECT_EQ(r.nodes, 2);
            EXPECT_EQ(r.failedNodes, 1);
            EXPECT_TRUE(texts.contains("refused record: " + P("top/bad1")));
        } else {
            // Everything of the batch is gone and counted; the walk ended at the failure.
            EXPECT_EQ(r.records, 0);
            EXPECT_GE(r.failedRecords + r.failedNodes, 2);
            EXPECT_LT(r.records + r.failedRecords, 13);
        }
    }
    // The command says it once more after the progress dialog closed.
    prompts.messages.clear();
    ExecuteSql("drop trigger refuse_main2", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("drop trigger refuse_main", adCmdTextNoRecords, S().catalogue);
    ExecuteSql(
        "create trigger refuse_main before insert on main when new.name like 'bad%' "
        "begin select raise(abort, 'refused record'); end",
        adCmdTextNoRecords, S().catalogue);
    ExecuteSql("delete from main", adCmdTextNoRecords, S().catalogue);
    ExecuteSql("delete from main2", adCmdTextNoRecords, S().catalogue);
    RunTree(P("top"), "2", true, true);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_TRUE(prompts.messages[0].text.contains("2 record(s) and 0 node(s)"))
        << prompts.messages[0].text.toStdString();
    EXPECT_EQ(prompts.statusTexts.last(), prompts.messages[0].text);
}

// Two imports of the same tree at once, with the same-file check on: every file is
// catalogued exactly once, whichever import took it, also when their batches interleave
// in the middle of a folder.
TEST_F(Import, SameTreeImportedTwiceAtOnceCataloguesEachFileOnce) {
    const int folders = 2, perFolder = 800;
    MakeDir(disk + "/same");
    for (int d = 0; d < folders; ++d) {
        const QByteArray dir = disk + "/same/d" + QByteArray::number(d);
        MakeDir(dir);
        for (int f = 0; f < perFolder; ++f) MakeFile(dir + "/f" + QByteArray::number(f), 0);
    }
    // This process's walk goes slowly, so korvel-cli's batches fall in between.
    S().presets.entryHook = ([](const QByteArray&) { std::this_thread::sleep_for(std::chrono::microseconds(300)); });
    ImportOptions options;
    options.depth = 2;
    WalkResult mine;
    std::thread window(
        [&] { mine = WalkFolder(P("same"), 1, " ", "0", WithHook(options), S().ops.import, S().catalogue); });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    const CliResult cli = Cli({"--dir", work.path(), "import-tree", P("same"), "--node", "0", "--no-node-tree"});
    window.join();
    EXPECT_EQ(cli.code, 0) << cli.err.toStdString();
    EXPECT_TRUE(mine.Complete());
    EXPECT_EQ(Count("select count(*) from main"), folders * perFolder);
    EXPECT_EQ(Count("select count(distinct dir) from main"), folders * perFolder);
    EXPECT_EQ(mine.records + mine.catalogued, folders * perFolder);
    // Whether the two really ran at once depends on how fast korvel-cli starts (slow under
    // a sanitizer build or a loaded machine); the counts above hold either way.
    if (mine.catalogued == 0 || mine.records == 0) GTEST_SKIP() << "the two imports did not overlap on this run";
}

// A tree large enough that the walk hands its steps over in many pieces: every file lands
// once, under the keywords of its own folders, and every folder's node hangs under the
// node of its parent folder.
TEST_F(Import, LargeTreeKeepsEveryRecordWithItsFoldersAndEveryNodeUnderItsParent) {
    const int fan = 4, perFolder = 120;
    std::vector<QByteArray> folders;
    MakeDir(disk + "/big");
    for (int a = 0; a < fan; ++a) {
        const QByteArray da = disk + "/big/a" + QByteArray::number(a);
        MakeDir(da);
        for (int b = 0; b < fan; ++b) {
            const QByteArray db = da + "/b" + QByteArray::number(a) + "_" + QByteArray::number(b);
            MakeDir(db);
            folders.push_back(db);
            for (int c = 0; c < fan; ++c) {
                const QByteArray dc =
                    db + "/c" + QByteArray::number(a) + "_" + QByteArray::number(b) + "_" + QByteArray::number(c);
                MakeDir(dc);
                folders.push_back(dc);
            }
        }
    }
    for (const QByteArray& f : folders)
        for (int i = 0; i < perFolder; ++i) MakeFile(f + "/f" + QByteArray::number(i), 0);
    ImportOptions o;
    o.depth = 20;
    const WalkResult r = WalkFolder(P("big"), 1, " ", "0", o, S().ops.import, S().catalogue);
    ASSERT_TRUE(r.Complete());
    const long long files = static_cast<long long>(folders.size()) * perFolder;
    EXPECT_EQ(r.records, files);
    EXPECT_EQ(Count("select count(*) from main"), files);
    EXPECT_EQ(Count("select count(distinct dir) from main"), files);
    // Each record's keywords name the folders of its path below the root, in order.
    Recordset rs = ExecuteSql("select dir, findkey from main", adCmdText, S().catalogue);
    const QString base = P("big");
    int checked = 0;
    for (; !rs.Eof(); rs.MoveNext(), ++checked) {
        const QString dir = rs.Field(0).toString();
        ASSERT_TRUE(dir.startsWith(base + "/")) << dir.toStdString();
        QStringList pieces = dir.mid(base.size() + 1).split('/');
        pieces.removeLast();
        QString k = " ";  // the keywords the walk was given
        for (const QString& folder : QStringList{"big"} + pieces) k = " " + k + " " + folder + " ";
        ASSERT_EQ(rs.Field(1).toString().toStdString(), k.replace(" ", "  ").toStdString()) << dir.toStdString();
    }
    EXPECT_EQ(checked, files);
    // One node per folder; each under the node of the folder it is in ("big" under the root).
    EXPECT_EQ(r.nodes, 1 + fan + static_cast<int>(folders.size()));
    EXPECT_EQ(Count("select count(*) from main2"), r.nodes);
    EXPECT_EQ(Count("select count(*) from main2 n join main2 p on n.fid = p.id "
                    "where (n.name like 'a%' and p.name = 'big') "
                    "or (n.name like 'b%' and p.name = 'a' || substr(n.name, 2, 1)) "
                    "or (n.name like 'c%' and p.name = 'b' || substr(n.name, 2, 3))"),
              r.nodes - 1);
    EXPECT_EQ(Count("select count(*) from main2 where name = 'big' and fid = 0"), 1);
}

// While the walk is held up on one entry (a slow disk), the batch it had open still ends
// in time: what was read before the hold-up is committed, and another program's write
// gets the lock during the hold-up, not after it.
TEST_F(Import, AWalkHeldUpOnAnEntryCommitsAndLeavesTheLockFree) {
    MakeDir(disk + "/top");
    for (int i = 0; i < 60; ++i) MakeFile(disk + "/top/f" + QByteArray::number(i));
    std::atomic<bool> holding{false};
    int seen = 0;
    S().presets.entryHook = ([&holding, &seen](const QByteArray&) {
        if (++seen != 30) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
            return;
        }
        holding = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(4000));
        holding = false;
    });
    ImportOptions options;
    WalkResult result;
    std::thread window(
        [&] { result = WalkFolder(P("top"), 1, " ", "0", WithHook(options), S().ops.import, S().catalogue); });
    while (!holding) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    Connection other;
    other.Open(kConnectionString);
    other.SetBusyTimeout(2500);
    bool wrote = false;
    long long landed = 0;
    try {
        other.Execute("insert into main2(name, findkey, fid) values('other', 'other', 0)", adCmdTextNoRecords);
        wrote = true;
        landed = other.Execute("select count(*) from main", adCmdText).Field(0).toLongLong();
    } catch (const DbError& e) {
        ADD_FAILURE() << e.description().toStdString();
    }
    EXPECT_TRUE(wrote && holding) << "the other program only got the lock after the hold-up";
    EXPECT_GT(landed, 0);
    EXPECT_LT(landed, 30);
    window.join();
    EXPECT_TRUE(result.Complete());
    EXPECT_EQ(Count("select count(*) from main"), 60);
    EXPECT_EQ(Count("select count(*) from main2"), 2);
}

// Batches that run past the first one have their pages copied into the catalogue file by
// the time EndBatch returns, and the connection checkpoints as the engine does by itself
// again afterwards.
TEST_F(Import, LongBatchedWritesEndWithEveryPageInTheCatalogueFile) {
    Connection& conn = S().catalogue;
    const auto pragma = [&](const char* text) {
        Statement st(conn, QString::fromLatin1(text));
        return st.Step() ? st.Column(0).toLongLong() : -1;
    };
    const long long autoBefore = pragma("PRAGMA wal_autocheckpoint");
    const QString longName = QString(300, QChar(u'档'));
    {
        RecordWriter writer(conn);
        writer.BeginBatch(std::chrono::milliseconds(20));
        for (int i = 0; i < 3000; ++i) {
            NewRecord r;
            r.path = "/data/" + longName + "/" + QString::number(i);
            r.name = QString::number(i);
            r.type = kFileRecordType;
            r.vol = "7";
            writer.Insert(r);
            writer.CommitIfDue();
            if (i % 200 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        ASSERT_GT(writer.BatchSerial(), 3);
        writer.EndBatch();
        EXPECT_FALSE(conn.InTransaction());
    }
    EXPECT_EQ(pragma("PRAGMA wal_autocheckpoint"), autoBefore);
    EXPECT_EQ(Count("select count(*) from main"), 3000);
    // Every page of the catalogue is in its file: none lives only in the WAL.
    const long long pages = pragma("PRAGMA page_count");
    const long long pageSize = pragma("PRAGMA page_size");
    struct stat st;
    ASSERT_EQ(::stat((work.path() + "/kv.kdb").toUtf8().constData(), &st), 0);
    EXPECT_GT(pages, 1000);
    EXPECT_EQ(static_cast<long long>(st.st_size), pages * pageSize);
}
