#include "protocol/quick.h"

#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "protocol/progress.h"
#include "record/model.h"
#include "record/record.h"
#include "watch/frametimes.h"
#include "watch/steady.h"
#include "watch/trust.h"

#include <algorithm>
#include <math.h>
#include <stdio.h>
#include <string>

bool quickTests;

enum { kWarmFramesMax = 4096 }; // the warm-up's last two windows at up to 2,000 fps

static_assert(kMaxQuickGrid == kMaxResultGrid, "a quick run's grids fit a result file");

enum QuickPhase {
    kQuickIdle,
    kQuickProbing,
    kQuickWarming,
    kQuickLooking,
    kQuickMeasuring,
    kQuickDone
};

static QuickPhase phase;
static UInt32 phaseTest; // the recording the phase belongs to
static std::vector<ProbePoint> probe;
static std::vector<SInt32> plan;
static size_t measured;
static std::vector<double> warmMs; // the warm-up's or look's frame times, after a settling
static UInt64 warmLastUs;          // the end of the last frame timed there
static SInt32 warmGrid;            // the warm-up's grid and median frame time
static double warmMedianMs;

static double FrameMs(float fps) {
    return fps > 0 ? 1000.0 / fps : 1e9;
}

std::vector<SInt32> PlanQuickGrids(const std::vector<ProbePoint> &points, SInt32 maxGrid) {
    std::vector<SInt32> grids;
    // The last two points that counted kQuickLowFps frames or more: the last one, which
    // counted fewer, is too coarse a count (3 frames in a window may be 2.5 or 3.5).
    std::vector<ProbePoint> counted;
    for (const ProbePoint &p : points)
        if (p.fps >= kQuickLowFps) counted.push_back(p);
    const std::vector<ProbePoint> &use = counted.size() >= 2 ? counted : points;
    if (use.size() < 2) return grids;
    const ProbePoint &a = use[use.size() - 2], &b = use.back();
    double xa = (double)a.grid * a.grid * kTrianglesPerSphere;
    double xb = (double)b.grid * b.grid * kTrianglesPerSphere;
    double slope = (FrameMs(b.fps) - FrameMs(a.fps)) / (xb - xa);
    if (!(slope > 0) || !(xb > xa)) return grids;
    double level = FrameMs(b.fps) - slope * xb;
    double lo = (1000 / kQuickHighFps - level) / slope, hi = (1000 / kQuickLowFps - level) / slope;
    // Past the largest grid nothing can be measured: the grids then reach up to it from a
    // quarter of its triangles, and the fit says how far the line is from them.
    double top = (double)maxGrid * maxGrid * kTrianglesPerSphere;
    hi = std::min(hi, top);
    // A line that starts above 40 fps's frame time (a point taken on a loaded moment
    // flattens it), or so near it that it reaches it short of one sphere, says nothing of
    // grid 1: clamped to it, the smallest grid would run at hundreds of frames a second. The
    // grids then reach down to a quarter of the largest's triangles, as past the largest
    // grid, which the line puts under 40 fps.
    bool above = !(lo >= kTrianglesPerSphere);
    lo = std::min(std::max(lo, (double)kTrianglesPerSphere), hi);
    if (above || lo == hi) lo = hi / 4;
    for (int k = 0; k < kQuickGrids; k++) {
        double t = lo + (hi - lo) * k / (kQuickGrids - 1);
        double g = floor(sqrt(t / kTrianglesPerSphere) + 0.5);
        grids.push_back((SInt32)std::min(std::max(g, 1.0), (double)maxGrid));
    }
    // Small and large taken in turn, so that a machine that drifts while they are measured
    // scatters the points about the line instead of tilting it.
    std::vector<SInt32> mixed;
    for (int k = 0; k < kQuickGrids / 2; k++) {
        mixed.push_back(grids[k]);
        mixed.push_back(grids[k + kQuickGrids / 2]);
    }
    return mixed;
}

std::vector<SInt32> ReplanQuickGrids(const std::vector<ProbePoint> &probe, SInt32 warmGrid,
                                     double warmMs, SInt32 maxGrid) {
    const ProbePoint *below = nullptr;
    for (const ProbePoint &p : probe)
        if (p.fps >= kQuickLowFps && p.grid < warmGrid) below = &p;
    if (!below || !(warmMs > 0)) return {};
    return PlanQuickGrids({*below, {warmGrid, (float)(1000 / warmMs)}}, maxGrid);
}

