#include "bench/tick.h"

#include "platform/uptime.h"

#include <stdint.h>

static UInt64 tickBase; // uptime in ms that maps to kTickOrigin
static bool tickAnchored;

SInt32 GetTickCount(void) {
    UInt64 ms = AbsoluteToNanoseconds(UpTime()) / 1000000u;
    if (!tickAnchored) {
        tickBase = ms;
        tickAnchored = true;
    }
    // The host clock never runs back, but a replaced one might; hold the tick still then.
    UInt64 elapsed = ms > tickBase ? ms - tickBase : 0;
    if (elapsed > (UInt64)(INT32_MAX - kTickOrigin)) return INT32_MAX;
    return kTickOrigin + (SInt32)elapsed;
}

void ResetTickCount(void) {
    tickAnchored = false;
}
