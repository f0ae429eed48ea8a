// Events and their parameters.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <stdlib.h>
#include <string.h>

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
