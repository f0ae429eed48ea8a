// Every frame of a test timed: each frame's duration, from the end of the frame before to
// its own end, in microseconds of the monotonic uptime clock, kept for the windows that
// the result log measures. The memory is reserved when the test starts; a frame only
// stores a number into it. The figures drawn from the times are computed after the test,
// outside any frame (watch/frametimes.h).
#pragma once

#include "platform/types.h"

enum {
    // A measured window keeps the durations of up to this many frames, spread evenly over
    // it: all of them, or once it has had more, every second, fourth, ... frame's (each
    // time the kept ones fill the room, every other one goes and the stride doubles). All
    // are counted: its frame count stays whole. 512 to 1024 frames give the percentiles to
    // well under 1 % at any frame rate.
    kTimedFramesPerWindow = 1024,
    // Steps timed in one test; a later step keeps no times (a grid of 1024 spheres a
    // side is beyond any machine).
    kTimedStepsMax = 1024,
};

// Where a step's frame times lie in frameTimes.
struct TimedStep {
    SInt32 first;  // index of its first duration
    SInt32 timed;  // durations kept
    SInt32 frames; // frames the window counted
};

extern UInt32 *frameTimes;       // microseconds; null outside a reserved recording
extern SInt32 frameTimesUsed;    // durations stored, the current window's included
extern SInt32 frameWindowAt;     // where the current window's durations begin
extern SInt32 frameWindowSeen;   // frames timed-or-skipped in the current window
extern SInt32 frameWindowStride; // the window keeps every stride-th of them (a power of 2)
extern UInt64 lastFrameEndUs;    // when the last frame ended; 0: none yet in this test
extern TimedStep *timedSteps;    // one per logged step of the test, in the log's order
extern SInt32 timedStepCount;
extern SInt32 testWindowsClosed; // frame-rate windows closed since the test started
extern UInt32 frameTimesTest;    // counts reservations: tells one test's recording from the next

// Reserves the memory for a test's frame times and starts an empty recording. Called when
// a test starts, never inside a frame. Non-zero on success; without the memory the test
// runs untimed.
int ReserveFrameTimes(void);
// Frees the recording, from any state.
void ReleaseFrameTimes(void);

// Inside a frame, from the accounting, once per frame counted: stores the frame's
// duration while a test runs and the memory is reserved.
void TimeFrame(void);
// Inside a frame: a frame-rate window of a test has closed after counting `counted`
// frames. A measured window's durations become the next step's; any other window's are
// dropped.
void FrameWindowClosed(bool measured, SInt32 counted);
