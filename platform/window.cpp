#include "platform/events_internal.h"
#include "platform/port_internal.h"
#include "platform/video_internal.h"

#include <SDL.h>
#include <stdlib.h>

static WindowRef windows;
static GrafPtr currentPort;
static UInt64 showCounter;

static bool IsLive(WindowRef window) {
    for (WindowRef w = windows; w; w = w->next)
        if (w == window) return true;
    return false;
}

bool SyncPort(CGrafPtr port) {
    if (!port || !port->window) return false;
    int w = 0, h = 0;
    SDL_GL_GetDrawableSize(port->window->sdl, &w, &h);
    if (w == port->width && h == port->height && (port->pixels || w * h == 0)) return true;
    free(port->pixels);
    port->pixels = nullptr;
    port->width = port->height = port->rowBytes = 0;
    if (w <= 0 || h <= 0) return true;
    port->pixels = (UInt8 *)calloc((size_t)w * (size_t)h, 4);
    if (!port->pixels) return false;
    port->width = w;
    port->height = h;
    port->rowBytes = w * 4;
    return true;
}

OSStatus CreateNewWindow(WindowClass, WindowAttributes attributes, const Rect *bounds,
                         WindowRef *outWindow) {
    if (outWindow) *outWindow = nullptr;
    if (!bounds || !outWindow) return paramErr;
    int w = bounds->right - bounds->left, h = bounds->bottom - bounds->top;
    if (w <= 0 || h <= 0) return paramErr;
    WindowRef window = (WindowRef)calloc(1, sizeof *window);
    if (!window) return memFullErr;
    // A window at the origin would sit under the desktop's own panels; callers that give
    // no place get the middle of the screen.
    int x = bounds->left, y = bounds->top;
    if (x == 0 && y == 0) x = y = SDL_WINDOWPOS_CENTERED;
    unsigned flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
    if (attributes & kWindowResizableAttribute) flags |= SDL_WINDOW_RESIZABLE;
    window->sdl = CreateGLWindow("", x, y, w, h, flags);
    if (!window->sdl) {
        free(window);
        return memFullErr;
    }
    window->port.window = window;
    if (!SyncPort(&window->port)) {
        SDL_DestroyWindow(window->sdl);
        free(window);
        return memFullErr;
    }
    window->next = windows;
    windows = window;
    *outWindow = window;
    return noErr;
}

void DisposeWindow(WindowRef window) {
    if (!IsLive(window)) return;
    AGLForgetDrawable(&window->port);
    for (WindowRef *link = &windows; *link; link = &(*link)->next)
        if (*link == window) {
            *link = window->next;
            break;
        }
    if (currentPort == &window->port) currentPort = nullptr;
    ReleaseWindowTarget(window);
    SDL_DestroyWindow(window->sdl);
    free(window->port.pixels);
    free(window);
}

void ShowWindow(WindowRef window) {
    if (!IsLive(window)) return;
    SDL_ShowWindow(window->sdl);
    window->shownAt = ++showCounter;
}

void HideWindow(WindowRef window) {
    if (!IsLive(window)) return;
    SDL_HideWindow(window->sdl);
    window->shownAt = 0;
}

void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean) {
    if (!IsLive(window) || width <= 0 || height <= 0) return;
    SDL_SetWindowSize(window->sdl, width, height);
}

void SetWindowTitle(WindowRef window, const char *title) {
    if (IsLive(window)) SDL_SetWindowTitle(window->sdl, title ? title : "");
}

CGrafPtr GetWindowPort(WindowRef window) {
    if (!IsLive(window)) return nullptr;
    SyncPort(&window->port);
    return &window->port;
}

Rect *GetWindowPortBounds(WindowRef window, Rect *bounds) {
    if (!bounds) return bounds;
    *bounds = Rect{0, 0, 0, 0};
    if (!IsLive(window)) return bounds;
    SyncPort(&window->port);
    // Rect holds 16-bit coordinates; no display comes near that.
    bounds->bottom = (SInt16)window->port.height;
    bounds->right = (SInt16)window->port.width;
    return bounds;
}

void SetPort(GrafPtr port) {
    currentPort = port;
}

void GetPort(GrafPtr *port) {
    if (port) *port = currentPort;
}

WindowRef GetWindowFromPort(CGrafPtr port) {
    if (!port) return nullptr;
    // Only ports of windows that still exist: a stale port must not lead anywhere.
    for (WindowRef w = windows; w; w = w->next)
        if (&w->port == port) return w;
    return nullptr;
}

WindowRef FrontWindow(void) {
    WindowRef front = nullptr;
    for (WindowRef w = windows; w; w = w->next)
        if (w->shownAt && (!front || w->shownAt > front->shownAt)) front = w;
    return front;
}

OSStatus SetUserFocusWindow(WindowRef window) {
    if (!IsLive(window)) return paramErr;
    SDL_RaiseWindow(window->sdl);
    // X refuses input focus for an unmapped window, and says so with a protocol error.
    if (window->shownAt) SDL_SetWindowInputFocus(window->sdl);
    return noErr;
}

Boolean IsValidWindowPtr(WindowRef window) {
    return IsLive(window);
}

void SetWindowMinimumSize(WindowRef window, SInt16 width, SInt16 height) {
    if (IsLive(window) && width > 0 && height > 0)
        SDL_SetWindowMinimumSize(window->sdl, width, height);
}

WindowRef WindowFromSDL(unsigned windowID) {
    for (WindowRef w = windows; w; w = w->next)
        if (SDL_GetWindowID(w->sdl) == windowID) return w;
    return nullptr;
}
