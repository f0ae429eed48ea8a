#include "platform/events.h"

#include "platform/events_internal.h"

#include <stdlib.h>
#include <string.h>
#include <time.h>

// ---- Events and their parameters

enum { kMaxParams = 8, kMaxParamSize = 32 };

struct EventParam {
    EventParamName name;
    EventParamType type;
    UInt32 size;
    unsigned char data[kMaxParamSize];
};

struct OpaqueEventRef {
    int refs;
    UInt32 eventClass;
    UInt32 kind;
    EventTime when;
    int paramCount;
    EventParam params[kMaxParams];
};

OSStatus CreateEvent(void *, UInt32 eventClass, UInt32 kind, EventTime when, EventAttributes,
                     EventRef *outEvent) {
    if (!outEvent) return paramErr;
    EventRef e = (EventRef)calloc(1, sizeof *e);
    *outEvent = e;
    if (!e) return memFullErr;
    e->refs = 1;
    e->eventClass = eventClass;
    e->kind = kind;
    e->when = when;
    return noErr;
}

EventRef MakeEvent(UInt32 eventClass, UInt32 kind) {
    EventRef e = NULL;
    CreateEvent(NULL, eventClass, kind, 0.0, kEventAttributeNone, &e);
    return e;
}

EventRef RetainEvent(EventRef event) {
    if (event) event->refs++;
    return event;
}

void ReleaseEvent(EventRef event) {
    if (event && --event->refs == 0) free(event);
}

UInt32 GetEventClass(EventRef event) {
    return event ? event->eventClass : 0;
}
UInt32 GetEventKind(EventRef event) {
    return event ? event->kind : 0;
}

static EventParam *FindParam(EventRef event, EventParamName name) {
    for (int i = 0; event && i < event->paramCount; i++)
        if (event->params[i].name == name) return &event->params[i];
    return NULL;
}

OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, UInt32 size,
                           const void *data) {
    if (!event || (!data && size) || size > kMaxParamSize) return paramErr;
    EventParam *p = FindParam(event, name);
    if (!p) {
        if (event->paramCount == kMaxParams) return memFullErr;
        p = &event->params[event->paramCount++];
    }
    p->name = name;
    p->type = type;
    p->size = size;
    if (size) memcpy(p->data, data, size);
    return noErr;
}

OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType *actualType, UInt32 bufferSize, UInt32 *actualSize,
                           void *data) {
    EventParam *p = FindParam(event, name);
    if (!p || p->type != desiredType) return eventParameterNotFoundErr;
    UInt32 n = p->size < bufferSize ? p->size : bufferSize;
    if (data && n) memcpy(data, p->data, n);
    if (actualType) *actualType = p->type;
    if (actualSize) *actualSize = p->size;
    return noErr;
}

// ---- Handler chains

struct OpaqueEventHandlerRef {
    EventTargetRef target;
    EventHandlerUPP proc;
    void *userData;
    UInt32 typeCount;
    EventTypeSpec *types;
    EventHandlerRef next; // the handler below this one
};

struct OpaqueEventTargetRef {
    WindowRef window; // null for the application
    EventHandlerRef head;
};

// Where CallNextEventHandler goes on from.
struct OpaqueEventHandlerCallRef {
    EventTargetRef target;
    EventHandlerRef below;
    bool called; // the handler has already run the rest of the chain
};

static OpaqueEventTargetRef applicationTarget;

enum { kMaxWindowTargets = 64 };
static EventTargetRef windowTargets[kMaxWindowTargets];

EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc) {
    return proc;
}
void DisposeEventHandlerUPP(EventHandlerUPP) {}

EventTargetRef GetApplicationEventTarget(void) {
    return &applicationTarget;
}

