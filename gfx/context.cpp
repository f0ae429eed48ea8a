#include "gfx/context.h"

// up: the context draws into the window the application made from its interface description
#include "app/startup.h"
// up: it follows the test: full screen while one runs, swaps in step with the display or not
#include "bench/state.h"
#include "gfx/text.h"
#include "platform/display.h"
#include "platform/fonts.h"

#include <GL/glu.h>
#include <stdio.h>

AGLContext aglContext;
AGLPixelFormat aglPixFmt;
Point resolution;
SInt32 bpp;
UInt32 fontList;
UInt32 bigFontList;

static char vendorCopy[kRendererStringSize];
static char rendererCopy[kRendererStringSize];
static char versionCopy[kRendererStringSize];
const char *gl_vendor;
const char *gl_renderer;
const char *gl_version;

const char kInitAlertTitle[] = "OpenGL Init";
const char kNoPixelFormatText[] = "Unable to choose right pixel format for this device";
const char kNoContextText[] = "Unable to create graphic context";
const char kNoFullScreenText[] = "Unable to switch to fullscreen mode";

static const char kFontFamily[] = "Geneva";

// Fills the attribute list for the current mode; returns the number of entries.
static int PixelFormatAttributes(GLint *attribs) {
    int n = 0;
    attribs[n++] = AGL_RGBA;
    attribs[n++] = AGL_DOUBLEBUFFER;
    attribs[n++] = AGL_ACCELERATED;
    attribs[n++] = AGL_NO_RECOVERY;
    attribs[n++] = AGL_PIXEL_SIZE;
    attribs[n++] = bpp;
    attribs[n++] = AGL_DEPTH_SIZE;
    attribs[n++] = 16;
    attribs[n++] = AGL_STENCIL_SIZE;
    attribs[n++] = 0;
    if (fullscreen) attribs[n++] = AGL_FULLSCREEN;
    attribs[n++] = AGL_NONE;
    return n;
}

// Attaches the new context to the full screen or the window and makes it current.
static int AttachContext(void) {
    if (fullscreen) {
        if (!aglSetFullScreen(aglContext, resolution.h, resolution.v, 0, 0))
            return Error(kInitAlertTitle, kNoFullScreenText);
        if (!aglSetCurrentContext(aglContext)) {
            aglSetDrawable(aglContext, NULL);
            return 0;
        }
        return 1;
    }
    if (!aglSetCurrentContext(aglContext)) return 0;
    aglSetDrawable(aglContext, GetWindowPort(window));
    return 1;
}

static void SetFixedState(void) {
    glFrontFace(GL_CW);
    glEnable(GL_CULL_FACE);
    glPolygonMode(GL_FRONT, GL_FILL);
    glCullFace(GL_BACK);
    glDepthMask(GL_TRUE);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glClearDepth(1.0);
    glDisable(GL_BLEND);
    glEnable(GL_AUTO_NORMAL);
    glEnable(GL_NORMALIZE);
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_ALPHA_TEST);
}

static SInt32 FontFamily(void) {
    Str255 name;
    SInt16 family = 0;
    cstr2pstr(name, kFontFamily);
    GetFNum(name, &family);
    return family;
}

// Keeps a bounded copy of a driver string; a missing one reads as empty.
static const char *CopyRendererString(char *copy, GLenum name) {
    const GLubyte *s = glGetString(name);
    snprintf(copy, kRendererStringSize, "%s", s ? (const char *)s : "");
    return copy;
}

int StartOpenGL(void) {
    CGDirectDisplayID display = CGMainDisplayID();
    bpp = CGDisplayBitsPerPixel(display);

    GLint attribs[16];
    PixelFormatAttributes(attribs);
    if (fullscreen) {
        resolution.h = (SInt16)CGDisplayPixelsWide(display);
        resolution.v = (SInt16)CGDisplayPixelsHigh(display);
        AGLDevice device = GetMainDevice();
        aglPixFmt = aglChoosePixelFormat(&device, 1, attribs);
    } else {
        aglPixFmt = aglChoosePixelFormat(NULL, 1, attribs);
    }
    if (!aglPixFmt) return Error(kInitAlertTitle, kNoPixelFormatText);

    aglContext = aglCreateContext(aglPixFmt, NULL);
    if (!aglContext) return Error(kInitAlertTitle, kNoContextText);
    if (!AttachContext()) return 0;
    if (fullscreen) {
        // The full screen has now settled at the display's size in the pixels it draws,
        // which on a scaled output is more than the mode the display reported before.
        resolution.h = (SInt16)CGDisplayPixelsWide(display);
        resolution.v = (SInt16)CGDisplayPixelsHigh(display);
    }

    aglDestroyPixelFormat(aglPixFmt);
    aglPixFmt = NULL;
    aglDisable(aglContext, AGL_FS_CAPTURE_SINGLE);
    SetSync();
    SetFixedState();

    fontList = buildFontGL(aglContext, FontFamily(), 0, 12);
    bigFontList = buildFontGL(aglContext, FontFamily(), 1, 24);

    gl_vendor = CopyRendererString(vendorCopy, GL_VENDOR);
    gl_renderer = CopyRendererString(rendererCopy, GL_RENDERER);
    gl_version = CopyRendererString(versionCopy, GL_VERSION);

    glClearColor(0.0f, 0.1f, 0.2f, 0.0f);
    return 1;
}

void SetSync(void) {
    if (!aglContext) return;
    GLint interval = test_swap ? 1 : 0;
    aglSetInteger(aglContext, AGL_SWAP_INTERVAL, &interval);
}

void ResizeGL(void) {
    if (!aglContext) return;
    if (!fullscreen) {
        Rect r;
        GetWindowPortBounds(window, &r);
        resolution.h = (SInt16)(r.right - r.left);
        resolution.v = (SInt16)(r.bottom - r.top);
        SetPort(GetWindowPort(window));
    }
    aglSetCurrentContext(aglContext);
    aglUpdateContext(aglContext);

    glViewport(0, 0, resolution.h, resolution.v);
    SetProjection(resolution.h, resolution.v);
}

void SetProjection(int width, int height) {
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    // A window shrunk to no height still gets a finite projection.
    float h = height > 0 ? (float)height : 1.0f;
    float aspect = (float)width / h;
    gluPerspective(45.0, (double)aspect, 1.0, 8000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
}

void FinishGL(void) {
    glFinish();
}
