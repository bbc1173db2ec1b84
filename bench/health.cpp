// The catalogue's health benchmark: CHECK of a catalogue of N records against
// `find -printf '%s %T@ %p\n'` over the same tree, and FIND DUPLICATES over 20,000 files
// against `jdupes -r` (installed by scripts/bench-setup), each with a warm page cache and,
// where this machine lets the process drop it, a cold one. Prints the load average, the
// wall-clock and processor seconds (min and median of the runs) and peak memory.
//
//   bench_health              CHECK of 20,000 and 100,000 records, then the duplicates,
//                             each in its own process (so each peak memory is its own)
//   bench_health --check N    CHECK of N records
//   bench_health --dups       FIND DUPLICATES of 20,000 files
//   bench_health --runs R     R runs of each measurement (default 3)
#include "benchutil.h"
#include "base/fsutil.h"
#include "health/check.h"
#include "health/duplicates.h"
#include "platform/volumes.h"
#include "store/catalogue.h"
#include "store/volroots.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

using namespace korvel;
using bench::Clock;
using bench::CpuSeconds;
using bench::LoadText;
using bench::Seconds;
using bench::StatusKb;

namespace {

int g_runs = 3;

bool DropCaches() {
    ::sync();
    FILE* f = std::fopen("/proc/sys/vm/drop_caches", "w");
    if (!f) return false;
    const bool ok = std::fputs("3\n", f) >= 0;
    return std::fclose(f) == 0 && ok;
}

struct Figures {
    std::vector<double> wall, cpu;
    void Add(double w, double c) {
        wall.push_back(w);
        cpu.push_back(c);
    }
    static double Min(std::vector<double> v) { return *std::min_element(v.begin(), v.end()); }
    static double Median(std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    }
};

void Print(const char* what, const Figures& f) {
    std::printf("  %-34s wall min %.3f s median %.3f s | cpu min %.3f s median %.3f s\n", what, Figures::Min(f.wall),
                Figures::Median(f.wall), Figures::Min(f.cpu), Figures::Median(f.cpu));
}

// Peak memory of the last command run by TimeCommand, in KB (GNU time's %M, where it is
// installed: the rusage of our own children would count this process's pages, which a
// fork shares).
long g_childPeakKb = -1;

// Runs a shell command; wall and processor seconds of the child.
std::pair<double, double> TimeCommand(const std::string& cmd) {
    const bool timed = access("/usr/bin/time", X_OK) == 0;
    const std::string peakFile = "/tmp/korvel-bench-health-peak";
    const std::string line = timed ? "/usr/bin/time -f %M -o " + peakFile + " sh -c \"" + cmd + "\"" : cmd;
    const double c0 = CpuSeconds(RUSAGE_CHILDREN);
    auto t0 = Clock::now();
    if (std::system(line.c_str()) != 0) std::printf("  (command failed: %s)\n", cmd.c_str());
    const std::pair<double, double> out{Seconds(t0, Clock::now()), CpuSeconds(RUSAGE_CHILDREN) - c0};
    if (timed) {
        if (FILE* f = std::fopen(peakFile.c_str(), "r")) {
            long kb = -1;
            if (std::fscanf(f, "%ld", &kb) == 1) g_childPeakKb = std::max(g_childPeakKb, kb);
            std::fclose(f);
        }
    }
    return out;
}

template <typename F>
std::pair<double, double> TimeHere(F&& f) {
    const double c0 = CpuSeconds(RUSAGE_SELF);
    auto t0 = Clock::now();
    f();
    return {Seconds(t0, Clock::now()), CpuSeconds(RUSAGE_SELF) - c0};
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    ::write(fd, bytes.data(), bytes.size());
    ::close(fd);
}

// Every regular file below root, as paths.
void ListFiles(const std::string& root, std::vector<std::string>& out) {
    DIR* d = opendir(root.c_str());
    if (!d) return;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] == '.') continue;
        const std::string p = root + "/" + e->d_name;
        if (e->d_type == DT_DIR)
            ListFiles(p, out);
        else if (e->d_type == DT_REG)
            out.push_back(p);
    }
    closedir(d);
}