EventTargetRef GetWindowEventTarget(WindowRef window) {
    if (!window) return NULL;
    int slot = -1;
    for (int i = 0; i < kMaxWindowTargets; i++) {
        if (windowTargets[i] && windowTargets[i]->window == window) return windowTargets[i];
        if (!windowTargets[i] && slot < 0) slot = i;
    }
    if (slot < 0) return NULL;
    EventTargetRef t = (EventTargetRef)calloc(1, sizeof *t);
    if (t) t->window = window;
    windowTargets[slot] = t;
    return t;
}

static void FreeHandler(EventHandlerRef h) {
    free(h->types);
    free(h);
}

void ReleaseWindowTarget(WindowRef window) {
    for (int i = 0; window && i < kMaxWindowTargets; i++) {
        EventTargetRef t = windowTargets[i];
        if (!t || t->window != window) continue;
        while (t->head) {
            EventHandlerRef h = t->head;
            t->head = h->next;
            FreeHandler(h);
        }
        free(t);
        windowTargets[i] = NULL;
    }
}

OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec *list, void *userData, EventHandlerRef *outRef) {
    if (outRef) *outRef = NULL;
    if (!target || !handler || (numTypes && !list)) return paramErr;
    EventHandlerRef h = (EventHandlerRef)calloc(1, sizeof *h);
    EventTypeSpec *types = (EventTypeSpec *)calloc(numTypes ? numTypes : 1, sizeof *types);
    if (!h || !types) {
        free(h);
        free(types);
        return memFullErr;
    }
    if (numTypes) memcpy(types, list, numTypes * sizeof *types);
    h->target = target;
    h->proc = handler;
    h->userData = userData;
    h->typeCount = numTypes;
    h->types = types;
    h->next = target->head; // the newest handler hears an event first
    target->head = h;
    if (outRef) *outRef = h;
    return noErr;
}

OSStatus RemoveEventHandler(EventHandlerRef handler) {
    if (!handler) return paramErr;
    for (EventHandlerRef *p = &handler->target->head; *p; p = &(*p)->next) {
        if (*p == handler) {
            *p = handler->next;
            FreeHandler(handler);
            return noErr;
        }
    }
    return paramErr;
}

static bool Wants(EventHandlerRef h, EventRef event) {
    for (UInt32 i = 0; i < h->typeCount; i++)
        if (h->types[i].eventClass == event->eventClass && h->types[i].eventKind == event->kind)
            return true;
    return false;
}

// ---- Standard handlers, the last link of every chain

static MenuKey *menuKeys;
static int menuKeyCount;

void SetMenuKeys(const MenuKey *keys, int count) {
    free(menuKeys);
    menuKeys = NULL;
    menuKeyCount = 0;
    if (!keys || count <= 0) return;
    menuKeys = (MenuKey *)malloc((size_t)count * sizeof *menuKeys);
    if (!menuKeys) return;
    memcpy(menuKeys, keys, (size_t)count * sizeof *menuKeys);
    menuKeyCount = count;
}

static OSStatus SendCommand(UInt32 command) {
    EventRef e = MakeEvent(kEventClassCommand, kEventCommandProcess);
    if (!e) return memFullErr;
    HICommand c = {};
    c.commandID = command;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c);
    SendEventToEventTarget(e, &applicationTarget);
    ReleaseEvent(e);
    return noErr;
}

static OSStatus StandardWindowHandler(EventRef event) {
    if (event->eventClass != kEventClassKeyboard || event->kind != kEventRawKeyDown)
        return eventNotHandledErr;
    UInt32 code = 0, modifiers = 0;
    if (GetEventParameter(event, kEventParamKeyCode, typeUInt32, NULL, sizeof code, NULL, &code))
        return eventNotHandledErr;
    GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, NULL, sizeof modifiers, NULL,
                      &modifiers);
    modifiers &= controlKey | shiftKey | optionKey | cmdKey;
    for (int i = 0; i < menuKeyCount; i++)
        if (menuKeys[i].keyCode == code && menuKeys[i].modifiers == modifiers)
            return SendCommand(menuKeys[i].command);
    return eventNotHandledErr;
}

