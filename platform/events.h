// Events, handler chains, the application event loop and its timers.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

typedef struct OpaqueEventRef *EventRef;
typedef struct OpaqueEventHandlerCallRef *EventHandlerCallRef;
typedef struct OpaqueEventTargetRef *EventTargetRef;
typedef struct OpaqueEventHandlerRef *EventHandlerRef;
typedef struct OpaqueEventQueueRef *EventQueueRef;
typedef struct OpaqueEventLoopRef *EventLoopRef;
typedef struct OpaqueEventLoopTimerRef *EventLoopTimerRef;
typedef struct OpaqueMenuRef *MenuRef;

typedef double EventTime;         // seconds
typedef double EventTimeInterval; // seconds
typedef UInt32 EventAttributes;
typedef UInt32 EventParamName;
typedef UInt32 EventParamType;
typedef SInt16 EventPriority;
typedef UInt16 EventMouseButton;
typedef UInt32 EventMouseWheelAxis;

struct EventTypeSpec {
    UInt32 eventClass;
    UInt32 eventKind;
};

struct HICommand {
    UInt32 attributes;
    UInt32 commandID;
    struct {
        MenuRef menuRef;
        UInt16 menuItemIndex;
    } menu;
};

typedef OSStatus (*EventHandlerProcPtr)(EventHandlerCallRef next, EventRef event, void *userData);
typedef EventHandlerProcPtr EventHandlerUPP;
typedef void (*EventLoopTimerProcPtr)(EventLoopTimerRef timer, void *userData);
typedef EventLoopTimerProcPtr EventLoopTimerUPP;

enum {
    kEventClassCommand = FourCC('c', 'm', 'd', 's'),
    kEventClassMouse = FourCC('m', 'o', 'u', 's'),
    kEventClassKeyboard = FourCC('k', 'e', 'y', 'b'),
    kEventClassWindow = FourCC('w', 'i', 'n', 'd'),
};

enum {
    kEventCommandProcess = 1,
    kEventCommandUpdateStatus = 2,
    kEventMouseDown = 1,
    kEventMouseUp = 2,
    kEventMouseMoved = 5,
    kEventMouseDragged = 6,
    kEventMouseWheelMoved = 10,
    kEventRawKeyDown = 1,
    kEventRawKeyRepeat = 2,
    kEventRawKeyUp = 3,
    kEventWindowDrawContent = 2,
    kEventWindowActivated = 5,
    kEventWindowDeactivated = 6,
    kEventWindowShown = 24,
    kEventWindowBoundsChanged = 27,
    kEventWindowDragStarted = 30,
    kEventWindowClose = 72,
    kEventWindowZoom = 75,
    kEventWindowZoomed = 76,
    kEventWindowCollapsing = 86,
};

enum {
    kEventParamDirectObject = FourCC('-', '-', '-', '-'),
    kEventParamWindowRef = FourCC('w', 'i', 'n', 'd'),
    kEventParamKeyCode = FourCC('k', 'c', 'o', 'd'),
    kEventParamKeyModifiers = FourCC('k', 'm', 'o', 'd'),
    kEventParamMouseButton = FourCC('m', 'b', 't', 'n'),
    kEventParamMouseLocation = FourCC('m', 'l', 'o', 'c'),
    kEventParamMouseWheelAxis = FourCC('m', 'w', 'a', 'x'),
    kEventParamMouseWheelDelta = FourCC('m', 'w', 'd', 'l'),
    kEventParamWindowMouseLocation = FourCC('w', 'm', 'o', 'u'),
};

enum {
    typeHICommand = FourCC('h', 'c', 'm', 'd'),
    typeWindowRef = FourCC('w', 'i', 'n', 'd'),
    typeUInt32 = FourCC('m', 'a', 'g', 'n'),
    typeSInt32 = FourCC('l', 'o', 'n', 'g'),
    typeMouseButton = FourCC('m', 'b', 't', 'n'),
    typeQDPoint = FourCC('Q', 'D', 'p', 't'),
    typeMouseWheelAxis = FourCC('m', 'w', 'a', 'x'),
    typeLongInteger = FourCC('l', 'o', 'n', 'g'),
    typeHIPoint = FourCC('h', 'i', 'p', 't'),
};

