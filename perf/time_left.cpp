// How close the climb's time-left range comes, replayed over the steps of recorded climbs:
// at every step the progress line would have given a range, the time the climb really had
// left (its steps to the stop, 4 s each) against the range and against its middle.
//   time_left RESULT.json...     (not run by `make perf`: it needs recorded climbs)
#include "protocol/progress.h"
#include "record/reader.h"
#include "watch/steady.h"

#include <algorithm>
#include <math.h>
#include <stdio.h>
#include <string>
#include <vector>

static double Quantile(std::vector<double> v, double q) {
    if (v.empty()) return NAN;
    std::sort(v.begin(), v.end());
    return v[(size_t)lround(q * (double)(v.size() - 1))];
}

int main(int argc, char **argv) {
    std::vector<double> errors, ratios;
    int said = 0, inside = 0, steps = 0;
    for (int f = 1; f < argc; f++) {
        ResultFile r;
        std::string why;
        if (!ReadResultFile(argv[f], &r, &why)) {
            fprintf(stderr, "%s: %s\n", argv[f], why.c_str());
            return 2;
        }
        for (const ResultRun &run : r.runs) {
            if (run.end != kRunScore) continue;
            std::vector<double> x, y;
            size_t n = run.steps.size();
            for (size_t k = 0; k + 1 < n; k++) {
                const ResultStep &s = run.steps[k];
                double ms = s.timed > 0 ? s.medianMs : s.fps > 0 ? 1000.0 / s.fps : 0;
                if (s.triangles > 0 && ms >= kNearStopMs) x.push_back(s.triangles), y.push_back(ms);
                steps++;
                TimeLeft t = ClimbTimeLeft(x.data(), y.data(), (int)x.size(), s.grid);
                if (!t.known) continue;
                double actual = 4.0 * (double)(n - 1 - k), middle = (t.lowS + t.highS) / 2;
                said++;
                // A step's 4 s is the clock's grain: a range that misses by less is right.
                inside += actual >= t.lowS - 4 && actual <= t.highS + 4;
                errors.push_back(middle - actual);
                ratios.push_back(middle / actual);
            }
        }
    }
    std::vector<double> absolute(errors.size());
    std::transform(errors.begin(), errors.end(), absolute.begin(),
                   [](double e) { return fabs(e); });
    printf(
        "steps %d, a range said at %d; the time left inside it (within a step) at %d (%.0f %%)\n",
        steps, said, inside, said ? 100.0 * inside / said : 0);
    printf("the range's middle minus the time left: median %+.1f s, median of its size %.1f s, "
           "90th percentile %.1f s\n",
           Quantile(errors, 0.5), Quantile(absolute, 0.5), Quantile(absolute, 0.9));
    printf("the middle over the time left: 10th, 50th, 90th percentiles %.2f, %.2f, %.2f\n",
           Quantile(ratios, 0.1), Quantile(ratios, 0.5), Quantile(ratios, 0.9));
    return 0;
}
