// The millisecond tick that frame-rate windows are measured with.
#pragma once

#include "platform/types.h"

// The tick at the first call after start-up (or after ResetTickCount). It lies above
// the 1000 ms window length, so the first frame of a test, whose clock starts at 0,
// closes a window at once.
enum { kTickOrigin = 2000 };

// Milliseconds since the first call, plus kTickOrigin, whatever the machine's uptime. It
// wraps modulo 2^32 (negative after 24.8 days, past 0 after 49.7): compare two ticks only
// by their difference taken modulo 2^32. It never reads 0.
SInt32 GetTickCount(void);

// Anchors the tick anew at kTickOrigin on the next call.
void ResetTickCount(void);
