// The end of a single --test, on standard output.
#pragma once

#include <stdio.h>
#include <string>

// The end of a single --test: one block to read at a glance: the figure to quote and how the
// run ended (runText, record/record.h's lastRunText), its verdicts, and where its files are
// in folder (with the screenshot when the run took one). A screenshot there that the run did
// not take is said to be an older run's.
void PrintHeadline(FILE *out, const char *folder, const std::string &runText, bool screenshot);
