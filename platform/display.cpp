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

static bool DesktopMode(CGDirectDisplayID display, SDL_DisplayMode *mode) {
    if (display != kMainDisplay || !StartVideo()) return false;
    return SDL_GetDesktopDisplayMode((int)display - 1, mode) == 0;
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

void CheckDisplayMode(void) {
    SDL_DisplayMode mode = {};
    if (!SDL_WasInit(SDL_INIT_VIDEO) || SDL_GetDesktopDisplayMode(0, &mode) != 0) return;
    if (SameMode(mode, seenMode)) return;
    seenMode = mode;
    NotifyDisplayChanged();
}
