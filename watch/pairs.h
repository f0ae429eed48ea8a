// Judging a paired comparison: two sides, A and B, took turns rendering one grid, pair after
// pair, in the order AB BA AB BA ...; each turn gives a mean frame time. Whatever the machine
// does falls on both turns of a pair alike, and a speed that changes steadily over the four
// turns of an AB BA block tilts its two pairs equally and oppositely, so the blocks are the
// units judged: each block's mean log ratio of B's throughput to A's, and a Student t
// interval over the blocks.
#pragma once

#include <string>

// One pair's turns: A's and B's mean frame times at the same grid, milliseconds.
struct TurnPair {
    double aMs, bMs;
};

struct PairJudgement {
    bool known;       // at least kPairBlocksMin blocks judged; ratio, low, high are 0 otherwise
    int pairs;        // pairs judged: the whole blocks' (an odd last pair waits for its partner)
    int blocks;       // pairs / 2
    double ratio;     // B's throughput over A's: > 1 when B is faster
    double low, high; // its 95 % interval
};

enum { kPairBlocksMin = 3 }; // fewer blocks give no interval worth a word
// Fewer blocks cannot end a comparison on its precision: their spread is itself so uncertain
// that stopping when it happens to be small makes a 95 % interval cover far less often: on a
// simulated machine with 2 % noise a turn, ends before 10 blocks covered two times in three,
// and 90 % overall; with 8 blocks asked, 93 to 96 % overall (tests/watch_pairs_test.cpp).
enum { kPairBlocksPrecise = 8 };

// The judgement of the first n pairs, in the order they were run (pair 0 AB, pair 1 BA, ...).
PairJudgement JudgePairs(const TurnPair *pairs, int n);

// Whether the interval is narrower than ±precision (a share: 0.01 for ±1 %) of the ratio,
// over kPairBlocksPrecise blocks or more.
bool PreciseEnough(const PairJudgement &j, double precision);

// The verdict in one line: "B is 3.1 % faster than A (2.4 to 3.8 %)", "B is 2.0 % slower
// than A (1.1 to 2.9 %)", or, where the interval holds no difference, "no difference of more
// than 0.8 % found"; "no verdict: too few turns" when nothing is known. The figures carry
// enough decimals that the bounds never read as contradicting the claim.
std::string PairVerdict(const PairJudgement &j);
