#include "platform/display.h"
#include "platform/events_internal.h"
#include "platform/video_internal.h"

#include <SDL.h>

// Display IDs are SDL display indexes plus one, so that 0 never names a display.
static const CGDirectDisplayID kMainDisplay = 1;

struct GDevice {
    int unused;
};
static GDevice mainDevice;
static GDevice *mainDevicePtr = &mainDevice;

// The display's size in the pixels a full-screen surface draws, which SDL's mode may not
// tell: SDL gives a scaled output's logical size, and does not follow a change of mode.
static int fullScreenWidth, fullScreenHeight; // 0: no full screen since SDL's mode changed

static bool DesktopMode(CGDirectDisplayID display, SDL_DisplayMode *mode) {
    if (display != kMainDisplay || !StartVideo()) return false;
    if (SDL_GetDesktopDisplayMode((int)display - 1, mode) != 0) return false;
    if (OffscreenDisplaySize(&mode->w, &mode->h)) return true;
    if (fullScreenWidth > 0) {
        mode->w = fullScreenWidth;
        mode->h = fullScreenHeight;
    }
    return true;
}

CGDirectDisplayID CGMainDisplayID(void) {
    return kMainDisplay;
}

// Reports SDL's bits per pixel as they are: a 32-bit-word format with 8 unused bits (RGB888)
// counts as 24. A format SDL cannot describe (it says 0) counts as 32, so that a display
// that has a mode never reports a depth of 0.
SInt32 CGDisplayBitsPerPixel(CGDirectDisplayID display) {
    SDL_DisplayMode mode;
    if (!DesktopMode(display, &mode)) return 0;
    SInt32 bits = (SInt32)SDL_BITSPERPIXEL(mode.format);
    return bits ? bits : 32;
}

SInt32 CGDisplayPixelsWide(CGDirectDisplayID display) {
    SDL_DisplayMode mode;
    return DesktopMode(display, &mode) ? mode.w : 0;
}

SInt32 CGDisplayPixelsHigh(CGDirectDisplayID display) {
    SDL_DisplayMode mode;
    return DesktopMode(display, &mode) ? mode.h : 0;
}

bool FullScreenBounds(int *x, int *y, int *w, int *h, unsigned *flags) {
    if (!StartVideo()) return false;
    if (OffscreenDisplaySize(w, h)) {
        *x = *y = 0;
        *flags = 0;
        return true;
    }
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(0, &bounds) != 0) return false;
    *x = bounds.x;
    *y = bounds.y;
    *w = bounds.w;
    *h = bounds.h;
    // On a scaled output the surface draws at the output's pixels, not at SDL's smaller
    // logical size that the compositor would stretch.
    *flags = SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS | SDL_WINDOW_ALLOW_HIGHDPI;
    return true;
}

GDHandle GetMainDevice(void) {
    return StartVideo() ? &mainDevicePtr : nullptr;
}

static SDL_DisplayMode seenMode;

static bool SameMode(const SDL_DisplayMode &a, const SDL_DisplayMode &b) {
    return a.w == b.w && a.h == b.h && SDL_BITSPERPIXEL(a.format) == SDL_BITSPERPIXEL(b.format);
}

void NoteDisplayMode(void) {
    SDL_DisplayMode mode = {};
    if (SDL_GetDesktopDisplayMode(0, &mode) == 0) seenMode = mode;
}

// A full-screen surface takes a moment to reach its size after it is made or the display
// changes; a size counts once it has held this long.
static const Uint64 kSettleMillis = 400;
static int candidateWidth, candidateHeight;
static Uint64 candidateSince;

static bool FullScreenChanged(void) {
    SDL_Window *surface = FullScreenSurface();
    SDL_DisplayMode known = {};
    if (!surface || !DesktopMode(kMainDisplay, &known)) return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(surface, &w, &h);
    if (w <= 0 || h <= 0 || (w == known.w && h == known.h)) {
        candidateWidth = candidateHeight = 0;
        return false;
    }
    Uint64 now = SDL_GetTicks64();
    if (w != candidateWidth || h != candidateHeight) {
        candidateWidth = w;
        candidateHeight = h;
        candidateSince = now;
        return false;
    }
    if (now - candidateSince < kSettleMillis) return false;
    fullScreenWidth = w;
    fullScreenHeight = h;
    candidateWidth = candidateHeight = 0;
    return true;
}

// The window system sizes a new full-screen surface a moment after it is made, and a kept
// one may still be on its way to a new mode.
static const Uint64 kHoldMillis = 100;
static const Uint64 kSettleLimitMillis = 1500;

void SettleSize(void (*sample)(void *ctx, int *w, int *h), void *ctx,
                unsigned long long (*ticks)(void), int *w, int *h) {
    sample(ctx, w, h);
    Uint64 start = ticks(), since = start;
    for (Uint64 now = start; now - since < kHoldMillis && now - start < kSettleLimitMillis;
         now = ticks()) {
        SDL_Delay(10);
        int nw = 0, nh = 0;
        sample(ctx, &nw, &nh);
        if (nw != *w || nh != *h) since = ticks();
        *w = nw;
        *h = nh;
    }
}

static void SampleDrawable(void *surface, int *w, int *h) {
    SDL_PumpEvents();
    SDL_GL_GetDrawableSize((SDL_Window *)surface, w, h);
}

static unsigned long long SdlTicks(void) {
    return SDL_GetTicks64();
}

void SettleFullScreen(SDL_Window *surface) {
    int w = 0, h = 0;
    if (!surface || OffscreenDisplaySize(&w, &h)) return;
    SettleSize(SampleDrawable, surface, SdlTicks, &w, &h);
    if (w <= 0 || h <= 0) return;
    fullScreenWidth = w;
    fullScreenHeight = h;
    candidateWidth = candidateHeight = 0;
}

void CheckDisplayMode(void) {
    SDL_DisplayMode mode = {};
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    if (!SameMode(mode, seenMode)) {
        seenMode = mode;
        fullScreenWidth = fullScreenHeight = 0; // SDL has caught up
        NotifyDisplayChanged();
    } else if (FullScreenChanged()) {
        NotifyDisplayChanged();
    }
}
