#include "perf/perf_support.h"

#include "app/folders.h"
#include "app/startup.h"
#include "platform/window.h"

#include <SDL.h>
#include <stdio.h>

bool OpenPerfWindow(int width, int height) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    snprintf(res_folder, sizeof res_folder, "%s/resources/", KELVANE_SOURCE_DIR);
    Rect bounds = {0, 0, (SInt16)height, (SInt16)width};
    return CreateNewWindow(kDocumentWindowClass, kWindowResizableAttribute, &bounds, &window) ==
           noErr;
}
