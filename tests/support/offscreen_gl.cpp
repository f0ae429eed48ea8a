#include "tests/support/offscreen_gl.h"

#include <SDL.h>
#include <dlfcn.h>
#include <link.h>
#include <stdio.h>

// Pins every library loaded so far. The GL driver is loaded and unloaded behind SDL's
// back; pinned, its allocations keep a module name that the leak checker can suppress.
static int Pin(struct dl_phdr_info *info, size_t, void *) {
    if (info->dlpi_name && info->dlpi_name[0])
        dlopen(info->dlpi_name, RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    return 0;
}

static SDL_Window *testWindow;
static SDL_GLContext testContext;

bool OpenOffscreenGL(int width, int height) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        fprintf(stderr, "SDL video: %s\n", SDL_GetError());
        return false;
    }
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    testWindow =
        SDL_CreateWindow("test", 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (testWindow) testContext = SDL_GL_CreateContext(testWindow);
    if (!testContext) {
        fprintf(stderr, "GL context: %s\n", SDL_GetError());
        CloseOffscreenGL();
        return false;
    }
    dl_iterate_phdr(Pin, nullptr);
    return true;
}

void CloseOffscreenGL(void) {
    if (testContext) SDL_GL_DeleteContext(testContext);
    if (testWindow) SDL_DestroyWindow(testWindow);
    testContext = nullptr;
    testWindow = nullptr;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void UseOffscreenVideo(void) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
}

void PinLoadedLibraries(void) {
    dl_iterate_phdr(Pin, nullptr);
}

CurrentDrawable GetCurrentDrawable(void) {
    CurrentDrawable d = {0, 0, 0, false, false};
    SDL_Window *w = SDL_GL_GetCurrentContext() ? SDL_GL_GetCurrentWindow() : nullptr;
    if (!w) return d;
    d.id = SDL_GetWindowID(w);
    SDL_GL_GetDrawableSize(w, &d.width, &d.height);
    Uint32 flags = SDL_GetWindowFlags(w);
    d.shown = flags & SDL_WINDOW_SHOWN;
    d.borderless = flags & SDL_WINDOW_BORDERLESS;
    return d;
}

bool WindowExists(unsigned id) {
    return SDL_GetWindowFromID(id) != nullptr;
}
