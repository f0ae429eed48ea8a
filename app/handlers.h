// The two event handlers that turn input and window changes into the benchmark's controls.
#pragma once

#include "platform/events.h"

// Keys and window changes of the main window.
OSStatus windowEventHandler(EventHandlerCallRef next, EventRef event, void *userData);
// Menu commands and the mouse.
OSStatus appEventHandler(EventHandlerCallRef next, EventRef event, void *userData);

enum { kCommandTest = FourCC('t', 'e', 's', 't'), kCommandNew = FourCC('n', 'e', 'w', ' ') };
