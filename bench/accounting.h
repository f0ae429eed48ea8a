// Frame accounting: what happens after every frame drawn.
#pragma once

#include "platform/types.h"

enum FrameOutcome {
    kFrameContinue = 0, // go on; the caller then checks whether the screenshot is due
    kFrameTestOver = 1, // the stop rule fired: the caller must end the test and the frame
};

enum {
    kWindowMillis = 1000, // a frame-rate window closes once more than this has passed
    kWindowsPerSize = 4,  // in a test the grid grows on every fourth window
};
constexpr float kStopFps = 10.0f; // a fourth window below this frame count ends the test

// Counts the frame whose tick is currTime, closes a frame-rate window when one is over,
// grows the grid and applies the stop rule in a test, and advances the rotation.
FrameOutcome CountFrame(void);

// Non-zero when the score of a finished test is on screen and not yet saved.
int ScreenshotDue(void);
