#include "bench/hold.h"

#include "bench/frametimes.h"
#include "bench/state.h"

bool holdAfterStop;
SInt32 holdGrid;
SInt32 holdWindowsLeft;
bool holdWaiting;
bool holdMeasures;
SInt32 holdMeasuredStep = -1;
float holdMeasuredFps;

void HoldGrid(SInt32 n, SInt32 windows, bool measure) {
    holdGrid = n > 0 ? n : 1;
    holdMeasures = measure;
    holdWindowsLeft = windows > 0 ? windows : 1;
    holdWaiting = false;
    holdMeasuredStep = -1;
    numCubes = holdGrid;
}

void HeldWindowClosed(void) {
    bool last = --holdWindowsLeft <= 0;
    // The recording's steps are counted before and after, so that a window it had no room
    // for is known as unmeasured.
    SInt32 before = timedStepCount;
    FrameWindowClosed(last && holdMeasures, (SInt32)fps);
    if (!last) return;
    holdMeasuredStep = timedStepCount > before ? before : -1;
    holdMeasuredFps = fps;
    holdGrid = 0;
    holdWaiting = true;
}

void ResetHold(void) {
    holdGrid = holdWindowsLeft = 0;
    holdWaiting = false;
    holdMeasuredStep = -1;
    holdMeasuredFps = 0;
}
