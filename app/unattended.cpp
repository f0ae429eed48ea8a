#include "app/unattended.h"

#include "report/summary.h"

#include "app/cmdline.h"
#include "app/handlers.h"
#include "app/startup.h"
#include "bench/state.h"
#include "record/model.h"
#include "platform/events.h"

#include <stdio.h>

int exitStatus = kExitInteractive;

static bool testBegun; // the test's full screen has been seen
int testsToRepeat;
int testsAllowed;

// A single --test stays one run, disturbed or not: it is no series, and whoever reads its
// one result (the benchmark suite) expects one run; the verdict is in it.
void StartSeries(int repeat) {
    testsToRepeat = repeat - 1;
    testsAllowed = repeat > 1 ? 2 * repeat - 1 : 0;
}

void PostTestCommand(void) {
    testBegun = false;
    // Until the test says otherwise, a program that ends (its window closed) was stopped.
    exitStatus = kExitAborted;
    PostCommand(kCommandTest, kEventPriorityStandard);
}

static int End(int status) {
    exitStatus = status;
    QuitApplicationEventLoop();
    return 1;
}

// The next test of a series, started as the first was, once this one is over and written.
static int Again(void) {
    testsToRepeat--;
    testsAllowed--;
    PostTestCommand();
    return 0;
}

// The verdicts were gathered once the test ended, before its screenshot (record/record.h).
static bool LastRunUntrusted(void) {
    return !resultRuns.empty() && Untrusted(resultRuns.back());
}

// After a scored test: the series' next one, or the end with every test scored. A disturbed,
// drifted or held-back run is made up for while the series may still grow; the summary says
// what it got.
static int Next(void) {
    if (LastRunUntrusted()) testsToRepeat++;
    return testsToRepeat > 0 && testsAllowed > 0 ? Again() : End(kExitScore);
}

// The states a test leaves behind (bench/testrun.cpp): full screen without a scene is a
// failed build, whose test would wait for Escape forever; back in the window, a score means
// the stop rule ended it, none that the user did.
int EndWhenTestOver(void) {
    if (fullscreen) {
        testBegun = true;
        return running ? 0 : End(kExitNoScene);
    }
    // The command is still queued; the test builds its own scene when it starts.
    if (!testBegun) return 0;
    // A quick run ends without a score, and without its screenshot.
    if (finalScore == 0)
        return !resultRuns.empty() && resultRuns.back().end == kRunMeasured ? Next()
                                                                            : End(kExitAborted);
    if (finalSave) return Next();
    // Without a scene in the window no frame will take the screenshot: the score stands, and
    // a series goes on, since the next test builds its own full screen.
    if (!running) {
        fprintf(stderr, "kelvane: the window could not be rebuilt; no screenshot\n");
        return Next();
    }
    return 0;
}
