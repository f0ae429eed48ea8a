#include "app/cmdline.h"
#include "app/folders.h"
#include "app/startup.h"
#include "history/history.h"
#include "report/compare.h"

#include <stdio.h>

// --history and its options.
static int HistoryCommand(void) {
    if (commandLine.exportRun)
        return ExportHistoryRun(commandLine.exportRun, commandLine.exportFile, stdout, stderr);
    if (commandLine.imports)
        return ImportIntoHistory(commandLine.imports, commandLine.importCount, stdout, stderr);
    if (commandLine.plot) return PlotHistory(commandLine.plot, stdout, stderr);
    return PrintHistory(stdout, stderr);
}

int main(int argc, char **argv) {
    // Before anything opens: a bad command line ends here.
    int status = 0;
    if (!ParseCommandLine(argc, argv, stdout, stderr, &status)) return status;
    // A comparison opens nothing: two files (or runs of the history) in, text out.
    if (commandLine.compare[0])
        return CompareResults(commandLine.compare[0], commandLine.compare[1], commandLine.plot,
                              stdout, stderr, ReadResultOrRun)
                   ? kExitScore
                   : kExitUsage;
    if (commandLine.history) return HistoryCommand();
    // A test whose results could not be written would be lost: say so before it runs.
    char why[2 * kFolderSize + 256];
    if (!ChooseResultsFolder(why, sizeof why)) {
        fprintf(stderr, "kelvane: nowhere to write the results: %s\n", why);
        return kExitUsage;
    }
    if (commandLine.test) printf("kelvane: results in %s\n", app_folder[0] ? app_folder : "./");
    fflush(stdout);
    return KelvaneMain();
}
