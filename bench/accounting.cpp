#include "bench/accounting.h"

#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/log.h"
#include "bench/state.h"

#include <stdint.h>

// The ticks wrap modulo 2^32, so their distance is taken modulo 2^32 too: it stays right
// across the wrap, for any process lifetime. An oldCurrTime of 0 is a test start, which
// the tick never reads: the first frame after it closes a window at once.
static bool WindowOver(void) {
    if (oldCurrTime == 0) return currTime != 0;
    return (UInt32)currTime - (UInt32)oldCurrTime > (UInt32)kWindowMillis;
}

// Closes the window; returns true when the stop rule ends the test.
static bool CloseWindow(void) {
    fps = (float)frames;
    frames = 0;
    oldCurrTime = currTime;
    if (!fullscreen) return false;
    // The driver's turn comes after this frame; until it has acted nothing is counted.
    if (holdWaiting) return false;
    if (holdGrid) {
        HeldWindowClosed();
        return false;
    }

    SInt32 t = tCubes;
    tCubes = t + 1;
    FrameWindowClosed(t >= kWindowsPerSize - 1, (SInt32)fps);
    if (t < kWindowsPerSize - 1) return false;

    LogStep(fps, TriangleCount());
    numCubes++;
    tCubes = 0;
    if (!(fps < kStopFps)) return false;

    finalSave = 0;
    finalScore = (SInt32)((SInt64)TriangleCount() / 1000);
    LogScore(finalScore);
    // Scored: a driver may still measure something before the test returns to the window.
    if (holdAfterStop) {
        holdWaiting = true;
        return false;
    }
    return true;
}

FrameOutcome CountFrame(void) {
    TimeFrame();
    // A clock that stands still keeps the window open; the count then stops at its top.
    if (frames < INT32_MAX) frames++;
    if (WindowOver() && CloseWindow()) return kFrameTestOver;

    rotate += 0.5f;
    if (rotate > 360.0f) rotate = 0;
    return kFrameContinue;
}

int ScreenshotDue(void) {
    return !fullscreen && finalScore != 0 && finalSave == 0;
}
