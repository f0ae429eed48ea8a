// The steady figure: beside the score, never instead of it. The score is decided by the
// first one-second window that counts fewer than 10 frames, and near the stop the rate sits
// between 10 and 15 for many steps, so which window first counts 9 is largely chance. The
// steady figure uses all those steps: a robust straight-line fit of frame time against
// triangles over the steps near the stop, read where the frame time reaches 100 ms (10
// frames a second), in the score's unit, thousands of triangles a frame.
#pragma once

#include <math.h>
#include <string>
#include <vector>

struct SteadyPoint {
    double triangles; // a frame's, at that step
    double frameMs;   // the step's frame time: its median, or a second over its frame count
};

// Why a run has no steady figure; each names the rule the fit failed.
enum SteadyRefusal {
    kSteadyFitted = 0,
    kSteadyTooFewSteps, // fewer than kSteadyPointsMin steps near the stop
    kSteadyNoGrowth,    // the frame time does not grow with the triangles
    kSteadyBelowZero,   // the line reaches 100 ms at zero triangles or fewer
    kSteadyFarAway,     // it reaches 100 ms far from the fitted steps
    kSteadyNoneFaster,  // a quick run's: no step from half of 100 ms up to it
    kSteadyNoneSlower,  // a quick run's: no step from 100 ms up to twice it
};

struct SteadyFigure {
    int valid;          // 0: no figure, for the reason in why
    int why;            // a SteadyRefusal
    double score;       // thousands of triangles a frame at 100 ms
    double uncertainty; // one standard error of score, from the fit's residuals
    int points;         // steps the fit used
    double slope;       // milliseconds per triangle
    double intercept;   // milliseconds
    double nearestMs;   // kSteadyNoneFaster or kSteadyNoneSlower: the step nearest the band
};

constexpr double kSteadyFrameMs = 100; // 10 frames a second, the stop rule's rate
// Steps at 40 frames a second or fewer are near the stop; below that the frame time is
// not yet a straight line in the triangles (fixed costs of a frame weigh in).
constexpr double kNearStopMs = 25;
enum { kSteadyPointsMin = 4 }; // fewer steps near the stop give no figure

// A quick run's figure is read between two of its steps, one on each side of 100 ms and
// within this factor of it in frame time: a line carried further reads a figure where
// nothing was measured (a renderer that slowed after the grids were planned).
constexpr double kBracketFactor = 2;
// The farthest a quick run's fit reads, and the slower band's end.
constexpr double kQuickFarMs = kSteadyFrameMs * kBracketFactor;

// The middle value, or the mean of the middle two; 0 for none.
double Median(std::vector<double> v);

// The Theil–Sen line through n points: the median of the slopes of all pairs with
// distinct x, and the median of y − slope·x. 0 when no two points differ in x.
int TheilSen(const double *x, const double *y, int n, double *slope, double *intercept);

// The steady figure from a run's steps, in any order; only the steps with a frame time of
// at least nearStopMs are fitted. The crossing must lie above zero triangles and within the
// fitted steps' range of triangles, widened by a quarter of it on each side; there is no
// figure otherwise, nor when the frame time does not grow with the triangles.
SteadyFigure FitSteadyNear(const SteadyPoint *steps, int n, double nearStopMs,
                           double farMs = HUGE_VAL);
// Which side of 100 ms has no step near it: kSteadyNoneFaster when none took from
// 100 / kBracketFactor ms up to 100, else kSteadyNoneSlower when none took from 100 up to
// 100 * kBracketFactor, else kSteadyFitted.
int UnbracketedSide(const SteadyPoint *steps, int n);
// Where a side's band begins: 100 / kBracketFactor ms for the faster, 100 for the slower.
double BandLow(int side);
// A quick run's figure: f, or none where its steps do not bracket 100 ms.
SteadyFigure Bracketed(SteadyFigure f, const SteadyPoint *steps, int n);
// A quick run's figure, fitted over its steps from kNearStopMs up to kBracketFactor times
// 100 ms and bracketed: a climb never measures slower than that, and steps far slower than
// the stop (a renderer slowed after the plan) bend a line of a curved frame time away from it.
inline SteadyFigure FitQuick(const SteadyPoint *steps, int n) {
    return Bracketed(FitSteadyNear(steps, n, kNearStopMs, kQuickFarMs), steps, n);
}
// The reason in words, for "steady figure: none (...)".
const char *SteadyRefusalText(int why);
// The same with the nearest step's frame time where the steps missed a band.
std::string SteadyRefusalWords(const SteadyFigure &f);
inline SteadyFigure FitSteady(const SteadyPoint *steps, int n) {
    return FitSteadyNear(steps, n, kNearStopMs);
}
