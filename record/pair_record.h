// Writing a paired comparison's result (--pair): "Kelvane pair.json", a document of its own
// ("protocol": "pair", record/result.schema.json). After the comparison, never
// inside a frame.
#pragma once

#include "record/model.h"
#include "record/pair.h"

#include <string>

// The document, as text: the machine's fields (and the program's version) from machine, all
// else from p. Bad UTF-8 in any string is replaced, as in ResultJson.
std::string PairDocument(const PairResult &p, const ResultSetting &machine);

// Writes "Kelvane pair.json" whole (a temporary name, then renamed) into folder (ending in
// "/", or "" for the current one). The machine is this one's. Non-zero when written;
// otherwise *why says why not.
int WritePairJson(const PairResult &p, const char *folder, std::string *why);

// The document WritePairJson made last, for the history, whether or not it was written.
extern std::string writtenPairDocument;

extern const char kPairJsonName[], kPairSvgName[], kPairPngName[];
