#include "results/loadwatch.h"

#include "bench/frametimes.h"

#include <errno.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

// The "cpu" line comes first in /proc/stat; the rest (every processor, the interrupts)
// is not needed.
static int ReadHead(const char *path, char *buf, size_t size) {
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    ssize_t n = read(fd, buf, size - 1);
    close(fd);
    if (n <= 0) return 0;
    buf[n] = 0;
    return 1;
}

int ReadCpuSnapshot(CpuSnapshot *s) {
    char text[1024];
    *s = CpuSnapshot{};
    if (!ReadHead("/proc/stat", text, sizeof text) || !ParseProcStat(text, s)) return 0;
    return ReadHead("/proc/self/stat", text, sizeof text) && ParseSelfStat(text, s);
}

static CpuShare stepLoads[kTimedStepsMax];
static UInt32 watchedTest;    // the recording the figures below belong to
static SInt32 watchedWindows; // windows of it seen closed
static SInt32 watchedSteps;   // its steps that have figures, or none
static CpuSnapshot lastClose; // the counters when the last window closed
static bool haveLastClose;

void WatchLoadAfterFrame(void) {
    if (!frameTimes) return;
    if (watchedTest != frameTimesTest) {
        watchedTest = frameTimesTest;
        watchedWindows = watchedSteps = 0;
        haveLastClose = false;
    }
    if (testWindowsClosed == watchedWindows) return;
    watchedWindows = testWindowsClosed;
    CpuSnapshot now;
    bool read = ReadCpuSnapshot(&now);
    // A measured window began when the window before it closed.
    for (; watchedSteps < timedStepCount; watchedSteps++)
        stepLoads[watchedSteps] = read && haveLastClose ? ShareBetween(lastClose, now) : CpuShare{};
    lastClose = now;
    haveLastClose = read;
}

int LoadOfStep(int step, CpuShare *out) {
    *out = CpuShare{};
    if (!frameTimes || watchedTest != frameTimesTest || step < 0 || step >= watchedSteps) return 0;
    *out = stepLoads[step];
    return out->total != 0;
}

static CpuSnapshot glanceFrom;
static bool glanceBegun;
static struct timespec glanceAt;

void BeginGlance(void) {
    glanceBegun = ReadCpuSnapshot(&glanceFrom);
    clock_gettime(CLOCK_MONOTONIC, &glanceAt);
}

static double SecondsSince(const struct timespec &t0) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)(t.tv_sec - t0.tv_sec) + (t.tv_nsec - t0.tv_nsec) / 1e9;
}

CpuShare EndGlance(double seconds, FILE *out) {
    if (!glanceBegun) return CpuShare{};
    glanceBegun = false;
    double rest = seconds - SecondsSince(glanceAt);
    if (rest > 0) {
        struct timespec t = {(time_t)rest, (long)((rest - (double)(time_t)rest) * 1e9)};
        while (nanosleep(&t, &t) != 0 && errno == EINTR) {
        }
    }
    CpuSnapshot to;
    if (!ReadCpuSnapshot(&to)) return CpuShare{};
    CpuShare c = ShareBetween(glanceFrom, to);
    if (out && TakenShare(c) > kNoticeableShare)
        fprintf(out,
                "kelvane: other processes use %.0f%% of the CPU and the hypervisor steals "
                "%.0f%% before the test starts: its score may suffer\n",
                100 * OthersShare(c), 100 * StealShare(c));
    return c;
}

CpuShare GlanceAtMachine(double seconds, FILE *out) {
    BeginGlance();
    return EndGlance(seconds, out);
}
