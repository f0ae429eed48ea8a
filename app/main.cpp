#include "app/cmdline.h"
#include "app/startup.h"
#include "results/compare.h"

int main(int argc, char **argv) {
    // Before anything opens: a bad command line ends here.
    int status = 0;
    if (!ParseCommandLine(argc, argv, stdout, stderr, &status)) return status;
    // A comparison opens nothing: two files in, text out.
    if (commandLine.compare[0])
        return CompareResults(commandLine.compare[0], commandLine.compare[1], commandLine.plot,
                              stdout, stderr)
                   ? kExitScore
                   : kExitUsage;
    return KelvaneMain();
}
