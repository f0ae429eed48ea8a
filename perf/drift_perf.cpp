// Does the renderer's speed move while nothing else changes? Holds one grid, drawn as a
// test draws it, for a while, and prints each second's median frame time; every fifth
// second it also times a pass over memory (a copy of 256 MiB), a read of a buffer that fits
// a shared cache, and fixed arithmetic (one dependent chain, and independent operations,
// on each processor in turn), so that a drift of the frame time can be laid beside the
// machine's memory and processors at that moment.
// Run: perf_drift WIDTH HEIGHT GRID SECONDS [LABEL], without arguments 1920 1080 44 20;
// GRID may be a sequence, GRID:SECONDS,GRID:SECONDS,..., each grid held in turn.
#include "bench/frame.h"
#include "bench/state.h"
#include "gfx/scene.h"
#include "perf/perf_support.h"

#include <algorithm>
#include <sched.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <vector>

enum { kCopyBytes = 256 << 20 };

// Seconds to copy kCopyBytes once, from a buffer touched beforehand.
static double CopySeconds(char *from, char *to) {
    double start = NowSeconds();
    memcpy(to, from, kCopyBytes);
    double t = NowSeconds() - start;
    // Keeps the copy from being dropped.
    if (to[kCopyBytes / 2] == 3) fputc(' ', stderr);
    return t;
}

// Milliseconds of arithmetic on a small array: independent operations, bound by the
// processor's throughput (which a busy sibling thread of the same core takes from) rather
// than by the latency of one chain.
static double ThroughputMs(void) {
    static float v[1024];
    double start = NowSeconds();
    for (int pass = 0; pass < 400000; pass++)
        for (int i = 0; i < 1024; i++)
            v[i] = v[i] * 0.999f + 1.0f;
    double t = (NowSeconds() - start) * 1000;
    if (v[7] == 3) fputc(' ', stderr);
    return t;
}

// GB/s of reading a buffer of 8 MiB, which fits a shared cache, four times over.
static double CacheGBps(const char *buffer) {
    enum { kBytes = 8 << 20 };
    const uint64_t *w = (const uint64_t *)buffer;
    uint64_t sum = 0;
    double start = NowSeconds();
    for (int pass = 0; pass < 4; pass++)
        for (size_t i = 0; i < kBytes / 8; i++)
            sum += w[i];
    double t = NowSeconds() - start;
    if (sum == 3) fputc(' ', stderr);
    return 4.0 * kBytes / t / 1e9;
}

// ThroughputMs on each processor in turn (up to two), the calling thread moved to it for
// the while: a processor slowed from outside (a busy sibling thread on the host) shows on
// one of them.
static void ThroughputOnEach(double ms[2]) {
    cpu_set_t was;
    sched_getaffinity(0, sizeof was, &was);
    for (int cpu = 0; cpu < 2; cpu++) {
        cpu_set_t one;
        CPU_ZERO(&one);
        CPU_SET(cpu, &one);
        ms[cpu] = sched_setaffinity(0, sizeof one, &one) == 0 ? ThroughputMs() : 0;
    }
    sched_setaffinity(0, sizeof was, &was);
}

// Milliseconds of integer work that touches no memory: one chain of dependent multiplies.
static double IntegerMs(void) {
    double start = NowSeconds();
    volatile uint64_t h = 1469598103934665603ull;
    uint64_t x = h;
    for (int i = 0; i < 20000000; i++)
        x = (x ^ (uint64_t)i) * 1099511628211ull;
    h = x;
    return (NowSeconds() - start) * 1000;
}

// "GRID:SECONDS,GRID:SECONDS,...", or a single grid with the seconds of the command line.
static std::vector<std::pair<int, int>> Plan(const char *grids, int seconds) {
    std::vector<std::pair<int, int>> plan;
    for (const char *p = grids; *p;) {
        char *end = nullptr;
        int g = (int)strtol(p, &end, 10), s = seconds;
        if (*end == ':') s = (int)strtol(end + 1, &end, 10);
        plan.push_back({g, s});
        p = *end == ',' ? end + 1 : end + strlen(end);
    }
    return plan;
}

int main(int argc, char **argv) {
    // Without arguments (make perf), a short look: grid 44 at 1920x1080 for 20 s.
    const char *defaults[] = {argv[0], "1920", "1080", "44", "20"};
    if (argc == 1) {
        argv = (char **)defaults;
        argc = 5;
    }
    if (argc < 5) {
        fprintf(stderr, "usage: perf_drift WIDTH HEIGHT GRID[:SECONDS][,GRID:SECONDS...] "
                        "SECONDS [LABEL]\n");
        return 2;
    }
    int w = atoi(argv[1]), h = atoi(argv[2]);
    std::vector<std::pair<int, int>> plan = Plan(argv[3], atoi(argv[4]));
    const char *label = argc > 5 ? argv[5] : "-";
    if (!OpenPerfWindow(w, h) || !AllocScene()) {
        fprintf(stderr, "no scene\n");
        return 1;
    }
    char *a = (char *)malloc(kCopyBytes), *b = (char *)malloc(kCopyBytes);
    if (!a || !b) return 1;
    memset(a, 1, kCopyBytes);
    memset(b, 2, kCopyBytes);
    fullscreen = true;
    printf("# label second frames median_ms copy_GBps integer_ms throughput_ms cache_GBps "
           "cpu0_ms cpu1_ms grid\n");
    double start = NowSeconds();
    int s = 0;
    for (auto [n, seconds] : plan) {
        numCubes = n;
        for (int i = 0; i < seconds; i++, s++) {
            std::vector<double> times;
            double last = NowSeconds(), end = start + s + 1;
            while (last < end) {
                tCubes = 0;
                Render();
                double now = NowSeconds();
                times.push_back((now - last) * 1000);
                last = now;
            }
            std::nth_element(times.begin(), times.begin() + times.size() / 2, times.end());
            double median = times[times.size() / 2];
            if (s % 5 == 4) {
                double copy = CopySeconds(a, b);
                double integer = IntegerMs(), throughput = ThroughputMs();
                double cache = CacheGBps(a), each[2];
                ThroughputOnEach(each);
                printf("%s %d %zu %.2f %.2f %.1f %.1f %.1f %.1f %.1f %d\n", label, s, times.size(),
                       median, kCopyBytes / copy / 1e9, integer, throughput, cache, each[0],
                       each[1], n);
                start += NowSeconds() - last; // the probes' time is not the next second's
            } else {
                printf("%s %d %zu %.2f - - - - - - %d\n", label, s, times.size(), median, n);
            }
            fflush(stdout);
        }
    }
    return 0;
}
