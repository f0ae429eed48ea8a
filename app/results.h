// What follows a test's end, before the next one starts and never inside a frame: the run's
// trust gathered and said, its JSON and its plot written.
#pragma once

#include "record/model.h"

#include <stdio.h>
#include <string>

// What GatherRunTrust said of the last run: how it ended, its verdicts, its steady figure.
extern std::string lastRunText;

// The first line said of a run: which of a series it is, how it ended, and for a single
// run whether its figure is one to quote or, flagged, what to do instead.
void SayRun(FILE *out, const ResultRun &run, int n);

// Fills the run that just ended with its steps' frame times and interference, its verdict
// and its steady figure, from the recordings its test left; with out, says the run's score,
// verdict and steady figure there.
void GatherRunTrust(ResultRun *run, FILE *out);

// Writes "Kelvane result.json" and the plot, "Kelvane result.svg" and ".png", beside the
// log if a test has ended since the last write (record/record.h). 1 when written or nothing
// was due, 0 when it could not be written (said on standard error).
int WritePendingResults(void);
