// A paired comparison's result (--pair): two sides that took turns rendering one grid, every
// turn as measured, and what the paired turns say of B's throughput against A's. Written as a
// result document of its own ("protocol": "pair"), read back, kept in the history.
#pragma once

#include "record/model.h"

#include <stdint.h>
#include <time.h>
#include <string>
#include <vector>

enum { kPairRoundsMin = 6 }; // fewer rounds have no 95 % rank interval
// Fewer rounds cannot end a comparison on its precision: their spread is itself so uncertain
// that stopping when it happens to be small makes a 95 % interval cover far less often
// (tests/pair_judge_test.cpp). Files that say their confidence were written under this rule.
enum { kPairRoundsPrecise = 8 };
enum { kPairFillMost = 100000 }; // a turn's fill, at most: what a side's word can ask

// The interval's confidence; and that of the interval a pair reports when it ends on its
// precision. A stop comes at a moment when the rounds' spread looks small, and the 95 %
// interval built from that same spread then covers the truth far less often than 95 % (85 %
// at ±1 % in the simulation of tests/pair_judge_test.cpp); the 98 % one holds 93 % there.
// A stricter bound to stop on does the opposite: it stops on luckier spreads.
constexpr double kPairConfidence = 0.95, kPairStoppedConfidence = 0.98;

// What the paired turns say (pair/judge.h judges them).
struct PairJudgement {
    bool known;        // at least kPairRoundsMin rounds judged; ratio, low, high are 0 otherwise
    int pairs;         // pairs judged: the whole blocks' (a round's odd last pair has no partner)
    int blocks;        // pairs / 2
    int rounds;        // rounds with a block or more
    double ratio;      // B's throughput over A's: > 1 when B is faster
    double low, high;  // its interval
    double confidence; // the interval's: kPairConfidence, or kPairStoppedConfidence
};

struct PairSide {
    std::string setting;          // as given on the command line; "" for the program as it is
    std::vector<std::string> env; // its NAME=VALUE assignments, in order
    int device;                   // --device N; -1 for SDL's choice
    std::string vendor, renderer, glVersion; // what the side's GL context reported
};

struct PairTurn {
    int side;                    // 0: A, 1: B
    int pair;                    // the pair it belongs to, counted from 0 in the order run
    int round;                   // of the sides' processes, started afresh each round, from 0
    int grid;                    // N of N x N
    int fill;                    // frames drawn unmeasured before them, the pipeline filling
    int frames;                  // frames measured
    double meanMs;               // their mean frame time: the throughput is triangles / meanMs
    std::vector<double> frameMs; // the frame times kept, in order, milliseconds
    ResultLoad load;             // what others and the hypervisor took meanwhile
    bool disturbed;              // taken past kDisturbedShare (watch/interference.h)
    double clockFromMhz = -1, clockToMhz = -1; // the side's GPU's clock as they began and
                                               // ended; -1: unknown, or no GPU watched
    bool ranOn; // its side's own threads were still at work after the turn: its work went
                // on into the next turn
    // Left out with its partner, and the pair run again: one of them ran on (before turns
    // were drained, one of them was disturbed). Others' load falls on both turns alike.
    bool dropped;
};

struct PairResult {
    time_t started;     // wall clock
    int64_t durationMs; // from the sides' start to the verdict
    std::string driver; // SDL's video driver of the sides: "offscreen", "x11", "wayland"
    int width, height;  // the surface each side drew on
    PairSide sides[2];
    bool sameRenderer;           // both reported the same vendor, renderer and version
    int grid;                    // the grid the turns rendered
    double precision;            // the interval's half-width asked, a share of the ratio (0.01)
    double timeLimitS;           // the time allowed
    std::vector<PairTurn> turns; // in the order run, dropped ones included
    PairJudgement judgement;     // over the pairs kept
    bool precise;                // ended on the precision; false: on the time limit
    bool clockRising;            // turns began on a GPU clock still rising (pair/judge.h)
    std::string verdict;         // PairVerdict's line
};
