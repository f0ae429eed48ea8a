// The benchmark's scene without a display, for the tools: SDL's offscreen video driver
// (unless SDL_VIDEODRIVER names another), a hidden 640 × 480 main window, the scene
// built by AllocScene with the texture of resFolder (a path prefix ending in "/").
#pragma once

// Non-zero when the scene is ready; says why on standard error otherwise.
int OpenOffscreenScene(const char *resFolder);
void CloseOffscreenScene(void);
// folder with a "/" at its end, into dst of kFolderSize bytes; 0 when it does not fit.
int FolderPrefix(char *dst, const char *folder);
