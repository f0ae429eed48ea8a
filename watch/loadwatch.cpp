#include "watch/loadwatch.h"

#include "bench/frametimes.h"

#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
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

// Every thread's wait so far, from the first reading of the process on.
static ThreadWaits threadWaits;

// The wait of every thread of this process into s. The thread list is read with getdents64
// into the stack rather than opendir, which would allocate between frames.
static int ReadThreadsWait(CpuSnapshot *s) {
    int dir = open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return 0;
    char entries[4096], path[64], text[128];
    ThreadWait now[kThreadWaitsMax];
    int threads = 0, ok = 1;
    ssize_t n;
    while (ok && (n = getdents64(dir, entries, sizeof entries)) > 0) {
        for (ssize_t at = 0; at < n;) {
            const struct dirent64 *e = (const struct dirent64 *)(entries + at);
            at += e->d_reclen;
            if (e->d_name[0] == '.') continue;
            snprintf(path, sizeof path, "/proc/self/task/%.20s/schedstat", e->d_name);
            // A thread that ended since the list was read has no file: the table keeps its wait.
            if (!ReadHead(path, text, sizeof text)) continue;
            // More threads than the table holds: no waits rather than some of them.
            if (threads == kThreadWaitsMax || !ParseSchedstatWait(text, &now[threads].waitNs)) {
                ok = 0;
                break;
            }
            now[threads++].tid = atoi(e->d_name);
        }
    }
    close(dir);
    static const long hz = sysconf(_SC_CLK_TCK);
    return ok && n == 0 && threads > 0 && NoteThreadWaits(&threadWaits, now, threads, hz, s);
}

int ReadCpuSnapshot(CpuSnapshot *s) {
    char text[1024];
    *s = CpuSnapshot{};
    if (!ReadHead("/proc/stat", text, sizeof text) || !ParseProcStat(text, s)) return 0;
    if (!ReadHead("/proc/self/stat", text, sizeof text) || !ParseSelfStat(text, s)) return 0;
    ReadThreadsWait(s);
    return 1;
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
    // What others use, whether or not this process's threads would have wanted it: the
    // test has not begun to want any.
    if (out && UsedShare(c) > kNoticeableShare)
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
