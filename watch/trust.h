// What a careful reader needs to trust a run's score, gathered in one place after the test:
// each logged step's frame times and interference, the run's verdict and its steady figure.
// Called once a test has ended and before the next one starts (the recordings are the last
// test's), never inside a frame.
#pragma once

#include "watch/frametimes.h"
#include "watch/interference.h"
#include "record/model.h"
#include "watch/steady.h"

#include <stdio.h>
#include <string>
#include <vector>

struct StepTrust {
    StepFrameTimes times; // times.timed 0: the step was not timed
    CpuShare load;        // load.total 0: no figures for the step
    ResultGpu gpu;        // gpu.known false: no GPU watched
};

struct RunTrust {
    RunLoad load;        // load.disturbed: others and steal took too much near the stop
    SteadyFigure steady; // steady.valid 0: no steady figure; its uncertainty carries the drift
    ResultDrift drift;   // drift.known 0: the reference was not measured again
    ResultHeld held;     // held.known false: no GPU watched
    bool quick;          // a quick run's: judged over all its grids, and it has no score
};

// A steady machine moves a step's median frame time by this much from one measurement to
// the next, at most (perf/drift.sh); a larger move, beyond the two measurements' own spread,
// is drift.
constexpr double kDriftAllowed = 0.05;

// The reference grid's two measurements judged: the change, what the two windows' own
// spread and kDriftAllowed allow, and whether it drifted. Unknown when either is untimed.
ResultDrift JudgeDrift(int grid, const StepFrameTimes &first, const StepFrameTimes &again);

// A GPU busy less than this share of a step was waiting for the processor between frames
// (a run bound by it): its driver lowers the clock of a GPU that waits, by design, and
// that is not holding it back.
constexpr double kGpuBusyShare = 0.80;

// The GPU's verdict from its steps' figures (n of them, in the log's order) over the steps
// that decide the run (interference.h), a quick one's with quick. The clock is judged only
// where the driver publishes how busy the GPU was (amdgpu): elsewhere a low clock may be an
// idle GPU's, and only the driver's throttle reasons and the temperature count.
ResultHeld JudgeGpu(const ResultGpu *steps, int n, bool quick);

// The reasons set in bits, by their names: "pl1, thermal".
std::string ThrottleNames(unsigned bits);

// 2450 as "2,450", as a clock is read.
std::string Thousands(double v);

// The steady figure's uncertainty with the drift in it: a run whose speed moved by a share
// c may have its figure off by about c of it, in either direction.
SteadyFigure WithDrift(SteadyFigure f, const ResultDrift &d);

// The point a step gives the steady fit: its median frame time, or a second over its frame
// count where it was not timed.
SteadyPoint SteadyPointOf(const ResultStep &step, const StepFrameTimes &times);
// The same for step i of the test recorded last, its frame times drawn from the recording.
SteadyPoint SteadyPointOfStep(const std::vector<ResultStep> &steps, int i);

// The figures of the last test's steps (steps: as the log gave them, in order; out gets one
// entry each) and of the run, a quick one's with quick; reference and again locate the
// drift check's measurements in the recording (-1: none).
void GatherTrust(const std::vector<ResultStep> &steps, bool quick, int reference, int again,
                 std::vector<StepTrust> *out, RunTrust *run);

// The shares of an interval's CPU time, for the results; unknown without time.
ResultLoad LoadOf(const CpuShare &c);

// The gathered figures into the run they were gathered for (t: one entry per step of it).
void TrustIntoRun(const std::vector<StepTrust> &t, const RunTrust &trust, ResultRun *run);

// The run's verdict and steady figure in words, for standard output after its score.
void PrintTrust(FILE *out, const RunTrust &run);
