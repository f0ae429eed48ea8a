// What the event core shares with the host-input translation and the interface description.
#pragma once

#include "platform/events.h"

// A menu key equivalent: the modifiers (controlKey, shiftKey, optionKey bits) and virtual
// key code that issue a command.
struct MenuKey {
    UInt32 modifiers;
    UInt32 keyCode;
    UInt32 command;
};
// Replaces the key equivalents the standard window handler matches; a null list clears them.
void SetMenuKeys(const MenuKey *keys, int count);

// Translates pending host input into events and sends them; waits at most timeoutMs for
// the first one (0: only what is pending; negative: until something arrives).
typedef void (*HostPump)(int timeoutMs);
void SetHostPump(HostPump pump);

// Sends the event where it belongs: window and keyboard events to the target of the
// window they name (the application's when none), everything else to the application.
OSStatus DispatchEvent(EventRef event);

// Makes a plain event of the class and kind with one parameter; null when out of memory.
EventRef MakeEvent(UInt32 eventClass, UInt32 kind);

// The window's handler chain, made on first use and released with the window.
void ReleaseWindowTarget(WindowRef window);

// Calls every registered display-notification procedure with kDMNotifyEvent.
void NotifyDisplayChanged(void);

// For tests: the event loop also returns once it has run this many seconds (0: only a quit
// ends it), and EventLoopTimedOut then says so.
void SetEventLoopLimit(double seconds);
int EventLoopTimedOut(void);

// The last links of the chains: a window's matches the menu key equivalents and sends their
// commands to the application; the application's quits the loop on the quit command.
OSStatus StandardWindowHandler(EventRef event);
OSStatus StandardApplicationHandler(EventRef event);

// What the loop takes from the queue and the timers. DispatchQueued dispatches only what
// was posted before it began: what handlers post waits for the next pass.
int QueuedEventCount(void);
void DispatchQueued(void);
// Seconds on the loop's monotonic clock.
double LoopClock(void);
// For tests: replaces the loop's clock; null restores CLOCK_MONOTONIC. With a host pump that
// moves it on by each wait, a test runs the loop in time of its own, free of the machine's load.
typedef double (*LoopClockSource)(void);
void SetLoopClockSource(LoopClockSource source);
void FireDueTimers(void);
// When the soonest timer is due, on LoopClock; -1 when there is none.
double SoonestTimer(void);
