#include "protocol/drift.h"

#include "bench/accounting.h"
#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "record/model.h"
#include "watch/frametimes.h"
#include "watch/steady.h"
#include "watch/trust.h"

DriftCheck driftCheck = {0, 0, -1, -1};

void CheckDriftAfterStops(void) {
    holdAfterStop = true;
}

// The first logged step of the climb that the steady fit takes in, or -1.
static int ReferenceStep(const std::vector<ResultStep> &steps) {
    for (size_t i = 0; i < steps.size(); i++) {
        SteadyPoint p = SteadyPointOfStep(steps, (int)i);
        if (p.triangles > 0 && p.frameMs >= kNearStopMs) return (int)i;
    }
    return -1;
}

void DriveDriftCheck(void) {
    if (!fullscreen || !holdWaiting) return;
    bool checking =
        driftCheck.test == frameTimesTest && driftCheck.again == -1 && driftCheck.first >= 0;
    if (checking) {
        // The held window is measured, or the recording had no room for it.
        driftCheck.again = holdMeasuredStep >= 0 ? holdMeasuredStep : -2;
        EndTest();
        return;
    }
    int first = resultRuns.empty() ? -1 : ReferenceStep(resultRuns.back().steps);
    if (first < 0) {
        EndTest();
        return;
    }
    driftCheck = DriftCheck{frameTimesTest, resultRuns.back().steps[first].grid, first, -1};
    HoldGrid(driftCheck.grid, kWindowsPerSize, true);
}

const DriftCheck *DriftCheckOfLastTest(void) {
    const DriftCheck &c = driftCheck;
    if (c.test != frameTimesTest || c.first < 0 || c.again < 0) return nullptr;
    return &c;
}
