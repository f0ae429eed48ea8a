#include "report/gate.h"

GateOutcome JudgeGate(const GateFigures &f, double allowed, FILE *out) {
    if (!f.known) {
        fprintf(out, "gate: cannot judge: %s: failed\n",
                f.why.empty() ? "no figures" : f.why.c_str());
        return kGateUnjudged;
    }
    // Only when even B's best is slower than allowed: noise alone must not fail a build.
    bool fails = f.high < 1 - allowed;
    fprintf(out, "gate: B against A: %+.1f %% (%+.1f to %+.1f %%), %s the %g %% allowed: %s\n",
            100 * (f.ratio - 1), 100 * (f.low - 1), 100 * (f.high - 1),
            fails ? "slower by more than" : "not shown slower by more than", 100 * allowed,
            fails ? "failed" : "passed");
    return fails ? kGateSlower : kGatePassed;
}
