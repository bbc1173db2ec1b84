// Export benchmark: exports 10,000 small files and one 1 GB file into an empty folder and
// again into the same folder (everything already there), beside `cp` of the same files
// and `md5sum` of both sides, measured in the same run; the memory high-water mark
// around the digest of the large file; and 10,000 records re-pathed in one batch.
//
//   bench_export [--big-mb N]    (default 1024)
#include "benchutil.h"
#include "session/session.h"
#include "base/longop.h"
#include "base/settings.h"
#include "io/digest.h"
#include "io/importcore.h"
#include "records/batch.h"
#include "records/export.h"
#include "store/catalogue.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

double g_lastCpu = 0;  // CPU seconds of the last measured step

double Shell(const std::string& command) {
    const double c0 = CpuSeconds(RUSAGE_CHILDREN);
    const auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
    g_lastCpu = CpuSeconds(RUSAGE_CHILDREN) - c0;
    return Seconds(t0, Clock::now());
}

// 100 folders of 100 files of 1-4 KiB, each with its own content; one file of bigMb MiB.
std::string BuildSources(int bigMb) {
    const std::string root = "/tmp/korvel-bench-export-" + std::to_string(bigMb);
    const std::string done = root + ".complete";
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    mkdir(root.c_str(), 0755);
    mkdir((root + "/small").c_str(), 0755);
    std::string buf(4096, 'x');
    unsigned seed = 12345;
    for (int d = 0; d < 100; ++d) {
        const std::string dir = root + "/small/dir " + std::to_string(d);
        mkdir(dir.c_str(), 0755);
        for (int i = 0; i < 100; ++i) {
            const std::string p = dir + "/文件 " + std::to_string(d * 100 + i) + ".txt";
            for (char& c : buf) c = static_cast<char>('a' + (seed = seed * 1103515245 + 12345) % 26);
            const int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            ::write(fd, buf.data(), 1024 + (d * 100 + i) % 3072);
            ::close(fd);
        }
    }
    mkdir((root + "/big").c_str(), 0755);
    const int fd = ::open((root + "/big/big file.bin").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string block(1 << 20, '\0');
    for (int m = 0; m < bigMb; ++m) {
        for (size_t i = 0; i < block.size(); i += 4) {
            seed = seed * 1103515245 + 12345;
            std::memcpy(&block[i], &seed, 4);
        }
        ::write(fd, block.data(), block.size());
    }
    ::close(fd);
    std::system(("touch '" + done + "'").c_str());
    return root;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    int bigMb = 1024;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--big-mb") == 0) bigMb = std::atoi(argv[i + 1]);
    const std::string src = BuildSources(bigMb);
    std::printf("sources: %s (10,000 small files, one file of %d MiB)\n", src.c_str(), bigMb);

    QTemporaryDir work(QStringLiteral("/tmp/korvel-bench-export-work-XXXXXX"));
    QDir::setCurrent(work.path());
    const std::string out = work.path().toStdString();
    CreateCatalogue(QStringLiteral("kv.kdb"));
    S().catalogue.Open(kConnectionString);
    S().options.band = true;
    S().options.sysback = true;

    QStringList smallIds, bigIds;
    {
        RecordWriter w(S().catalogue);
        w.BeginBatch();
        for (int d = 0; d < 100; ++d)
            for (int i = 0; i < 100; ++i)
                smallIds << w.Insert(RecordOfPath(QString::fromStdString(src + "/small/dir " + std::to_string(d) +
                                                                         "/文件 " + std::to_string(d * 100 + i) + ".txt"), QStringLiteral(" t  "), kFileRecordType, S().catalogue));
        bigIds << w.Insert(RecordOfPath(QString::fromStdString(src + "/big/big file.bin"), QStringLiteral(" t  "), kFileRecordType, S().catalogue));
        w.EndBatch();
    }
    // Warm the page cache for every run alike.
    Shell("cat '" + src + "'/small/*/* '" + src + "/big/big file.bin' > /dev/null");

    auto exportRun = [&](const QStringList& ids, const std::string& dest, int* copied) {
        const double c0 = CpuSeconds(RUSAGE_SELF);
        const auto t0 = Clock::now();
        ExportRun run;
        ExportTally tally;
        CopyMap map;
        ExportRecords(run, ids, QString::fromStdString(dest), tally, map);
        *copied = static_cast<int>(tally.copied.size());
        const double wall = Seconds(t0, Clock::now());
        g_lastCpu = CpuSeconds(RUSAGE_SELF) - c0;
        return wall;
    };

    std::printf("\n%-36s %8s %8s %6s   %8s %8s %6s\n", "", "korvel", "baseline", "ratio", "kv cpu", "base cpu",
                "ratio");
    auto row = [](const char* what, double k, double kc, double b, double bc) {
        std::printf("%-36s %7.2fs %7.2fs %5.2fx   %7.2fs %7.2fs %5.2fx\n", what, k, b, k / b, kc, bc, kc / bc);
    };

    // Small files.
    mkdir((out + "/cp-small").c_str(), 0755);
    mkdir((out + "/ex-small").c_str(), 0755);
    const double cpSmall = Shell("find '" + src + "/small' -type f -print0 | xargs -0 cp -t '" + out + "/cp-small'");
    const double cpSmallCpu = g_lastCpu;
    Shell("sync");  // the export's flush must not write cp's copies
    int copied = 0;
    const double exSmall = exportRun(smallIds, out + "/ex-small", &copied);
    std::printf("(first small export copied %d)\n", copied);
    row("10,000 files, first export vs cp", exSmall, g_lastCpu, cpSmall, cpSmallCpu);
    // The export flushes its copies to the disk before naming them; cp does not. The same
    // copy followed by a flush of the file system:
    mkdir((out + "/cps-small").c_str(), 0755);
    const double cpsSmall = Shell("find '" + src + "/small' -type f -print0 | xargs -0 cp -t '" + out +
                                  "/cps-small' && sync -f '" + out + "/cps-small'");
    row("10,000 files, first export vs cp+sync", exSmall, 0, cpsSmall, g_lastCpu);
    const double md5Small = Shell("find '" + src + "/small' '" + out + "/ex-small' -type f -print0 | xargs -0 md5sum > /dev/null");
    const double md5SmallCpu = g_lastCpu;
    const double exSmall2 = exportRun(smallIds, out + "/ex-small", &copied);
    std::printf("(second small export copied %d)\n", copied);
    row("10,000 files, again vs md5sum both", exSmall2, g_lastCpu, md5Small, md5SmallCpu);
    {
        // The share of the digests in the second run.
        const auto c0 = Clock::now();
        int same = 0;
        for (int d = 0; d < 100; ++d)
            for (int i = 0; i < 100; ++i) {
                const std::string name = "/文件 " + std::to_string(d * 100 + i) + ".txt";
                same += CompareFiles(QString::fromStdString(src + "/small/dir " + std::to_string(d) + name),
                                     QString::fromStdString(out + "/ex-small" + name)) == kSameContent;
            }
        std::printf("(CompareFiles alone over the 10,000 pairs: %.2fs, %d the same)\n", Seconds(c0, Clock::now()), same);
    }

    // The large file.
    mkdir((out + "/cp-big").c_str(), 0755);
    mkdir((out + "/ex-big").c_str(), 0755);
    Shell("sync");  // nothing of the small files left to write
    const double cpBig = Shell("cp '" + src + "/big/big file.bin' '" + out + "/cp-big/'");
    const double cpBigCpu = g_lastCpu;
    Shell("sync");
    const double exBig = exportRun(bigIds, out + "/ex-big", &copied);
    row("1 file, first export vs cp", exBig, g_lastCpu, cpBig, cpBigCpu);
    mkdir((out + "/cps-big").c_str(), 0755);
    const double cpsBig = Shell("cp '" + src + "/big/big file.bin' '" + out + "/cps-big/' && sync -f '" + out + "/cps-big'");
    row("1 file, first export vs cp+sync", exBig, 0, cpsBig, g_lastCpu);
    const double md5Big = Shell("md5sum '" + src + "/big/big file.bin' '" + out + "/ex-big/big file.bin' > /dev/null");
    const double md5BigCpu = g_lastCpu;
    const long hwmBefore = StatusKb("VmHWM:");
    const double exBig2 = exportRun(bigIds, out + "/ex-big", &copied);
    const long hwmAfter = StatusKb("VmHWM:");
    std::printf("(second big export copied %d)\n", copied);
    row("1 file, again vs md5sum both", exBig2, g_lastCpu, md5Big, md5BigCpu);
    std::printf("memory high-water mark around the digests of 2 x %d MiB: %ld KiB -> %ld KiB\n", bigMb, hwmBefore,
                hwmAfter);
    const auto d0 = Clock::now();
    const QString digest = FileDigest(QString::fromStdString(src + "/big/big file.bin"));
    std::printf("FileDigest alone: %.2fs (%s)\n", Seconds(d0, Clock::now()), digest.toLatin1().constData());

    // Batch changes of 10,000 records.
    const auto b0 = Clock::now();
    BatchResult r = ReplacePathOfRecords(smallIds, QStringLiteral("/SMALL/"), QStringLiteral("/moved/"), S().catalogue);
    const auto b1 = Clock::now();
    BatchResult r2 = ReplaceRootOfRecords(smallIds, RootCandidates(smallIds, S().catalogue), QStringLiteral("/tmp/elsewhere"), false, S().catalogue);
    const auto b2 = Clock::now();
    BatchResult r3 = SetDiskOfRecords(smallIds, QStringLiteral("1234"), S().catalogue);
    const auto b3 = Clock::now();
    std::printf("\n10,000 records: replace-path %.2fs (%zu changed), replace-root %.2fs (%zu), set-disk %.2fs (%zu)\n",
                Seconds(b0, b1), r.changed.size(), Seconds(b1, b2), r2.changed.size(), Seconds(b2, b3),
                r3.changed.size());
    S().catalogue.Close();
    QDir::setCurrent(QDir::tempPath());
    return 0;
}
