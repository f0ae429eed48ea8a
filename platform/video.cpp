#include "platform/video_internal.h"

#include <SDL.h>

bool StartVideo(void) {
    // Asked of SDL rather than remembered: someone else may have stopped video since.
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    InstallHostPump(); // from now on the event loop reads host input
    return true;
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
