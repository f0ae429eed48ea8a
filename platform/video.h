// Which kind of video the host layer starts: a window system for the program's own window,
// or whatever SDL finds (tests choose SDL's offscreen driver themselves).
#pragma once

// Starts video on a window system that shows windows (X11 or Wayland) and on nothing else:
// SDL would otherwise fall back to drivers whose windows nobody sees. Honours a
// SDL_VIDEODRIVER of x11 or wayland; without one, tries X11 (so XWayland where there is
// one), then Wayland. Non-zero on success.
int StartWindowSystem(void);

// Why StartWindowSystem failed, in SDL's words; empty after a success.
const char *WindowSystemError(void);
