#include "bench/frametimes.h"

#include "bench/state.h"
#include "platform/uptime.h"

#include <stdlib.h>
#include <string.h>

UInt32 *frameTimes;
SInt32 frameTimesUsed;
SInt32 frameWindowAt;
SInt32 frameWindowSeen;
SInt32 frameWindowStride = 1;
UInt64 lastFrameEndUs;
TimedStep *timedSteps;
SInt32 timedStepCount;
SInt32 testWindowsClosed;
UInt32 frameTimesTest;

enum { kFrameTimesCap = kTimedFramesPerWindow * kTimedStepsMax };

void ReleaseFrameTimes(void) {
    free(frameTimes);
    free(timedSteps);
    frameTimes = nullptr;
    timedSteps = nullptr;
    frameTimesUsed = frameWindowAt = timedStepCount = testWindowsClosed = 0;
    frameWindowSeen = 0;
    frameWindowStride = 1;
    lastFrameEndUs = 0;
}

int ReserveFrameTimes(void) {
    ReleaseFrameTimes();
    frameTimesTest++;
    frameTimes = (UInt32 *)malloc(sizeof(UInt32) * kFrameTimesCap);
    timedSteps = (TimedStep *)calloc(kTimedStepsMax, sizeof(TimedStep));
    if (!frameTimes || !timedSteps) {
        ReleaseFrameTimes();
        return 0;
    }
    // Touched now, so that no frame takes the page faults of its first store.
    memset(frameTimes, 0, sizeof(UInt32) * kFrameTimesCap);
    return 1;
}

static UInt64 NowUs(void) {
    return AbsoluteToNanoseconds(UpTime()) / 1000u;
}

void TimeFrame(void) {
    if (!frameTimes || !fullscreen) return;
    UInt64 now = NowUs();
    UInt64 last = lastFrameEndUs;
    lastFrameEndUs = now ? now : 1;
    // The first frame of a test has nothing before it to be timed from.
    if (last == 0) return;
    UInt64 d = now > last ? now - last : 0;
    SInt32 seen = frameWindowSeen++;
    if (seen % frameWindowStride) return;
    SInt32 kept = frameTimesUsed - frameWindowAt;
    if (kept >= kTimedFramesPerWindow) {
        // Full: every other duration goes, and so will every other frame from now on, so
        // that what is kept stays spread over the whole window (512 moves, once in a while).
        UInt32 *w = frameTimes + frameWindowAt;
        for (SInt32 i = 0; i < kept / 2; i++)
            w[i] = w[2 * i];
        frameTimesUsed = frameWindowAt + kept / 2;
        frameWindowStride *= 2;
        if (seen % frameWindowStride) return;
    }
    if (frameTimesUsed >= kFrameTimesCap) return;
    frameTimes[frameTimesUsed++] = d > UINT32_MAX ? UINT32_MAX : (UInt32)d;
}

void FrameWindowClosed(bool measured, SInt32 counted) {
    if (!frameTimes) return;
    testWindowsClosed++;
    frameWindowSeen = 0;
    frameWindowStride = 1;
    if (measured && timedStepCount < kTimedStepsMax) {
        TimedStep *s = &timedSteps[timedStepCount++];
        s->first = frameWindowAt;
        s->timed = frameTimesUsed - frameWindowAt;
        s->frames = counted;
        frameWindowAt = frameTimesUsed;
    } else {
        frameTimesUsed = frameWindowAt;
    }
}
