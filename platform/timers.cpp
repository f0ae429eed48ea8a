// The loop's timers.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <stdlib.h>
#include <time.h>

struct OpaqueEventLoopTimerRef {
    EventLoopTimerUPP proc;
    void *userData;
    double fireAt;
    double interval;
    bool removed;
    EventLoopTimerRef next;
};

static EventLoopTimerRef timers;
static int firing; // timers are freed only outside a firing pass

static LoopClockSource clockSource;

void SetLoopClockSource(LoopClockSource source) {
    clockSource = source;
}

double LoopClock(void) {
    if (clockSource) return clockSource();
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (double)ts.tv_sec + (double)ts.tv_nsec * 1e-9;
}

EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc) {
    return proc;
}
void DisposeEventLoopTimerUPP(EventLoopTimerUPP) {}
EventLoopRef GetCurrentEventLoop(void) {
    return (EventLoopRef)&timers;
}

OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimeInterval delay,
                               EventTimeInterval interval, EventLoopTimerUPP proc, void *userData,
                               EventLoopTimerRef *outTimer) {
    if (outTimer) *outTimer = NULL;
    if (loop != GetCurrentEventLoop() || !proc || delay < 0 || interval < 0) return paramErr;
    EventLoopTimerRef t = (EventLoopTimerRef)calloc(1, sizeof *t);
    if (!t) return memFullErr;
    t->proc = proc;
    t->userData = userData;
    t->fireAt = LoopClock() + delay;
    t->interval = interval;
    t->next = timers;
    timers = t;
    if (outTimer) *outTimer = t;
    return noErr;
}

static void SweepTimers(void) {
    for (EventLoopTimerRef *p = &timers; *p;) {
        if ((*p)->removed) {
            EventLoopTimerRef dead = *p;
            *p = dead->next;
            free(dead);
        } else {
            p = &(*p)->next;
        }
    }
}

OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer) {
    for (EventLoopTimerRef t = timers; t; t = t->next) {
        if (t == timer && !t->removed) {
            t->removed = true;
            if (!firing) SweepTimers();
            return noErr;
        }
    }
    return paramErr;
}

// A repeating timer is due again an interval after it fired, or at once when the loop could
// not keep up.
void FireDueTimers(void) {
    firing++;
    double now = LoopClock();
    for (EventLoopTimerRef t = timers; t; t = t->next) {
        if (t->removed || t->fireAt > now) continue;
        if (t->interval > 0)
            t->fireAt = t->fireAt + t->interval > now ? t->fireAt + t->interval : now;
        else
            t->removed = true;
        t->proc(t, t->userData);
    }
    firing--;
    if (!firing) SweepTimers();
}

double SoonestTimer(void) {
    double soonest = -1;
    for (EventLoopTimerRef t = timers; t; t = t->next)
        if (!t->removed && (soonest < 0 || t->fireAt < soonest)) soonest = t->fireAt;
    return soonest;
}
