// The result file: JSON described by record/result.schema.json.
#pragma once

#include "record/model.h"

#include <string>

// The document for the runs, as text. Strings that are not UTF-8 (driver names can be
// anything) have their bad bytes replaced, so the text is always valid JSON.
std::string ResultJson(const ResultSetting &setting, const std::vector<ResultRun> &runs);

// A time as the result writes it: "2024-05-01T09:30:12Z", UTC.
std::string ResultTime(time_t t);

// Writes text to path whole or not at all: into a temporary file in the same folder, then
// renamed over path. Non-zero on success; on failure path is untouched, nothing is left and
// errno says why. A link is followed and its file replaced; a name that is no regular file
// (a device, a pipe, /dev/stdout) is written through, never replaced.
int WriteWhole(const char *path, const std::string &text);
