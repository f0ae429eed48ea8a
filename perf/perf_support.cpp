#include "perf/perf_support.h"

#include "app/folders.h"
#include "app/startup.h"
#include "platform/window.h"

#include <SDL.h>
#include <stdio.h>
#include <time.h>

double NowSeconds(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

long ResidentKiB(void) {
    FILE *f = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (f && fgets(line, sizeof line, f))
        if (sscanf(line, "VmRSS: %ld kB", &kib) == 1) break;
    if (f) fclose(f);
    return kib;
}

bool OpenPerfWindow(int width, int height) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    snprintf(res_folder, sizeof res_folder, "%s/resources/", KELVANE_SOURCE_DIR);
    Rect bounds = {0, 0, (SInt16)height, (SInt16)width};
    return CreateNewWindow(kDocumentWindowClass, kWindowResizableAttribute, &bounds, &window) ==
           noErr;
}
