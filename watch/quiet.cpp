#include "watch/quiet.h"

#include <dirent.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

int ParseThreadState(const char *statText, char *state) {
    const char *close = statText ? strrchr(statText, ')') : nullptr;
    if (!close || close[1] != ' ' || !close[2] || close[2] == ' ') return 0;
    *state = close[2];
    return 1;
}

int ParseSchedstatRan(const char *text, uint64_t *ranNs) {
    unsigned long long ran = 0;
    if (!text || sscanf(text, "%llu", &ran) != 1) return 0;
    *ranNs = ran;
    return 1;
}

bool QuietBetween(const ThreadsLook &a, const ThreadsLook &b, double gapUs) {
    double grewUs = b.ranNs > a.ranNs ? (b.ranNs - a.ranNs) / 1e3 : 0;
    return !a.runnable && !b.runnable && grewUs < gapUs / 10;
}

static int ReadSmall(const char *path, char *buf, size_t size) {
    FILE *f = fopen(path, "r");
    if (!f) return 0;
    size_t n = fread(buf, 1, size - 1, f);
    fclose(f);
    buf[n] = 0;
    return n > 0;
}

// A thread that ended between the listing and its files is no work going on.
static void Look(ThreadsLook *look) {
    *look = ThreadsLook{};
    long self = syscall(SYS_gettid);
    DIR *d = opendir("/proc/self/task");
    if (!d) return;
    char path[64], text[512];
    while (struct dirent *e = readdir(d)) {
        long tid = atol(e->d_name);
        if (tid <= 0 || tid == self) continue;
        char state = 0;
        uint64_t ran = 0;
        snprintf(path, sizeof path, "/proc/self/task/%ld/stat", tid);
        if (ReadSmall(path, text, sizeof text) && ParseThreadState(text, &state))
            look->runnable = look->runnable || state == 'R';
        snprintf(path, sizeof path, "/proc/self/task/%ld/schedstat", tid);
        if (ReadSmall(path, text, sizeof text) && ParseSchedstatRan(text, &ran)) look->ranNs += ran;
    }
    closedir(d);
}

static double NowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int WaitOthersQuiet(double limitMs, double *waitedMs) {
    enum { kGapUs = 1000 };
    double start = NowMs();
    ThreadsLook before, after;
    Look(&before);
    for (;;) {
        struct timespec gap = {0, kGapUs * 1000};
        nanosleep(&gap, nullptr);
        Look(&after);
        *waitedMs = NowMs() - start;
        if (QuietBetween(before, after, kGapUs)) return 1;
        if (*waitedMs >= limitMs) return 0;
        before = after;
    }
}
