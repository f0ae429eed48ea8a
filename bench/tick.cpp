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
    // Only the low 32 bits are kept: differences of two ticks, taken modulo 2^32, stay
    // right however long the process runs.
    UInt32 tick = (UInt32)(kTickOrigin + elapsed);
    // 0 is the test start's "nothing measured yet"; a tick that reads 0 is one ms late.
    if (tick == 0) tick = 1;
    return (SInt32)tick;
}

void ResetTickCount(void) {
    tickAnchored = false;
}
