// Record synchronisation benchmark: a source of N records (default 100,000) pushed into an
// empty target, then again into that target (every row matched, none newer), each beside
// the engine's own ATTACH of an empty target plus one INSERT INTO ... SELECT of the same
// rows, measured in the same run. Prints times, ratios and the process's memory.
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

// The baseline: ATTACH an empty catalogue and copy every row with one statement.
double Baseline(const QString& path) {
    CreateCatalogue(path);
    const auto t0 = Clock::now();
    sqlite3* db = S().catalogue.handle();
    Exec(db, "PRAGMA cipher_default_page_size = 4096");
    const QByteArray attach = "ATTACH DATABASE '" + QFile::encodeName(path) + "' AS t KEY 'qelvmar'";
    Exec(db, attach.constData());
    Exec(db, "INSERT INTO t.main(dir, findkey, name, filetype, filesize, filedtime, fileinputdtime, vol) "
             "SELECT dir, findkey, name, filetype, filesize, filedtime, fileinputdtime, vol FROM main");
    Exec(db, "DETACH DATABASE t");
    return Seconds(t0, Clock::now());
}

int One(int n) {
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);
    {
        WriteTransaction tx(S().catalogue);
        Statement st(S().catalogue, QStringLiteral(
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
    std::printf("%d records\n", n);
    const long rssStart = StatusKb("VmRSS:");
    const double base = Baseline(QDir::current().absoluteFilePath("base.kdb"));

    Connection target;
    CreateCatalogue("target.kdb");
    target.Open(ConnectionStringFor("target.kdb"));
    long progressTexts = 0;
    auto count = [&](const QString&) { ++progressTexts; };
    auto t0 = Clock::now();
    SyncCounts first = SyncRecords(S().catalogue, target, QDir::currentPath() + "/tgt", std::nullopt, count);
    const double run1 = Seconds(t0, Clock::now());
    const long rss1 = StatusKb("VmRSS:");
    t0 = Clock::now();
    SyncCounts second = SyncRecords(S().catalogue, target, QDir::currentPath() + "/tgt", std::nullopt, count);
    const double run2 = Seconds(t0, Clock::now());
    const long rss2 = StatusKb("VmRSS:");
    target.Close();

    std::printf("  baseline ATTACH + INSERT INTO ... SELECT   %7.3f s\n", base);
    std::printf("  into the empty target   %7.3f s  %5.2fx baseline  %.1f us/record  (%s)\n", run1, run1 / base,
                run1 * 1e6 / n, SyncFinishText(first).toUtf8().constData());
    std::printf("  again, all matched      %7.3f s  %5.2fx baseline  %.1f us/record  (%s)\n", run2, run2 / base,
                run2 * 1e6 / n, SyncFinishText(second).toUtf8().constData());
    std::printf("  memory: RSS %ld KB before the runs, %ld KB after the first, %ld KB after the second; peak %ld KB\n",
                rssStart, rss1, rss2, StatusKb("VmHWM:"));
    S().catalogue.Close();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], "--one") == 0) return One(std::atoi(argv[2]));
    if (argc == 2) return One(std::atoi(argv[1]));
    for (int n : {20000, 100000}) {
        const std::string cmd = std::string(argv[0]) + " --one " + std::to_string(n);
        if (std::system(cmd.c_str()) != 0) return 1;
    }
    return 0;
}
