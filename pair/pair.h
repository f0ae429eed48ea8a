// The paired comparison (--pair A B): is B faster than A, and by how much, on a machine whose
// speed moves between runs? Both sides run at once as processes of their own (pair/sides.h),
// each with its context and scene built once, and take turns rendering one grid in the order
// AB BA AB BA ..., so that whatever the machine does falls on both alike; the paired turns
// are judged with an interval (pair/judge.h) until it is as narrow as asked or the time is up.
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
    // Once both sides are ready, before anything is measured: 0 ends the pair as a bad
    // setting (the results folder, made only for a pair that can run, could not be).
    int (*whenReady)(FILE *err);
};

// A turn: the frames the side's renderer keeps in flight drawn unmeasured, so that its
// pipeline is full, then the frames of about kPairTurnMs measured, timed swap to swap, the
// period of a steady stream (one at least; as many as the probe's last look at the grid
// says, so that every turn of a side holds as many), then drained, unmeasured. Here the
// machine's speed moves by a tenth from one second to the next, alike for both sides only
// when their turns are close: a frame or two at the grid's 100 ms. The probe measures about
// a second at each grid it tries.
enum { kPairTurnMs = 100, kPairProbeMs = 1000, kPairFillMax = 4 };

// Reads a side's report of a turn (protocol/pairside.h) into t: its frames, load, ran-on,
// GPU clocks and frame times. Non-zero when it is one.
int ParseTurnReport(const std::string &line, PairTurn *t);

// The frames a renderer keeps in flight, from a stream's frames timed from an idle pipeline
// (the first from the word that started them): the leading frames that took less than
// 0.8 of the stream's median, whose swaps returned without waiting for a frame before. At
// least 1 (the first frame after a wait is never measured), at most kPairFillMax.
int FramesInFlight(const double *frameMs, int n);

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
// when all three were written; otherwise *why names the first not written. *json says
// whether the JSON was, whatever became of the plot.
int WritePairResult(const PairResult &p, const char *folder, std::string *why,
                    bool *json = nullptr);

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

// Whether the two sides' settings differ where they could change the GL strings a side
// reports: the device, or a variable that chooses the driver, its library or the vendor's
// dispatch. A setting of threads, of a preload or of a driver's tuning leaves them alone, and
// the same strings then say nothing against it.
bool SettingsNameRenderers(const PairSide &a, const PairSide &b);

// Runs the pair, says its progress and verdict on out and what went wrong on err, writes
// the result into ask.folder and records it in the history. Whatever happens, both sides
// have ended when it returns.
PairOutcome RunPair(const PairAsk &ask, FILE *out, FILE *err);

// The grid whose frame time the line through two measured points (grids and mean frame
// times) puts at targetMs, in triangles as the grid's square; proportional through the
// origin when only one point is usable (b.grid 0). At least 1, at most maxGrid.
int GridForFrameTime(int gridA, double msA, int gridB, double msB, double targetMs, int maxGrid);
