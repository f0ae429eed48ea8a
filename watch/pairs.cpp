#include "watch/pairs.h"

#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <algorithm>
#include <vector>

// Student's t at 0.975 for df degrees of freedom: exact for the fewest, where the
// Cornish-Fisher series is poor; from 5 on the series is within 3e-4 of it.
static double StudentT975(int df) {
    static const double few[] = {12.7062, 4.3027, 3.1824, 2.7764};
    if (df < 1) return INFINITY;
    if (df <= 4) return few[df - 1];
    const double z = 1.959963984540054, z2 = z * z, v = df;
    double t = z + z * (z2 + 1) / (4 * v);
    t += z * ((5 * z2 + 16) * z2 + 3) / (96 * v * v);
    t += z * (((3 * z2 + 19) * z2 + 17) * z2 - 15) / (384 * v * v * v);
    t += z * ((((79 * z2 + 776) * z2 + 1482) * z2 - 1920) * z2 - 945) / (92160 * v * v * v * v);
    return t;
}

static bool Usable(const TurnPair &p) {
    return isfinite(p.aMs) && isfinite(p.bMs) && p.aMs > 0 && p.bMs > 0;
}

// The mean and Student t 95 % half-width of v; half is infinite for fewer than two values.
static void MeanAndHalf(const std::vector<double> &v, double *mean, double *half) {
    int n = (int)v.size();
    double ss = 0;
    *mean = 0;
    for (double x : v)
        *mean += x / n;
    for (double x : v)
        ss += (x - *mean) * (x - *mean);
    *half = n > 1 ? StudentT975(n - 1) * sqrt(ss / (n - 1) / n) : INFINITY;
}

// A block with a frame time that is no time at all (a turn that failed to measure) is left
// out whole: its other pair alone would bring back the drift the block cancels.
PairJudgement JudgePairs(const TurnPair *pairs, int n) {
    PairJudgement j = {};
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
        double mean, half;
        MeanAndHalf(blocks, &mean, &half);
        rounds.push_back(mean);
        j.blocks += (int)blocks.size();
    }
    j.pairs = 2 * j.blocks;
    j.rounds = (int)rounds.size();
    if (j.rounds < kPairRoundsMin) return j;
    double mean, half;
    MeanAndHalf(rounds, &mean, &half);
    j.known = true;
    j.ratio = exp(mean);
    j.low = exp(mean - half);
    j.high = exp(mean + half);
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
