#include "pair/judge.h"

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

// B has 98 % of A's throughput, and each process of either side runs at a speed of its own,
// as two processes of one setting do here: mostly within a few per cent, one in ten a fifth
// off. The coordinator's procedure: rounds of 12 pairs AB BA ..., each with both sides
// afresh, judged after each round, ending on ±1.25 % (judged again at the confidence of an
// end) or at 24 rounds. Against it, over the first 1000, the same turns judged as one process
// of each side would be, by blocks (each block its own round); and the old way, 120 turns of A
// then 120 of B with an unpaired (Welch) interval. The median's interval holds at least its
// confidence whatever the rounds' spread: over 4000 trials 98.4 % overall, 98.2 % of the 892
// ends on the precision (Wilcoxon's signed-rank interval, which the rounds' ranks gave before,
// held 95.9 % and 96.3 % of 753); its order statistics hold 96 to 99 % exactly for 6 to 24
// rounds, so more than 99 % would be an interval wider than its word. One standard error
// is 0.2 % overall, 0.5 % among the ends.
TEST(Pairs, IntervalCoversTheTrueRatioWhereTheOldWayDoesNot) {
    const double truth = 0.98, aMs = 100, bMs = aMs / truth;
    const int trials = 4000, compared = 1000, roundPairs = 12, rounds = 24,
              cap = rounds * roundPairs / 2;
    Machine m{std::mt19937(29)};
    // A process's own speed: mostly within a few per cent, one in ten a fifth off.
    auto process = [&m] {
        std::normal_distribution<double> near(0, 0.015);
        std::uniform_real_distribution<double> u(0, 1);
        double x = near(m.rng);
        return u(m.rng) < 0.1 ? x + (u(m.rng) < 0.5 ? -0.2 : 0.2) : x;
    };
    int paired = 0, byBlocks = 0, naive = 0, early = 0, earlyPaired = 0;
    for (int t = 0; t < trials; t++) {
        std::vector<TurnPair> p;
        PairJudgement j = {};
        for (int r = 0; r < rounds && !PreciseEnough(j, 0.0125); r++) {
            double a = aMs * exp(process()), b = bMs * exp(process());
            for (int k = 0; k < roundPairs; k++) {
                bool ab = k % 2 == 0;
                double first = m.Turn(ab ? a : b), second = m.Turn(ab ? b : a);
                p.push_back(ab ? TurnPair{first, second, r} : TurnPair{second, first, r});
            }
            j = JudgePairs(p.data(), (int)p.size());
        }
        if (PreciseEnough(j, 0.0125))
            j = JudgePairs(p.data(), (int)p.size(), kPairStoppedConfidence);
        bool covered = j.known && j.low <= truth && truth <= j.high;
        paired += covered;
        early += j.rounds < rounds;
        earlyPaired += j.rounds < rounds && covered;
        if (t >= compared) continue;
        for (size_t k = 0; k < p.size(); k++)
            p[k].round = (int)k / 2;
        PairJudgement blocks = JudgePairs(p.data(), (int)p.size());
        byBlocks += blocks.low <= truth && truth <= blocks.high;

        double sum[2] = {}, sq[2] = {};
        for (int side = 0; side < 2; side++) {
            double ms = (side ? bMs : aMs) * exp(process());
            for (int k = 0; k < cap; k++) {
                double x = log(m.Turn(ms));
                sum[side] += x, sq[side] += x * x;
            }
        }
        double diff = (sum[0] - sum[1]) / cap, var = 0;
        for (int side = 0; side < 2; side++)
            var += (sq[side] - sum[side] * sum[side] / cap) / (cap - 1) / cap;
        // Welch's degrees of freedom are at least 119 here, where t is 1.981 or less.
        naive += fabs(diff - log(truth)) <= 1.981 * sqrt(var);
    }
    EXPECT_GT(paired, 0.93 * trials);
    EXPECT_LT(paired, 0.99 * trials);
    EXPECT_GT(early, 0.1 * trials); // the precision is reached, now and then
    EXPECT_GT(earlyPaired, 0.93 * early) << earlyPaired << " of " << early;
    EXPECT_LT(byBlocks, 0.8 * compared);
    EXPECT_LT(naive, 0.8 * compared);
}

