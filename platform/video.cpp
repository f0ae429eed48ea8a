#include "platform/video.h"
#include "platform/video_internal.h"

#include <SDL.h>
#include <stdio.h>
#include <string.h>

static char windowSystemError[512];

bool StartVideo(void) {
    // Asked of SDL rather than remembered: someone else may have stopped video since.
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    InstallHostPump(); // from now on the event loop reads host input
    NoteDisplayMode();
    return true;
}

static bool ShowsWindows(const char *driver) {
    return driver && (strcmp(driver, "x11") == 0 || strcmp(driver, "wayland") == 0);
}

static void AddReason(const char *driver, const char *why) {
    size_t used = strlen(windowSystemError);
    snprintf(windowSystemError + used, sizeof windowSystemError - used, "%s%s: %s",
             used ? "; " : "", driver, why);
}

static bool TryDriver(const char *driver) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, driver);
    if (StartVideo()) return true;
    AddReason(driver, SDL_GetError());
    return false;
}

int StartWindowSystem(void) {
    windowSystemError[0] = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        const char *running = SDL_GetCurrentVideoDriver();
        if (ShowsWindows(running)) return 1;
        AddReason(running ? running : "video", "this driver shows no windows");
        return 0;
    }
    const char *asked = SDL_GetHint(SDL_HINT_VIDEODRIVER);
    if (asked && asked[0]) {
        if (ShowsWindows(asked)) return TryDriver(asked);
        AddReason(asked, "SDL_VIDEODRIVER names no window system (x11 or wayland)");
        return 0;
    }
    if (TryDriver("x11") || TryDriver("wayland")) {
        windowSystemError[0] = 0;
        return 1;
    }
    SDL_SetHint(SDL_HINT_VIDEODRIVER, NULL);
    return 0;
}

const char *WindowSystemError(void) {
    return windowSystemError;
}

// Windows and contexts must agree on the pixel format or a context cannot be made current
// on a window; SDL reads these when each GL window is created, and other code in the
// process may have changed them in between.
static void SetGLAttributes(void) {
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
}

SDL_Window *CreateGLWindow(const char *title, int x, int y, int w, int h, unsigned flags) {
    if (!StartVideo()) return nullptr;
    SetGLAttributes();
    return SDL_CreateWindow(title, x, y, w, h, SDL_WINDOW_OPENGL | flags);
}
