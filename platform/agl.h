// The GL context interface: pixel formats, contexts, drawables, fonts, buffer swaps.
#pragma once

#include "platform/display.h"
#include "platform/types.h"
#include "platform/window.h"

#include <GL/gl.h>

typedef struct OpaqueAGLPixelFormat *AGLPixelFormat;
typedef struct OpaqueAGLContext *AGLContext;
typedef CGrafPtr AGLDrawable;
typedef GDHandle AGLDevice;

enum {
    AGL_NONE = 0,
    AGL_RGBA = 4,
    AGL_DOUBLEBUFFER = 5,
    AGL_DEPTH_SIZE = 12,
    AGL_STENCIL_SIZE = 13,
    AGL_PIXEL_SIZE = 50,
    AGL_FULLSCREEN = 54,
    AGL_NO_RECOVERY = 72,
    AGL_ACCELERATED = 73,
    AGL_SWAP_INTERVAL = 222,
    AGL_FS_CAPTURE_SINGLE = 255,
};

// Validates and records the attribute list (ending in AGL_NONE); null for an unknown
// attribute or a malformed list.
AGLPixelFormat aglChoosePixelFormat(const AGLDevice *gdevs, GLint ndev, const GLint *attribs);
void aglDestroyPixelFormat(AGLPixelFormat pix);

// A double-buffered compatibility context with a 16-bit depth buffer, on a hidden helper
// window until a drawable is attached. share must be null.
AGLContext aglCreateContext(AGLPixelFormat pix, AGLContext share);
GLboolean aglDestroyContext(AGLContext ctx);
// Makes ctx current on its drawable (or its helper window); null makes none current.
GLboolean aglSetCurrentContext(AGLContext ctx);
AGLContext aglGetCurrentContext(void);
// Attaches the context to a window's port; null detaches and releases a full screen.
// A null context has no effect.
GLboolean aglSetDrawable(AGLContext ctx, AGLDrawable drawable);
// Covers display 0 at its desktop size with a borderless window and draws into it.
GLboolean aglSetFullScreen(AGLContext ctx, GLsizei width, GLsizei height, GLsizei freq,
                           GLint device);
GLboolean aglUpdateContext(AGLContext ctx);
GLboolean aglDisable(AGLContext ctx, GLenum pname);
GLboolean aglSetInteger(AGLContext ctx, GLenum pname, const GLint *params);
// Compiles count glyphs from first on, codes as Latin-1, into lists base + code: each
// draws the 1-bit glyph at the raster position and advances it by the glyph's advance.
// face: 0 plain, 1 bold; size in pixels.
GLboolean aglUseFont(AGLContext ctx, GLint fontID, UInt8 face, GLint size, GLint first, GLint count,
                     GLint base);
void aglSwapBuffers(AGLContext ctx);

// Test seam: each of the first four flags set makes the next matching call fail, once.
struct AGLFaults {
    bool choosePixelFormat;
    bool createContext;
    bool setFullScreen;
    bool setCurrentContext;
    // While set, every swap leaves the back buffer cleared to magenta, as drivers that
    // discard it after a swap may: a picture read after the swap is then garbage.
    bool clearAfterSwap;
};
extern AGLFaults gAGLFaults;

// Test seam: what aglSetInteger was last asked for AGL_SWAP_INTERVAL, whatever the driver
// made of it (one without a swap chain may ignore it), and how often.
struct AGLSwapIntervalCall {
    AGLContext context;
    GLint interval;
    int calls;
};
extern AGLSwapIntervalCall gAGLSwapInterval;
