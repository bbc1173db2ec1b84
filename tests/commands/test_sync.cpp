// Synchronisation into another catalogue: record matching and updating, the target's bad
// cases, the batches a killed run leaves, node subtrees, the commands and korvel-cli.
#include "base/fsutil.h"
#include "support/state.h"
#include "base/longop.h"
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "store/volroots.h"
#include "support/startcli.h"
#include "support/catalogue.h"
#include "support/scripted_prompter.h"
#include "commands/syncmenu.h"
#include "tree/nodes.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

using namespace korvel;

namespace {

QByteArray Digest(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

struct Rec {
    QString dir, vol, time, size = QStringLiteral("1 K"), name = QStringLiteral("n");
};

// Inserts a record with bound values; returns its id.
qint64 AddRecord(Connection& conn, const Rec& r) {
    Statement st(conn, QStringLiteral("insert into main(name, findkey, dir, filetype, filesize, filedtime, "
                                      "fileinputdtime, vol) values(?, ' t ', ?, '文件', ?, ?, '2020-1-1 1:02:03', ?)"));
    st.Bind(1, r.name);
    st.Bind(2, r.dir);
    st.Bind(3, r.size);
    st.Bind(4, r.time);
    st.Bind(5, r.vol);
    st.Step();
    return conn.LastInsertId();
}

void AddBackup(Connection& conn, qint64 record, const QString& path, const QString& vol) {
    Statement st(conn, QStringLiteral("insert into main4(recordid, filepath, vol) values(?, ?, ?)"));
    st.Bind(1, record);
    st.Bind(2, path);
    st.Bind(3, vol);
    st.Step();
}

QStringList Column(Connection& conn, const QString& sql) {
    QStringList out;
    Statement st(conn, sql);
    while (st.Step()) {
        QStringList cells;
        for (int i = 0; i < st.ColumnCount(); ++i) cells << VariantToText(st.Column(i));
        out << cells.join(u'|');
    }
    return out;
}

// A source catalogue (the working folder's kv.kdb, open in S().catalogue) and an empty
// target catalogue in the folder "t", open in `target`.
class Sync : public ::testing::Test {
protected:
    TempCatalogue source;
    Connection target;
    QString targetPath;
    QStringList progress;
    void SetUp() override {
        QDir().mkdir("t");
        targetPath = QDir::current().absoluteFilePath("t/kv.kdb");
        CreateCatalogue(targetPath);
        target.Open(ConnectionStringFor(targetPath));
    }
    void TearDown() override { target.Close(); }
    SyncCounts Run(const std::optional<QStringList>& ids = std::nullopt) {
        return SyncRecords(S().catalogue, target, QDir::current().absoluteFilePath("t"), ids,
                           [this](const QString& t) { progress << t; });
    }
};

TEST_F(Sync, InsertsOnceThenMatchesKeepingValuesAndWildcardsLiteral) {
    AddRecord(S().catalogue, {"/data/it's 50%_a.txt", "11", "2020-01-02 03:04:05"});
    AddRecord(S().catalogue, {"/data/axb.txt", "11", "2020-01-02 03:04:05", "2 K", "o'neil"});
    AddRecord(S().catalogue, {"/data/a_b.txt", "11", "2020-01-02 03:04:05"});  // "_" is no wildcard
    AddRecord(S().catalogue, {"/data/a%.txt", "11", "2020-01-02 03:04:05"});   // "%" neither
    SyncCounts c = Run();
    EXPECT_EQ(c.inserted, 4);
    EXPECT_EQ(c.updated, 0);
    EXPECT_EQ(SyncFinishText(c), "finish syn insert=4 update=0");
    EXPECT_EQ(progress, QStringList({"/data/it's 50%_a.txt", "/data/axb.txt", "/data/a_b.txt", "/data/a%.txt"}));
    EXPECT_EQ(Column(target,
                     "select name, findkey, dir, filetype, filesize, filedtime, fileinputdtime, vol, "
                     "filedesc, yourid from main where dir='/data/axb.txt'"),
              QStringList({"o'neil| t |/data/axb.txt|文件|2 K|2020-01-02 03:04:05|2020-1-1 1:02:03|11|NULL|NULL"}));

    // Every row matched, none newer: nothing changes.
    progress.clear();
    const QByteArray before = Column(target, "select * from main order by id").join('\n').toUtf8();
    c = Run();
    EXPECT_EQ(SyncFinishText(c), "finish syn insert=0 update=0");
    EXPECT_TRUE(progress.isEmpty());
    EXPECT_EQ(Column(target, "select * from main order by id").join('\n').toUtf8(), before);
}

// A copied record keeps each value as the source stores it: its type (a number stays a
// number), its empty values (NULL stays NULL) and its catalogue time.
TEST_F(Sync, ACopiedRecordKeepsTheTypesAndEmptyValuesOfItsSource) {
    S().catalogue.Execute(
        "insert into main(name, findkey, dir, filetype, filesize, filedtime, fileinputdtime, vol) values"
        "('a', ' t ', '/data/a.txt', '文件', 2048, NULL, '2019-5-6 7:08:09', NULL),"
        "(NULL, '', '/data/b.txt', NULL, 1.5, '2020-01-02 03:04:05', NULL, '')",
        adCmdTextNoRecords);
    EXPECT_EQ(Run().inserted, 2);
    const QString values =
        "select quote(name), quote(findkey), quote(dir), quote(filetype), quote(filesize), "
        "quote(filedtime), quote(fileinputdtime), quote(vol) from main order by dir";
    EXPECT_EQ(Column(target, values), Column(S().catalogue, values));
}

// One source record against a target, with the volume roots each side remembers.
struct MatchCase {
    const char* what;
    Rec source;
    QStringList sourceRoots;  // roots the source remembers for the source's identity
    Rec targetRecord;         // empty dir: none
    QStringList targetRoots;
    const char* backupPath;  // a backup copy of the target record (same identity), or nullptr
    int inserted, updated;
};

TEST_F(Sync, MatchingByIdentityAndPathBelowTheRoot) {
    target.Close();
    // clang-format off
    const MatchCase cases[] = {
        {"same path, same time", {"/m/docs/a.txt", "77", "2020-01-02 03:04:05"}, {}, {"/m/docs/a.txt", "77", "2020-01-02 03:04:05"}, {}, nullptr, 0, 0},
        {"same path, later", {"/m/docs/a.txt", "77", "2020-01-02 03:04:06"}, {}, {"/m/docs/a.txt", "77", "2020-01-02 03:04:05"}, {}, nullptr, 0, 1},
        {"same path, earlier", {"/m/docs/a.txt", "77", "2019-01-02 03:04:06"}, {}, {"/m/docs/a.txt", "77", "2020-01-02 03:04:05"}, {}, nullptr, 0, 0},
        {"later as a time, not as a text", {"/m/a", "77", "2009-10-01"}, {}, {"/m/a", "77", "2009-9-30"}, {}, nullptr, 0, 1},
        {"not times: texts without case", {"/m/a", "77", "B"}, {}, {"/m/a", "77", "a"}, {}, nullptr, 0, 1},
        {"other identity", {"/m/a", "77", "2020-01-01"}, {}, {"/m/a", "78", "2019-01-01"}, {}, nullptr, 1, 0},
        {"drive letters differ", {"E:\\docs\\a.txt", "77", "2020-01-02"}, {}, {"D:\\docs\\a.txt", "77", "2020-01-01"}, {}, nullptr, 0, 1},
        {"drive letters, other identity", {"E:\\docs\\a.txt", "77", "2020-01-02"}, {}, {"D:\\docs\\a.txt", "78", "2020-01-01"}, {}, nullptr, 1, 0},
        {"mounted elsewhere", {"/media/u/A/docs/x.txt", "77", "2020-01-02"}, {"/media/u/A"}, {"/mnt/b/docs/x.txt", "77", "2020-01-01"}, {"/mnt/b"}, nullptr, 0, 1},
        {"drive form against a mount point", {"E:\\docs\\x.txt", "77", "2020-01-02"}, {}, {"/mnt/b/docs/x.txt", "77", "2020-01-01"}, {"/mnt/b"}, nullptr, 0, 1},
        {"mount point against drive form", {"/media/A/docs/x.txt", "77", "2020-01-02"}, {"/media/A"}, {"F:\\docs\\x.txt", "77", "2020-01-01"}, {}, nullptr, 0, 1},
        {"the root is a whole component", {"/media/AB/docs/x.txt", "77", "2020-01-02"}, {"/media/A"}, {"/mnt/b/B/docs/x.txt", "77", "2020-01-01"}, {"/mnt/b"}, nullptr, 1, 0},
        {"tail differs in case", {"/media/A/Docs/x.txt", "77", "2020-01-02"}, {"/media/A"}, {"/mnt/b/docs/x.txt", "77", "2020-01-01"}, {"/mnt/b"}, nullptr, 1, 0},
        {"'_' matches only itself", {"/m/a_b", "77", "2020-01-02"}, {}, {"/m/axb", "77", "2020-01-01"}, {}, nullptr, 1, 0},
        {"'%' matches only itself", {"/m/a%", "77", "2020-01-02"}, {}, {"/m/abc", "77", "2020-01-01"}, {}, nullptr, 1, 0},
        {"a backup copy's record", {"/m/copy.txt", "77", "2020-01-02"}, {}, {"/m/own.txt", "77", "2020-01-01"}, {}, "/m/copy.txt", 0, 1},
        {"a backup copy elsewhere", {"/media/A/copy.txt", "77", "2020-01-02"}, {"/media/A"}, {"/mnt/b/own.txt", "77", "2020-01-03"}, {"/mnt/b"}, "/mnt/b/copy.txt", 0, 0},
    };
    // clang-format on
    for (const MatchCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempCatalogue src;
        QDir().mkdir("t");
        const QString tpath = QDir::current().absoluteFilePath("t/kv.kdb");
        CreateCatalogue(tpath);
        Connection tgt;
        tgt.Open(ConnectionStringFor(tpath));
        AddRecord(S().catalogue, c.source);
        for (const QString& r : c.sourceRoots) RememberVolumeRoot(c.source.vol, r, S().catalogue);
        qint64 tid = AddRecord(tgt, c.targetRecord);
        for (const QString& r : c.targetRoots) RememberVolumeRoot(c.targetRecord.vol, r, tgt);
        if (c.backupPath) AddBackup(tgt, tid, QString::fromUtf8(c.backupPath), c.targetRecord.vol);
        const SyncCounts n =
            SyncRecords(S().catalogue, tgt, QDir::current().absoluteFilePath("t"), std::nullopt, [](const QString&) {});
        EXPECT_EQ(n.inserted, c.inserted);
        EXPECT_EQ(n.updated, c.updated);
        const QString expectTime = c.updated ? c.source.time : c.targetRecord.time;
        EXPECT_EQ(Column(tgt, QStringLiteral("select filedtime, filesize from main where id=%1").arg(tid)),
                  QStringList({expectTime + "|1 K"}));
        EXPECT_EQ(Column(tgt, "select count(*) from main"), QStringList({QString::number(1 + c.inserted)}));
        tgt.Close();
    }
}

TEST_F(Sync, SelectedIdsOnlyAndInsertedPathsRememberTheirRoot) {
    const qint64 a = AddRecord(S().catalogue, {"/media/u/A/x.txt", "77", "2020-01-02"});
    AddRecord(S().catalogue, {"/media/u/A/y.txt", "77", "2020-01-02"});
    const qint64 c = AddRecord(S().catalogue, {"/media/u/A/z.txt", "77", "2020-01-02"});
    RememberVolumeRoot("77", "/media/u/A", S().catalogue);
    SyncCounts n = Run(QStringList{QString::number(c), "999", QString::number(a)});
    EXPECT_EQ(n.inserted, 2);
    EXPECT_EQ(Column(target, "select dir from main order by dir"),
              QStringList({"/media/u/A/x.txt", "/media/u/A/z.txt"}));
    EXPECT_EQ(RememberedRoots("77", target), QStringList({"/media/u/A"}));
    EXPECT_EQ(Run(QStringList{}).inserted, 0);
}

TEST_F(Sync, IndexFoldersFollowInsertedAndUpdatedRecords) {
    const qint64 a = AddRecord(S().catalogue, {"/m/a", "77", "2020-01-02"});
    const qint64 b = AddRecord(S().catalogue, {"/m/b", "77", "2020-01-05"});
    AddRecord(target, {"/m/x", "77", "2020-01-01"});                    // target id 1
    const qint64 tb = AddRecord(target, {"/m/b", "77", "2020-01-01"});  // target id 2, older
    for (qint64 id : {a, b}) {
        QDir().mkpath(QStringLiteral("index/%1/sub").arg(id));
        QFile f(QStringLiteral("index/%1/sub/terms").arg(id));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray::number(id));
    }
    QDir().mkpath(QStringLiteral("t/index/%1").arg(tb));
    QFile stale(QStringLiteral("t/index/%1/stale").arg(tb));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();
    SyncCounts n = Run();
    EXPECT_EQ(n.inserted, 1);
    EXPECT_EQ(n.updated, 1);
    const qint64 ta = Column(target, "select id from main where dir='/m/a'").value(0).toLongLong();
    auto read = [](const QString& p) {
        QFile f(p);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("missing");
    };
    EXPECT_EQ(read(QStringLiteral("t/index/%1/sub/terms").arg(ta)), QByteArray::number(a));
    EXPECT_EQ(read(QStringLiteral("t/index/%1/sub/terms").arg(tb)), QByteArray::number(b));
    EXPECT_FALSE(QFile::exists(QStringLiteral("t/index/%1/stale").arg(tb)));
    EXPECT_TRUE(QFile::exists(QStringLiteral("index/%1/sub/terms").arg(a)));
}

TEST_F(Sync, NoIndexFolderIsCopiedIntoThisWorkingFolder) {
    // A target beside the open catalogue shares its "index/": copying would overwrite the
    // index folders of this catalogue's own records.
    target.Close();
    CreateCatalogue("other.kdb");
    Connection beside;
    beside.Open(ConnectionStringFor("other.kdb"));
    AddRecord(beside, {"/m/x", "77", "2020"});
    AddRecord(beside, {"/m/y", "77", "2020"});
    const qint64 id = AddRecord(S().catalogue, {"/m/a", "77", "2020"});
    QDir().mkpath(QStringLiteral("index/%1").arg(id));
    QDir().mkpath("index/3");
    QFile own("index/3/own");
    ASSERT_TRUE(own.open(QIODevice::WriteOnly));
    own.close();
    SyncRecords(S().catalogue, beside, QDir::currentPath(), std::nullopt, [](const QString&) {});
    EXPECT_TRUE(QFile::exists("index/3/own"));
}

TEST_F(Sync, BadTargetsAreRefusedUnchangedWithTheReason) {
    target.Close();
    AddRecord(S().catalogue, {"/m/a", "77", "2020"});
    // Files to refuse.
    QFile text("t/notes.txt");
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write(QByteArray("plain text, not a catalogue\n").repeated(200));
    text.close();
    CreateCatalogue("t/other-key.kdb", ConnectionStringFor("x").replace("qelvmar", "abcdefg"));
    CreateCatalogue("t/readonly.kdb");
    QFile::setPermissions("t/readonly.kdb", QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    ASSERT_EQ(::symlink(EncodePath(QDir::current().absoluteFilePath("kv.kdb")).constData(), "t/link.kdb"), 0);
    ASSERT_EQ(::link("kv.kdb", "t/hard.kdb"), 0);

    struct Case {
        QString path, reason;
        // clang-format off
    } cases[] = {
        {"t/missing.kdb", "Could not find file"},
        {"", "no target"},
        {"kv.kdb", "the open catalogue itself"},
        {"t/link.kdb", "the open catalogue itself"},
        {"t/hard.kdb", "the open catalogue itself"},
        {"kv.kdb-wal", "the open catalogue itself"},
        {"t/notes.txt", "not a catalogue, or a catalogue with another password"},
        {"t/other-key.kdb", "not a catalogue, or a catalogue with another password"},
        {"t/readonly.kdb", "read-only"},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path.toStdString());
        const QString path = c.path.isEmpty() ? QString() : QDir::current().absoluteFilePath(c.path);
        const QByteArray before = Digest(path);
        const QStringList companions = QDir("t").entryList({"*-wal", "*-shm", "*-journal"});
        ScriptedPrompter p;
        progress.clear();
        EXPECT_EQ(SyncRecordsCommand(S(), std::nullopt, path, [this](const QString& t) { progress << t; }).kind,
                  Outcome::Kind::Failed);
        ASSERT_EQ(p.messages.size(), 1u);
        EXPECT_EQ(p.messages[0].caption, "警告");
        EXPECT_EQ(p.messages[0].icon, MsgIcon::Exclamation);
        EXPECT_TRUE(p.messages[0].text.contains(c.reason)) << p.messages[0].text.toStdString();
        EXPECT_EQ(Digest(path), before);
        EXPECT_EQ(QDir("t").entryList({"*-wal", "*-shm", "*-journal"}), companions);
        EXPECT_TRUE(progress.isEmpty());  // no finish line: nothing ran
    }
    EXPECT_EQ(Column(S().catalogue, "select count(*) from main"), QStringList({"1"}));
}

TEST_F(Sync, ACatalogueLockedByAnotherProgramIsRefusedAfterTheBusyTimeout) {
    target.Close();
    AddRecord(S().catalogue, {"/m/a", "77", "2020"});
    const QByteArray before = Digest(targetPath);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(EncodePath(targetPath).constData(), &other), SQLITE_OK);
    sqlite3_key(other, "qelvmar", 7);
    ASSERT_EQ(sqlite3_exec(other,
                           "PRAGMA cipher_page_size = 4096; PRAGMA locking_mode=EXCLUSIVE;"
                           "BEGIN EXCLUSIVE; insert into main2(name) values('x');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    ScriptedPrompter p;
    S().catalogue.SetBusyTimeout(1500);  // the target waits as long as the source would
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(SyncRecordsCommand(S(), std::nullopt, targetPath).kind, Outcome::Kind::Failed);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(S().catalogue.BusyTimeout() - 500));
    ASSERT_EQ(p.messages.size(), 1u);
    EXPECT_EQ(p.messages[0].caption, "警告");
    EXPECT_TRUE(p.messages[0].text.contains("locked by another program")) << p.messages[0].text.toStdString();
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
    EXPECT_EQ(Digest(targetPath), before);
}

TEST_F(Sync, StopFlagEndsTheRunWithTheCommittedRows) {
    for (int i = 0; i < 50; ++i) AddRecord(S().catalogue, {QStringLiteral("/m/%1").arg(i), "77", "2020"});
    std::atomic<bool> stop{false};
    RecordSyncOptions o;
    o.stop = &stop;
    o.commitInterval = std::chrono::milliseconds(0);  // every row its own batch
    int seen = 0;
    SyncCounts n = SyncRecords(
        S().catalogue, target, "", std::nullopt,
        [&](const QString&) {
            if (++seen == 10) stop = true;
        },
        o);
    EXPECT_TRUE(n.stopped);
    EXPECT_EQ(n.inserted, 10);
    EXPECT_EQ(Column(target, "select count(*) from main"), QStringList({"10"}));
}

// ---- nodes --------------------------------------------------------------------------------------

TEST_F(Sync, NodeSubtreesAreCopiedDepthFirstWithQuotesAndMarkersCleared) {
    const QString a = InsertNodeWithId("o'neil", "t'1  x", "0", S().catalogue);
    const QString b = InsertNodeWithId("b", "tb", a, S().catalogue);
    InsertNodeWithId("c \"q\"", "", b, S().catalogue);
    InsertNodeWithId("d", "td", a, S().catalogue);
    const QString e = InsertNodeWithId("e", "te", "0", S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    // An existing target node keeps its place; the copies go after it.
    Statement(target, "insert into main2(name, findkey, fid) values('kept', '', 0)").Step();

    EXPECT_EQ(CopyNodeTree(S().catalogue, S().nodes.map, a, "0", target, [this](const QString& t) { progress << t; }),
              4);
    EXPECT_EQ(progress, QStringList({"o'neil", "b", "c \"q\"", "d"}));
    EXPECT_EQ(Column(target, "select id, name, findkey, fid, cid from main2 order by id"),
              QStringList({"1|kept||0|0", "2|o'neil|t'1  x|0|0", "3|b|tb|2|0", "4|c \"q\"||3|0", "5|d|td|2|0"}));

    // The root copies its children, not itself; twice gives two copies.
    progress.clear();
    EXPECT_EQ(CopyNodeTree(S().catalogue, S().nodes.map, "0", "0", target, [this](const QString& t) { progress << t; }),
              5);
    EXPECT_EQ(progress, QStringList({"o'neil", "b", "c \"q\"", "d", "e"}));
    EXPECT_EQ(Column(target, "select count(*), sum(cid) from main2 where fid=0"), QStringList({"4|0"}));
    (void)e;
}

TEST_F(Sync, ANodeCopyThatFailsWritesNothing) {
    const QString a = InsertNodeWithId("a", "", "0", S().catalogue);
    InsertNodeWithId("b", "", a, S().catalogue);
    InsertNodeWithId("bad", "", a, S().catalogue);
    LoadNodeMap(S().nodes, S().catalogue);
    Statement(target,
              "create trigger no_bad before insert on main2 when new.name='bad' "
              "begin select raise(abort, 'refused'); end")
        .Step();
    EXPECT_THROW(CopyNodeTree(S().catalogue, S().nodes.map, a, "0", target, [](const QString&) {}), DbError);
    EXPECT_EQ(Column(target, "select count(*) from main2"), QStringList({"0"}));
}

// ---- commands -----------------------------------------------------------------------------------

TEST_F(Sync, CommandsAskForTheTargetThenRunUnderTheProgressDialog) {
    target.Close();
    const qint64 a = AddRecord(S().catalogue, {"/m/a", "77", "2020"});
    AddRecord(S().catalogue, {"/m/b", "77", "2020"});
    {
        // Cancelled file dialog, then a refused question: nothing is asked or run.
        ScriptedPrompter p;
        SyncRecordsCommand(S(), std::nullopt);
        p.files.push_back(QStringList{targetPath});
        SyncRecordsCommand(S(), std::nullopt);
        EXPECT_EQ(p.questions, QStringList({"文件记录同步到:" + targetPath}));
        EXPECT_TRUE(p.statusTexts.isEmpty());
        // No selected row.
        SyncRecordsCommand(S(), QStringList{});
        EXPECT_EQ(p.MessageTexts(), QStringList({"请先选择一条记录。"}));
    }
    {
        ScriptedPrompter p;
        p.files.push_back(QStringList{targetPath});
        p.confirms.push_back(true);
        const Outcome one = SyncRecordsCommand(S(), QStringList{QString::number(a)});
        EXPECT_EQ(one.kind, Outcome::Kind::Done);
        EXPECT_EQ(one.done, 1);
        EXPECT_EQ(p.statusTexts, QStringList({"/m/a", "finish syn insert=1 update=0"}));
        p.files.push_back(QStringList{targetPath});
        p.confirms.push_back(true);
        SyncRecordsCommand(S(), std::nullopt);
        EXPECT_EQ(p.statusTexts,
                  QStringList({"/m/a", "finish syn insert=1 update=0", "/m/b", "finish syn insert=1 update=0"}));
        EXPECT_TRUE(p.messages.empty());
    }
    {
        const QString n = InsertNodeWithId("n'1", "k", "0", S().catalogue);
        LoadNodeMap(S().nodes, S().catalogue);
        ScriptedPrompter p;
        EXPECT_EQ(SyncNodesCommand(S()).kind, Outcome::Kind::Refused);  // picker cancelled
        p.nodes.push_back(QString());
        SyncNodesCommand(S());  // OK without a node
        EXPECT_EQ(p.MessageTexts(), QStringList({"请先选择一个节点。"}));
        p.nodes.push_back(n);
        p.files.push_back(QStringList{targetPath});
        p.confirms.push_back(true);
        const Outcome nodes = SyncNodesCommand(S());
        EXPECT_EQ(nodes.kind, Outcome::Kind::Done);
        EXPECT_EQ(nodes.done, 1);
        EXPECT_EQ(p.statusTexts, QStringList({"n'1", "finish"}));
        Connection t;
        t.Open(ConnectionStringFor(targetPath));
        EXPECT_EQ(Column(t, "select name, findkey, fid, cid from main2"), QStringList({"n'1|k|0|0"}));
    }
}

// ---- korvel-cli ---------------------------------------------------------------------------------

struct CliRun {
    int status;
    QStringList lines;
    QString err;
};

CliRun RunCli(const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(KORVEL_CLI), QStringList{"--dir", QDir::currentPath()} + args);
    p.waitForFinished(120000);
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, lines,
            QString::fromUtf8(p.readAllStandardError())};
}

