// The application event loop: host input, the queue and the timers, in turn.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <time.h>

static bool quitRequested;
static double loopLimit;  // seconds a loop may run before it gives up; 0: no limit
static bool loopTimedOut; // the last loop ended at that limit, not by a quit
static HostPump hostPump;

// Milliseconds the loop may wait for input: 0 when anything is due, -1 for no limit.
static int IdleMillis(void) {
    if (QueuedEventCount() > 0) return 0;
    double soonest = SoonestTimer(), now = LoopClock();
    if (soonest < 0) return -1;
    if (soonest <= now) return 0;
    double ms = (soonest - now) * 1000.0;
    return ms > 1e6 ? 1000000 : (int)ms + 1;
}

void SetHostPump(HostPump pump) {
    hostPump = pump;
}

void SetEventLoopLimit(double seconds) {
    loopLimit = seconds > 0 ? seconds : 0;
}

int EventLoopTimedOut(void) {
    return loopTimedOut;
}

// Never waits longer than this, so that a test's limit is noticed.
static const int kMaxWaitMillis = 100;

void RunApplicationEventLoop(void) {
    quitRequested = false;
    loopTimedOut = false;
    double giveUpAt = loopLimit > 0 ? LoopClock() + loopLimit : 0;
    while (!quitRequested) {
        if (giveUpAt > 0 && LoopClock() >= giveUpAt) {
            loopTimedOut = true;
            break;
        }
        int wait = IdleMillis();
        if (wait < 0 || wait > kMaxWaitMillis) wait = kMaxWaitMillis;
        if (hostPump) {
            hostPump(wait);
        } else if (wait != 0) {
            // Without host input there is nothing to wait for but the next timer.
            struct timespec ts = {0, (long)wait * 1000000L};
            nanosleep(&ts, NULL);
        }
        if (!quitRequested) DispatchQueued();
        if (!quitRequested) FireDueTimers();
    }
}

void QuitApplicationEventLoop(void) {
    quitRequested = true;
}
