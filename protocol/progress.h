// Where a --test run is, on standard output while it measures: a line per grid step of a
// climb, or per grid a quick run measures, with the grid and its frame rate and, once the
// steady fit has steps enough, about how long the climb has left. On a terminal the line is
// rewritten in place; elsewhere (a log, CI) each is a line of its own.
#pragma once

#include <stdio.h>
#include <string>

// After every frame, outside it: says the run's newest step once; with no time left once
// the run has scored.
void ShowProgress(FILE *out);
// Ends a line left open on a terminal, before anything else is said.
void EndProgress(FILE *out);

// How long a climb has left: a range, from its last steps near the stop.
struct TimeLeft {
    bool known; // not before kTimeLeftSteps steps near the stop
    double lowS, highS;
};
enum { kTimeLeftSteps = 3 };

// The words for a step: grid, frame rate, the run of a series ("run 2 of 5", or empty) and
// the time left where known ("about 30 to 50 s left").
std::string ProgressText(bool quick, const char *run, int grid, float fps, TimeLeft left);

// The time a climb has left from its steps near the stop (triangles, median frame times),
// the last at grid.
TimeLeft ClimbTimeLeft(const double *triangles, const double *frameMs, int n, int grid);
