// The interface description: menu bar and windows from Contents/Resources/<name>.ui.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

typedef struct OpaqueIBNibRef *IBNibRef;

// Loads and checks the description; a missing or malformed file gives a non-zero status.
OSStatus CreateNibReference(const char *name, IBNibRef *outNibRef);
// Installs the named menu bar: its items' key equivalents become commands.
OSStatus SetMenuBarFromNib(IBNibRef nib, const char *menuBarName);
// Creates the named window, hidden, with its title, size and minimum size.
OSStatus CreateWindowFromNib(IBNibRef nib, const char *windowName, WindowRef *outWindow);
void DisposeNibReference(IBNibRef nib);