// A fresh catalogue in the current folder holding one record per file, as the import
// stores them (size and time texts, the disk identity, its root remembered).
void Catalogue(const std::vector<std::string>& files) {
    CreateCatalogue("kv.kdb");
    S().catalogue.Open(kConnectionString);
    const QString vol = RememberDiskOfPath(QString::fromStdString(files.front()), S().catalogue);
    S().catalogue.Begin();
    Statement st(S().catalogue,
                 "insert into main(name,findkey,dir,id,filetype,filesize,filedtime,fileinputdtime,vol)"
                 " values(?1,' ',?2,?3,'文件',?4,?5,'2026-1-1 1:0:0',?6)");
    qint64 id = 1;
    for (const std::string& f : files) {
        const QString path = QString::fromStdString(f);
        const FileStatusTexts t = StatusTexts(path);
        st.Reset();
        st.Bind(1, path.mid(path.lastIndexOf('/') + 1));
        st.Bind(2, path);
        st.Bind(3, id++);
        st.Bind(4, t.sizeText);
        st.Bind(5, t.timeText);
        st.Bind(6, vol);
        st.Step();
    }
    S().catalogue.Commit();
}

// 1,000 folders holding `files` small files.
std::string CheckTree(int files) {
    const std::string root = "/tmp/korvel-bench-health-" + std::to_string(files);
    const std::string done = root + ".complete";
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    mkdir(root.c_str(), 0755);
    const int perFolder = files / 1000;
    for (int a = 0; a < 1000; ++a) {
        const std::string da = root + "/dir" + std::to_string(a / 10) + "/sub" + std::to_string(a % 10);
        std::system(("mkdir -p '" + da + "'").c_str());
        for (int i = 0; i < perFolder; ++i)
            WriteBytes(da + "/file" + std::to_string(i) + ".txt", std::string(static_cast<size_t>(i % 300), 'x'));
    }
    WriteBytes(done, "");
    return root;
}

int RunCheck(int records) {
    const std::string root = CheckTree(records);
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    std::vector<std::string> files;
    ListFiles(root, files);
    Catalogue(files);
    std::printf("CHECK of %zu records (tree %s), %s\n", files.size(), root.c_str(), LoadText().c_str());
    const std::string find = "find '" + root + "' -printf '%s %T@ %p\\n' > /dev/null";
    const long rssBefore = StatusKb("VmRSS:");
    for (bool cold : {false, true}) {
        if (cold && !DropCaches()) {
            std::printf("  dropped page cache: not allowed here\n");
            break;
        }
        Figures ours, base;
        CheckReport last;
        for (int run = 0; run < g_runs; ++run) {
            if (cold)
                DropCaches();
            else
                TimeCommand(find);  // warm
            auto [w, c] = TimeCommand(find);
            base.Add(w, c);
            if (cold) DropCaches();
            auto [w2, c2] =
                TimeHere([&] { last = CheckRecords(S().catalogue, RowQuery{}, nullptr, {}, {}, ScanOptions{}); });
            ours.Add(w2, c2);
        }
        std::printf(" %s page cache (%lld present of %lld):\n", cold ? "dropped" : "warm",
                    last.counts[int(ScanState::Present)], last.total());
        Print("find -printf '%s %T@ %p\\n'", base);
        Print("CHECK", ours);
        std::printf("  ratio CHECK / find: min %.2f median %.2f\n", Figures::Min(ours.wall) / Figures::Min(base.wall),
                    Figures::Median(ours.wall) / Figures::Median(base.wall));
    }
    std::printf("  memory: before %ld KB, peak %ld KB (catalogue of %zu records); find peak %ld KB\n", rssBefore,
                StatusKb("VmHWM:"), files.size(), g_childPeakKb);
    S().catalogue.Close();
    return 0;
}

