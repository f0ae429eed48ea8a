// Handler chains of the window and application targets, and where an event is sent.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <stdlib.h>
#include <string.h>

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
    UInt32 eventClass = GetEventClass(event), kind = GetEventKind(event);
    for (UInt32 i = 0; i < h->typeCount; i++)
        if (h->types[i].eventClass == eventClass && h->types[i].eventKind == kind) return true;
    return false;
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
    UInt32 eventClass = GetEventClass(event);
    if (eventClass == kEventClassWindow || eventClass == kEventClassKeyboard) {
        WindowRef w = NULL;
        EventParamName name =
            eventClass == kEventClassWindow ? kEventParamDirectObject : kEventParamWindowRef;
        GetEventParameter(event, name, typeWindowRef, NULL, sizeof w, NULL, &w);
        EventTargetRef t = GetWindowEventTarget(w);
        if (t) return SendEventToEventTarget(event, t);
    }
    return SendEventToEventTarget(event, &applicationTarget);
}
