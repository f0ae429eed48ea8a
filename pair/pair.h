// The paired comparison (--pair A B): is B faster than A, and by how much, on a machine whose
// speed moves between runs? Both sides run at once as processes of their own (pair/sides.h),
// each with its context and scene built once, and take turns rendering one grid in the order
// AB BA AB BA ..., so that whatever the machine does falls on both alike; the paired turns
// are judged with an interval (watch/pairs.h) until it is as narrow as asked or the time is up.
#pragma once

#include "record/pair.h"

#include <stdio.h>
#include <string>

struct PairAsk {
    const char *sides[2]; // each side's setting as given: "NAME=VALUE ... [--device N]"
    int width, height;    // the surface of each side
    bool window;          // in a window each (full screen), not offscreen
    double precision;     // the interval's half-width to reach, a share (0.01)
    double timeLimitS;    // and the time allowed for the turns
    const char *folder;   // where the result goes ("" for the working folder)
    double failIfSlower;  // --fail-if-slower: the gate's allowed share (0.05), or -1 for none
};

// A turn: kPairSettleFrames drawn unmeasured, then the frames of about kPairTurnMs measured
// (one at least; as many as the probe's last look at the grid says, so that every turn of a
// side holds as many). Here the machine's speed moves by a tenth from one second to the
// next, alike for both sides only when their turns are close: a frame at the grid's 100 ms.
// The probe measures about a second at each grid it tries.
enum { kPairSettleFrames = 0, kPairTurnMs = 100, kPairProbeMs = 1000 };

// The seconds of a round's turns: a 24th of the time allowed, 3 to 30. The more rounds the
// better, since each adds a process of each side; but each starts both sides again (half a
// second here), and a round of a few turns says little of its processes.
double PairRoundSeconds(double timeLimitS);

// The frames of a turn of about turnMs, for a side whose frames take frameMs: 1 to 1000.
int TurnFrames(double frameMs, double turnMs);
constexpr double kPairGridFrameMs =
    100; // the grid is chosen near this frame time on the slower side

// Writes the pair's result into folder (ending in "/", or "" for the current one): "Kelvane
// pair.json" (record/pair_record.h), then its plot, "Kelvane pair.svg" and ".png". Non-zero
// when all three were written; otherwise *why names the first not written.
int WritePairResult(const PairResult &p, const char *folder, std::string *why);

// How a pair ended; the program's exit status follows from it.
enum PairOutcome {
    kPairJudged,      // a verdict, written
    kPairBadSetting,  // a side's setting could not be read
    kPairSideFailed,  // a side could not start, died, hung or said something unreadable
    kPairInterrupted, // ended by a signal (Ctrl+C, SIGTERM) before its verdict
    kPairNotWritten,  // a verdict, said, whose result could not be written
    kPairSlower,      // written, and the gate found B slower than allowed (report/gate.h)
    kPairUnjudged,    // written, and the gate had no verdict to judge
};

// Reads a side's setting: NAME=VALUE environment assignments and "--device N" (or
// "--device=N"), separated by blanks; "" or "-" for the program as it is. Non-zero on
// success; otherwise *why.
int ParseSideSetting(const char *text, PairSide *side, std::string *why);

// Runs the pair, says its progress and verdict on out and what went wrong on err, writes
// the result into ask.folder and records it in the history. Whatever happens, both sides
// have ended when it returns.
PairOutcome RunPair(const PairAsk &ask, FILE *out, FILE *err);

// The grid whose frame time the line through two measured points (grids and mean frame
// times) puts at targetMs, in triangles as the grid's square; proportional through the
// origin when only one point is usable (b.grid 0). At least 1, at most maxGrid.
int GridForFrameTime(int gridA, double msA, int gridB, double msB, double targetMs, int maxGrid);
