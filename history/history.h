// The history of runs on this machine: every run recorded once it ends, whatever folder its
// result files went to, so that no result is lost when the next test rewrites them. Each run
// is kept as a result file of its own, which --compare and validate.py read like any other.
#pragma once

#include "record/model.h"

#include <stdint.h>
#include <stdio.h>
#include <string>

// The history's file: history.sqlite in $XDG_DATA_HOME/kelvane/ (else ~/.local/share/kelvane/),
// its folders made when missing and make is set (to write it). Non-zero with the path;
// otherwise *why.
int HistoryPath(std::string *path, bool make, std::string *why);

// Records the runs of a result document (a result file's text) that the history does not
// hold yet, each in a transaction of its own; a paired comparison's document is one entry. Non-zero
// on success with how many were new in *added; 0 when the history could not be used, with *why.
// Opens and closes the history.
int RecordInHistory(const std::string &result, int *added, std::string *why);

// After a test, outside any frame: records what was just written, and when the history cannot
// be used says so on err in one line that names its file. Never changes the outcome of the test.
void RecordTestInHistory(const std::string &result, FILE *err);

// A run of the history as a result, for --compare: "@ID", "@last" or "@last~N" (N runs before
// the last, paired comparisons not counted: its name then says how many were passed over).
// Non-zero when ref names one; otherwise *why (kPairNotARun for a paired comparison's @ID).
int ReadHistoryRun(const char *ref, ResultFile *result, std::string *why);
// The document of the run ref names, as recorded, and its id.
int HistoryRunText(const char *ref, std::string *text, int64_t *id, std::string *why);
// Two references counted back from the last run (@last, @last~N, as --compare counts) that name two
// runs of one
// --repeat series are not two tests: 0 with *why. Non-zero otherwise, and for anything it
// cannot read (the comparison says that).
int CheckCountedBack(const char *a, const char *b, std::string *why);
// Reads ref as a history run when it starts with "@", as a result file otherwise.
int ReadResultOrRun(const char *ref, ResultFile *result, std::string *why);

// The commands of --history; each returns the program's exit status.
int PrintHistory(FILE *out, FILE *err);
int ExportHistoryRun(const char *id, const char *path, FILE *out, FILE *err);
int ImportIntoHistory(char *const *paths, int count, FILE *out, FILE *err);
int PlotHistory(const char *path, FILE *out, FILE *err);