struct HIPoint {
    float x;
    float y;
};

// Modifier bits of kEventParamKeyModifiers.
enum {
    cmdKey = 1 << 8,
    shiftKey = 1 << 9,
    optionKey = 1 << 11,
    controlKey = 1 << 12,
};

enum {
    kEventAttributeNone = 0,
    kEventPriorityLow = 0,
    kEventPriorityStandard = 1,
    kEventPriorityHigh = 2,
    eventParameterNotFoundErr = -9870,
    errEventParamBufferTooSmall = -9869, // value of the host's own parameter-size error
};

// Mac virtual key codes that the host produces for the keys the program reacts to.
enum {
    kVK_ANSI_Q = 0x0C,
    kVK_ANSI_T = 0x11,
    kVK_Escape = 53,
    kVK_LeftArrow = 123,
    kVK_RightArrow = 124,
    kVK_DownArrow = 125,
    kVK_UpArrow = 126,
};

enum { kHICommandQuit = FourCC('q', 'u', 'i', 't') };

// Handler chains: a handler installed later runs first; the last link is the target's
// standard handler. An event that no window handler takes goes no further.
EventHandlerUPP NewEventHandlerUPP(EventHandlerProcPtr proc);
void DisposeEventHandlerUPP(EventHandlerUPP upp);
EventTargetRef GetWindowEventTarget(WindowRef window);
EventTargetRef GetApplicationEventTarget(void);
OSStatus InstallEventHandler(EventTargetRef target, EventHandlerUPP handler, UInt32 numTypes,
                             const EventTypeSpec *list, void *userData, EventHandlerRef *outRef);
OSStatus RemoveEventHandler(EventHandlerRef handler);
OSStatus CallNextEventHandler(EventHandlerCallRef next, EventRef event);
// Runs the target's chain for the event; eventNotHandledErr when nobody handled it.
OSStatus SendEventToEventTarget(EventRef event, EventTargetRef target);

// Events and their parameters.
OSStatus CreateEvent(void *allocator, UInt32 eventClass, UInt32 kind, EventTime when,
                     EventAttributes flags, EventRef *outEvent);
EventRef RetainEvent(EventRef event);
void ReleaseEvent(EventRef event);
UInt32 GetEventClass(EventRef event);
UInt32 GetEventKind(EventRef event);
OSStatus SetEventParameter(EventRef event, EventParamName name, EventParamType type, UInt32 size,
                           const void *data);
// Copies the parameter into data (at most bufferSize bytes); eventParameterNotFoundErr
// when the event has no such parameter or it is of another type.
OSStatus GetEventParameter(EventRef event, EventParamName name, EventParamType desiredType,
                           EventParamType *actualType, UInt32 bufferSize, UInt32 *actualSize,
                           void *data);

// The queue of the main thread: posted events are dispatched by the loop, higher
// priority first, to the window target their window parameter names, else the application.
EventQueueRef GetCurrentEventQueue(void);
OSStatus PostEventToQueue(EventQueueRef queue, EventRef event, EventPriority priority);

// Translates host input into events and dispatches them, fires due timers, and never
// sleeps while a timer is due; returns after QuitApplicationEventLoop.
void RunApplicationEventLoop(void);
void QuitApplicationEventLoop(void);

// Timers of the loop: first firing after delay, then every interval (0: once).
EventLoopTimerUPP NewEventLoopTimerUPP(EventLoopTimerProcPtr proc);
void DisposeEventLoopTimerUPP(EventLoopTimerUPP upp);
EventLoopRef GetCurrentEventLoop(void);
OSStatus InstallEventLoopTimer(EventLoopRef loop, EventTimeInterval delay,
                               EventTimeInterval interval, EventLoopTimerUPP proc, void *userData,
                               EventLoopTimerRef *outTimer);
OSStatus RemoveEventLoopTimer(EventLoopTimerRef timer);
