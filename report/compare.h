// Two results side by side: `kelvane --compare A.json B.json [--plot FILE]`.
#pragma once

#include "record/model.h"
#include "record/reader.h"
#include "report/gate.h"

#include <stdio.h>
#include <string>

// Prints the comparison of a and b on out: for every grid size both reached, the frames
// per second of each (the median over their runs) and their ratio; then the two scores,
// their difference and whether it exceeds the spread of the runs.
void PrintComparison(FILE *out, const ResultFile &a, const ResultFile &b);

// Reads both files, prints their comparison and draws it into plotPath (SVG when the name
// ends in ".svg", PNG otherwise) unless that is null. Non-zero on success; 0 when a file is
// missing, no JSON or no result, or the plot cannot be written (said on err, with the
// file's name).
// read: how a name becomes a result (ReadResultFile, or a reader that knows more names).
typedef int (*ResultReader)(const char *name, ResultFile *result, std::string *why);
// With gate and failIfSlower (a share) 0 or more, the gate's judgement too (report/gate.h).
int CompareResults(const char *pathA, const char *pathB, const char *plotPath, FILE *out, FILE *err,
                   ResultReader read = ReadResultFile, double failIfSlower = -1,
                   GateOutcome *gate = nullptr);

// What the gate judges of a comparison: the steady figures of the trusted runs, with twice
// their uncertainties together.
GateFigures CompareGateFigures(const ResultFile &a, const ResultFile &b);
