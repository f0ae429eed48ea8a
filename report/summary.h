// What a series of runs adds up to: the spread of its scores and its peak triangle rate.
#pragma once

#include "record/model.h"

#include <stdio.h>

// The score figures are of the scored runs that were neither disturbed nor drifted: a
// disturbed run says what the machine had left, a drifted one what it had at two different
// speeds, not what it can do. When every scored run was one or the other there is nothing
// better: they are of all of them, and ofDisturbed says so.
struct ResultSummary {
    int runs;           // all of them, aborted ones too
    int scored;         // runs that ended with a score
    int measured;       // quick runs that measured their grids: steady figures, no score
    int disturbed;      // runs judged disturbed, or whose GPU was held back, aborted ones too
    int heldBack;       // of them, those whose GPU was held back
    int drifted;        // runs whose reference grid drifted (and were not disturbed)
    int counted;        // scored runs the figures below are of
    bool ofDisturbed;   // every run with a score or a quick figure was disturbed or drifted:
                        // the figures are theirs
    double medianScore; // the middle score, or the mean of the middle two; 0 without scores
    int lowestScore, highestScore;
    int spreadGridSteps; // largest minus smallest grid size the counted runs ended on
    double peakRate;     // millions of triangles a second: the best fps × triangles of any step
    int steadyRuns;      // counted runs with a steady figure
    double medianSteady; // the median of their steady figures; 0 without
    double steadyUncertainty; // the median of their uncertainties
};

// "disturbed", or "disturbed or held back" when a GPU held back is among them.
const char *DisturbedWord(const ResultSummary &s);

// A run judged disturbed or drifted, or whose GPU was held back: its figures are not the
// machine's.
bool Untrusted(const ResultRun &run);

ResultSummary Summarize(const std::vector<ResultRun> &runs);

// The grid size a scored run ended on: one more than its last measured step's.
int EndGrid(const ResultRun &run);

// What the runs with figures were, for the words about them: "scored run", "quick run",
// or "scored or quick run" when there were both.
const char *FiguredRuns(const ResultSummary &s);

// One line per figure, for standard output at the end of --test.
void PrintSummary(FILE *out, const ResultSummary &s);
