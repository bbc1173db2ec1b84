// Export benchmark: exports 10,000 small files and one large file into an empty folder
// and again into the same folder (everything already there), beside `cp` of the same
// files followed by a sync of just the copied files, and `md5sum` of both sides; three
// rounds, interleaved, min and median of wall and processor seconds; the memory
// high-water mark around the digest of the large file; and 10,000 records re-pathed in
// one batch.
//
//   bench_export [--big-mb N] [--runs N]    (defaults 256 and 3)
#include "benchutil.h"
#include "session/session.h"
#include "base/longop.h"
#include "base/settings.h"
#include "files/digest.h"
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
    int bigMb = 256;
    int runs = 3;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--big-mb") == 0) bigMb = std::atoi(argv[i + 1]);
        if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(3, std::atoi(argv[i + 1]));
    }
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
                smallIds << w.Insert(
                    RecordOfPath(QString::fromStdString(src + "/small/dir " + std::to_string(d) + "/文件 " +
                                                        std::to_string(d * 100 + i) + ".txt"),
                                 QStringLiteral(" t  "), kFileRecordType, S().catalogue));
        bigIds << w.Insert(RecordOfPath(QString::fromStdString(src + "/big/big file.bin"), QStringLiteral(" t  "),
                                        kFileRecordType, S().catalogue));
        w.EndBatch();
    }
    // Warm the page cache for every run alike.
    Shell("cat '" + src + "'/small/*/* '" + src + "/big/big file.bin' > /dev/null");

    auto exportRun = [&](const QStringList& ids, const std::string& dest, int* copied) {
        return bench::Time([&] {
            ExportRun run(
                S().catalogue, S().nodes.map, S().options,
                [](const ExportProblem& p) { S().prompter().Message(p.text, p.caption, MsgIcon::Exclamation); },
                S().ops.exportRun);
            ExportTally tally;
            CopyMap map;
            ExportRecords(run, ids, QString::fromStdString(dest), tally, map);
            *copied = static_cast<int>(tally.copied.size());
        });
    };
    auto shell = [](const std::string& command) {
        return bench::Time(
            [&] {
                if (std::system(command.c_str()) != 0) std::fprintf(stderr, "failed: %s\n", command.c_str());
            },
            RUSAGE_CHILDREN);
    };
    // A copy with cp, then a flush of just the copied files (fsync of each, as the export
    // does before naming its copies), not of the whole file system.
    auto cpSync = [&](const std::string& from, const std::string& to) {
        std::system(("mkdir -p '" + to + "'").c_str());
        return shell("find '" + from + "' -type f -print0 | xargs -0 cp -t '" + to + "' && find '" + to +
                     "' -type f -print0 | xargs -0 sync --");
    };

    std::printf("%s\n", bench::LoadText().c_str());
    bench::Series exSmall, cpsSmall, exSmall2, md5Small, exBig, cpsBig, exBig2, md5Big;
    int copiedFirst = 0, copiedAgain = 0, copiedBig = 0, copiedBigAgain = 0;
    long hwmBefore = 0, hwmAfter = 0;
    for (int run = 0; run < runs; ++run) {
        const std::string r = out + "/run" + std::to_string(run);
        std::system(("mkdir -p '" + r + "/ex-small' '" + r + "/ex-big'").c_str());
        Shell("sync");  // nothing of an earlier step left to write
        cpsSmall.Add(cpSync(src + "/small", r + "/cps-small"));
        Shell("sync");
        exSmall.Add(exportRun(smallIds, r + "/ex-small", &copiedFirst));
        md5Small.Add(
            shell("find '" + src + "/small' '" + r + "/ex-small' -type f -print0 | xargs -0 md5sum > /dev/null"));
        exSmall2.Add(exportRun(smallIds, r + "/ex-small", &copiedAgain));
        Shell("sync");
        cpsBig.Add(cpSync(src + "/big", r + "/cps-big"));
        Shell("sync");
        exBig.Add(exportRun(bigIds, r + "/ex-big", &copiedBig));
        md5Big.Add(shell("md5sum '" + src + "/big/big file.bin' '" + r + "/ex-big/big file.bin' > /dev/null"));
        hwmBefore = StatusKb("VmHWM:");
        exBig2.Add(exportRun(bigIds, r + "/ex-big", &copiedBigAgain));
        hwmAfter = StatusKb("VmHWM:");
        std::system(("rm -rf '" + r + "'").c_str());
    }
    std::printf("first small export copied %d, second %d; big: %d, %d\n", copiedFirst, copiedAgain, copiedBig,
                copiedBigAgain);
    bench::PrintRow("10,000 files, first export", exSmall, "cp + sync", cpsSmall);
    bench::PrintRow("10,000 files, again", exSmall2, "md5sum both", md5Small);
    bench::PrintRow("1 big file, first export", exBig, "cp + sync", cpsBig);
    bench::PrintRow("1 big file, again", exBig2, "md5sum both", md5Big);
    std::printf("memory high-water mark around the digests of 2 x %d MiB: %ld KiB -> %ld KiB\n", bigMb, hwmBefore,
                hwmAfter);
    {
        // The share of the digests in the second run.
        const std::string r = out + "/digests";
        std::system(("mkdir -p '" + r + "'").c_str());
        exportRun(smallIds, r, &copiedFirst);
        const auto c0 = Clock::now();
        int same = 0;
        for (int d = 0; d < 100; ++d)
            for (int i = 0; i < 100; ++i) {
                const std::string name = "/文件 " + std::to_string(d * 100 + i) + ".txt";
                same += CompareFiles(QString::fromStdString(src + "/small/dir " + std::to_string(d) + name),
                                     QString::fromStdString(r + name)) == kSameContent;
            }
        std::printf("(CompareFiles alone over the 10,000 pairs: %.2fs, %d the same)\n", Seconds(c0, Clock::now()),
                    same);
    }
    const auto d0 = Clock::now();
    const QString digest = FileDigest(QString::fromStdString(src + "/big/big file.bin"));
    std::printf("FileDigest alone: %.2fs (%s)\n", Seconds(d0, Clock::now()), digest.toLatin1().constData());

    // Batch changes of 10,000 records.
    const auto b0 = Clock::now();
    BatchResult r = ReplacePathOfRecords(smallIds, QStringLiteral("/SMALL/"), QStringLiteral("/moved/"), S().catalogue);
    const auto b1 = Clock::now();
    BatchResult r2 = ReplaceRootOfRecords(smallIds, RootCandidates(smallIds, S().catalogue),
                                          QStringLiteral("/tmp/elsewhere"), false, S().catalogue);
    const auto b2 = Clock::now();
    BatchResult r3 = SetDiskOfRecords(smallIds, QStringLiteral("1234"), S().catalogue);
    const auto b3 = Clock::now();
    std::printf("\n10,000 records: replace-path %.2fs (%zu changed), replace-root %.2fs (%zu), set-disk %.2fs (%zu)\n",
                Seconds(b0, b1), r.changed.size(), Seconds(b1, b2), r2.changed.size(), Seconds(b2, b3),
                r3.changed.size());
    bench::PrintMachine();
    S().catalogue.Close();

    QDir::setCurrent(QDir::tempPath());
    return 0;
}
