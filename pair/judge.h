// Judging a paired comparison: two sides, A and B, took turns rendering one grid, pair after
// pair, in the order AB BA AB BA ...; each turn gives a mean frame time. Whatever the machine
// does falls on both turns of a pair alike, and a speed that changes steadily over the four
// turns of an AB BA block tilts its two pairs equally and oppositely: each block's mean log
// ratio of B's throughput to A's is a value. But two processes of one setting do not run at
// one speed here: one may keep 5 to 20 % over the other for a minute, whatever is pinned
// where, and no number of blocks from the same two processes can see it. So the pair is run
// in rounds, each with both sides started afresh, and the rounds are the units judged: each
// round's mean over its blocks. Now and then a round runs a fifth off the others (one of its
// processes far from its setting's usual speed), now and then three to five times slow, and
// not alike on both sides: the estimate is the rounds' median, and the 95 % interval the sign
// test's, from the k-th round to the k-th from the top, which holds its confidence whatever
// their spread, where a mean and a Student t interval would move and widen fivefold and
// Wilcoxon's signed-rank interval would lean towards the slow rounds.
#pragma once

#include "record/pair.h"

#include <string>
#include <vector>

// One pair's turns: A's and B's mean frame times at the same grid, milliseconds.
struct TurnPair {
    double aMs, bMs;
    int round; // of the sides' processes, counted from 0; a round's pairs are run together
};

// The judgement of the first n pairs, in the order they were run, each round's in the order
// AB, BA, AB, ..., with an interval of the confidence given.
PairJudgement JudgePairs(const TurnPair *pairs, int n, double confidence = kPairConfidence);

// Whether the interval is narrower than ±precision (a share: 0.01 for ±1 %) of the ratio,
// over kPairRoundsPrecise rounds or more: where a pair may end, judged again at
// kPairStoppedConfidence.
bool PreciseEnough(const PairJudgement &j, double precision);

// How side's kept turns began, where its GPU's clock was read as each began and ended: those
// whose clock rose by more than kClockRise within the turn, of those read, and the medians of
// their clocks at the start and the end. Flagged where they are a tenth of the turns read or
// more, two at least: a GPU that idles through the other side's turns and lowers its clock
// there measures its own ramp up, not its speed.
struct ClockRise {
    int turns, rising;
    double fromMhz, toMhz;
    bool flagged;
};
constexpr double kClockRise = 0.05;
ClockRise TurnsOnARisingClock(const std::vector<PairTurn> &turns, int side);

// The verdict in one line: "B is 3.1 % faster than A (2.4 to 3.8 %)", "B is 2.0 % slower
// than A (1.1 to 2.9 %)", or, where the interval holds no difference, "no difference of more
// than 0.8 % found"; "no verdict: too few turns" when nothing is known. The figures carry
// enough decimals that the bounds never read as contradicting the claim.
std::string PairVerdict(const PairJudgement &j);
