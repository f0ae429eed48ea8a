// Starting SDL's video subsystem and making GL-capable windows: shared by windows, the
// display queries and the GL contexts, which may each be the first to need video.
#pragma once

struct SDL_Window;

// Makes the event loop translate SDL's input (platform/input.cpp).
void InstallHostPump(void);

// Starts video once, on first need; later calls only report whether it runs.
bool StartVideo(void);

// A window GL can draw into, created with the pixel format every context uses; flags
// are added to SDL_WINDOW_OPENGL. Null when video cannot start or SDL refuses.
SDL_Window *CreateGLWindow(const char *title, int x, int y, int w, int h, unsigned flags);

// The main display's mode as last seen. SDL tells of displays coming and going but not of
// a change of size or depth, so the event pump compares the mode now and then:
// NoteDisplayMode takes it as it is; CheckDisplayMode sends the display notification when
// it has changed since. It looks at SDL's desktop mode and at the size the window system
// gives a full-screen surface, which is the display's size as it is now: SDL 2.26 reads a
// display's mode at start-up and does not follow it later, on X11 or Wayland.
void NoteDisplayMode(void);
void CheckDisplayMode(void);

// Waits until the window system has given a full-screen surface its size (it has held for
// a moment) and takes that size, in the pixels drawn, as the main display's: the size a
// test runs at, which later display changes are measured against.
void SettleFullScreen(SDL_Window *surface);
// Its wait: samples a size every 10 ms until it has held, either side unchanged, for a
// moment (1.5 s at most); w, h the last size sampled. ticks: a millisecond clock.
void SettleSize(void (*sample)(void *ctx, int *w, int *h), void *ctx,
                unsigned long long (*ticks)(void), int *w, int *h);

// The surface of the full screen that a GL context covers, or null when there is none.
SDL_Window *FullScreenSurface(void);
// While true, a full-screen surface that a GL context lets go of is kept for the next one
// that asks; setting it false again releases a surface nobody took.
void HoldFullScreens(bool hold);

// The main display's size when StartOffscreenVideo chose it: true with the size, false when
// the display is SDL's own.
bool OffscreenDisplaySize(int *width, int *height);

// Where a full screen goes: display 0's bounds and the window flags that cover it. On the
// offscreen driver it is a plain surface of the chosen size, since SDL would resize a
// full-screen window to its fixed 1024x768 mode but keep the surface it drew into.
bool FullScreenBounds(int *x, int *y, int *w, int *h, unsigned *flags);

// Presents a GL window's frame. The offscreen driver's surfaces are pbuffers, whose swap does
// nothing at all: the frame is finished there instead, as a window's swap would wait for it,
// or frames would pile up in the driver and be drawn in bursts that the frame rate misreads.
void SwapGLWindow(SDL_Window *window);

// Called before a GL context is deleted: the offscreen swap's fence for its last frame dies
// with it, deleted first when the context is current.
void ForgetContextFence(void *context);
// For tests: how many offscreen swaps have waited for the frame before theirs, and whether
// a swapped frame is in flight.
int OffscreenFenceWaits(void);
bool OffscreenFrameInFlight(void);