static OSStatus StandardApplicationHandler(EventRef event) {
    if (event->eventClass != kEventClassCommand || event->kind != kEventCommandProcess)
        return eventNotHandledErr;
    HICommand c = {};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, NULL, sizeof c, NULL, &c))
        return eventNotHandledErr;
    if (c.commandID != kHICommandQuit) return eventNotHandledErr;
    QuitApplicationEventLoop();
    return noErr;
}

// A handler that answers eventNotHandledErr passes the event on down the chain, unless it
// has run the rest of the chain itself; so a command the program's handler only looks at
// still reaches the standard handler below it.
static OSStatus RunChain(EventTargetRef target, EventHandlerRef from, EventRef event) {
    for (EventHandlerRef h = from; h; h = h->next) {
        if (!Wants(h, event)) continue;
        OpaqueEventHandlerCallRef next = {target, h->next, false};
        OSStatus status = h->proc(&next, event, h->userData);
        if (status != eventNotHandledErr || next.called) return status;
    }
    return target->window ? StandardWindowHandler(event) : StandardApplicationHandler(event);
}

OSStatus CallNextEventHandler(EventHandlerCallRef next, EventRef event) {
    // Called from a handler that was not reached through a chain: nothing lies below it.
    if (!next || !event) return eventNotHandledErr;
    next->called = true;
    return RunChain(next->target, next->below, event);
}

OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target) {
    if (!event || !target) return paramErr;
    return RunChain(target, target->head, event);
}

OSStatus DispatchEvent(EventRef event) {
    if (!event) return paramErr;
    if (event->eventClass == kEventClassWindow || event->eventClass == kEventClassKeyboard) {
        WindowRef w = NULL;
        EventParamName name =
            event->eventClass == kEventClassWindow ? kEventParamDirectObject : kEventParamWindowRef;
        GetEventParameter(event, name, typeWindowRef, NULL, sizeof w, NULL, &w);
        EventTargetRef t = GetWindowEventTarget(w);
        if (t) return SendEventToEventTarget(event, t);
    }
    return SendEventToEventTarget(event, &applicationTarget);
}

// ---- The queue

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

static void DispatchQueued(void) {
    // Only what was posted before this pass; what handlers post waits for the next.
    for (int n = queued; n > 0 && queued > 0; n--) {
        EventRef e = queue[0].event;
        queued--;
        memmove(&queue[0], &queue[1], (size_t)queued * sizeof queue[0]);
        DispatchEvent(e);
        ReleaseEvent(e);
    }
}

// ---- Timers and the loop

struct OpaqueEventLoopTimerRef {
    EventLoopTimerUPP proc;
    void *userData;
    double fireAt;
    double interval;
    bool removed;
    EventLoopTimerRef next;
};

static EventLoopTimerRef timers;
static bool quitRequested;
static double loopLimit;  // seconds a loop may run before it gives up; 0: no limit
static bool loopTimedOut; // the last loop ended at that limit, not by a quit
static HostPump hostPump;
static int firing; // timers are freed only outside a firing pass

static double Now(void) {
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
    t->fireAt = Now() + delay;
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

// Fires every timer that is due; a repeating one is due again an interval after it fired,
// or at once when the loop could not keep up.
static void FireDueTimers(void) {
    firing++;
    double now = Now();
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

// Milliseconds the loop may wait for input: 0 when anything is due, -1 for no limit.
static int IdleMillis(void) {
    if (queued > 0) return 0;
    double soonest = -1, now = Now();
    for (EventLoopTimerRef t = timers; t; t = t->next)
        if (!t->removed && (soonest < 0 || t->fireAt < soonest)) soonest = t->fireAt;
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
    double giveUpAt = loopLimit > 0 ? Now() + loopLimit : 0;
    while (!quitRequested) {
        if (giveUpAt > 0 && Now() >= giveUpAt) {
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
