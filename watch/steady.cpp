#include "watch/steady.h"

#include <algorithm>
#include <math.h>
#include <stdio.h>
#include <vector>

double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    size_t m = v.size() / 2;
    std::nth_element(v.begin(), v.begin() + m, v.end());
    double hi = v[m];
    if (v.size() % 2) return hi;
    return (*std::max_element(v.begin(), v.begin() + m) + hi) / 2;
}

int TheilSen(const double *x, const double *y, int n, double *slope, double *intercept) {
    std::vector<double> slopes;
    for (int i = 0; i < n; i++)
        for (int j = i + 1; j < n; j++)
            if (x[j] != x[i]) slopes.push_back((y[j] - y[i]) / (x[j] - x[i]));
    if (slopes.empty()) return 0;
    double m = Median(slopes);
    std::vector<double> levels(n);
    for (int i = 0; i < n; i++)
        levels[i] = y[i] - m * x[i];
    *slope = m;
    *intercept = Median(levels);
    return 1;
}

// One standard error of the line's value at x0: the residuals' spread, taken robustly as
// 1.4826 times their median absolute value (a standard deviation for normal noise),
// carried to x0 as for a least-squares line.
static double LevelError(const std::vector<double> &x, const std::vector<double> &y, double slope,
                         double intercept, double x0) {
    size_t n = x.size();
    std::vector<double> r(n);
    double mean = 0;
    for (size_t i = 0; i < n; i++) {
        r[i] = fabs(y[i] - (intercept + slope * x[i]));
        mean += x[i] / n;
    }
    double sxx = 0;
    for (double xi : x)
        sxx += (xi - mean) * (xi - mean);
    double sigma = 1.4826 * Median(r);
    return sigma * sqrt(1.0 / n + (x0 - mean) * (x0 - mean) / sxx);
}

// The fit of the chosen points; no figure where the crossing lies beyond a quarter of their
// range on either side.
static SteadyFigure Fit(const std::vector<double> &x, const std::vector<double> &y) {
    SteadyFigure f = {};
    f.points = (int)x.size();
    f.why = kSteadyTooFewSteps;
    if (f.points < kSteadyPointsMin) return f;
    f.why = kSteadyNoGrowth;
    if (!TheilSen(x.data(), y.data(), f.points, &f.slope, &f.intercept) || !(f.slope > 0)) return f;
    double lo = *std::min_element(x.begin(), x.end());
    double hi = *std::max_element(x.begin(), x.end());
    double x0 = (kSteadyFrameMs - f.intercept) / f.slope;
    // A frame cost just over 100 ms that hardly grows (filling pixels, pacing) puts the
    // crossing at or below zero triangles, where no grid can stand.
    f.why = kSteadyBelowZero;
    if (!(x0 > 0)) return f;
    f.why = kSteadyFarAway;
    if (!(x0 >= lo - (hi - lo) / 4 && x0 <= hi + (hi - lo) / 4)) return f;
    f.why = kSteadyFitted;
    f.score = x0 / 1000;
    f.uncertainty = LevelError(x, y, f.slope, f.intercept, x0) / f.slope / 1000;
    f.valid = 1;
    return f;
}

const char *SteadyRefusalText(int why) {
    switch (why) {
    case kSteadyTooFewSteps:
        return "too few steps near the stop";
    case kSteadyNoGrowth:
        return "the frame time does not grow with the triangles";
    case kSteadyBelowZero:
        return "the fitted line reaches 100 ms at zero triangles or below";
    case kSteadyFarAway:
        return "the fitted line reaches 100 ms far from the steps near the stop";
    case kSteadyNoneFaster:
        return "no grid took from 50 up to 100 ms a frame";
    case kSteadyNoneSlower:
        return "no grid took from 100 up to 200 ms a frame";
    }
    return "";
}

std::string SteadyRefusalWords(const SteadyFigure &f) {
    std::string text = SteadyRefusalText(f.why);
    if ((f.why != kSteadyNoneFaster && f.why != kSteadyNoneSlower) || !(f.nearestMs > 0))
        return text;
    char nearest[48];
    snprintf(nearest, sizeof nearest, "; the nearest took %.0f ms", f.nearestMs);
    return text + nearest;
}

static_assert(kBracketFactor == 2, "the refusals' words name 50 and 200 ms");

double BandLow(int side) {
    return side == kSteadyNoneFaster ? kSteadyFrameMs / kBracketFactor : kSteadyFrameMs;
}

// A side's band: from half of 100 ms up to it, or from it up to twice it.
static bool InBand(double ms, int side) {
    return ms >= BandLow(side) &&
           (side == kSteadyNoneFaster ? ms < kSteadyFrameMs : ms <= kQuickFarMs);
}

// A frame time's distance from a side's band, as a ratio of it to the nearer end.
static double FromBand(double ms, int side) {
    double lo = BandLow(side);
    return ms < lo ? lo / ms : ms / (lo * kBracketFactor);
}

int UnbracketedSide(const SteadyPoint *steps, int n) {
    for (int side : {kSteadyNoneFaster, kSteadyNoneSlower}) {
        bool found = false;
        for (int i = 0; steps && i < n && !found; i++)
            found = steps[i].triangles > 0 && InBand(steps[i].frameMs, side);
        if (!found) return side;
    }
    return kSteadyFitted;
}

SteadyFigure Bracketed(SteadyFigure f, const SteadyPoint *steps, int n) {
    int side = UnbracketedSide(steps, n);
    if (!f.valid || side == kSteadyFitted) return f;
    f.valid = 0;
    f.why = side;
    f.score = f.uncertainty = 0;
    for (int i = 0; i < n; i++)
        if (steps[i].triangles > 0 && steps[i].frameMs > 0 &&
            (!(f.nearestMs > 0) || FromBand(steps[i].frameMs, side) < FromBand(f.nearestMs, side)))
            f.nearestMs = steps[i].frameMs;
    return f;
}

SteadyFigure FitSteadyNear(const SteadyPoint *steps, int n, double nearStopMs, double farMs) {
    std::vector<double> x, y;
    for (int i = 0; steps && i < n; i++) {
        if (!(steps[i].frameMs >= nearStopMs) || !(steps[i].frameMs <= farMs) ||
            !(steps[i].triangles > 0))
            continue;
        x.push_back(steps[i].triangles);
        y.push_back(steps[i].frameMs);
    }
    return Fit(x, y);
}
