// The application's process-wide handles.
#pragma once

#include "platform/window.h"

// The main window; the event handlers overwrite it with the window each window and
// mouse event names.
extern WindowRef window;
