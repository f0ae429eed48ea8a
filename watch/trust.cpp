#include "watch/trust.h"

#include "watch/gpusteps.h"
#include "watch/loadwatch.h"

#include <cmath>
#include <math.h>
#include <stdio.h>
#include <string.h>

SteadyPoint SteadyPointOf(const ResultStep &step, const StepFrameTimes &times) {
    double ms = times.timed > 0 ? times.medianMs : step.fps > 0 ? 1000.0 / step.fps : 0;
    return SteadyPoint{(double)step.triangles, ms};
}

SteadyPoint SteadyPointOfStep(const std::vector<ResultStep> &steps, int i) {
    StepFrameTimes t;
    FrameTimesOfStep(i, &t);
    return SteadyPointOf(steps[i], t);
}

// One standard error of a window's median frame time: the spread between its 10th and 90th
// percentiles taken as 2.563 standard deviations, as for normal noise.
static double MedianError(const StepFrameTimes &t) {
    return 1.2533 * (t.p90Ms - t.p10Ms) / 2.563 / sqrt((double)t.timed);
}

ResultDrift JudgeDrift(int grid, const StepFrameTimes &first, const StepFrameTimes &again) {
    if (first.timed < 1 || again.timed < 1 || !(first.medianMs > 0)) return ResultDrift{};
    ResultDrift d = {};
    d.known = true;
    d.grid = grid;
    d.firstMs = first.medianMs;
    d.againMs = again.medianMs;
    d.change = again.medianMs / first.medianMs - 1;
    double own = 2 * hypot(MedianError(first), MedianError(again)) / first.medianMs;
    d.allowed = own > kDriftAllowed ? own : kDriftAllowed;
    d.drifted = fabs(d.change) > d.allowed;
    return d;
}

SteadyFigure WithDrift(SteadyFigure f, const ResultDrift &d) {
    if (f.valid && d.known) f.uncertainty = hypot(f.uncertainty, d.change * f.score);
    return f;
}

static bool Busy(const ResultGpu &g) {
    return g.known && g.medianMhz >= 0 && g.busy >= kGpuBusyShare;
}

ResultHeld JudgeGpu(const ResultGpu *steps, int n, bool quick) {
    ResultHeld h = {};
    h.lowMhz = h.hottestC = -1;
    h.headroomC = NAN;
    for (int i = 0; i < n; i++)
        if (Busy(steps[i]) && steps[i].medianMhz > h.topMhz) h.topMhz = steps[i].medianMhz;
    for (int i = n - DecidingSteps(n, quick); i < n; i++) {
        const ResultGpu &g = steps[i];
        if (!g.known) continue;
        h.steps++;
        if (Busy(g) && (h.lowMhz < 0 || g.medianMhz < h.lowMhz)) h.lowMhz = g.medianMhz;
        h.throttle |= g.throttle;
        if (g.hottestC > h.hottestC) h.hottestC = g.hottestC;
        h.headroomC = fmin(h.headroomC, g.headroomC); // fmin passes NAN over
    }
    h.known = h.steps > 0;
    h.clockFell = h.lowMhz >= 0 && h.lowMhz < kGpuHeldShare * h.topMhz;
    h.hot = h.headroomC <= 0;
    h.heldBack = h.clockFell || h.throttle || h.hot;
    return h;
}

std::string ThrottleNames(unsigned bits) {
    std::string names;
    for (int i = 0; i < kGpuThrottleReasons; i++)
        if (bits >> i & 1) names += (names.empty() ? "" : ", ") + std::string(kGpuThrottleNames[i]);
    return names;
}

std::string Thousands(double v) {
    char digits[32];
    snprintf(digits, sizeof digits, "%.0f", v);
    std::string s = digits;
    for (int at = (int)s.size() - 3; at > (s[0] == '-'); at -= 3)
        s.insert((size_t)at, ",");
    return s;
}

void GatherTrust(const std::vector<ResultStep> &steps, bool quick, int reference, int again,
                 std::vector<StepTrust> *out, RunTrust *run) {
    out->assign(steps.size(), StepTrust{});
    std::vector<CpuShare> loads(steps.size());
    std::vector<SteadyPoint> points(steps.size());
    std::vector<ResultGpu> gpu(steps.size());
    for (size_t i = 0; i < steps.size(); i++) {
        StepTrust &t = (*out)[i];
        FrameTimesOfStep((int)i, &t.times);
        LoadOfStep((int)i, &t.load);
        gpu[i] = t.gpu = GpuOfStep((int)i);
        loads[i] = t.load;
        points[i] = SteadyPointOf(steps[i], t.times);
    }
    run->quick = quick;
    run->load = quick ? JudgeQuickRun(loads.data(), (int)loads.size())
                      : JudgeRun(loads.data(), (int)loads.size());
    run->held = JudgeGpu(gpu.data(), (int)gpu.size(), quick);
    run->drift = ResultDrift{};
    if (reference >= 0 && reference < (int)steps.size() && again >= 0) {
        StepFrameTimes later;
        FrameTimesOfStep(again, &later);
        run->drift = JudgeDrift(steps[reference].grid, (*out)[reference].times, later);
    }
    int n = (int)points.size();
    run->steady =
        WithDrift(quick ? FitQuick(points.data(), n) : FitSteady(points.data(), n), run->drift);
}

ResultLoad LoadOf(const CpuShare &c) {
    if (!c.total) return ResultLoad{};
    // This process's time comes from another file, read a moment apart from the machine's:
    // it can pass what the machine had left by a tick, and so the whole machine.
    uint64_t used = c.others + c.steal, rest = used < c.total ? c.total - used : 0;
    double self = (double)(c.self < rest ? c.self : rest) / c.total;
    return ResultLoad{true,          OthersShare(c),   StealShare(c), self,
                      TakenShare(c), c.waitKnown != 0, WaitShare(c)};
}

