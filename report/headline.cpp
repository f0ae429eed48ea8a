#include "report/headline.h"

#include "bench/frame.h"
#include "bench/log.h"

#include <unistd.h>

void PrintHeadline(FILE *out, const char *folder, const std::string &runText, bool screenshot) {
    fprintf(out, "\n== Kelvane result ==\n");
    size_t at = 0;
    while (at < runText.size()) {
        size_t end = runText.find('\n', at);
        if (end == std::string::npos) end = runText.size();
        fprintf(out, "  %.*s\n", (int)(end - at), runText.c_str() + at);
        at = end + 1;
    }
    // The names differ only in their endings: the folder and the stem once, then the endings.
    std::string log = std::string(folder) + kLogFileName;
    fprintf(out, "  files: %s (the log), .json (the result), .svg and .png (the plot)%s\n",
            log.c_str(), screenshot ? ", .tga (the screenshot)" : "");
    std::string shot = std::string(folder) + kScreenshotName;
    if (!screenshot && access(shot.c_str(), F_OK) == 0)
        fprintf(out, "  not this run's: %s, an earlier run's screenshot\n", shot.c_str());
}
