// Grids held outside the climb. A driver of the command line (protocol/) may take a test
// over once its climb has scored, or instead of a climb, and hold grids of its choosing:
// each held grid is drawn for some windows as a step is, its last window measured (frame
// times, load) and never logged; the driver then holds another grid or ends the test.
// Nothing here is set in the interactive program, whose tests climb only.
#pragma once

#include "platform/types.h"

extern bool holdAfterStop;      // the climb's stop rule hands the test to the driver
extern SInt32 holdGrid;         // the grid held; 0: none
extern SInt32 holdWindowsLeft;  // windows still to close at it; the last is measured
extern bool holdWaiting;        // the driver's turn: the climb has scored, or a hold is over
extern bool holdMeasures;       // the hold's last window goes into the frame-time recording
extern SInt32 holdMeasuredStep; // the measured window's step in the frame-time recording, or -1
extern float holdMeasuredFps;   // the frames that window counted

// Outside a frame: holds grid n for `windows` windows (at least 1) from the next frame on;
// with measure, the last one is recorded as a step's is (a probe's only counts its frames).
void HoldGrid(SInt32 n, SInt32 windows, bool measure);
// Inside a frame, from the accounting, when a window of a test has closed while a grid is
// held: counts it down and, at the last, takes its frame count and hands over to the driver.
void HeldWindowClosed(void);
// Forgets any hold, as a test that starts or ends does.
void ResetHold(void);
