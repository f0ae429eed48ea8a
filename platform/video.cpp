#include "platform/video.h"
#include "platform/video_internal.h"

#include <EGL/egl.h>
#include <EGL/eglext.h>
#include <GL/gl.h>
#include <SDL.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <dirent.h>
#include <string>

static char windowSystemError[512];
static unsigned videoStarts; // how often video has started in this process

bool StartVideo(void) {
    // Asked of SDL rather than remembered: someone else may have stopped video since.
    if (SDL_WasInit(SDL_INIT_VIDEO)) return true;
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return false;
    videoStarts++;
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

static int offscreenWidth, offscreenHeight;
static unsigned offscreenStart; // the video start they belong to; 0: none

// SDL 2.26 reads the device index with atoi and uses it unchecked below the device count, so
// a negative or non-numeric value from the environment would index outside its list.
static bool DeviceHintUsable(const char *hint) {
    if (!hint) return true;
    char *end = nullptr;
    long n = strtol(hint, &end, 10);
    return hint[0] && *end == 0 && n >= 0 && n <= 1024;
}

int StartOffscreenVideo(int width, int height, int device) {
    windowSystemError[0] = 0;
    if (SDL_WasInit(SDL_INIT_VIDEO)) {
        AddReason("offscreen", "video already runs");
        return 0;
    }
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "offscreen", SDL_HINT_OVERRIDE);
    char index[16];
    snprintf(index, sizeof index, "%d", device);
    // SDL names this hint by its macro's name, not by a value.
    if (device >= 0)
        SDL_SetHintWithPriority("SDL_HINT_EGL_DEVICE", index, SDL_HINT_OVERRIDE);
    else
        SDL_ResetHint("SDL_HINT_EGL_DEVICE"); // back to the environment's, if any
    if (!DeviceHintUsable(SDL_GetHint("SDL_HINT_EGL_DEVICE"))) {
        AddReason("offscreen", "SDL_HINT_EGL_DEVICE is not a device number");
        return 0;
    }
    offscreenWidth = width;
    offscreenHeight = height;
    offscreenStart = videoStarts + 1;
    if (!StartVideo()) {
        AddReason("offscreen", SDL_GetError());
        offscreenStart = 0;
        return 0;
    }
    // The EGL device is chosen when GL is loaded; an unusable one is better said now than
    // as a context that cannot be created. GL then stays loaded for the whole run.
    if (SDL_GL_LoadLibrary(nullptr) != 0) {
        AddReason("offscreen EGL", SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        offscreenStart = 0;
        return 0;
    }
    return 1;
}

bool OffscreenDisplaySize(int *width, int *height) {
    // Video started since by anyone else has SDL's own display.
    if (offscreenStart != videoStarts || !offscreenStart || !SDL_WasInit(SDL_INIT_VIDEO))
        return false;
    *width = offscreenWidth;
    *height = offscreenHeight;
    return true;
}

const char *VideoDriverName(void) {
    const char *driver = SDL_WasInit(SDL_INIT_VIDEO) ? SDL_GetCurrentVideoDriver() : nullptr;
    return driver ? driver : "";
}

typedef EGLDisplay(EGLAPIENTRY *CurrentDisplayProc)(void);

// Asked of EGL rather than remembered from the hint: without one SDL takes the first device
// that initialises, which need not be the first in the list.
int EGLDeviceInUse(char *name, int nameSize) {
    if (nameSize > 0) name[0] = 0;
    int w, h;
    if (!OffscreenDisplaySize(&w, &h)) return -1;
    auto currentDisplay = (CurrentDisplayProc)SDL_GL_GetProcAddress("eglGetCurrentDisplay");
    auto queryDisplay =
        (PFNEGLQUERYDISPLAYATTRIBEXTPROC)SDL_GL_GetProcAddress("eglQueryDisplayAttribEXT");
    auto queryDevices = (PFNEGLQUERYDEVICESEXTPROC)SDL_GL_GetProcAddress("eglQueryDevicesEXT");
    auto deviceString =
        (PFNEGLQUERYDEVICESTRINGEXTPROC)SDL_GL_GetProcAddress("eglQueryDeviceStringEXT");
    if (!currentDisplay || !queryDisplay || !queryDevices || !deviceString) return -1;
    EGLDisplay display = currentDisplay();
    EGLAttrib attrib = 0;
    if (display == EGL_NO_DISPLAY || !queryDisplay(display, EGL_DEVICE_EXT, &attrib)) return -1;
    EGLDeviceEXT devices[64];
    EGLint count = 0;
    if (!queryDevices(64, devices, &count)) return -1;
    for (int i = 0; i < count; i++) {
        if (devices[i] != (EGLDeviceEXT)attrib) continue;
        const char *node = deviceString(devices[i], EGL_DRM_DEVICE_FILE_EXT);
        const char *extensions = deviceString(devices[i], EGL_EXTENSIONS);
        if (!node && extensions && strstr(extensions, "EGL_MESA_device_software"))
            node = "software";
        if (nameSize > 0) snprintf(name, (size_t)nameSize, "%s", node ? node : "");
        return i;
    }
    return -1;
}

// The node of the current EGL display's device; "" when EGL cannot tell.
static int EGLNodeOfContext(char *name, int nameSize) {
    auto currentDisplay = (CurrentDisplayProc)SDL_GL_GetProcAddress("eglGetCurrentDisplay");
    auto queryDisplay =
        (PFNEGLQUERYDISPLAYATTRIBEXTPROC)SDL_GL_GetProcAddress("eglQueryDisplayAttribEXT");
    auto deviceString =
        (PFNEGLQUERYDEVICESTRINGEXTPROC)SDL_GL_GetProcAddress("eglQueryDeviceStringEXT");
    if (!currentDisplay || !queryDisplay || !deviceString) return 0;
    EGLDisplay display = currentDisplay();
    EGLAttrib attrib = 0;
    if (display == EGL_NO_DISPLAY || !queryDisplay(display, EGL_DEVICE_EXT, &attrib)) return 0;
    EGLDeviceEXT device = (EGLDeviceEXT)attrib;
    const char *node = deviceString(device, EGL_DRM_DEVICE_FILE_EXT);
    const char *extensions = deviceString(device, EGL_EXTENSIONS);
    if (!node && extensions && strstr(extensions, "EGL_MESA_device_software")) node = "software";
    if (!node) return 0;
    snprintf(name, (size_t)nameSize, "%s", node);
    return 1;
}

// A sysfs file holding one hexadecimal number ("0x1002"); -1 without one.
static long HexFile(const std::string &path) {
    char text[32] = "";
    FILE *f = fopen(path.c_str(), "r");
    if (!f) return -1;
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    text[n] = 0;
    char *end = nullptr;
    long v = strtol(text, &end, 16);
    return end != text && (*end == 0 || *end == '\n') ? v : -1;
}

// GLX_MESA_query_renderer's vendor and device, and whether the renderer is accelerated.
typedef int (*QueryRendererProc)(int attribute, unsigned *value); // X11 Bool: an int
enum { kGlxVendorId = 0x8183, kGlxDeviceId = 0x8184, kGlxAccelerated = 0x8186 };

int DrmCardOfPciIds(const char *sysDrm, unsigned vendor, unsigned device, char *name,
                    int nameSize) {
    if (nameSize > 0) name[0] = 0;
    DIR *d = opendir(sysDrm);
    if (!d) return 0;
    int found = 0;
    while (struct dirent *e = readdir(d)) {
        // card1, never a connector such as card1-DP-1.
        if (strncmp(e->d_name, "card", 4) || strchr(e->d_name, '-')) continue;
        std::string dev = std::string(sysDrm) + "/" + e->d_name + "/device/";
        if (HexFile(dev + "vendor") != (long)vendor || HexFile(dev + "device") != (long)device)
            continue;
        if (found++) break; // two such cards: which one is not known
        snprintf(name, (size_t)nameSize, "/dev/dri/%s", e->d_name);
    }
    closedir(d);
    if (found != 1 && nameSize > 0) name[0] = 0;
    return found == 1;
}

static int GLXNodeOfContext(const char *sysDrm, char *name, int nameSize) {
    auto query = (QueryRendererProc)SDL_GL_GetProcAddress("glXQueryCurrentRendererIntegerMESA");
    unsigned vendor = 0, device = 0, accelerated = 0;
    if (!query || !query(kGlxVendorId, &vendor) || !query(kGlxDeviceId, &device) ||
        !query(kGlxAccelerated, &accelerated))
        return 0;
    if (!accelerated) {
        snprintf(name, (size_t)nameSize, "software");
        return 1;
    }
    return DrmCardOfPciIds(sysDrm, vendor, device, name, nameSize);
}

int RenderNodeOfContext(const char *sysDrm, char *name, int nameSize) {
    if (nameSize > 0) name[0] = 0;
    // Each context is asked in its own interface only: GL's loader hands out a stub for any
    // name, and calling EGL's through a GLX context (or GLX's through EGL) crashes.
    bool glx = !strcmp(VideoDriverName(), "x11") &&
               !SDL_GetHintBoolean(SDL_HINT_VIDEO_X11_FORCE_EGL, SDL_FALSE);
    return glx ? GLXNodeOfContext(sysDrm, name, nameSize) : EGLNodeOfContext(name, nameSize);
}

// How many devices EGL lists: GL must be loaded to ask, so video starts offscreen for it.
int CountEGLDevices(void) {
    if (!StartOffscreenVideo(16, 16, -1)) return -1;
    auto queryDevices = (PFNEGLQUERYDEVICESEXTPROC)SDL_GL_GetProcAddress("eglQueryDevicesEXT");
    EGLint count = 0;
    if (!queryDevices || !queryDevices(0, nullptr, &count)) count = -1;
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    return count;
}

static void SetGLAttributes(void);

// Device i as a run with --device i would find it: its node and the renderer its context
// reports, or why it could not be used.
static void DescribeEGLDevice(int i, EGLDeviceInfo *info) {
    snprintf(info->renderer, sizeof info->renderer, "(unusable)");
    if (!StartOffscreenVideo(16, 16, i)) {
        snprintf(info->renderer, sizeof info->renderer, "unusable: %s", windowSystemError);
        return;
    }
    SetGLAttributes();
    SDL_Window *w = SDL_CreateWindow("", 0, 0, 16, 16, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    SDL_GLContext c = w ? SDL_GL_CreateContext(w) : nullptr;
    const char *renderer = c ? (const char *)glGetString(GL_RENDERER) : nullptr;
    if (renderer)
        snprintf(info->renderer, sizeof info->renderer, "%s", renderer);
    else
        snprintf(info->renderer, sizeof info->renderer, "unusable: %s", SDL_GetError());
    EGLDeviceInUse(info->node, sizeof info->node);
    if (c) SDL_GL_DeleteContext(c);
    if (w) SDL_DestroyWindow(w);
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

int ListEGLDevices(EGLDeviceInfo *infos, int max) {
    int count = CountEGLDevices();
    for (int i = 0; i < count && i < max; i++) {
        infos[i] = EGLDeviceInfo{};
        DescribeEGLDevice(i, &infos[i]);
    }
    return count;
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

// A pbuffer's swap shows nothing and waits for nothing, so frames would queue up unseen
// and be drawn in bursts long after they were counted. An offscreen swap therefore lets
// at most one frame be in flight, as a real swap chain does: it waits until the frame
// before this one is drawn, while this one is being drawn. Without fences (before GL 3.2
// or ARB_sync) it waits for this frame itself.
typedef GLsync (*FenceSyncProc)(GLenum condition, GLbitfield flags);
typedef GLenum (*ClientWaitSyncProc)(GLsync sync, GLbitfield flags, GLuint64 timeout);
typedef void (*DeleteSyncProc)(GLsync sync);

static struct {
    SDL_GLContext context; // whose fences these are: they die with it
    FenceSyncProc fence;
    ClientWaitSyncProc wait;
    DeleteSyncProc remove;
    GLsync inFlight; // the last frame swapped
    int waits;       // swaps that waited for the frame before
} offscreenSwap;

static void FollowContext(SDL_GLContext context) {
    if (offscreenSwap.context == context) return;
    offscreenSwap.context = context;
    offscreenSwap.inFlight = nullptr; // any older fence went with its context
    offscreenSwap.fence = (FenceSyncProc)SDL_GL_GetProcAddress("glFenceSync");
    offscreenSwap.wait = (ClientWaitSyncProc)SDL_GL_GetProcAddress("glClientWaitSync");
    offscreenSwap.remove = (DeleteSyncProc)SDL_GL_GetProcAddress("glDeleteSync");
    bool sync = SDL_GL_ExtensionSupported("GL_ARB_sync");
    if (!sync || !offscreenSwap.fence || !offscreenSwap.wait || !offscreenSwap.remove)
        offscreenSwap.fence = nullptr;
}

static void OffscreenSwapped(void) {
    FollowContext(SDL_GL_GetCurrentContext());
    if (!offscreenSwap.fence) {
        glFinish();
        return;
    }
    GLsync drawn = offscreenSwap.fence(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
    glFlush();
    if (offscreenSwap.inFlight) {
        offscreenSwap.wait(offscreenSwap.inFlight, GL_SYNC_FLUSH_COMMANDS_BIT, 10000000000ull);
        offscreenSwap.remove(offscreenSwap.inFlight);
        offscreenSwap.waits++;
    }
    offscreenSwap.inFlight = drawn;
}

// The driver may give the next context the address of this one: a fence kept past its
// context would then be waited on and deleted by a context it never belonged to.
void ForgetContextFence(void *context) {
    if (!context || offscreenSwap.context != context) return;
    if (offscreenSwap.inFlight && SDL_GL_GetCurrentContext() == context)
        offscreenSwap.remove(offscreenSwap.inFlight);
    offscreenSwap.context = nullptr;
    offscreenSwap.inFlight = nullptr;
}

int OffscreenFenceWaits(void) {
    return offscreenSwap.waits;
}

bool OffscreenFrameInFlight(void) {
    return offscreenSwap.inFlight != nullptr;
}

void SwapGLWindow(SDL_Window *window) {
    SDL_GL_SwapWindow(window);
    int w, h;
    if (OffscreenDisplaySize(&w, &h)) OffscreenSwapped();
}
