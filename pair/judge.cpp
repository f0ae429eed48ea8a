#include "pair/judge.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <map>
#include <vector>

static bool Usable(const TurnPair &p) {
    return isfinite(p.aMs) && isfinite(p.bMs) && p.aMs > 0 && p.bMs > 0;
}

// The rank, counted from 1, of the order statistic of n values that bounds their median's
// interval with tail outside it on either side: the largest k with P(S < k) <= tail for the
// count S of values below the median, binomial with chances of a half each; 0 where no such
// interval exists (fewer than 6 values at 95 %). Worked out in logs, which hold any n.
static int WorkOutBound(int n, double tail) {
    double below = 0;
    int k = 0;
    for (; k <= n; k++) {
        double p = exp(lgamma(n + 1.0) - lgamma(k + 1.0) - lgamma(n - k + 1.0) - n * log(2.0));
        if (below + p > tail) break;
        below += p;
    }
    return k;
}

static int SignBound(int n, double tail) {
    // Each is worked out once: a pair judges its rounds again after every round.
    static std::map<std::pair<int, double>, int> known;
    auto at = known.find({n, tail});
    if (at != known.end()) return at->second;
    return known[{n, tail}] = WorkOutBound(n, tail);
}

static double Mean(const std::vector<double> &v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return sum / v.size();
}

// A block with a frame time that is no time at all (a turn that failed to measure) is left
// out whole: its other pair alone would bring back the drift the block cancels.
PairJudgement JudgePairs(const TurnPair *pairs, int n, double confidence) {
    PairJudgement j = {};
    j.confidence = confidence;
    std::vector<double> rounds, blocks;
    for (int k = 0; k < n;) {
        int end = k;
        while (end < n && pairs[end].round == pairs[k].round)
            end++;
        blocks.clear();
        for (; k + 1 < end; k += 2) {
            if (!Usable(pairs[k]) || !Usable(pairs[k + 1])) continue;
            blocks.push_back(
                (log(pairs[k].aMs / pairs[k].bMs) + log(pairs[k + 1].aMs / pairs[k + 1].bMs)) / 2);
        }
        k = end;
        if (blocks.empty()) continue;
        rounds.push_back(Mean(blocks));
        j.blocks += (int)blocks.size();
    }
    j.pairs = 2 * j.blocks;
    j.rounds = (int)rounds.size();
    int k = SignBound(j.rounds, (1 - confidence) / 2);
    if (j.rounds < kPairRoundsMin || k < 1) return j;
    // The median is the estimate, the k-th round from either end the bounds.
    std::sort(rounds.begin(), rounds.end());
    size_t m = rounds.size();
    j.known = true;
    j.ratio = exp(m % 2 ? rounds[m / 2] : (rounds[m / 2 - 1] + rounds[m / 2]) / 2);
    j.low = exp(rounds[k - 1]);
    j.high = exp(rounds[m - k]);
    return j;
}

bool PreciseEnough(const PairJudgement &j, double precision) {
    return j.known && j.rounds >= kPairRoundsPrecise && (j.high - j.low) / 2 <= precision * j.ratio;
}

// Percent with the decimals needed so that near, a bound that is not zero, does not read
// as 0.0 (which would say the claim's own interval reaches no difference).
static int Decimals(double near) {
    int d = 1;
    char s[64];
    while (d < 9) {
        snprintf(s, sizeof s, "%.*f", d, near);
        if (atof(s) != 0) break;
        d++;
    }
    return d;
}

// "No difference of more than x" rounds x up: rounding down would rule out a difference the
// interval still holds.
static std::string NoDifference(const PairJudgement &j) {
    double most = 100 * std::max(fabs(j.low - 1), fabs(j.high - 1));
    char s[96];
    snprintf(s, sizeof s, "no difference of more than %.1f %% found", ceil(most * 10 - 1e-9) / 10);
    return s;
}

std::string PairVerdict(const PairJudgement &j) {
    if (!j.known) return "no verdict: too few turns";
    bool faster = j.low > 1, slower = j.high < 1;
    if (!faster && !slower) return NoDifference(j);
    // The change in percent, its bound nearest to no change first.
    double est = 100 * fabs(j.ratio - 1);
    double nearB = faster ? 100 * (j.low - 1) : 100 * (1 - j.high);
    double farB = faster ? 100 * (j.high - 1) : 100 * (1 - j.low);
    int d = Decimals(nearB);
    char s[160];
    snprintf(s, sizeof s, "B is %.*f %% %s than A (%.*f to %.*f %%)", d, est,
             faster ? "faster" : "slower", d, nearB, d, farB);
    return s;
}

static double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    size_t m = v.size();
    return m % 2 ? v[m / 2] : (v[m / 2 - 1] + v[m / 2]) / 2;
}

ClockRise TurnsOnARisingClock(const std::vector<PairTurn> &turns, int side) {
    ClockRise r = {};
    std::vector<double> from, to;
    for (const PairTurn &t : turns) {
        if (t.side != side || t.dropped || t.clockFromMhz <= 0 || t.clockToMhz <= 0) continue;
        r.turns++;
        if (t.clockToMhz <= t.clockFromMhz * (1 + kClockRise)) continue;
        r.rising++;
        from.push_back(t.clockFromMhz);
        to.push_back(t.clockToMhz);
    }
    r.fromMhz = Median(from);
    r.toMhz = Median(to);
    r.flagged = r.rising >= 2 && r.rising * 10 >= r.turns;
    return r;
}
