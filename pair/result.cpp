#include "pair/pair.h"

#include "record/pair_record.h"
#include "report/pair_plot.h"

#include <stdlib.h>

int WritePairResult(const PairResult &p, const char *folder, std::string *why, bool *json) {
    bool ignored;
    if (!json) json = &ignored;
    *json = WritePairJson(p, folder, why);
    if (!*json) return 0;
    std::string svg = std::string(folder) + kPairSvgName, png = std::string(folder) + kPairPngName;
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
