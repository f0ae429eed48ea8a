// The main thread's event queue.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <string.h>

enum { kMaxQueued = 256 };
struct QueuedEvent {
    EventRef event;
    EventPriority priority;
};
static QueuedEvent queue[kMaxQueued];
static int queued;
static struct OpaqueEventQueueRef *const mainQueue = (struct OpaqueEventQueueRef *)&queue;

EventQueueRef GetCurrentEventQueue(void) {
    return mainQueue;
}

OSStatus PostEventToQueue(EventQueueRef q, EventRef event, EventPriority priority) {
    if (q != mainQueue || !event) return paramErr;
    if (queued == kMaxQueued) return memFullErr;
    // Behind everything of the same or higher priority.
    int at = queued;
    while (at > 0 && queue[at - 1].priority < priority)
        at--;
    memmove(&queue[at + 1], &queue[at], (size_t)(queued - at) * sizeof queue[0]);
    queue[at].event = RetainEvent(event);
    queue[at].priority = priority;
    queued++;
    return noErr;
}

void DispatchQueued(void) {
    // Only what was posted before this pass; what handlers post waits for the next.
    for (int n = queued; n > 0 && queued > 0; n--) {
        EventRef e = queue[0].event;
        queued--;
        memmove(&queue[0], &queue[1], (size_t)queued * sizeof queue[0]);
        DispatchEvent(e);
        ReleaseEvent(e);
    }
}

int QueuedEventCount(void) {
    return queued;
}
