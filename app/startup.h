// Start-up and shutdown: the application around the event loop.
#pragma once

#include "platform/events.h"
#include "platform/nib.h"
#include "platform/notify.h"
#include "platform/window.h"

extern IBNibRef nibRef; // the interface description "main"
// The main window; the event handlers overwrite it with the window each window and
// mouse event names.
extern WindowRef window;
extern EventHandlerUPP gWindowEventHandler;
extern EventHandlerUPP gAppEventHandler;
extern DMExtendedNotificationUPP gWindowEDMUPP;
extern DMExtendedNotificationUPP gConfigEDMUPP;
extern EventLoopTimerRef theTimer; // the frame timer

extern const char kNibName[];        // "main"
extern const char kMenuBarName[];    // "MenuBar"
extern const char kMainWindowName[]; // "MainWindow"

// Posts a command event with the command ID to the queue, as a menu item would; what
// cannot be made or posted is dropped.
void PostCommand(UInt32 commandID, EventPriority priority);

// Builds the application; 1 when built, 0 when the interface description, its menu bar
// or its window could not be loaded (said on standard error; nothing else is set up).
int NewScene(void);
// Tears down what NewScene built, from any state. Returns 0.
int DeleteScene(void);
// The frame timer: one frame per firing.
void TimerAction(EventLoopTimerRef timer, void *userData);
// Rebuilds the scene after a display configuration change (message 2).
void handleWindowDMEvent(void *userData, SInt16 message, void *notifyData);
void handleConfigDMEvent(void *userData, SInt16 message, void *notifyData);
// The program, as the command line asks (app/cmdline.h): builds, runs the event loop, tears
// down. Returns the exit status: 1 for the window; for --test, see app/cmdline.h.
int KelvaneMain(void);
