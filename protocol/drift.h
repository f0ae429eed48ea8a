// The drift check of a --test climb: once the stop rule has scored, the test holds the grid
// of the first step the steady figure is fitted over for as many windows as a step, and
// measures it again. The score and the log are the climb's; the check only adds a few
// seconds of full screen before the test returns to the window.
#pragma once

#include "platform/types.h"

// Where the check's two measurements lie in the frame-time recording of a test.
struct DriftCheck {
    UInt32 test;  // the recording (frameTimesTest) the check belongs to
    SInt32 grid;  // the reference grid
    SInt32 first; // its logged step, from 0
    SInt32 again; // the held window's step in the recording; -1: not measured
};
extern DriftCheck driftCheck;

// Every climb of this process is checked from now on.
void CheckDriftAfterStops(void);

// After every frame, outside it: starts the check once the climb has scored, and ends the
// test once the check is measured.
void DriveDriftCheck(void);

// The check of the test recorded last, or null when it has none.
const DriftCheck *DriftCheckOfLastTest(void);