// Rounds at 0, 1, ..., n - 1 % (log): the bounds are the k-th round from either end, k the
// largest with P(S < k) <= the tail for S binomial(n, 1/2), counted here term by term.
TEST(Pairs, TheBoundsAreTheSignTestsForEveryCount) {
    for (double confidence : {kPairConfidence, kPairStoppedConfidence})
        for (int n = 1; n <= 40; n++) {
            std::vector<TurnPair> v;
            for (int r = 0; r < n; r++)
                for (int twice = 0; twice < 2; twice++)
                    v.push_back({100 * exp(0.01 * r), 100, r});
            int k = 0;
            double below = 0, each = ldexp(1, -n); // P(S = k)
            for (; below + each <= (1 - confidence) / 2; k++) {
                below += each;
                each *= (double)(n - k) / (k + 1);
            }
            PairJudgement j = JudgePairs(v.data(), (int)v.size(), confidence);
            SCOPED_TRACE(std::to_string(n) + " rounds at " + std::to_string(confidence));
            ASSERT_EQ(n >= kPairRoundsMin && k >= 1, j.known);
            if (!j.known) continue;
            EXPECT_NEAR(exp(0.01 * (k - 1)), j.low, 1e-12);
            EXPECT_NEAR(exp(0.01 * (n - k)), j.high, 1e-12);
            EXPECT_NEAR(exp(0.01 * (n - 1) / 2), j.ratio, 1e-12);
        }
}

// The judgement of hand-made turns, and the verdict of it; rows without turns judge nothing
// and word the judgement given.
TEST(Pairs, JudgementAndVerdict) {
    const double nan = NAN, e1 = exp(0.01);
    // Rounds of two pairs each (six, unless more are given), round k's pairs at A's and B's
    // times given k-th.
    auto six = [](std::vector<std::pair<double, double>> each) {
        std::vector<TurnPair> v;
        for (int k = 0; k < (int)each.size(); k++)
            for (int twice = 0; twice < 2; twice++)
                v.push_back({each[k].first, each[k].second, k});
        return v;
    };
    auto with = [](std::vector<TurnPair> v, std::vector<TurnPair> more) {
        v.insert(v.end(), more.begin(), more.end());
        return v;
    };
    struct Row {
        const char *what;
        std::vector<TurnPair> turns;
        PairJudgement j;
        bool precise; // to ±1 %
        const char *verdict;
    } rows[] = {
        {"a constant ratio over six rounds; a round's odd last pair has no partner",
         with(six({{103, 100}, {103, 100}, {103, 100}, {103, 100}, {103, 100}, {103, 100}}),
              {{1, 100, 5}}),
         {true, 12, 6, 6, 1.03, 1.03, 1.03, kPairConfidence},
         false,
         "B is 3.0 % faster than A (3.0 to 3.0 %)"},
        {"rounds at 0 to 5 % (log): six are bound by the first and last, the middle two's mean",
         six({{100, 100},
              {100 * e1, 100},
              {100 * exp(0.02), 100},
              {100 * exp(0.03), 100},
              {100 * exp(0.04), 100},
              {100 * exp(0.05), 100}}),
         {true, 12, 6, 6, exp(0.025), 1, exp(0.05), kPairConfidence},
         false,
         "no difference of more than 5.2 % found"},
        {"a round a fifth off moves the estimate nowhere; seven are bound by the first and last",
         with(six({{101, 100}, {101, 100}, {101, 100}, {101, 100}, {101, 100}, {101, 100}}),
              {{130, 100, 6}, {130, 100, 6}}),
         {true, 14, 7, 7, 1.01, 1.01, 1.3, kPairConfidence},
         false,
         "B is 1.0 % faster than A (1.0 to 30.0 %)"},
        {"nine rounds, one a fifth off: bound by the second from either end",
         six({{101, 100},
              {101, 100},
              {130, 100},
              {102, 100},
              {101, 100},
              {103, 100},
              {101, 100},
              {104, 100},
              {101, 100}}),
         {true, 18, 9, 9, 1.01, 1.01, 1.04, kPairConfidence},
         false,
         "B is 1.0 % faster than A (1.0 to 4.0 %)"},
        {"a block with no frame time is left out whole; a round's blocks are averaged",
         with(six({{100, 98}, {100, 98}, {100, 98}, {100, 98}, {100, 98}, {100, 98}}),
              {{100, 0, 5}, {1, 98, 5}, {100, 98, 5}, {100, 98, 5}}),
         {true, 14, 7, 6, 100 / 98.0, 100 / 98.0, 100 / 98.0, kPairConfidence},
         false,
         "B is 2.0 % faster than A (2.0 to 2.0 %)"},
        {"seven rounds at 0, 0, 0, 0, 1, 2, 2 % (log): the fourth the estimate",
         six({{100, 100},
              {100, 100},
              {100, 100},
              {100, 100},
              {100 * e1, 100},
              {100 * exp(0.02), 100},
              {100 * exp(0.02), 100}}),
         {true, 14, 7, 7, 1, 1, exp(0.02), kPairConfidence},
         false,
         "no difference of more than 2.1 % found"},
        {"too few rounds left",
         six({{100, 98}, {100, 98}, {nan, 98}, {100, 98}, {100, 98}, {100, 98}}),
         {false, 10, 5, 5, 0, 0, 0, kPairConfidence},
         false,
         "no verdict: too few turns"},
        {"blocks of one round are one round",
         {{100, 98, 0}, {100, 98, 0}, {100, 98, 0}, {100, 98, 0}, {100, 98, 0}, {100, 98, 0}},
         {false, 6, 3, 1, 0, 0, 0, kPairConfidence},
         false,
         "no verdict: too few turns"},
        {"faster",
         {},
         {true, 40, 20, 8, 1.031, 1.024, 1.038, kPairConfidence},
         true,
         "B is 3.1 % faster than A (2.4 to 3.8 %)"},
        {"slower",
         {},
         {true, 40, 20, 10, 0.98, 0.971, 0.989, kPairConfidence},
         true,
         "B is 2.0 % slower than A (1.1 to 2.9 %)"},
        {"no difference",
         {},
         {true, 40, 20, 10, 1.001, 0.992, 1.007, kPairConfidence},
         true,
         "no difference of more than 0.8 % found"},
        {"narrow, over too few rounds to end on",
         {},
         {true, 40, 20, 7, 1.001, 0.992, 1.007, kPairConfidence},
         false,
         "no difference of more than 0.8 % found"},
        {"a bound near zero",
         {},
         {true, 40, 20, 10, 0.988, 0.975, 0.9996, kPairConfidence},
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
            EXPECT_EQ(r.j.rounds, j.rounds);
            EXPECT_NEAR(r.j.ratio, j.ratio, 1e-9);
            EXPECT_NEAR(r.j.low, j.low, 1e-9);
            EXPECT_NEAR(r.j.high, j.high, 1e-9);
        }
        EXPECT_EQ(r.precise, PreciseEnough(j, 0.01));
        EXPECT_EQ(r.verdict, PairVerdict(j));
    }
}

