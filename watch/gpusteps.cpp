#include "watch/gpusteps.h"

#include "bench/frametimes.h"

#include <algorithm>
#include <cmath>
#include <time.h>

static GpuSample looks[kGpuLooksPerWindow];
static int lookCount;          // looks of the window going on
static double lastLookAt = -1; // monotonic seconds
static ResultGpu stepGpu[kTimedStepsMax];
static UInt32 watchedTest;    // the recording the figures belong to
static SInt32 watchedWindows; // windows of it seen closed
static SInt32 watchedSteps;   // its steps that have figures

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + t.tv_nsec / 1e9;
}

static void Look(double now) {
    lastLookAt = now;
    if (lookCount < kGpuLooksPerWindow && ReadGpuSample(gpuWatched, &looks[lookCount])) lookCount++;
}

void WatchGpuAfterFrame(void) {
    if (gpuWatched.driver == kGpuNone || !frameTimes) return;
    if (watchedTest != frameTimesTest) {
        watchedTest = frameTimesTest;
        watchedWindows = watchedSteps = 0;
        lookCount = 0;
    }
    double now = Now();
    bool closed = testWindowsClosed != watchedWindows;
    // The window that closed is looked at as it ends, whenever the last look was.
    if (closed || now - lastLookAt >= kGpuLookSeconds) Look(now);
    if (!closed) return;
    watchedWindows = testWindowsClosed;
    for (; watchedSteps < timedStepCount && watchedSteps < kTimedStepsMax; watchedSteps++)
        stepGpu[watchedSteps] = GpuFigures(looks, lookCount);
    lookCount = 0;
}

ResultGpu GpuOfStep(int step) {
    if (!frameTimes || watchedTest != frameTimesTest || step < 0 || step >= watchedSteps)
        return ResultGpu{};
    return stepGpu[step];
}

// The median of what is known (>= 0) of the looks' field; -1 when nothing is.
template <typename Field> static double MedianOf(const GpuSample *s, int n, Field field) {
    double v[kGpuLooksPerWindow];
    int known = 0;
    for (int i = 0; i < n && known < kGpuLooksPerWindow; i++)
        if (field(s[i]) >= 0) v[known++] = field(s[i]);
    if (!known) return -1;
    std::sort(v, v + known);
    return known % 2 ? v[known / 2] : (v[known / 2 - 1] + v[known / 2]) / 2;
}

template <typename Field> static double MeanOf(const GpuSample *s, int n, Field field) {
    double sum = 0;
    int known = 0;
    for (int i = 0; i < n; i++)
        if (field(s[i]) >= 0) sum += field(s[i]), known++;
    return known ? sum / known : -1;
}

ResultGpu GpuFigures(const GpuSample *s, int n) {
    ResultGpu g = {n > 0, n, -1, -1, -1, -1, -1, NAN, -1, 0};
    if (!n) return g;
    g.medianMhz = MedianOf(s, n, [](const GpuSample &x) { return x.clockMhz; });
    double busy = MeanOf(s, n, [](const GpuSample &x) { return x.busyPercent; });
    g.busy = busy < 0 ? -1 : busy / 100;
    g.powerW = MeanOf(s, n, [](const GpuSample &x) { return x.powerW; });
    g.memoryMhz = MedianOf(s, n, [](const GpuSample &x) { return x.memClockMhz; });
    for (int i = 0; i < n; i++) {
        const GpuSample &x = s[i];
        if (x.clockMhz >= 0 && (g.lowestMhz < 0 || x.clockMhz < g.lowestMhz))
            g.lowestMhz = x.clockMhz;
        g.maxMhz = std::max(g.maxMhz, x.maxClockMhz);
        if (x.tempC > g.hottestC) {
            g.hottestC = x.tempC;
            snprintf(g.hottestSensor, sizeof g.hottestSensor, "%s", x.hottest);
        }
        if (x.powerCapW >= 0 && (g.powerCapW < 0 || x.powerCapW < g.powerCapW))
            g.powerCapW = x.powerCapW;
        g.headroomC = fmin(g.headroomC, x.headroomC); // fmin passes NAN over
        g.throttle |= x.throttle;
    }
    return g;
}
