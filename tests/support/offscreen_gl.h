// A GL context for tests: SDL's offscreen video driver, rendered by Mesa.
#pragma once

// Opens a hidden width × height double-buffered window with a current context.
bool OpenOffscreenGL(int width, int height);
void CloseOffscreenGL(void);

// For tests of the host layer, which starts video itself: picks the offscreen driver
// before anything starts it.
void UseOffscreenVideo(void);
// Keeps every library loaded so far in memory (see Pin in offscreen_gl.cpp).
void PinLoadedLibraries(void);

// The window the current GL context draws into; id 0 when none is current.
struct CurrentDrawable {
    unsigned id;
    int width, height;
    bool shown, borderless;
};
CurrentDrawable GetCurrentDrawable(void);
bool WindowExists(unsigned id);
