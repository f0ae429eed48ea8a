#include "protocol/pairside.h"

#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "watch/interference.h"
#include "watch/loadwatch.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <unistd.h>

bool pairSide;

static bool ready;      // the coordinator has been told
static int measureLeft; // measured windows of the turn still to hold after this one
static int firstStep;   // the turn's first measured step in the frame-time recording
static int turnGrid;

int ParseTurnWord(const char *line, PairTurnWord *word) {
    char tail;
    if (sscanf(line, "turn %d %d %d %c", &word->grid, &word->settle, &word->measured, &tail) != 3)
        return 0;
    return word->grid >= 1 && word->settle >= 0 && word->measured >= 1 &&
           word->grid <= kPairWordMax && word->settle <= kPairWordMax &&
           word->measured <= kPairWordMax;
}

static void Say(const std::string &line) {
    const char *p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = write(kPairReportFd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(kPairSideOrphaned); // the coordinator is gone: nobody to render for
        p += n;
        left -= (size_t)n;
    }
}

// A line from the coordinator, read a byte at a time: nothing of the next word may be read
// ahead, and a word comes once a turn.
static std::string Hear(void) {
    std::string line;
    char c;
    for (;;) {
        ssize_t n = read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(0); // the coordinator has ended the pair
        if (c == '\n') return line;
        if (line.size() < 256) line += c;
    }
}

static const char *Or(const char *s) {
    return s ? s : "";
}

static void SayReady(void) {
    Say(std::string("ready\t") + Or(gl_vendor) + "\t" + Or(gl_renderer) + "\t" + Or(gl_version) +
        "\n");
}

// The measured windows of the turn, as one report.
static void Report(void) {
    std::string times;
    int frames = 0;
    CpuShare load = {};
    char num[32];
    for (int s = firstStep; s < timedStepCount; s++) {
        const TimedStep &t = timedSteps[s];
        frames += t.frames;
        for (int i = 0; i < t.timed; i++) {
            snprintf(num, sizeof num, " %.3f", frameTimes[t.first + i] / 1000.0);
            times += num;
        }
        CpuShare step;
        if (LoadOfStep(s, &step)) AddShare(&load, step);
    }
    char head[200];
    char wait[32] = "-";
    if (load.waitKnown) snprintf(wait, sizeof wait, "%.5f", WaitShare(load));
    snprintf(head, sizeof head, "turn %d %.5f %.5f %.5f %.5f %s", frames, OthersShare(load),
             StealShare(load), load.total ? (double)load.self / load.total : 0.0, TakenShare(load),
             wait);
    Say(head + times + "\n");
}

// Waits for the next word and starts the turn it gives.
static void NextTurn(void) {
    std::string line = Hear();
    if (line == "end") _exit(0);
    PairTurnWord word;
    if (!ParseTurnWord(line.c_str(), &word)) {
        fprintf(stderr, "kelvane: a side of a pair cannot read \"%s\"\n", line.c_str());
        _exit(kPairSideBadWord);
    }
    // A long pair would fill the recording: a turn may start a new one, as its first window
    // is never measured.
    if (timedStepCount + word.measured >= kTimedStepsMax) ReserveFrameTimes();
    turnGrid = word.grid;
    firstStep = timedStepCount;
    measureLeft = word.measured - 1;
    // The window open while this side waited closes at the first frame, as a test's first
    // does, however long or short the wait was: one more window, of one frame.
    oldCurrTime = 0;
    HoldGrid(word.grid, 1 + word.settle + 1, true);
}

void DrivePairSide(void) {
    if (!pairSide || !fullscreen) return;
    if (!ready) {
        ready = true;
        SayReady();
        NextTurn();
        return;
    }
    if (!holdWaiting) return;
    if (measureLeft > 0) {
        measureLeft--;
        HoldGrid(turnGrid, 1, true);
        return;
    }
    Report();
    NextTurn();
}
