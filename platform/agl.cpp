#include "platform/agl.h"
#include "platform/agl_internal.h"
#include "platform/display.h"
#include "platform/port_internal.h"
#include "platform/video_internal.h"

#include <SDL.h>
#include <malloc.h>
#include <stdlib.h>
#include <string.h>

// Longest attribute list taken, terminator included: real lists have a dozen entries, and
// a list without its terminator must be refused before reading far past its end.
enum { kMaxAttribs = 64 };

struct OpaqueAGLPixelFormat {
    GLint attribs[kMaxAttribs];
    int count;
};

struct OpaqueAGLContext {
    SDL_GLContext gl;
    SDL_Window *helper;     // drawn into while nothing is attached
    SDL_Window *fullScreen; // owned: exists only while the context covers the display
    CGrafPtr drawable;
    bool sized; // viewport set for a real drawable once
    AGLContext next;
};

AGLFaults gAGLFaults;
AGLSwapIntervalCall gAGLSwapInterval;
static AGLContext contexts;
static AGLContext current;

static bool TakeFault(bool *flag) {
    bool fail = *flag;
    *flag = false;
    return fail;
}

static bool IsLive(AGLContext ctx) {
    for (AGLContext c = contexts; c; c = c->next)
        if (c == ctx) return true;
    return false;
}

static SDL_Window *Target(AGLContext ctx) {
    if (ctx->fullScreen) return ctx->fullScreen;
    if (ctx->drawable) return ctx->drawable->window->sdl;
    return ctx->helper;
}

// The driver's buffers for a display-sized surface are megabytes, and once glibc has seen
// one freed it serves the next from its heap, where they fragment: without giving the
// memory back, every trip in and out of full screen would leave a few dozen KiB behind.
static bool focusOwed; // a full screen has gone and no window has had the keyboard since

// While the display notification runs, a full screen let go of is kept for the rebuild
// that follows: the window system has already sized it to the display's new mode, which
// SDL 2.26 would not give a new one (it keeps the mode it read at start-up).
static bool holdFullScreens;
static SDL_Window *keptFullScreen;

static void DestroyFullScreen(SDL_Window *window) {
    if (holdFullScreens && !keptFullScreen) {
        keptFullScreen = window;
        return;
    }
    SDL_DestroyWindow(window);
    malloc_trim(0);
    focusOwed = true;
}

void HoldFullScreens(bool hold) {
    holdFullScreens = hold;
    if (hold || !keptFullScreen) return;
    SDL_Window *unused = keptFullScreen;
    keptFullScreen = nullptr;
    DestroyFullScreen(unused);
}

static bool MakeCurrent(AGLContext ctx) {
    if (!ctx) {
        if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_GL_MakeCurrent(nullptr, nullptr);
        current = nullptr;
        return true;
    }
    if (SDL_GL_MakeCurrent(Target(ctx), ctx->gl) != 0) return false;
    current = ctx;
    return true;
}

bool AGLBorrow(AGLContext ctx, AGLContext *previous) {
    *previous = current;
    if (!IsLive(ctx)) return false;
    return ctx == current || MakeCurrent(ctx);
}

void AGLGiveBack(AGLContext ctx, AGLContext previous) {
    if (ctx != previous) MakeCurrent(previous);
}

