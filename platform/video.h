// Which kind of video the host layer starts: a window system for the program's own window,
// SDL's offscreen driver for a run without any display, or whatever SDL finds (tests choose
// SDL's offscreen driver themselves).
#pragma once

// Starts video on a window system that shows windows (X11 or Wayland) and on nothing else:
// SDL would otherwise fall back to drivers whose windows nobody sees. Honours a
// SDL_VIDEODRIVER of x11 or wayland; without one, tries X11 (so XWayland where there is
// one), then Wayland. Non-zero on success.
int StartWindowSystem(void);

// Why StartWindowSystem failed, in SDL's words; empty after a success.
const char *WindowSystemError(void);

// Starts SDL's offscreen driver, which renders through EGL with no window system at all (on
// the machine's GPU where it has one). The main display is then width x height: the size a
// test's full screen covers. device >= 0 picks that EGL device (SDL's SDL_HINT_EGL_DEVICE,
// whose value from the environment it overrides); -1 leaves the choice to SDL: the hint from
// the environment if set, else the first device that initialises. Loads GL at once so that a
// missing or unusable device is said here. Non-zero on success; WindowSystemError says why not.
int StartOffscreenVideo(int width, int height, int device);

// The running video driver ("x11", "wayland", "offscreen"), or "" before video starts.
const char *VideoDriverName(void);

// The EGL device the offscreen driver renders on: its index in EGL's device list, with its
// DRM node (or "software") in name; -1 when not offscreen or EGL cannot tell.
int EGLDeviceInUse(char *name, int nameSize);

// The DRM node of the device the current GL context renders on, in name: EGL's device of
// the context's display (offscreen, or a Wayland window) where EGL_EXT_device_query says,
// else for a GLX context the card whose PCI vendor and device GLX_MESA_query_renderer gives
// (found under sysDrm, /sys/class/drm, and only where one card alone has them). "software"
// for a renderer without a device of its own. Non-zero when found; name is "" otherwise.
int RenderNodeOfContext(const char *sysDrm, char *name, int nameSize);

// The node (/dev/dri/cardN) of the one card under sysDrm whose device has these PCI ids;
// 0, name "", for none or for more than one.
int DrmCardOfPciIds(const char *sysDrm, unsigned vendor, unsigned device, char *name, int nameSize);

struct EGLDeviceInfo {
    char node[64];      // its DRM node, "software", or empty when EGL does not say
    char renderer[256]; // GL_RENDERER of a context on it, or "unusable: " and why
};

// The EGL devices in the order --device numbers them, each tried as a run on it would be
// (video must not be running). Fills up to max; returns how many EGL lists, -1 when EGL
// cannot list devices.
int ListEGLDevices(EGLDeviceInfo *infos, int max);
// How many devices EGL lists, -1 when it cannot say.
int CountEGLDevices(void);
