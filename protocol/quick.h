// The quick figure (--quick): a test that does not climb. A probe doubles the grid, one
// window each, until the frame rate falls under kQuickLowFps; a warm-up holds a grid under
// load, and a look the largest grid planned from it; then kQuickGrids grids spread between
// kQuickHighFps and kQuickLowFps by the line through those two are measured as steps are, in an
// order that mixes small and large, then up to kQuickExtraGrids more while none has measured near
// 10 fps on one side of it, and fitted as the steady figure is, with the drift check after them.
// It gives no score: the score is the climb's alone.
#pragma once

#include "platform/types.h"
#include "watch/steady.h"

#include <vector>

constexpr double kQuickHighFps = 40, kQuickLowFps = 8;
// Where a grid is sought to measure faster than 10 fps by as much as kQuickLowFps is slower.
constexpr double kQuickNearFps = 12.5;
enum {
    kQuickGrids = 8,          // grids measured
    kQuickExtraGrids = 4,     // more, one at a time, while 10 fps is not bracketed
    kQuickWindowsPerGrid = 2, // the first settles, the second is measured
    kQuickWarmWindows = 3,    // the warm-up's, unmeasured
    kQuickLookWindows = 1,    // the look's at the largest grid after it, unmeasured
    kMaxQuickGrid = 1365,     // the largest grid a result file holds
};

extern bool quickTests; // every test of this process is quick

// What the probe measured: a grid and its window's frame count.
struct ProbePoint {
    SInt32 grid;
    float fps;
};

// The grids to measure from the probe's points, in the order to measure them: triangles
// evenly spread between where the line through the probe's last two points (of those that
// counted kQuickLowFps frames or more, where there are two) reaches
// kQuickHighFps and kQuickLowFps, each grid at least 1 and at most maxGrid; from a quarter
// of the largest's triangles where the line starts above kQuickHighFps's frame time. Empty
// when the probe gives no rising line.
std::vector<SInt32> PlanQuickGrids(const std::vector<ProbePoint> &probe, SInt32 maxGrid);

// The grids again once the warm-up has measured a median frame time of warmMs at warmGrid:
// planned on the line from the probe's last point below it that counted kQuickLowFps frames
// or more. Empty when there is no such point or no rising line.
std::vector<SInt32> ReplanQuickGrids(const std::vector<ProbePoint> &probe, SInt32 warmGrid,
                                     double warmMs, SInt32 maxGrid);

// The grids a third time once a look at lookGrid, the largest of the warm-up's plan, has
// measured a median frame time of lookMs: planned on the line through the warm-up's point
// and the look's. Empty when the look is not at a larger grid or slower, or no rising line.
std::vector<SInt32> LookQuickGrids(SInt32 warmGrid, double warmMs, SInt32 lookGrid, double lookMs,
                                   SInt32 maxGrid);

// A grid to measure when the steps so far (grids[i] at points[i]) do not bracket 100 ms
// (watch/steady.h), as when the machine was slow during the warm-up or the renderer slowed
// after the plan: where their Theil–Sen line reaches kQuickLowFps's frame time when no step
// took from 100 to 200 ms, else kQuickNearFps's when none took from 50 to 100, always
// between the largest grid faster than that band and the smallest slower. Without it the fit
// would read the figure far from its steps, and the run would have none. 0 when the steps
// bracket 100 ms or no grid lies between.
SInt32 NextQuickGrid(const SteadyPoint *points, const SInt32 *grids, int n, SInt32 maxGrid);

// After every frame, outside it, in a quick test: probes, warms up, measures, and hands the
// test to the drift check once every grid is measured.
void DriveQuickTest(void);