// 20,000 files of 20 sizes: most differ in their first block, some only at their end,
// one in ten is a copy of another.
std::string DupTree() {
    const std::string root = "/tmp/korvel-bench-health-dups";
    const std::string done = root + ".complete";
    if (access(done.c_str(), F_OK) == 0) return root;
    std::system(("rm -rf '" + root + "'").c_str());
    std::mt19937 rng(20);
    std::vector<std::string> made;
    for (int i = 0; i < 20000; ++i) {
        const std::string folder = root + "/d" + std::to_string(i / 200);
        if (i % 200 == 0) std::system(("mkdir -p '" + folder + "'").c_str());
        const std::string path = folder + "/f" + std::to_string(i) + ".bin";
        if (i % 10 == 9 && !made.empty()) {
            // A copy of an earlier file.
            std::system(("cp '" + made[rng() % made.size()] + "' '" + path + "'").c_str());
        } else {
            const size_t size = 2000 + (rng() % 20) * 1500;  // 2,000 .. 30,500 bytes
            std::string bytes(size, '\0');
            if (i % 20 == 5) {
                // Shares its first block with others of its size: differs only at its end.
                for (size_t k = 0; k < size; ++k) bytes[k] = static_cast<char>('a' + k % 26);
                bytes[size - 1] = static_cast<char>(rng());
                bytes[size - 2] = static_cast<char>(rng());
            } else {
                for (char& c : bytes) c = static_cast<char>(rng());
            }
            WriteBytes(path, bytes);
        }
        made.push_back(path);
    }
    WriteBytes(done, "");
    return root;
}

int RunDuplicates() {
    const std::string root = DupTree();
    QTemporaryDir work;
    QDir::setCurrent(work.path());
    std::vector<std::string> files;
    ListFiles(root, files);
    Catalogue(files);
    std::printf("FIND DUPLICATES over %zu files (tree %s), %s\n", files.size(), root.c_str(), LoadText().c_str());
    const bool haveJdupes = std::system("command -v jdupes > /dev/null") == 0;
    if (!haveJdupes) std::printf("  jdupes is not installed: run scripts/bench-setup\n");
    const std::string jdupes = "jdupes -r -q '" + root + "' > /dev/null";
    for (bool cold : {false, true}) {
        if (cold && !DropCaches()) {
            std::printf("  dropped page cache: not allowed here\n");
            break;
        }
        Figures ours, base;
        DuplicateReport last;
        for (int run = 0; run < g_runs; ++run) {
            if (haveJdupes) {
                if (cold)
                    DropCaches();
                else
                    TimeCommand(jdupes);
                auto [w, c] = TimeCommand(jdupes);
                base.Add(w, c);
            }
            if (cold) DropCaches();
            auto [w2, c2] =
                TimeHere([&] { last = FindDuplicates(S().catalogue, RowQuery{}, DuplicateOptions{}, nullptr, {}); });
            ours.Add(w2, c2);
        }
        size_t members = 0;
        for (const DuplicateGroup& g : last.groups) members += g.members.size();
        std::printf(" %s page cache (%zu groups, %zu records, %lld files read, %.1f MB read):\n",
                    cold ? "dropped" : "warm", last.groups.size(), members, last.filesRead, last.bytesRead / 1e6);
        if (haveJdupes) Print("jdupes -r", base);
        Print("FIND DUPLICATES", ours);
        if (haveJdupes)
            std::printf("  ratio FIND DUPLICATES / jdupes: min %.2f median %.2f\n",
                        Figures::Min(ours.wall) / Figures::Min(base.wall),
                        Figures::Median(ours.wall) / Figures::Median(base.wall));
    }
    std::printf("  memory: peak %ld KB (jdupes peak %ld KB)\n", StatusKb("VmHWM:"), g_childPeakKb);
    S().catalogue.Close();
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::vector<std::string> args(argv + 1, argv + argc);
    for (size_t i = 0; i + 1 < args.size(); ++i)
        if (args[i] == "--runs") g_runs = std::max(3, std::atoi(args[i + 1].c_str()));
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--check" && i + 1 < args.size()) return RunCheck(std::atoi(args[i + 1].c_str()));
        if (args[i] == "--dups") return RunDuplicates();
    }
    const std::string self = std::string("'") + argv[0] + "' --runs " + std::to_string(g_runs);
    for (const std::string& one :
         {std::string(" --check 20000"), std::string(" --check 100000"), std::string(" --dups")}) {
        std::fflush(stdout);
        if (std::system((self + one).c_str()) != 0) return 1;
    }
    return 0;
}