void TrustIntoRun(const std::vector<StepTrust> &t, const RunTrust &trust, ResultRun *run) {
    for (size_t i = 0; i < t.size() && i < run->steps.size(); i++) {
        ResultStep &s = run->steps[i];
        const StepFrameTimes &f = t[i].times;
        s.timed = f.timed;
        s.p10Ms = f.timed ? f.p10Ms : 0;
        s.medianMs = f.timed ? f.medianMs : 0;
        s.p90Ms = f.timed ? f.p90Ms : 0;
        s.load = LoadOf(t[i].load);
        s.gpu = t[i].gpu;
    }
    run->held = trust.held;
    const RunLoad &l = trust.load;
    run->verdict = ResultVerdict{};
    // Without any step's figures there is nothing to judge by, which is not a quiet machine.
    if (l.decidingSteps > 0)
        run->verdict = ResultVerdict{true, l.disturbed != 0, l.decidingSteps, LoadOf(l.deciding),
                                     LoadOf(l.last)};
    run->drift = trust.drift;
    run->steady = ResultSteady{};
    if (trust.steady.valid)
        run->steady = ResultSteady{true, trust.steady.score, trust.steady.uncertainty};
}

// Decimals enough that two percentages that differ do not print as one: a change just past
// its limit would read as no more than it.
static int DecimalsApart(double a, double b) {
    for (int d = 0; d < 3; d++) {
        char x[32], y[32];
        snprintf(x, sizeof x, "%.*f", d, fabs(a));
        snprintf(y, sizeof y, "%.*f", d, fabs(b));
        if (strcmp(x, y)) return d;
    }
    return 3;
}

// The GPU's verdict: what held it back and by how much, or that nothing did.
static void PrintHeld(FILE *out, const ResultHeld &h, bool quick, const char *figure) {
    if (!h.known) return;
    char over[64], hot[48] = "";
    snprintf(over, sizeof over, quick ? "over its %d grids" : "over the last %d steps", h.steps);
    if (h.hottestC >= 0) snprintf(hot, sizeof hot, " at %.0f °C", h.hottestC);
    if (!h.heldBack) {
        fprintf(out, "gpu: not held back %s%s: ", over, hot);
        if (h.lowMhz >= 0)
            fprintf(out, "its clock stayed at %s MHz or more of the %s it reached busy",
                    Thousands(h.lowMhz).c_str(), Thousands(h.topMhz).c_str());
        else
            fputs("its driver publishes no load, so its clock is not judged", out);
        fputs(", no throttle reason was set", out);
        if (!std::isnan(h.headroomC))
            fprintf(out, ", %.0f °C below its critical temperature", h.headroomC);
        fputc('\n', out);
        return;
    }
    fputs("held back:", out);
    const char *sep = " ";
    if (h.clockFell) {
        fprintf(out, " the GPU's clock fell from %s to %s MHz while it was busy",
                Thousands(h.topMhz).c_str(), Thousands(h.lowMhz).c_str());
        sep = "; ";
    }
    if (h.throttle) {
        fprintf(out, "%sits driver held the clock down (%s)", sep,
                ThrottleNames(h.throttle).c_str());
        sep = "; ";
    }
    if (h.hot) fprintf(out, "%sit reached its critical temperature", sep);
    fprintf(out, "%s %s; %s not this GPU's best\n", hot, over, figure);
}

void PrintTrust(FILE *out, const RunTrust &run) {
    const RunLoad &l = run.load;
    // What a flag speaks of: a quick run's figure only if it has one.
    const char *figure = !run.quick         ? "the score is"
                         : run.steady.valid ? "the steady figure is"
                                            : "its grids' frame rates are";
    if (l.disturbed && run.quick)
        fprintf(out,
                "disturbed: other processes took %.0f%% of the CPU from the test and the "
                "hypervisor %.0f%% over its %d grids; %s not this machine's best\n",
                100 * ContestedShare(l.deciding), 100 * StealShare(l.deciding), l.decidingSteps,
                figure);
    else if (l.disturbed)
        fprintf(out,
                "disturbed: other processes took %.0f%% of the CPU from the test and the "
                "hypervisor %.0f%% over the last %d steps, %.0f%% and %.0f%% in the last; the "
                "score is not this machine's best\n",
                100 * ContestedShare(l.deciding), 100 * StealShare(l.deciding), l.decidingSteps,
                100 * ContestedShare(l.last), 100 * StealShare(l.last));
    PrintHeld(out, run.held, run.quick, figure);
    const ResultDrift &d = run.drift;
    int digits = DecimalsApart(100 * d.change, 100 * d.allowed);
    if (d.known && d.drifted)
        fprintf(out,
                "drifted: grid %d took %.1f ms a frame at its step and %.1f ms after the stop "
                "(%+.*f%%, more than the %.*f%% this run's own noise allows); the machine's "
                "speed moved during the run\n",
                d.grid, d.firstMs, d.againMs, digits, 100 * d.change, digits, 100 * d.allowed);
    // A quick run has no score to mistake it for.
    if (run.steady.valid)
        fprintf(out,
                "steady figure: %.0f ± %.0f thousand triangles a frame at 10 frames a second "
                "(fitted over %d steps%s)\n",
                run.steady.score, run.steady.uncertainty, run.steady.points,
                run.quick ? "" : "; not the score");
    else
        fprintf(out, "steady figure: none (%s)\n", SteadyRefusalWords(run.steady).c_str());
}
