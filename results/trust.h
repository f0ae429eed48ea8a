// What a careful reader needs to trust a run's score, gathered in one place after the test:
// each logged step's frame times and interference, the run's verdict and its steady figure.
// Called once a test has ended and before the next one starts (the recordings are the last
// test's), never inside a frame.
#pragma once

#include "results/frametimes.h"
#include "results/interference.h"
#include "results/model.h"
#include "results/steady.h"

#include <stdio.h>
#include <vector>

struct StepTrust {
    StepFrameTimes times; // times.timed 0: the step was not timed
    CpuShare load;        // load.total 0: no figures for the step
};

struct RunTrust {
    RunLoad load;        // load.disturbed: others and steal took too much near the stop
    SteadyFigure steady; // steady.valid 0: no steady figure
    // The fit of this process's CPU time a frame (CpuPointOf) over the same steps, read
    // where it reaches 100 ms: for a renderer on the CPU only; see CpuPointOf.
    SteadyFigure cpuSteady;
};

// The point a step gives the steady fit: its median frame time, or a second over its frame
// count where it was not timed.
SteadyPoint SteadyPointOf(const ResultStep &step, const StepFrameTimes &times);

// The same point with what others and the hypervisor took taken out: the frame time had
// they left the machine whole, on the assumption that the renderer would have used every
// processor (llvmpipe does). A candidate for a figure of its own, not the steady figure:
// it is the frame time scaled, not the clock the stop rule reads.
SteadyPoint UndisturbedPointOf(const ResultStep &step, const StepFrameTimes &times,
                               const CpuShare &load);

// The point a step gives a fit of this process's own CPU time: its time a frame, spread
// over the machine's `cores` processors, in milliseconds (ticksPerSecond: the kernel's
// clock ticks, sysconf(_SC_CLK_TCK)). What others take does not enter it, so its crossing
// of 100 ms holds still on a busy machine; it is the wall clock's only for a renderer that
// keeps every processor busy (llvmpipe nearly does), and means nothing for a GPU's.
SteadyPoint CpuPointOf(const ResultStep &step, const CpuShare &load, int cores,
                       long ticksPerSecond);

// The figures of the last test's steps (steps: as the log gave them, in order; out gets one
// entry each) and of the run.
void GatherTrust(const std::vector<ResultStep> &steps, std::vector<StepTrust> *out, RunTrust *run);

// The shares of an interval's CPU time, for the results; unknown without time.
ResultLoad LoadOf(const CpuShare &c);

// The gathered figures into the run they were gathered for (t: one entry per step of it).
void TrustIntoRun(const std::vector<StepTrust> &t, const RunTrust &trust, ResultRun *run);

// The run's verdict and steady figure in words, for standard output after its score.
void PrintTrust(FILE *out, const RunTrust &run);
