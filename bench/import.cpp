// Folder import benchmark: builds a tree of files under /tmp, imports it with the default
// options (node tree on, same-file check on), compares with `find` over the same tree,
// imports it again (every file refused by the same-file check), and prints the figures.
//
//   bench_import               runs 20,000 and 100,000 files, each in its own process
//   bench_import --one N       one size (used by the above)
#include "benchutil.h"
#include "session/session.h"
#include "base/longop.h"
#include "base/settings.h"
#include "io/importcore.h"
#include "store/catalogue.h"
#include "tree/nodes.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <dirent.h>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

using namespace korvel;
using bench::Clock;
using bench::CpuSeconds;
using bench::Seconds;
using bench::StatusKb;

namespace {

// 1,000 folders (100 folders of 10 sub-folders each) holding `files` files in all; every
// tenth name has a blank and every tenth a CJK name.
std::string BuildTree(int files) {
    std::string root = "/tmp/korvel-bench-tree-" + std::to_string(files);
    std::string done = root + ".complete";  // beside the tree, not in it
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    mkdir(root.c_str(), 0755);
    const int perFolder = files / 1000;
    int made = 0;
    for (int a = 0; a < 100; ++a) {
        std::string da = root + "/dir " + std::to_string(a);
        mkdir(da.c_str(), 0755);
        for (int b = 0; b < 10; ++b) {
            std::string db = da + "/子目录" + std::to_string(b);
            mkdir(db.c_str(), 0755);
            for (int i = 0; i < perFolder; ++i, ++made) {
                std::string name;
                if (i % 10 == 3) name = "report " + std::to_string(i) + ".doc";
                else if (i % 10 == 7) name = "文件" + std::to_string(i) + ".txt";
                else name = "file" + std::to_string(i) + ".txt";
                std::string p = db + "/" + name;
                int fd = ::open(p.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
                if (fd >= 0) {
                    ::write(fd, p.data(), p.size() % 200);
                    ::close(fd);
                }
            }
        }
    }
    int fd = ::open(done.c_str(), O_WRONLY | O_CREAT, 0644);
    if (fd >= 0) ::close(fd);
    std::printf("built %d files in 1000 folders under %s\n", made, root.c_str());
    return root;
}

double TimeFind(const std::string& root) {
    const std::string cmd = "find '" + root + "' -printf '%p %s %T@\\n' > /dev/null";
    std::system(cmd.c_str());  // warm the cache
    auto t0 = Clock::now();
    std::system(cmd.c_str());
    return Seconds(t0, Clock::now());
}

// The bare walk for comparison: readdir and one fstatat per file, nothing else.
long long BareWalk(int dirFd) {
    DIR* d = fdopendir(dirFd);
    if (!d) return 0;
    long long n = 0;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.' && (!e->d_name[1] || (e->d_name[1] == '.' && !e->d_name[2]))) continue;
        struct stat st;
        if (e->d_type == DT_DIR) {
            int sub = openat(dirfd(d), e->d_name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub >= 0) n += BareWalk(sub);
        } else if (fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            ++n;
        }
    }
    closedir(d);
    return n;
}

double TimeBareWalk(const std::string& root) {
    auto t0 = Clock::now();
    BareWalk(open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return Seconds(t0, Clock::now());
}

long long Count(const char* sql) {
    Recordset rs = ExecuteSql(QString::fromLatin1(sql), adCmdText, S().catalogue);
    return rs.Eof() ? -1 : rs.Field(0).toLongLong();
}

// Runs one walk with a thread emptying the status queue, as the progress dialog does.
double TimeWalk(const std::string& root, const ImportOptions& options) {
    std::atomic<bool> done{false};
    std::thread drain([&] {
        QString t;
        while (!done) {
            while (S().ops.import.Take(t) == 0) {
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        while (S().ops.import.Take(t) == 0) {
        }
    });
    S().ops.import.Start();
    auto t0 = Clock::now();
    const WalkResult result = WalkFolder(QString::fromStdString(root), 1, NodeAllTags("0", S().nodes.map), "0", options, S().ops.import, S().catalogue);
    if (!result.Complete()) std::printf("the walk was not complete: %d record(s) failed\n", result.failedRecords);
    double s = Seconds(t0, Clock::now());
    done = true;
    drain.join();
    return s;
}

int RunOne(int files) {
    const std::string root = BuildTree(files);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);
    LoadNodeMap(S().nodes, S().catalogue, S().prompter());
    // The default options of the import dialog and of config.cnf.
    ImportOptions options = ImportOptionsOf(S().options, S().presets, S().filters);
    options.depth = 2;
    options.createNodeTree = true;
    options.importLastDir = true;
    options.sameCheck = true;

    const double findSeconds = TimeFind(root);
    const double bareSeconds = TimeBareWalk(root);
    const long rssBefore = StatusKb("VmRSS:");
    const double first = TimeWalk(root, options);
    const long long records = Count("select count(*) from main");
    const long peakKb = StatusKb("VmHWM:");
    const double again = TimeWalk(root, options);
    const long long recordsAfter = Count("select count(*) from main");
    S().catalogue.Close();

    std::printf("files %lld: first import %.2f s (%.0f files/s), find %.3f s, ratio %.1f\n", records,
                first, records / first, findSeconds, first / findSeconds);
    std::printf("files %lld: readdir + fstatat alone %.3f s\n", records, bareSeconds);
    std::printf("files %lld: re-import %.2f s (%lld new records), ratio to first %.2f\n", records, again,
                recordsAfter - records, again / first);
    std::printf("files %lld: memory before import %ld KB, peak %ld KB\n", records, rssBefore, peakKb);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--one") == 0) return RunOne(std::atoi(argv[2]));
    // Each size in its own process, so each peak memory figure is that size's own.
    for (int files : {20000, 100000}) {
        std::string cmd = std::string("'") + argv[0] + "' --one " + std::to_string(files);
        std::fflush(stdout);
        if (std::system(cmd.c_str()) != 0) return 1;
    }
    return 0;
}