std::vector<SInt32> LookQuickGrids(SInt32 warmGrid, double warmMs, SInt32 lookGrid, double lookMs,
                                   SInt32 maxGrid) {
    if (!(lookGrid > warmGrid) || !(warmMs > 0) || !(lookMs > warmMs)) return {};
    return PlanQuickGrids({{warmGrid, (float)(1000 / warmMs)}, {lookGrid, (float)(1000 / lookMs)}},
                          maxGrid);
}

static void Begin(void) {
    phase = kQuickProbing;
    phaseTest = frameTimesTest;
    probe.clear();
    plan.clear();
    measured = 0;
    MarkRunQuick();
    HoldGrid(1, 1, false);
}

// Why the probe's points give no line: the first grid was already too slow, or the frame
// rate did not fall as the grid grew.
static std::string NoLineReason(void) {
    char why[160];
    const ProbePoint &first = probe.front(), &last = probe.back();
    if (probe.size() < 2)
        snprintf(why, sizeof why, "grid %d already ran at %.1f fps, under %.0f", (int)first.grid,
                 (double)first.fps, kQuickLowFps);
    else
        snprintf(why, sizeof why,
                 "the frame rate did not fall as the grid grew (grid %d: %.0f fps, grid %d: %.0f "
                 "fps)",
                 (int)first.grid, (double)first.fps, (int)last.grid, (double)last.fps);
    return why;
}

// The probe's next grid, or the warm-up once the rate is low enough or the grid at its top.
static void Probe(void) {
    probe.push_back({numCubes, holdMeasuredFps});
    SInt32 grid = numCubes;
    if (holdMeasuredFps >= kQuickLowFps && grid < kMaxQuickGrid) {
        HoldGrid(std::min(grid * 2, (SInt32)kMaxQuickGrid), 1, false);
        return;
    }
    plan = PlanQuickGrids(probe, kMaxQuickGrid);
    if (plan.empty()) {
        // Measured, with nothing to fit: the run ends as quick runs do, and says why.
        phase = kQuickDone;
        EndProgress(stdout);
        printf("quick: no grids to measure: %s\n", NoLineReason().c_str());
        QuickRunMeasured();
        EndTest();
        return;
    }
    phase = kQuickWarming;
    warmMs.clear();
    warmLastUs = 0;
    HoldGrid(plan[kQuickGrids / 2], kQuickWarmWindows, false);
}

// After a frame of the warm-up or the look: its duration, once the warm-up's first window has
// settled the grid (the look follows it under the same load, and its median passes over the
// one frame that changed the grid).
static void TimeWarmFrame(void) {
    if (holdWindowsLeft >= kQuickWarmWindows || lastFrameEndUs == warmLastUs) return;
    if (warmLastUs && warmMs.size() < kWarmFramesMax)
        warmMs.push_back((lastFrameEndUs - warmLastUs) / 1000.0);
    warmLastUs = lastFrameEndUs;
}

static double TimedMedian(void) {
    if (warmMs.size() < 3) return 0;
    std::sort(warmMs.begin(), warmMs.end());
    return SortedQuantile(warmMs.data(), warmMs.size(), 0.5);
}

// The probe counts whole frames in one window at grids far below the ones to measure, and
// frame time grows faster than the triangles on some renderers: its line puts the grids
// too far. The warm-up's median frame time, at a grid among them, corrects it.
static void Replan(void) {
    warmGrid = plan[kQuickGrids / 2];
    warmMedianMs = TimedMedian();
    if (!(warmMedianMs > 0)) return;
    std::vector<SInt32> again = ReplanQuickGrids(probe, warmGrid, warmMedianMs, kMaxQuickGrid);
    if (!again.empty()) plan = again;
}

// Where frame time grows faster than the triangles, the line from below the warm-up still
// puts the largest grid past 8 fps (142 ms for a power of 1.3, 250 for 2), and the steps
// there tilt the fit low by 1.5 to 5 %. The look, a window at that grid, puts the line
// through two points near the figure instead (perf/known_cost.py).
static void Look(void) {
    SInt32 look = *std::max_element(plan.begin(), plan.end());
    std::vector<SInt32> again =
        LookQuickGrids(warmGrid, warmMedianMs, look, TimedMedian(), kMaxQuickGrid);
    if (!again.empty()) plan = again;
}