TEST_F(Sync, CliSyncRecordsAndNodes) {
    target.Close();
    const qint64 a = AddRecord(S().catalogue, {"/m/it's.txt", "77", "2020"});
    AddRecord(S().catalogue, {"/m/b", "77", "2020"});
    InsertNodeWithId("x'1", "k", "0", S().catalogue);
    S().catalogue.Close();

    CliRun r = RunCli({"sync-records", "t/kv.kdb", QString::number(a)});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"/m/it's.txt", "finish syn insert=1 update=0"}));
    r = RunCli({"sync-records", "t/kv.kdb", "--all"});
    EXPECT_EQ(r.lines, QStringList({"/m/b", "finish syn insert=1 update=0"}));
    r = RunCli({"sync-nodes", "0", "t/kv.kdb"});
    EXPECT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_EQ(r.lines, QStringList({"x'1", "finish"}));

    for (const QStringList& bad :
         {QStringList{"sync-records", "t/kv.kdb"}, QStringList{"sync-records", "t/kv.kdb", "x"},
          QStringList{"sync-records", "kv.kdb", "--all"}, QStringList{"sync-records", "t/none.kdb", "--all"},
          QStringList{"sync-nodes", "9", "t/kv.kdb"}}) {
        r = RunCli(bad);
        EXPECT_EQ(r.status, 1) << bad.join(' ').toStdString();
        EXPECT_FALSE(r.err.isEmpty());
    }
    S().catalogue.Open(kConnectionString);
}

