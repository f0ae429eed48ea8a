#include "record/pair_record.h"

#include "self/version.h"
#include "record/json.h"
#include "record/machine.h"
#include "report/pair_plot.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

std::string writtenPairDocument;
const char kPairJsonName[] = "Kelvane pair.json";
const char kPairSvgName[] = "Kelvane pair.svg";
const char kPairPngName[] = "Kelvane pair.png";

int WritePairResult(const PairResult &p, const char *folder, std::string *why) {
    ResultSetting machine = {};
    machine.version = kVersion;
    ReadMachine(&machine, "/proc/cpuinfo");
    writtenPairDocument = PairDocument(p, machine);
    std::string json = std::string(folder) + kPairJsonName,
                svg = std::string(folder) + kPairSvgName, png = std::string(folder) + kPairPngName;
    if (!WriteWhole(json.c_str(), writtenPairDocument)) {
        *why = "cannot write " + json + ": " + strerror(errno);
        return 0;
    }
    // The plot says on a stream what it could not write; the first line of it is why.
    char *said = nullptr;
    size_t size = 0;
    FILE *err = open_memstream(&said, &size);
    int ok = err && WritePairPlot(p, svg.c_str(), png.c_str(), err);
    if (err) fclose(err);
    std::string line = said ? std::string(said, size) : "";
    free(said);
    if (ok) return 1;
    line = line.substr(0, line.find('\n'));
    *why = line.rfind("kelvane: ", 0) == 0 ? line.substr(9) : "the plot could not be written";
    return 0;
}
