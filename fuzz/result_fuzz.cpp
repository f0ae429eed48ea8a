// Feeds arbitrary bytes to the result reader of --compare: whatever a file holds, it must
// answer yes or no, and a yes must be a result that the comparison and the plot can use.
#include "results/reader.h"

#include <stdint.h>
#include <stdlib.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    ResultFile result;
    std::string why;
    if (!ParseResult((const char *)data, size, &result, &why)) {
        if (why.empty()) abort(); // a refusal always says why
        return 0;
    }
    if (result.runs.empty()) abort();
    for (const ResultRun &run : result.runs) {
        if (run.end == kRunScore && run.score < 1) abort();
        for (const ResultStep &s : run.steps)
            if (s.grid < 0 || s.triangles < 0 || !(s.fps >= 0)) abort();
    }
    return 0;
}
