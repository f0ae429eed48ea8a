// Reading result files back: for the comparison, and never trusting them. A file is read
// when the schema (record/result.schema.json) takes it, fields, types, ranges and no field
// it does not name, and its fields agree as record/validate.py checks beside the schema
// (each step's triangles its grid's, ...); anything else is refused with the field and the
// reason. The two take the same files: tests/results_reader_test.cpp tries both on variants.
#pragma once

#include "record/model.h"
#include "record/pair.h"

#include <stddef.h>
#include <string>

// Reads a result from text of the given length (need not end in NUL). Non-zero when it is
// one; otherwise *why says what is wrong, e.g. "runs[0].end: not \"score\" or \"aborted\"".
// A paired comparison's document is none: *why is then kPairNotARun.
extern const char kPairNotARun[];
int ParseResult(const char *text, size_t length, ResultFile *result, std::string *why);

// Reads a paired comparison's document ("protocol": "pair") as ParseResult reads a run's:
// what the schema and validate.py take, or *why with the field and the reason.
int ParsePairResult(const char *text, size_t length, PairResult *out, std::string *why);

// The same from a file, whose path becomes result->name.
int ReadResultFile(const char *path, ResultFile *result, std::string *why);

// A result file's text, read whole unless it is far larger than any result (a device such as
// /dev/zero never ends). Non-zero on success; otherwise *why.
int ReadResultText(const char *path, std::string *text, std::string *why);
