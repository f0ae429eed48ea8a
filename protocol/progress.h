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

// The words for a step: grid, frame rate and, when secondsLeft is 0 or more, the time left.
std::string ProgressText(bool quick, int grid, float fps, double secondsLeft);

// Seconds a climb has left: from the Theil–Sen line of its steps near the stop, where it
// reaches the frame time at which a window counts too few frames (111 ms), at four seconds
// a grid; -1 without such a line ahead of the grid.
double ClimbSecondsLeft(const double *triangles, const double *frameMs, int n, int grid);
