// Reading result files back: for the comparison, and never trusting them. A file is read
// when it is JSON and has every field the schema (record/result.schema.json) requires, of
// the type and in the range it requires, and each step's triangles are its grid's (as
// record/validate.py checks them); anything else is refused with the field and the reason.
#pragma once

#include "record/model.h"

#include <stddef.h>
#include <string>

// Reads a result from text of the given length (need not end in NUL). Non-zero when it is
// one; otherwise *why says what is wrong, e.g. "runs[0].end: not \"score\" or \"aborted\"".
int ParseResult(const char *text, size_t length, ResultFile *result, std::string *why);

// The same from a file, whose path becomes result->name.
int ReadResultFile(const char *path, ResultFile *result, std::string *why);
