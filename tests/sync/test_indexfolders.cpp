// Index folders follow their records: a new record never takes over the index folder of a
// deleted record with its id, and a delete killed between its commit and the removal of
// the folders leaves none behind once the catalogue is opened again.
#include "base/fsutil.h"
#include "io/contentindex.h"
#include "io/importcore.h"
#include "io/indexfolders.h"
#include "store/catalogue.h"
#include "support/catalogue.h"
#include "support/cli.h"
#include "support/startcli.h"
#include "sync/sync.h"
#include "tree/nodes.h"

#include <krvlindex.h>

#include <QDir>
#include <QFile>
#include <QSet>

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>

#include <chrono>
#include <functional>
#include <thread>

using namespace korvel;

namespace {

void WriteText(const QString& path, const QByteArray& text) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
}

// Record ids of the catalogue that have no index folder, and index folders without record.
struct Mismatch {
    QStringList orphanFolders;
    QStringList recordsWithoutFolder;
};
Mismatch Compare(Connection& conn, const QString& indexFolder) {
    Mismatch m;
    QSet<QString> records;
    Statement st(conn, QStringLiteral("select id from main"));
    while (st.Step()) records.insert(QString::number(st.Column(0).toLongLong()));
    QSet<QString> folders;
    for (const QString& name : QDir(indexFolder).entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        if (IsIdText(name)) folders.insert(name);
    for (const QString& f : folders)
        if (!records.contains(f)) m.orphanFolders << f;
    for (const QString& r : records)
        if (!folders.contains(r)) m.recordsWithoutFolder << r;
    return m;
}

TEST(IndexFolders, ANewRecordNeverTakesOverADeletedRecordsFolder) {
    TempCatalogue cat;
    WriteText("old.txt", "secret words of a deleted record");
    WriteText("docs/new.txt", "fresh text");
    WriteText("t/placeholder", "");
    CreateCatalogue("t/kv.kdb");
    Connection target;
    target.Open(ConnectionStringFor(QDir::current().absoluteFilePath("t/kv.kdb")));

    struct Case {
        const char* what;
        QString indexFolder;                 // where the stale folder of id 1 is
        std::function<qint64()> addRecord;   // adds a record that gets id 1
        std::function<float()> rankOldText;  // the relevance of the new record for the old text
        // clang-format off
    } cases[] = {
        {"import", "index",
         [] {
             RecordWriter writer(S().catalogue);
             ImportOptions options;
             const FileImport file = ImportOneFile(writer, QDir::current().absoluteFilePath("docs/new.txt"), " k ", options);
             EXPECT_EQ(file.step, FileStep::Added);
             return file.added.id.toLongLong();
         },
         [] { return ContentIndex::Rank("./index/1", "secret words"); }},
        {"record sync into another catalogue", "t/index",
         [&] {
             SyncRecords(S().catalogue, target, QDir::current().absoluteFilePath("t"), std::nullopt, [](const QString&) {});
             Statement st(target, "select max(id) from main");
             return st.Step() ? st.Column(0).toLongLong() : qint64(0);
         },
         [] { return QFileInfo::exists("t/index/1/text.txt") ? 1.0f : 0.0f; }},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // The folder a deleted record 1 left (its delete was killed before removing it).
        if (QString(c.indexFolder) == "index") {
            IndexFiles("old.txt", "./index/1", false);
            ASSERT_GT(ContentIndex::Rank("./index/1", "secret"), 0.0f);
        } else {
            WriteText(c.indexFolder + "/1/text.txt", "secret words of a deleted record");
        }
        EXPECT_EQ(c.addRecord(), 1);
        EXPECT_FALSE(QFileInfo::exists(c.indexFolder + "/1")) << "the new record 1 took the old folder";
        EXPECT_EQ(c.rankOldText(), 0.0f);
    }
    target.Close();
}

// The writer looks at "index/" once per write transaction: a stale folder that appears
// after one transaction (none had "index/" before) is still dropped by the next.
TEST(IndexFolders, EveryWriteTransactionLooksForStaleFoldersAgain) {
    TempCatalogue cat;
    struct Case {
        const char* what;
        bool batched;
    } cases[] = {{"one transaction per record", false}, {"batches committed between the records", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        S().catalogue.Execute("delete from main", adCmdTextNoRecords);
        QDir("index").removeRecursively();
        RecordWriter writer(S().catalogue);
        if (c.batched) writer.BeginBatch(std::chrono::milliseconds(0));
        NewRecord r{"/nowhere/a.txt", " k  ", "a.txt", kFileRecordType, "1 K", "2024-01-01 00:00:00", "0"};
        ASSERT_EQ(writer.Insert(r), "1");
        writer.CommitIfDue();
        WriteText("index/2/text.txt", "words of a deleted record 2");
        r.path = "/nowhere/b.txt";
        ASSERT_EQ(writer.Insert(r), "2");
        writer.EndBatch();
        EXPECT_FALSE(QFileInfo::exists("index/2")) << "the new record 2 took the old folder";
        QDir("index").removeRecursively();
    }
}

TEST(IndexFolders, AKilledDeleteLeavesNoFolderBehindAfterTheNextOpen) {
    TempCatalogue cat;
    const int n = 4000;
    QList<QByteArray> args{"--dir", EncodePath(QDir::currentPath()), "delete-records"};
    {
        WriteTransaction tx(S().catalogue);
        Statement insert(S().catalogue,
                         "insert into main(name, findkey, dir, filetype, vol) values(?, ' ', ?, '文件', '0')");
        for (int i = 1; i <= n; ++i) {
            insert.Reset();
            insert.Bind(1, QStringLiteral("f%1.txt").arg(i));
            insert.Bind(2, QStringLiteral("/nowhere/f%1.txt").arg(i));
            insert.Step();
        }
        tx.Commit();
    }
    for (int i = 1; i <= n; ++i)
        WriteText(QStringLiteral("index/%1/text.txt").arg(i), "oldword " + QByteArray::number(i));
    for (int i = n; i > n / 2; --i) args << QByteArray::number(i);  // the highest ids first
    S().catalogue.Close();

    Connection watcher;
    watcher.Open(kConnectionString);
    const RunningCli run = StartCli(args);
    ASSERT_NE(run.pid, 0);
    // Killed right after its first commit: the folders of that batch are being removed.
    long long left = n;
    for (int i = 0; i < 200000 && left == n; ++i) {
        left = watcher.Execute("select count(*) from main", adCmdText).Field(0).toLongLong();
        if (left == n) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    ::kill(run.pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(run.pid, &status, 0), run.pid);
    ::close(run.out);
    const Mismatch before = Compare(watcher, "index");
    watcher.Close();
    if (before.orphanFolders.isEmpty())
        GTEST_SKIP() << "the kill did not land between a commit and the removal of its folders";
    EXPECT_TRUE(before.recordsWithoutFolder.isEmpty());

    // The next program that opens the catalogue finishes the removal.
    const CliResult nodes = RunCli(QDir::currentPath(), {"nodes"});
    EXPECT_EQ(nodes.status, 0) << nodes.err.toStdString();
    S().catalogue.Open(kConnectionString);
    const Mismatch after = Compare(S().catalogue, "index");
    EXPECT_TRUE(after.orphanFolders.isEmpty()) << after.orphanFolders.join(' ').toStdString();
    EXPECT_TRUE(after.recordsWithoutFolder.isEmpty()) << after.recordsWithoutFolder.join(' ').toStdString();
    EXPECT_FALSE(QFileInfo::exists("index/.removing") && !QDir("index/.removing").isEmpty());
}

}  // namespace
