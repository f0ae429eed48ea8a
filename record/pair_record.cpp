#include "record/pair_record.h"

#include "self/version.h"
#include "record/json.h"
#include "record/machine.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

std::string writtenPairDocument;
const char kPairJsonName[] = "Kelvane pair.json";
const char kPairSvgName[] = "Kelvane pair.svg";
const char kPairPngName[] = "Kelvane pair.png";

int WritePairJson(const PairResult &p, const char *folder, std::string *why) {
    ResultSetting machine = {};
    machine.version = kVersion;
    ReadMachine(&machine, "/proc/cpuinfo");
    writtenPairDocument = PairDocument(p, machine);
    std::string json = std::string(folder) + kPairJsonName;
    if (WriteWhole(json.c_str(), writtenPairDocument)) return 1;
    *why = "cannot write " + json + ": " + strerror(errno);
    return 0;
}
