#include "tools/offscreen_scene.h"

#include "app/folders.h"
#include "app/startup.h"
#include "gfx/scene.h"
#include "platform/window.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int FolderPrefix(char *dst, const char *folder) {
    size_t n = strlen(folder);
    const char *slash = n && folder[n - 1] == '/' ? "" : "/";
    int w = snprintf(dst, kFolderSize, "%s%s", folder, slash);
    return w > 0 && w < kFolderSize;
}

int OpenOffscreenScene(const char *resFolder) {
    setenv("SDL_VIDEODRIVER", "offscreen", 0);
    if (!FolderPrefix(res_folder, resFolder)) {
        fprintf(stderr, "folder name too long: %s\n", resFolder);
        return 0;
    }
    Rect bounds = {0, 0, 480, 640};
    if (CreateNewWindow(kDocumentWindowClass, kWindowNoAttributes, &bounds, &window) != noErr) {
        fprintf(stderr, "no window on the offscreen video driver\n");
        return 0;
    }
    if (!AllocScene()) {
        fprintf(stderr, "the scene could not be built (texture %s%s)\n", res_folder, kTextureName);
        return 0;
    }
    return 1;
}

void CloseOffscreenScene(void) {
    FreeScene();
    if (window) DisposeWindow(window);
    window = NULL;
}