// A side's turns on a rising clock: more than 5 % up within the turn, a tenth of those read or
// more and two at least; turns dropped or without both clocks are not read.
TEST(Pairs, TurnsOnARisingClock) {
    auto turns = [](std::vector<std::pair<double, double>> clocks, int dropped = 0) {
        std::vector<PairTurn> v;
        for (auto &c : clocks) {
            PairTurn t = {};
            t.side = 1;
            t.clockFromMhz = c.first, t.clockToMhz = c.second;
            t.dropped = v.size() + dropped >= clocks.size(); // the last ones
            v.push_back(t);
        }
        return v;
    };
    std::vector<std::pair<double, double>> steady(18, {2000, 2000});
    auto with = [&](std::vector<std::pair<double, double>> more) {
        std::vector<std::pair<double, double>> v = steady;
        v.insert(v.end(), more.begin(), more.end());
        return v;
    };
    const struct {
        std::vector<PairTurn> turns;
        int read, rising;
        bool flagged;
    } rows[] = {{turns(with({{1000, 1100}, {1000, 1200}})), 20, 2, true},
                {turns(with({{1000, 1050}, {1000, 1200}})), 20, 1, false}, // 5 % is not rising
                {turns(with({{1000, 1200}, {1000, 1200}, {2000, 2000}})), 21, 2, false},
                {turns(with({{1000, 1200}, {1000, 1200}}), 2), 18, 0, false},
                {turns({{1000, 1200}, {-1, 1200}, {1000, -1}}), 1, 1, false}};
    for (auto &r : rows) {
        ClockRise c = TurnsOnARisingClock(r.turns, 1);
        EXPECT_EQ(r.read, c.turns);
        EXPECT_EQ(r.rising, c.rising);
        EXPECT_EQ(r.flagged, c.flagged) << r.read << " " << r.rising;
        EXPECT_EQ(0, TurnsOnARisingClock(r.turns, 0).turns);
    }
    ClockRise c = TurnsOnARisingClock(turns(with({{1000, 1100}, {1200, 1500}})), 1);
    EXPECT_EQ(1100, c.fromMhz);
    EXPECT_EQ(1300, c.toMhz);
}

} // namespace
