#include "app/cmdline.h"
#include "app/folders.h"
#include "app/startup.h"
#include "history/history.h"
#include "pair/pair.h"
#include "platform/video.h"
#include "record/environment.h"
#include "report/compare.h"

#include <stdio.h>
#include <unistd.h>

// --history and its options.
static int HistoryCommand(void) {
    if (commandLine.exportRun)
        return ExportHistoryRun(commandLine.exportRun, commandLine.exportFile, stdout, stderr);
    if (commandLine.imports)
        return ImportIntoHistory(commandLine.imports, commandLine.importCount, stdout, stderr);
    if (commandLine.plot) return PlotHistory(commandLine.plot, stdout, stderr);
    return PrintHistory(stdout, stderr);
}

// --compare, and its gate where asked.
static int CompareCommand(void) {
    std::string why;
    if (!CheckCountedBack(commandLine.compare[0], commandLine.compare[1], &why)) {
        fprintf(stderr, "kelvane: %s\n", why.c_str());
        return kExitUsage;
    }
    GateOutcome gate = kGatePassed;
    if (!CompareResults(commandLine.compare[0], commandLine.compare[1], commandLine.plot, stdout,
                        stderr, ReadResultOrRun, commandLine.failIfSlower, &gate))
        return kExitUsage;
    return gate == kGateSlower ? kExitSlower : gate == kGateUnjudged ? kExitUnjudged : kExitScore;
}

// --pair: the coordinator of two sides, each a process of this program.
static int PairCommand(void) {
    PairAsk ask = {};
    ask.sides[0] = commandLine.pair[0];
    ask.sides[1] = commandLine.pair[1];
    ask.width = commandLine.offscreenWidth;
    ask.height = commandLine.offscreenHeight;
    ask.window = commandLine.window;
    ask.precision = commandLine.precision;
    ask.timeLimitS = commandLine.timeLimit;
    ask.folder = app_folder;
    ask.failIfSlower = commandLine.failIfSlower;
    ask.whenReady = MakePendingResultsFolder;
    fflush(stdout);
    switch (RunPair(ask, stdout, stderr)) {
    case kPairJudged:
        return kExitScore;
    case kPairBadSetting:
        return kExitUsage;
    case kPairInterrupted:
        return kExitAborted;
    case kPairNotWritten:
        return kExitNotWritten;
    case kPairSlower:
        return kExitSlower;
    case kPairUnjudged:
        return kExitUnjudged;
    case kPairSideFailed:
        break;
    }
    return kExitPairSide;
}

// Said before the test, so that its output names the driver's setting as its result does.
static void SayGlEnvironment(void) {
    std::string said = GlEnvironmentText(GlEnvironmentOf(environ));
    printf("environment: %s\n", said.empty() ? "none of the GL variables set" : said.c_str());
}

// --list-devices: what --device N would render on, for each N.
static int ListDevicesCommand(void) {
    EGLDeviceInfo infos[16];
    int count = ListEGLDevices(infos, 16);
    if (count < 0) {
        fprintf(stderr, "kelvane: EGL cannot list its devices here (%s)\n", WindowSystemError());
        return kExitNoScene;
    }
    if (count == 0) printf("kelvane: EGL lists no devices\n");
    for (int i = 0; i < count && i < 16; i++)
        printf("--device %d: %s%s%s%s\n", i, infos[i].renderer, infos[i].node[0] ? " (" : "",
               infos[i].node, infos[i].node[0] ? ")" : "");
    return kExitScore;
}

int main(int argc, char **argv) {
    // Through a pipe (tee, a CI job's log) each line is seen as it is said, not in blocks
    // seconds later.
    setvbuf(stdout, nullptr, _IOLBF, 0);
    // Before anything opens: a bad command line ends here.
    int status = 0;
    if (!ParseCommandLine(argc, argv, stdout, stderr, &status)) return status;
    // A comparison opens nothing: two files (or runs of the history) in, text out.
    if (commandLine.compare[0]) return CompareCommand();
    if (commandLine.history) return HistoryCommand();
    if (commandLine.listDevices) return ListDevicesCommand();
    // A test whose results could not be written would be lost: say so before it runs.
    char why[2 * kFolderSize + 256];
    if (commandLine.pairSide)
        WriteNowhere();
    else if (!ChooseResultsFolder(why, sizeof why)) {
        fprintf(stderr, "kelvane: nowhere to write the results: %s\n", why);
        return kExitUsage;
    }
    if (commandLine.pair[0]) return PairCommand();
    if (commandLine.test && !commandLine.pairSide) {
        printf("kelvane: results in %s\n", results_pending[0] ? results_pending
                                           : app_folder[0]    ? app_folder
                                                              : "./");
        SayGlEnvironment();
    }
    fflush(stdout);
    return KelvaneMain();
}
