#pragma once
// Small measuring helpers shared by the benchmarks: wall-clock and processor seconds, and
// memory figures of this process from /proc/self/status.

#include "session/session.h"

#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

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

}  // namespace bench

// The session of the benchmark program: one per program, as the window and korvel-cli make
// one each.
inline korvel::Session& S() {
    static korvel::Session session;
    return session;
}
