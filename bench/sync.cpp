// Record synchronisation benchmark: a source of N records (default 100,000) pushed into an
// empty target, beside the engine's own ATTACH of an empty target plus one INSERT INTO ...
// SELECT of the same rows; then again into that target (every row matched, none newer),
// beside the same matching done by the engine as one anti-join of the attached target.
// Three rounds, interleaved; prints min and median of wall and processor seconds, the load
// and the process's memory.
//
//   bench_sync            runs 20,000 and 100,000 records, each in its own process
//   bench_sync --one N    one size (used by the above)
#include "benchutil.h"
#include "session/session.h"
#include "store/catalogue.h"
#include "store/volroots.h"
#include "sync/sync.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace korvel;
using bench::Clock;
using bench::CpuSeconds;
using bench::Seconds;
using bench::StatusKb;

namespace {

void Exec(sqlite3* db, const char* sql) {
    char* err = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", sql, err ? err : "?");
        std::exit(1);
    }
}

// Baselines run by the engine alone on the source's connection, with the target attached.
void Attach(const QString& path) {
    sqlite3* db = S().catalogue.handle();

    Exec(db, "PRAGMA cipher_default_page_size = 4096");
    const QByteArray attach = "ATTACH DATABASE '" + QFile::encodeName(path) + "' AS t KEY 'qelvmar'";
    Exec(db, attach.constData());
}

// Into an empty catalogue: one INSERT INTO ... SELECT of every row.
void CopyAll(const QString& path) {
    Attach(path);
    Exec(S().catalogue.handle(),
         "INSERT INTO t.main(dir, findkey, name, filetype, filesize, filedtime, fileinputdtime, vol) "
         "SELECT dir, findkey, name, filetype, filesize, filedtime, fileinputdtime, vol FROM main");
    Exec(S().catalogue.handle(), "DETACH DATABASE t");
}

// Against a target that holds every row: the same matching as an anti-join, each source
// row looked up by (path, identity) in the target's records and backup copies, as one
// statement. Returns the rows that found no match (0 here).
long long AntiJoin(const QString& path) {
    Attach(path);
    long long unmatched = -1;
    {
        Statement st(S().catalogue,
                     "select count(*) from main s where not exists "
                     "(select 1 from t.main m where m.dir = s.dir and m.vol is s.vol) and not exists "
                     "(select 1 from t.main4 b where b.filepath = s.dir and b.vol is s.vol)");
        if (st.Step()) unmatched = st.Column(0).toLongLong();
    }
    Exec(S().catalogue.handle(), "DETACH DATABASE t");
    return unmatched;
}

int One(int n, int runs) {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);
    {
        WriteTransaction tx(S().catalogue);
        Statement st(
            S().catalogue,
            QStringLiteral(
                "insert into main(name, findkey, dir, filetype, filesize, filedtime, fileinputdtime, vol) "
                "values(?, ' tag one ', ?, '文件', '12 K', '2024-03-05 10:11:12', '2024-3-6 9:05:01', '305419896')"));
        for (int i = 0; i < n; ++i) {
            const QString name = QStringLiteral("文件 %1.txt").arg(i);
            st.Reset();
            st.Bind(1, name);
            st.Bind(2, QStringLiteral("/media/u/DISK/d%1/%2").arg(i / 100).arg(name));
            st.Step();
        }
        RememberVolumeRoot(QStringLiteral("305419896"), QStringLiteral("/media/u/DISK"), S().catalogue);
        tx.Commit();
    }
    std::printf("%d records, %s\n", n, bench::LoadText().c_str());
    const long rssStart = StatusKb("VmRSS:");
    bench::Series copy, first, anti, second;
    long progressTexts = 0;
    auto count = [&](const QString&) { ++progressTexts; };
    SyncCounts c1, c2;
    long long unmatched = -1;
    for (int run = 0; run < runs; ++run) {
        const QString base = QDir::current().absoluteFilePath(QStringLiteral("base%1.kdb").arg(run));
        CreateCatalogue(base);
        copy.Add(bench::Time([&] { CopyAll(base); }));
        const QString targetName = QStringLiteral("target%1.kdb").arg(run);
        CreateCatalogue(targetName);
        Connection target;
        target.Open(ConnectionStringFor(targetName));
        first.Add(bench::Time(
            [&] { c1 = SyncRecords(S().catalogue, target, QDir::currentPath() + "/tgt", std::nullopt, count); }));
        target.Close();
        anti.Add(bench::Time([&] { unmatched = AntiJoin(QDir::current().absoluteFilePath(targetName)); }));
        target.Open(ConnectionStringFor(targetName));
        second.Add(bench::Time(
            [&] { c2 = SyncRecords(S().catalogue, target, QDir::currentPath() + "/tgt", std::nullopt, count); }));
        target.Close();
    }
    std::printf("  first run: %s; second run: %s; anti-join found %lld unmatched\n",
                SyncFinishText(c1).toUtf8().constData(), SyncFinishText(c2).toUtf8().constData(), unmatched);
    bench::PrintRow("into the empty target", first, "INSERT..SELECT", copy);
    bench::PrintRow("again, all matched", second, "anti-join", anti);
    std::printf("  per record: first %.1f us, second %.1f us (medians)\n", first.MedWall() * 1e6 / n,
                second.MedWall() * 1e6 / n);
    std::printf("  memory: RSS %ld KB before the runs\n", rssStart);
    bench::PrintMachine();
    S().catalogue.Close();

    QDir::setCurrent(QDir::tempPath());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = 3;
    if (argc == 3 && std::strcmp(argv[1], "--one") == 0) return One(std::atoi(argv[2]), runs);
    if (argc == 2) return One(std::atoi(argv[1]), runs);
    for (int n : {20000, 100000}) {
        const std::string cmd = std::string(argv[0]) + " --one " + std::to_string(n);
        if (std::system(cmd.c_str()) != 0) return 1;
    }
    return 0;
}
