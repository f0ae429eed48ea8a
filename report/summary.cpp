#include "report/summary.h"

#include "watch/steady.h"

#include <algorithm>

int EndGrid(const ResultRun &run) {
    return run.steps.empty() ? 0 : run.steps.back().grid + 1;
}

// A run whose GPU was held back says what the GPU had left, as a disturbed one what the
// machine had: counted with them.
static bool Disturbed(const ResultRun &run) {
    return (run.verdict.known && run.verdict.disturbed) || (run.held.known && run.held.heldBack);
}

static bool Drifted(const ResultRun &run) {
    return run.drift.known && run.drift.drifted;
}

bool Untrusted(const ResultRun &run) {
    return Disturbed(run) || Drifted(run);
}

ResultSummary Summarize(const std::vector<ResultRun> &runs) {
    ResultSummary s = {};
    std::vector<double> scores, steady, uncertainty;
    int lowGrid = 0, highGrid = 0;
    int quiet = 0; // scored or measured runs neither disturbed nor drifted
    for (const ResultRun &run : runs)
        if (run.end == kRunScore || run.end == kRunMeasured) {
            s.scored += run.end == kRunScore;
            s.measured += run.end == kRunMeasured;
            quiet += !Untrusted(run);
        }
    s.ofDisturbed = s.scored + s.measured && !quiet;
    for (const ResultRun &run : runs) {
        // A test still going when the program ended was never measured to its end.
        if (run.end == kRunGoing) continue;
        s.runs++;
        s.disturbed += Disturbed(run);
        s.heldBack += run.held.known && run.held.heldBack;
        s.drifted += !Disturbed(run) && Drifted(run);
        // Steps of an aborted run were measured like any other: they count for the peak.
        for (const ResultStep &step : run.steps)
            s.peakRate = std::max(s.peakRate, (double)step.fps * step.triangles / 1e6);
        if (run.end == kRunAborted || (Untrusted(run) && !s.ofDisturbed)) continue;
        if (run.steady.known) {
            steady.push_back(run.steady.score);
            uncertainty.push_back(run.steady.uncertainty);
        }
        if (run.end != kRunScore) continue;
        int grid = EndGrid(run);
        lowGrid = scores.empty() ? grid : std::min(lowGrid, grid);
        highGrid = scores.empty() ? grid : std::max(highGrid, grid);
        scores.push_back(run.score);
    }
    s.counted = (int)scores.size();
    s.steadyRuns = (int)steady.size();
    s.medianSteady = Median(steady);
    s.steadyUncertainty = Median(uncertainty);
    if (scores.empty()) return s;
    s.medianScore = Median(scores);
    s.lowestScore = (int)*std::min_element(scores.begin(), scores.end());
    s.highestScore = (int)*std::max_element(scores.begin(), scores.end());
    s.spreadGridSteps = highGrid - lowGrid;
    return s;
}

const char *DisturbedWord(const ResultSummary &s) {
    return s.heldBack ? "disturbed or held back" : "disturbed";
}

const char *FiguredRuns(const ResultSummary &s) {
    return !s.measured ? "scored run" : !s.scored ? "quick run" : "scored or quick run";
}

// What the summary's figures leave out, or that they are of such runs only.
static void PrintUntrusted(FILE *out, const ResultSummary &s) {
    const char *runs = FiguredRuns(s);
    if (s.disturbed && !s.drifted)
        fprintf(out, "%s: %d; the figures below are of %s%s%s\n", DisturbedWord(s), s.disturbed,
                s.ofDisturbed ? "the disturbed runs, as no " : "the undisturbed runs",
                s.ofDisturbed ? runs : "", s.ofDisturbed ? " was undisturbed" : "");
    else if (s.drifted && !s.disturbed)
        fprintf(out, "drifted: %d; the figures below are of %s%s%s\n", s.drifted,
                s.ofDisturbed ? "the drifted runs, as no " : "the runs that held still",
                s.ofDisturbed ? runs : "", s.ofDisturbed ? " held still" : "");
    else if (s.drifted)
        fprintf(out, "%s: %d, drifted: %d; the figures below are of %s%s%s\n", DisturbedWord(s),
                s.disturbed, s.drifted,
                s.ofDisturbed ? "them, as every " : "the runs that were neither",
                s.ofDisturbed ? runs : "", s.ofDisturbed ? " was one or the other" : "");
}

void PrintSummary(FILE *out, const ResultSummary &s) {
    if (s.measured)
        fprintf(out, "runs: %d, with a score: %d, quick: %d\n", s.runs, s.scored, s.measured);
    else
        fprintf(out, "runs: %d, with a score: %d\n", s.runs, s.scored);
    PrintUntrusted(out, s);
    if (s.counted)
        fprintf(out, "median score: %g\nlowest: %d, highest: %d\nspread: %d grid steps\n",
                s.medianScore, s.lowestScore, s.highestScore, s.spreadGridSteps);
    // Quick runs alone have no score to mistake it for.
    if (s.steadyRuns)
        fprintf(out, "median steady figure: %.0f ± %.0f thousand triangles a frame%s\n",
                s.medianSteady, s.steadyUncertainty, s.scored ? " (not the score)" : "");
    fprintf(out, "peak triangle rate: %.2f million triangles/s\n", s.peakRate);
}