AGLPixelFormat aglChoosePixelFormat(const AGLDevice *gdevs, GLint ndev, const GLint *attribs) {
    if (TakeFault(&gAGLFaults.choosePixelFormat)) return nullptr;
    // Without a device list the count means nothing: any device will do.
    if (!attribs || (gdevs && ndev < 1)) return nullptr;
    int n = 0;
    for (;;) {
        if (n >= kMaxAttribs) return nullptr;
        GLint a = attribs[n++];
        if (a == AGL_NONE) break;
        switch (a) {
        case AGL_RGBA:
        case AGL_DOUBLEBUFFER:
        case AGL_FULLSCREEN:
        case AGL_NO_RECOVERY:
        case AGL_ACCELERATED: // Mesa renders in software here; asking for speed is no error
            break;
        case AGL_DEPTH_SIZE:
        case AGL_STENCIL_SIZE:
        case AGL_PIXEL_SIZE:
            if (n >= kMaxAttribs || attribs[n] < 0) return nullptr;
            n++;
            break;
        default:
            return nullptr;
        }
    }
    AGLPixelFormat pix = (AGLPixelFormat)calloc(1, sizeof *pix);
    if (!pix) return nullptr;
    memcpy(pix->attribs, attribs, (size_t)n * sizeof *attribs);
    pix->count = n;
    return pix;
}

void aglDestroyPixelFormat(AGLPixelFormat pix) {
    free(pix);
}

AGLContext aglCreateContext(AGLPixelFormat pix, AGLContext share) {
    if (TakeFault(&gAGLFaults.createContext)) return nullptr;
    if (!pix || share) return nullptr;
    AGLContext ctx = (AGLContext)calloc(1, sizeof *ctx);
    if (!ctx) return nullptr;
    ctx->helper = CreateGLWindow("", 0, 0, 1, 1, SDL_WINDOW_HIDDEN);
    if (ctx->helper) ctx->gl = SDL_GL_CreateContext(ctx->helper);
    // SDL makes a new context current; a new context is not current until asked for.
    if (ctx->helper) MakeCurrent(current);
    if (!ctx->gl) {
        if (ctx->helper) SDL_DestroyWindow(ctx->helper);
        free(ctx);
        return nullptr;
    }
    ctx->next = contexts;
    contexts = ctx;
    return ctx;
}

GLboolean aglDestroyContext(AGLContext ctx) {
    if (!IsLive(ctx)) return GL_FALSE;
    ForgetContextFence(ctx->gl);
    if (current == ctx) MakeCurrent(nullptr);
    for (AGLContext *link = &contexts; *link; link = &(*link)->next)
        if (*link == ctx) {
            *link = ctx->next;
            break;
        }
    SDL_GL_DeleteContext(ctx->gl);
    if (ctx->fullScreen) DestroyFullScreen(ctx->fullScreen);
    SDL_DestroyWindow(ctx->helper);
    free(ctx);
    return GL_TRUE;
}

GLboolean aglSetCurrentContext(AGLContext ctx) {
    if (TakeFault(&gAGLFaults.setCurrentContext)) return GL_FALSE;
    if (ctx && !IsLive(ctx)) return GL_FALSE;
    return MakeCurrent(ctx) ? GL_TRUE : GL_FALSE;
}

AGLContext aglGetCurrentContext(void) {
    return current;
}

// Moves the context to its new target before the full-screen window goes, so that it is
// never left current on a destroyed window.
static bool Retarget(AGLContext ctx, CGrafPtr drawable, SDL_Window *fullScreen, bool makeCurrent) {
    CGrafPtr oldDrawable = ctx->drawable;
    SDL_Window *oldFullScreen = ctx->fullScreen;
    ctx->drawable = drawable;
    ctx->fullScreen = fullScreen;
    if (makeCurrent && !MakeCurrent(ctx)) {
        ctx->drawable = oldDrawable;
        ctx->fullScreen = oldFullScreen;
        return false;
    }
    if (oldFullScreen && oldFullScreen != fullScreen) DestroyFullScreen(oldFullScreen);
    // GL sizes the viewport to the first surface a context is made current on, which here
    // is always the 1x1 helper; the first real drawable is what callers expect it to fit.
    if (makeCurrent && (drawable || fullScreen) && !ctx->sized) {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(Target(ctx), &w, &h);
        glViewport(0, 0, w, h);
        glScissor(0, 0, w, h);
        ctx->sized = true;
    }
    return true;
}

