#pragma once
// Small measuring helpers shared by the benchmarks: wall-clock and processor seconds, the
// load of the machine, memory figures of this process from /proc/self/status, and the
// minimum and median of repeated runs.

#include "session/session.h"

#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point a, Clock::time_point b) { return std::chrono::duration<double>(b - a).count(); }

// Processor seconds (user + system) used by this process (who = RUSAGE_SELF) or by its
// waited-for children (RUSAGE_CHILDREN). The machines are shared: wall-clock figures include
// time spent waiting for a processor, so benchmarks print both.
inline double CpuSeconds(int who) {
    struct rusage ru;
    getrusage(who, &ru);
    return ru.ru_utime.tv_sec + ru.ru_stime.tv_sec + (ru.ru_utime.tv_usec + ru.ru_stime.tv_usec) / 1e6;
}

// A "Key:" line of /proc/self/status in kB (VmRSS, VmHWM, ...); -1 when missing.
inline long StatusKb(const char* key) {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kb = -1;
    const size_t n = std::strlen(key);
    while (std::fgets(line, sizeof line, f))
        if (std::strncmp(line, key, n) == 0) kb = std::strtol(line + n + 1, nullptr, 10);
    std::fclose(f);
    return kb;
}

// Peak resident memory of this process in MB.
inline double PeakMb() { return StatusKb("VmHWM:") / 1024.0; }

// The three load averages of /proc/loadavg: "load 1.52 1.20 0.98".
inline std::string LoadText() {
    char buf[128] = {0};
    if (FILE* f = std::fopen("/proc/loadavg", "r")) {
        if (!std::fgets(buf, sizeof buf, f)) buf[0] = 0;
        std::fclose(f);
    }
    double a = 0, b = 0, c = 0;
    std::sscanf(buf, "%lf %lf %lf", &a, &b, &c);
    char out[64];
    std::snprintf(out, sizeof out, "load %.2f %.2f %.2f", a, b, c);
    return out;
}

// One timed run: wall-clock and processor seconds.
struct Sample {
    double wall = 0;
    double cpu = 0;
};

// Times f(): processor seconds of this process (threads included) or, with
// who = RUSAGE_CHILDREN, of the child processes it waited for.
template <class F>
Sample Time(F&& f, int who = RUSAGE_SELF) {
    const double c0 = CpuSeconds(who);
    const auto t0 = Clock::now();
    f();
    Sample s;
    s.wall = Seconds(t0, Clock::now());
    s.cpu = CpuSeconds(who) - c0;
    return s;
}

// Repeated runs of one step: minimum and median of wall and processor seconds.
struct Series {
    std::vector<double> wall, cpu;
    void Add(const Sample& s) {
        wall.push_back(s.wall);
        cpu.push_back(s.cpu);
    }
    static double Min(std::vector<double> v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    static double Median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
    }
    double MinWall() const { return Min(wall); }
    double MedWall() const { return Median(wall); }
    double MinCpu() const { return Min(cpu); }
    double MedCpu() const { return Median(cpu); }
};

// Prints one measured step beside its baseline (both run the same number of times,
// interleaved): min and median of wall and processor seconds, and the ratios of the
// medians and of the minima.
inline void PrintRow(const char* what, const Series& s, const char* baseName, const Series& b) {
    auto ratio = [](double x, double y) { return y > 0 ? x / y : 0.0; };
    std::printf(
        "  %-34s wall min %7.3f med %7.3f s  cpu min %7.3f med %7.3f s | %-14s wall min %7.3f med %7.3f s"
        "  cpu min %7.3f med %7.3f s | ratio wall min %5.2f med %5.2f  cpu med %5.2f  (%zu runs)\n",
        what, s.MinWall(), s.MedWall(), s.MinCpu(), s.MedCpu(), baseName, b.MinWall(), b.MedWall(), b.MinCpu(),
        b.MedCpu(), ratio(s.MinWall(), b.MinWall()), ratio(s.MedWall(), b.MedWall()), ratio(s.MedCpu(), b.MedCpu()),
        s.wall.size());
}

// One step without a baseline.
inline void PrintAlone(const char* what, const Series& s) {
    std::printf("  %-34s wall min %7.3f med %7.3f s  cpu min %7.3f med %7.3f s  (%zu runs)\n", what, s.MinWall(),
                s.MedWall(), s.MinCpu(), s.MedCpu(), s.wall.size());
}

// The closing line every benchmark prints.
inline void PrintMachine() { std::printf("%s; peak memory of the process %.1f MB\n", LoadText().c_str(), PeakMb()); }

}  // namespace bench

// The session of the benchmark program: one per program, as the window and korvel-cli make
// one each.
inline korvel::Session& S() {
    static korvel::Session session;
    return session;
}
