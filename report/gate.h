// A gate for continuous integration: --fail-if-slower P after a comparison (--compare or
// --pair) ends the program non-zero when B is slower than A by more than P %, beyond what
// the measurements' uncertainties allow; one line says which.
#pragma once

#include <stdio.h>
#include <string>

enum GateOutcome {
    kGatePassed,   // B is not shown to be slower than allowed
    kGateSlower,   // even the upper end of B's interval is slower than allowed
    kGateUnjudged, // no figure with an interval to judge: a gate that cannot see passes nothing
};

struct GateFigures {
    bool known;       // a ratio and its interval; otherwise why says what was missing
    std::string why;  // for an unknown ratio: what was missing, e.g. "B has no steady figure"
    double ratio;     // B's throughput over A's
    double low, high; // its interval
};

// Judges B against A with allowed (a share, 0.05 for 5 %) and says it in one line on out.
GateOutcome JudgeGate(const GateFigures &f, double allowed, FILE *out);