SInt32 NextQuickGrid(const SteadyPoint *points, const SInt32 *grids, int n, SInt32 maxGrid) {
    int side = UnbracketedSide(points, n);
    if (side == kSteadyFitted) return 0;
    bool faster = side == kSteadyNoneFaster;
    // The band without a step lies between the largest grid faster than it and the smallest
    // slower: the grid sought is between them too.
    double lo = BandLow(side);
    SInt32 fast = 0, slow = maxGrid + 1;
    double fastMs = 0, slowMs = 0;
    std::vector<double> x, y;
    for (int i = 0; i < n; i++) {
        if (!(points[i].triangles > 0) || !(points[i].frameMs > 0)) continue;
        if (points[i].frameMs < lo && grids[i] > fast) fast = grids[i], fastMs = points[i].frameMs;
        if (points[i].frameMs >= lo && grids[i] < slow) slow = grids[i], slowMs = points[i].frameMs;
        if (points[i].frameMs >= kNearStopMs && points[i].frameMs <= kQuickFarMs) { // as FitQuick
            x.push_back(points[i].triangles);
            y.push_back(points[i].frameMs);
        }
    }
    if (fast + 1 >= slow) return 0;
    double target = 1000 / (faster ? kQuickNearFps : kQuickLowFps), slope = 0, level = 0;
    double grid = NAN;
    if (TheilSen(x.data(), y.data(), (int)x.size(), &slope, &level) && slope > 0 && target > level)
        grid = sqrt((target - level) / slope / kTrianglesPerSphere);
    // Without a line that reaches it (steps all far slower than the target, whose fixed
    // cost it cannot see below): the frame time taken as the triangles from the nearest step.
    else if (faster ? slow <= maxGrid : fast > 0)
        grid = faster ? slow * sqrt(target / slowMs) : fast * sqrt(target / fastMs);
    if (!(grid > 0)) return 0;
    // Rounded first: a crossing less than half a grid past a measured grid would repeat it.
    grid = std::min(std::max(floor(grid + 0.5), fast + 1.0), slow - 1.0);
    SInt32 next = (SInt32)std::min(std::max(grid, 1.0), (double)maxGrid);
    // A grid measured already says nothing new (one slower than a frame a second bounds
    // nothing: its rate reads 0).
    return std::find(grids, grids + n, next) == grids + n ? next : 0;
}

// The run's steps so far as the fit sees them, and the grid near the figure from them.
static SInt32 NextGridNearTheFigure(void) {
    if (resultRuns.empty()) return 0;
    const std::vector<ResultStep> &steps = resultRuns.back().steps;
    std::vector<SteadyPoint> points;
    std::vector<SInt32> grids;
    for (size_t i = 0; i < steps.size(); i++) {
        points.push_back(SteadyPointOfStep(steps, (int)i));
        grids.push_back(steps[i].grid);
    }
    return NextQuickGrid(points.data(), grids.data(), (int)points.size(), kMaxQuickGrid);
}

static void MeasureNext(void) {
    if (measured == plan.size() && measured < kQuickGrids + kQuickExtraGrids)
        if (SInt32 next = NextGridNearTheFigure()) plan.push_back(next);
    if (measured == plan.size()) {
        phase = kQuickDone;
        QuickRunMeasured();
        // The drift check takes over from here, as after a climb's stop.
        holdWaiting = true;
        return;
    }
    HoldGrid(plan[measured++], kQuickWindowsPerGrid, true);
}

void DriveQuickTest(void) {
    if (!quickTests || !fullscreen) return;
    if (phaseTest != frameTimesTest) phase = kQuickIdle;
    switch (phase) {
    case kQuickIdle:
        Begin();
        return;
    case kQuickProbing:
        if (holdWaiting) Probe();
        return;
    case kQuickWarming:
        if (!holdWaiting) {
            TimeWarmFrame();
            return;
        }
        Replan();
        phase = kQuickLooking;
        warmMs.clear();
        HoldGrid(*std::max_element(plan.begin(), plan.end()), kQuickLookWindows, false);
        return;
    case kQuickLooking:
        if (!holdWaiting) {
            TimeWarmFrame();
            return;
        }
        Look();
        phase = kQuickMeasuring;
        MeasureNext();
        return;
    case kQuickMeasuring:
        if (!holdWaiting) return;
        RecordHeldStep(numCubes, holdMeasuredFps);
        MeasureNext();
        return;
    case kQuickDone:
        return;
    }
}
