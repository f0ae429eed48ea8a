#include "watch/frametimes.h"

#include "bench/frametimes.h"

#include <algorithm>
#include <vector>

double SortedQuantile(const double *sorted, size_t n, double p) {
    if (n == 0) return 0;
    p = std::min(1.0, std::max(0.0, p));
    double h = p * (double)(n - 1);
    size_t lo = (size_t)h;
    if (lo + 1 >= n) return sorted[n - 1];
    return sorted[lo] + (h - (double)lo) * (sorted[lo + 1] - sorted[lo]);
}

StepFrameTimes FrameTimeFigures(const uint32_t *us, size_t n) {
    StepFrameTimes f = {};
    f.timed = (int)n;
    if (n == 0) return f;
    std::vector<double> ms(n);
    for (size_t i = 0; i < n; i++)
        ms[i] = us[i] / 1000.0;
    std::sort(ms.begin(), ms.end());
    f.p10Ms = SortedQuantile(ms.data(), n, 0.10);
    f.medianMs = SortedQuantile(ms.data(), n, 0.50);
    f.p90Ms = SortedQuantile(ms.data(), n, 0.90);
    return f;
}

int FrameTimesOfStep(int step, StepFrameTimes *out) {
    *out = StepFrameTimes{};
    if (!frameTimes || !timedSteps || step < 0 || step >= timedStepCount) return 0;
    const TimedStep &s = timedSteps[step];
    *out = FrameTimeFigures(frameTimes + s.first, (size_t)s.timed);
    out->frames = s.frames;
    return 1;
}
