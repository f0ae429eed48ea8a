// What a window and its port hold, for the host-layer code that works on a port's pixels
// (offscreen worlds, CopyBits, the window's icon) or on its SDL window (GL contexts).
#pragma once

#include "platform/window.h"

struct SDL_Window;

// The window's CPU picture: 4 bytes a pixel, rows top to bottom, rowBytes = width * 4.
// It follows the window's drawable size, but only when someone asks (SyncPort), so a
// window being dragged larger does not reallocate it on every step.
struct OpaqueGrafPort {
    WindowRef window;
    UInt8 *pixels;
    SInt32 width;
    SInt32 height;
    SInt32 rowBytes;
};

struct OpaqueWindowPtr {
    SDL_Window *sdl;
    OpaqueGrafPort port;
    UInt64 shownAt; // when it was last shown, on a counter; 0 while hidden
    WindowRef next;
};

// The program's window behind an SDL window ID; null for any other (the full screen).
WindowRef WindowFromSDL(unsigned windowID);

// Brings the port to the drawable's current size; its pixels are cleared when the size
// changes. False when the pixels could not be had (the port is then empty).
bool SyncPort(CGrafPtr port);

// Called as a window goes away, so that GL contexts drawing into it let go first.
void AGLForgetDrawable(CGrafPtr port);
