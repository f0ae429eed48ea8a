#include "watch/pairs.h"

#include <gtest/gtest.h>
#include <math.h>
#include <random>
#include <vector>

namespace {

// This machine as measured: its speed wanders, runs in straight lines for a few turns, and
// now and then jumps by 20 to 40 % (the host taking a processor); each turn adds its own noise.
struct Machine {
    std::mt19937 rng;
    double level = 0, trend = 0; // log of the frame time's factor, and its change a turn
    double Turn(double ms) {
        std::normal_distribution<double> walk(0, 0.003), slope(0, 0.01), noise(0, 0.02);
        std::uniform_real_distribution<double> u(0, 1);
        if (u(rng) < 1.0 / 6) trend = slope(rng);
        level += trend + walk(rng);
        if (u(rng) < 0.01) level += (u(rng) < 0.5 ? -1 : 1) * log(1.2 + 0.2 * u(rng));
        return ms * exp(level + noise(rng));
    }
};

// B has 98 % of A's throughput. The coordinator's procedure: pairs AB BA ..., judged after
// each, ending on ±1 % or at 60 pairs; against it the old way, 60 turns of A then 60 of B with
// an unpaired (Welch) interval. Ending on the precision reached costs a little coverage (an
// end where the spread happens to be small is an end with too narrow an interval): about 94 %
// here. Over 2000 trials one binomial standard error is 0.5 %, so the bounds 92 and 98.5 %
// are four and nine of them away.
TEST(Pairs, IntervalCoversTheTrueRatioWhereTheOldWayDoesNot) {
    const double truth = 0.98, aMs = 100, bMs = aMs / truth;
    const int trials = 2000, cap = 60;
    Machine m{std::mt19937(29)};
    int paired = 0, naive = 0;
    for (int t = 0; t < trials; t++) {
        std::vector<TurnPair> p;
        PairJudgement j = {};
        while ((int)p.size() < cap && !PreciseEnough(j, 0.01)) {
            bool ab = p.size() % 2 == 0;
            double first = m.Turn(ab ? aMs : bMs), second = m.Turn(ab ? bMs : aMs);
            p.push_back(ab ? TurnPair{first, second} : TurnPair{second, first});
            j = JudgePairs(p.data(), (int)p.size());
        }
        paired += j.known && j.low <= truth && truth <= j.high;

        double sum[2] = {}, sq[2] = {};
        for (int side = 0; side < 2; side++)
            for (int k = 0; k < cap; k++) {
                double x = log(m.Turn(side ? bMs : aMs));
                sum[side] += x, sq[side] += x * x;
            }
        double diff = (sum[0] - sum[1]) / cap, var = 0;
        for (int side = 0; side < 2; side++)
            var += (sq[side] - sum[side] * sum[side] / cap) / (cap - 1) / cap;
        // Welch's degrees of freedom are at least 59 here, where t is 2.001 or less.
        naive += fabs(diff - log(truth)) <= 2.001 * sqrt(var);
    }
    EXPECT_GT(paired, 0.92 * trials);
    EXPECT_LT(paired, 0.985 * trials);
    EXPECT_LT(naive, 0.8 * trials);
}

// The judgement of hand-made turns, and the verdict of it; rows without turns judge nothing
// and word the judgement given.
TEST(Pairs, JudgementAndVerdict) {
    const double nan = NAN, e1 = exp(0.01), e2 = exp(0.02), h = 4.3027 * 0.01 / sqrt(3);
    struct Row {
        const char *what;
        std::vector<TurnPair> turns;
        PairJudgement j;
        bool precise; // to ±1 %
        const char *verdict;
    } rows[] = {
        {"a constant ratio; the odd last pair waits",
         {{103, 100}, {103, 100}, {103, 100}, {103, 100}, {103, 100}, {103, 100}, {1, 100}},
         {true, 6, 3, 1.03, 1.03, 1.03},
         false,
         "B is 3.0 % faster than A (3.0 to 3.0 %)"},
        {"blocks at 0, 1 and 2 % (log): t at 2 degrees of freedom",
         {{100, 100},
          {100, 100},
          {100 * e1, 100},
          {100 * e1, 100},
          {100 * e2, 100},
          {100 * e2, 100}},
         {true, 6, 3, e1, exp(0.01 - h), exp(0.01 + h)},
         false,
         "no difference of more than 3.6 % found"},
        {"a block with no frame time is left out whole",
         {{100, 98}, {100, 98}, {100, 0}, {1, 98}, {100, 98}, {100, 98}, {100, 98}, {100, 98}},
         {true, 6, 3, 100 / 98.0, 100 / 98.0, 100 / 98.0},
         false,
         "B is 2.0 % faster than A (2.0 to 2.0 %)"},
        {"too few blocks left",
         {{100, 98}, {100, 98}, {nan, 98}, {100, 98}, {100, 98}, {100, -98}, {100, 98}, {100, 98}},
         {false, 4, 2, 0, 0, 0},
         false,
         "no verdict: too few turns"},
        {"faster",
         {},
         {true, 40, 20, 1.031, 1.024, 1.038},
         true,
         "B is 3.1 % faster than A (2.4 to 3.8 %)"},
        {"slower",
         {},
         {true, 40, 20, 0.98, 0.971, 0.989},
         true,
         "B is 2.0 % slower than A (1.1 to 2.9 %)"},
        {"no difference",
         {},
         {true, 40, 20, 1.001, 0.992, 1.007},
         true,
         "no difference of more than 0.8 % found"},
        {"a bound near zero",
         {},
         {true, 40, 20, 0.988, 0.975, 0.9996},
         false,
         "B is 1.20 % slower than A (0.04 to 2.50 %)"},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.what);
        PairJudgement j = r.j;
        if (!r.turns.empty()) {
            j = JudgePairs(r.turns.data(), (int)r.turns.size());
            EXPECT_EQ(r.j.known, j.known);
            EXPECT_EQ(r.j.pairs, j.pairs);
            EXPECT_EQ(r.j.blocks, j.blocks);
            EXPECT_NEAR(r.j.ratio, j.ratio, 1e-9);
            EXPECT_NEAR(r.j.low, j.low, 1e-9);
            EXPECT_NEAR(r.j.high, j.high, 1e-9);
        }
        EXPECT_EQ(r.precise, PreciseEnough(j, 0.01));
        EXPECT_EQ(r.verdict, PairVerdict(j));
    }
}

} // namespace
