#include "platform/uptime.h"

#include <time.h>

static UpTimeSource upTimeSource;

static AbsoluteTime MonotonicNow(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (AbsoluteTime)ts.tv_sec * 1000000000u + (AbsoluteTime)ts.tv_nsec;
}

AbsoluteTime UpTime(void) {
    return upTimeSource ? upTimeSource() : MonotonicNow();
}

Nanoseconds AbsoluteToNanoseconds(AbsoluteTime t) {
    return t;
}

void SetUpTimeSource(UpTimeSource source) {
    upTimeSource = source;
}