TEST_F(Sync, KilledRunLeavesTheCommittedRowsWhole) {
    target.Close();
    const int n = 40000;
    {
        WriteTransaction tx(S().catalogue);
        for (int i = 0; i < n; ++i)
            AddRecord(S().catalogue,
                      {QStringLiteral("/m/d%1/文件 %2.txt").arg(i / 100).arg(i), "77", "2020-01-02 03:04:05"});
        tx.Commit();
    }
    S().catalogue.Close();
    Connection watcher;
    watcher.Open(ConnectionStringFor(targetPath));

    const RunningCli run = StartCli({"--dir", EncodePath(QDir::currentPath()), "sync-records", "t/kv.kdb", "--all"});
    ASSERT_NE(run.pid, 0);
    const pid_t pid = run.pid;
    // The first progress texts come from inside the first batch; held past the commit
    // interval, the run commits at its next row and is killed in the batch after.
    char buf[256];
    ASSERT_GT(::read(run.out, buf, sizeof buf), 0);
    ::kill(pid, SIGSTOP);
    std::this_thread::sleep_for(std::chrono::milliseconds(400));
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

    Connection t;
    t.Open(ConnectionStringFor(targetPath));
    EXPECT_EQ(t.Execute("PRAGMA integrity_check", adCmdText).Field(0).toString(), "ok");
    const long long rows = t.Execute("select count(*) from main", adCmdText).Field(0).toLongLong();
    EXPECT_GE(rows, seen);
    EXPECT_LT(rows, n);
    // The committed part: the first rows of the source, each complete.
    EXPECT_EQ(t.Execute("select count(*) from main where name='n' and findkey=' t ' and filetype='文件' and "
                        "filesize='1 K' and filedtime='2020-01-02 03:04:05' and vol='77' and dir like '/m/d%'",
                        adCmdText)
                  .Field(0)
                  .toLongLong(),
              rows);
    EXPECT_EQ(t.Execute("select max(id) from main", adCmdText).Field(0).toLongLong(), rows);
    EXPECT_EQ(t.Execute("select dir from main where id=(select max(id) from main)", adCmdText).Field(0).toString(),
              QStringLiteral("/m/d%1/文件 %2.txt").arg((rows - 1) / 100).arg(rows - 1));
    t.Close();
    S().catalogue.Open(kConnectionString);
}

}  // namespace