GLboolean aglSetDrawable(AGLContext ctx, AGLDrawable drawable) {
    if (!IsLive(ctx)) return GL_FALSE;
    if (!drawable) return Retarget(ctx, nullptr, nullptr, current == ctx) ? GL_TRUE : GL_FALSE;
    WindowRef window = GetWindowFromPort(drawable);
    if (!window) return GL_FALSE;
    if (!Retarget(ctx, drawable, nullptr, true)) return GL_FALSE;
    // Back from a full screen, the window takes the keyboard again: without a window
    // manager nobody else would give it the focus, and keys would go nowhere until a click.
    if (focusOwed) SetUserFocusWindow(window);
    focusOwed = false;
    return GL_TRUE;
}

GLboolean aglSetFullScreen(AGLContext ctx, GLsizei, GLsizei, GLsizei, GLint) {
    if (!IsLive(ctx)) return GL_FALSE;
    if (TakeFault(&gAGLFaults.setFullScreen)) return GL_FALSE;
    // The display keeps its own mode: the width, height and rate asked for are not applied,
    // so the benchmark always measures at the desktop's size.
    int x, y, w, h;
    unsigned flags;
    if (!FullScreenBounds(&x, &y, &w, &h, &flags)) return GL_FALSE;
    SDL_Window *window = keptFullScreen;
    keptFullScreen = nullptr;
    if (!window) window = CreateGLWindow("", x, y, w, h, flags);
    if (!window) return GL_FALSE;
    SettleFullScreen(window);
    if (!Retarget(ctx, nullptr, window, true)) {
        SDL_DestroyWindow(window);
        return GL_FALSE;
    }
    SDL_RaiseWindow(window);
    focusOwed = false;
    return GL_TRUE;
}

SDL_Window *FullScreenSurface(void) {
    if (current && current->fullScreen) return current->fullScreen;
    for (AGLContext c = contexts; c; c = c->next)
        if (c->fullScreen) return c->fullScreen;
    return nullptr;
}

void AGLForgetDrawable(CGrafPtr port) {
    for (AGLContext c = contexts; c; c = c->next)
        if (c->drawable == port) Retarget(c, nullptr, c->fullScreen, current == c);
}

// SDL follows a window's size by itself; there is nothing to bring up to date.
GLboolean aglUpdateContext(AGLContext ctx) {
    return IsLive(ctx) ? GL_TRUE : GL_FALSE;
}

GLboolean aglDisable(AGLContext ctx, GLenum pname) {
    // A full screen here is a window over the display; it never captured the display.
    return IsLive(ctx) && pname == AGL_FS_CAPTURE_SINGLE ? GL_TRUE : GL_FALSE;
}

GLboolean aglSetInteger(AGLContext ctx, GLenum pname, const GLint *params) {
    if (pname != AGL_SWAP_INTERVAL || !params) return GL_FALSE;
    AGLContext previous;
    if (!AGLBorrow(ctx, &previous)) return GL_FALSE;
    gAGLSwapInterval.context = ctx;
    gAGLSwapInterval.interval = params[0];
    gAGLSwapInterval.calls++;
    bool ok = SDL_GL_SetSwapInterval(params[0]) == 0;
    AGLGiveBack(ctx, previous);
    return ok ? GL_TRUE : GL_FALSE;
}

// What a driver that discards the back buffer leaves in it after a swap.
static void SpoilBackBuffer(AGLContext ctx) {
    AGLContext previous;
    if (!AGLBorrow(ctx, &previous)) return;
    glPushAttrib(GL_COLOR_BUFFER_BIT | GL_SCISSOR_BIT);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(1, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glPopAttrib();
    AGLGiveBack(ctx, previous);
}

void aglSwapBuffers(AGLContext ctx) {
    if (!IsLive(ctx)) return;
    SwapGLWindow(Target(ctx));
    if (gAGLFaults.clearAfterSwap) SpoilBackBuffer(ctx);
}
