#include "protocol/progress.h"

#include "bench/accounting.h"
#include "bench/frametimes.h"
#include "bench/state.h"
#include "record/model.h"
#include "watch/frametimes.h"
#include "watch/steady.h"
#include "watch/trust.h"

#include <math.h>
#include <unistd.h>
#include <vector>

static UInt32 shownTest;                 // the recording whose steps are being shown
static size_t shownSteps;                // how many of them
static bool lineOpen;                    // a terminal's line waits to be rewritten or ended
static std::vector<double> nearX, nearY; // the steps near the stop so far

std::string ProgressText(bool quick, int grid, float fps, double secondsLeft) {
    char text[128];
    int n = snprintf(text, sizeof text, "%s grid %d: %.0f fps",
                     quick ? "quick:" : "climbing:", grid, (double)fps);
    if (secondsLeft >= 0 && n > 0 && (size_t)n < sizeof text) {
        if (secondsLeft < 90)
            snprintf(text + n, sizeof text - n, ", about %.0f s left", secondsLeft);
        else
            snprintf(text + n, sizeof text - n, ", about %.0f min left", secondsLeft / 60);
    }
    return text;
}

double ClimbSecondsLeft(const double *triangles, const double *frameMs, int n, int grid) {
    double slope = 0, level = 0;
    if (n < kSteadyPointsMin || !TheilSen(triangles, frameMs, n, &slope, &level) || !(slope > 0))
        return -1;
    // A window closes with the frame that passes its second, so it counts fewer than
    // kStopFps frames only once a frame takes longer than 1000 / (kStopFps - 1) ms.
    double cross = (1000.0 / (kStopFps - 1) - level) / slope;
    if (!(cross > 0)) return -1;
    double lastGrid = sqrt(cross / kTrianglesPerSphere);
    if (!(lastGrid >= grid)) return -1;
    return (lastGrid - grid + 1) * kWindowsPerSize * kWindowMillis / 1000.0;
}

void EndProgress(FILE *out) {
    if (!lineOpen) return;
    fputc('\n', out);
    lineOpen = false;
}

void ShowProgress(FILE *out) {
    if (resultRuns.empty() || resultRuns.back().end != kRunGoing) return;
    const ResultRun &run = resultRuns.back();
    if (shownTest != frameTimesTest) {
        shownTest = frameTimesTest;
        shownSteps = 0;
        nearX.clear();
        nearY.clear();
    }
    if (run.steps.size() <= shownSteps) return;
    // The steps since the last look, each taken into the line once: a climb of a thousand
    // steps costs a median a step, not a fit of all of them every step.
    for (; shownSteps < run.steps.size(); shownSteps++) {
        SteadyPoint p = SteadyPointOfStep(run.steps, (int)shownSteps);
        if (p.triangles > 0 && p.frameMs >= kNearStopMs) {
            nearX.push_back(p.triangles);
            nearY.push_back(p.frameMs);
        }
    }
    const ResultStep &s = run.steps.back();
    // The step that scored ends the climb: nothing is left but the drift check.
    double left = run.quick || run.score
                      ? -1
                      : ClimbSecondsLeft(nearX.data(), nearY.data(), (int)nearX.size(), s.grid);
    std::string text = ProgressText(run.quick, s.grid, s.fps, left);
    if (isatty(fileno(out))) {
        fprintf(out, "\r%s\033[K", text.c_str());
        lineOpen = true;
    } else {
        fprintf(out, "%s\n", text.c_str());
    }
    fflush(out);
}
