// Feeds arbitrary bytes to the result reader of --compare: whatever a file holds, it must
// answer yes or no, and a yes must be a result that the comparison and the plot can use:
// their summary and their axes are worked out here as --compare works them out.
#include "report/plot.h"
#include "record/reader.h"
#include "report/summary.h"

#include <math.h>
#include <stdint.h>
#include <stdlib.h>

// The largest grid a result can hold, and the room the axes add beyond it.
enum { kMaxAxisGrid = 1365 + 2 };

static void CheckSummary(const ResultFile &result) {
    ResultSummary s = Summarize(result.runs);
    if (s.runs != (int)result.runs.size() || s.scored < 0 || s.scored > s.runs) abort();
    if (!isfinite(s.peakRate) || s.peakRate < 0) abort();
    if (!s.scored) return;
    if (s.lowestScore < 1 || s.lowestScore > s.medianScore || s.medianScore > s.highestScore)
        abort();
    if (s.spreadGridSteps < 0 || s.spreadGridSteps > kMaxAxisGrid) abort();
}

static bool Inside(double v, double low, double high) {
    return isfinite(v) && v >= low - 1e-6 && v <= high + 1e-6;
}

// Axes that span every point in finite numbers, and whose tick loops end.
static void CheckAxes(const std::vector<ResultFile> &results) {
    PlotFrame f = PlotAxes(results);
    if (!(f.fpsMin > 0) || !(f.fpsMax > f.fpsMin) || !isfinite(f.fpsMax)) abort();
    if (!(f.gridMax > f.gridMin) || f.gridMax > kMaxAxisGrid) abort();
    if (!(f.rateMax > 0) || !isfinite(f.rateMax)) abort();
    for (const ResultFile &r : results)
        for (const ResultRun &run : r.runs)
            for (const ResultStep &s : run.steps)
                if (!Inside(PlotX(f, s.triangles), f.left, f.right) ||
                    !Inside(PlotY(f, s.fps), f.top, f.bottom) ||
                    !Inside(PlotRateY(f, (double)s.fps * s.triangles / 1e6), f.top, f.bottom))
                    abort();
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ResultFile result;
    std::string why;
    if (!ParseResult((const char *)data, size, &result, &why)) {
        if (why.empty()) abort(); // a refusal always says why
        return 0;
    }
    if (result.runs.empty()) abort();
    for (const ResultRun &run : result.runs) {
        if (run.end == kRunScore && run.score < 1) abort();
        for (const ResultStep &s : run.steps)
            if (s.grid < 0 || s.grid > 1365 || s.triangles < 0 || !(s.fps >= 0)) abort();
    }
    CheckSummary(result);
    CheckAxes({result});
    CheckAxes({result, result});
    return 0;
}
