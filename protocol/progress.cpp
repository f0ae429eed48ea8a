#include "protocol/progress.h"

#include "bench/accounting.h"
#include "bench/frametimes.h"
#include "bench/state.h"
#include "record/model.h"
#include "watch/frametimes.h"
#include "watch/steady.h"
#include "watch/trust.h"

#include <math.h>
#include <stdio.h>
#include <algorithm>
#include <unistd.h>
#include <vector>

static UInt32 shownTest;                 // the recording whose steps are being shown
static size_t shownSteps;                // how many of them
static bool lineOpen;                    // a terminal's line waits to be rewritten or ended
static std::vector<double> nearX, nearY; // the steps near the stop so far

// "40 s", "2 min": seconds below 90, minutes from there.
static std::string Duration(double s, bool unit) {
    char text[32];
    if (s < 90)
        snprintf(text, sizeof text, unit ? "%.0f s" : "%.0f", s);
    else
        snprintf(text, sizeof text, unit ? "%.0f min" : "%.0f", s / 60);
    return text;
}

std::string ProgressText(bool quick, const char *run, int grid, float fps, TimeLeft left) {
    std::string text = std::string(quick ? "quick" : "climbing") + (run && run[0] ? " (" : "") +
                       (run ? run : "") + (run && run[0] ? ")" : "") + ": grid " +
                       std::to_string(grid) + ": " + std::to_string((int)lround(fps)) + " fps";
    if (!left.known) return text;
    std::string low = Duration(left.lowS, false), high = Duration(left.highS, true);
    // One unit for both ends where they share it: "30 to 50 s"; else each its own.
    if ((left.lowS < 90) != (left.highS < 90)) low = Duration(left.lowS, true);
    if (low + (left.lowS < 90 ? " s" : " min") == high) return text + ", about " + high + " left";
    return text + ", about " + low + " to " + high + " left";
}

// The steps a climb has from grid on to the grid where frames of costMs per triangle reach
// thresholdMs, at four seconds a step; the one that stops it counts.
static double SecondsTo(double costMs, double thresholdMs, int grid) {
    double last = sqrt(thresholdMs / costMs / kTrianglesPerSphere);
    double steps = std::max(ceil(last) - grid, 1.0);
    return steps * kWindowsPerSize * kWindowMillis / 1000.0;
}

TimeLeft ClimbTimeLeft(const double *triangles, const double *frameMs, int n, int grid) {
    TimeLeft left = {};
    if (n < kTimeLeftSteps) return left;
    // Near the stop frame time grows as the triangles do: each of the last steps' cost a
    // triangle carried on to where a frame takes 100 ms. A line fitted through all of them
    // has a level that stretches the way ahead (it said 10 min where 1 was left). The stop
    // comes when one window counts fewer than 10 frames: as soon as the median frame takes
    // 100 ms, and surely at 111; the range runs from the steepest cost to the first, to the
    // shallowest to the second (perf/time_left.cpp measures how often it holds).
    double steep = 0, shallow = HUGE_VAL;
    for (int i = n - kTimeLeftSteps; i < n; i++) {
        if (!(triangles[i] > 0) || !(frameMs[i] > 0)) return left;
        steep = std::max(steep, frameMs[i] / triangles[i]);
        shallow = std::min(shallow, frameMs[i] / triangles[i]);
    }
    left.known = true;
    left.lowS = SecondsTo(steep, 1000.0 / kStopFps, grid);
    left.highS = SecondsTo(shallow, 1000.0 / (kStopFps - 1), grid);
    return left;
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
    TimeLeft left = {};
    if (!run.quick && !run.score)
        left = ClimbTimeLeft(nearX.data(), nearY.data(), (int)nearX.size(), s.grid);
    // A series says which of its runs this is, all the while.
    std::string which = SeriesRunLabel((int)resultRuns.size(), false);
    std::string text = ProgressText(run.quick, which.c_str(), s.grid, s.fps, left);
    if (isatty(fileno(out))) {
        fprintf(out, "\r%s\033[K", text.c_str());
        lineOpen = true;
    } else {
        fprintf(out, "%s\n", text.c_str());
    }
    fflush(out);
}