namespace {

TEST_F(Sync, ARecordOfAMountedDiskLeavesItsVolumeRootInTheTarget) {
    // A fake machine: /dev/null stands in for an ext4 disk (UUID 12345678-...) that is
    // mounted at /mnt/usb while the sync runs.
    QDir().mkdir("fake");
    QFile::link("/dev/null", "fake/12345678-9abc-def0-1234-56789abcdef0");
    QFile table("fake/mountinfo");
    ASSERT_TRUE(table.open(QIODevice::WriteOnly));
    table.write("20 1 0:40 / / rw - overlay overlay rw\n22 20 1:3 / /mnt/usb rw - ext4 /dev/loop9 rw\n");
    table.close();
    SetMountInfoPath(QDir::current().absoluteFilePath("fake/mountinfo"));
    SetDiskByUuidDir(QDir::current().absoluteFilePath("fake"));
    const QString vol = QString::number(0x12345678u);
    ASSERT_EQ(DriveOfDisk(vol), "/mnt/usb");
    for (bool sourceRemembers : {false, true}) {
        SCOPED_TRACE(sourceRemembers ? "the source remembers the root" : "the root is only mounted");
        TempCatalogue src;
        QDir().mkdir("t");
        CreateCatalogue("t/kv.kdb");
        Connection tgt;
        tgt.Open(ConnectionStringFor(QDir::current().absoluteFilePath("t/kv.kdb")));
        AddRecord(S().catalogue, {"/mnt/usb/docs/a.txt", vol, "2020-01-02"});
        if (sourceRemembers) RememberVolumeRoot(vol, "/mnt/usb", S().catalogue);
        EXPECT_EQ(
            SyncRecords(S().catalogue, tgt, QDir::current().absoluteFilePath("t"), std::nullopt, [](const QString&) {})
                .inserted,
            1);
        EXPECT_EQ(RememberedRoots(vol, tgt), QStringList({"/mnt/usb"}));
        tgt.Close();
        S().catalogue.ForgetRememberedRoots();
    }
    SetMountInfoPath(QString());
    SetDiskByUuidDir(QString());
}

TEST_F(Sync, ARerunGivesEveryTargetRecordItsIndexFolder) {
    // What a run killed after a commit leaves: target records whose index folders were not
    // copied yet, and a half-copied folder of the killed process.
    const qint64 a = AddRecord(S().catalogue, {"/m/a", "77", "2020-01-02"});
    const qint64 b = AddRecord(S().catalogue, {"/m/b", "77", "2020-01-02"});
    for (qint64 id : {a, b}) {
        QDir().mkpath(QStringLiteral("index/%1").arg(id));
        QFile f(QStringLiteral("index/%1/text.txt").arg(id));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("text " + QByteArray::number(id));
    }
    ASSERT_EQ(Run().inserted, 2);
    // The id of a process that has ended.
    const pid_t ended = ::fork();
    if (ended == 0) ::_exit(0);
    ASSERT_GT(ended, 0);
    ASSERT_EQ(::waitpid(ended, nullptr, 0), ended);
    const QString half = QStringLiteral("t/index/.copying-%1-2").arg(ended);
    QDir().mkpath(half);
    ASSERT_TRUE(QDir("t/index/2").removeRecursively());

    const SyncCounts again = Run();
    EXPECT_EQ(SyncFinishText(again), "finish syn insert=0 update=0");
    QFile copied("t/index/2/text.txt");
    ASSERT_TRUE(copied.open(QIODevice::ReadOnly));
    EXPECT_EQ(copied.readAll(), "text " + QByteArray::number(b));
    EXPECT_FALSE(QFileInfo::exists(half));
    EXPECT_TRUE(QFileInfo::exists("t/index/1/text.txt"));

    // An update copies the new text; the old folder is gone before the new time commits.
    AddRecord(S().catalogue, {"/m/a", "77", "2020-01-05"});  // a later twin of a: updates target 1
    QFile newer(QStringLiteral("index/%1/text.txt").arg(a + 2));
    QDir().mkpath(QStringLiteral("index/%1").arg(a + 2));
    ASSERT_TRUE(newer.open(QIODevice::WriteOnly));
    newer.write("newer text");
    newer.close();
    EXPECT_EQ(Run().updated, 1);
    QFile updated("t/index/1/text.txt");
    ASSERT_TRUE(updated.open(QIODevice::ReadOnly));
    EXPECT_EQ(updated.readAll(), "newer text");
}

TEST_F(Sync, ARefusedTargetEndsTheProgressDialogWithTheReason) {
    AddRecord(S().catalogue, {"/m/a", "77", "2020"});
    ScriptedPrompter p;
    p.files.push_back(QStringList{QDir::current().absoluteFilePath("t/none.kdb")});
    p.confirms.push_back(true);
    SyncRecordsCommand(S(), std::nullopt);
    ASSERT_FALSE(p.statusTexts.isEmpty());
    EXPECT_TRUE(p.statusTexts.last().startsWith("同步未完成(sync not done): ")) << p.statusTexts.last().toStdString();
    EXPECT_TRUE(p.statusTexts.last().contains("Could not find file")) << p.statusTexts.last().toStdString();
}

}  // namespace
