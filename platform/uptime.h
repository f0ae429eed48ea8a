// The host's uptime clock: a monotonic count since an arbitrary start.
#pragma once

#include "platform/types.h"

// On this host an absolute time is already a count of nanoseconds.
typedef UInt64 AbsoluteTime;
typedef UInt64 Nanoseconds;

AbsoluteTime UpTime(void);
Nanoseconds AbsoluteToNanoseconds(AbsoluteTime t);

// Replaces the clock behind UpTime; null restores CLOCK_MONOTONIC. Lets tests drive
// the benchmark through hours of simulated time in milliseconds.
typedef AbsoluteTime (*UpTimeSource)(void);
void SetUpTimeSource(UpTimeSource source);
