#include "bench/accounting.h"

#include "bench/log.h"
#include "bench/state.h"

// Widened so that no pair of ticks can overflow the comparison.
static bool WindowOver(void) {
    return (SInt64)currTime - (SInt64)oldCurrTime > kWindowMillis;
}

// Closes the window; returns true when the stop rule ends the test.
static bool CloseWindow(void) {
    fps = (float)frames;
    frames = 0;
    oldCurrTime = currTime;
    if (!fullscreen) return false;

    SInt32 t = tCubes;
    tCubes = t + 1;
    if (t < kWindowsPerSize - 1) return false;

    WriteF(false, kLogFps, (double)fps, TriangleCount());
    numCubes++;
    tCubes = 0;
    if (!(fps < kStopFps)) return false;

    finalSave = 0;
    finalScore = (SInt32)((SInt64)TriangleCount() / 1000);
    WriteF(false, kLogFinalScore, finalScore);
    return true;
}

FrameOutcome CountFrame(void) {
    frames++;
    if (WindowOver() && CloseWindow()) return kFrameTestOver;

    rotate += 0.5f;
    if (rotate > 360.0f) rotate = 0;
    return kFrameContinue;
}

int ScreenshotDue(void) {
    return !fullscreen && finalScore != 0 && finalSave == 0;
}
