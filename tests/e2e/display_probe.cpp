// The real application on a real display, in a test from start-up on, reporting on
// standard output what a display change does to it: one line whenever the notifications
// seen, the mode, the drawable's size or the readiness of the scene change.
//   display_probe BUNDLE SECONDS
#include "app/startup.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "gfx/context.h"
#include "platform/bundle.h"
#include "platform/video.h"
#include "tests/support/offscreen_gl.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int notifications;
static char lastReport[256];

static void Count(void *, SInt16 message, void *) {
    if (message == kDMNotifyEvent) notifications++;
}

static void Report(EventLoopTimerRef, void *) {
    CurrentDrawable d = GetCurrentDrawable();
    char line[256];
    snprintf(line, sizeof line,
             "notified %d fullscreen %d running %d resolution %dx%d drawable %dx%d", notifications,
             (int)fullscreen, (int)running, resolution.h, resolution.v, d.width, d.height);
    if (strcmp(line, lastReport) == 0) return;
    strcpy(lastReport, line);
    printf("%s\n", line);
    fflush(stdout);
}

static void Stop(EventLoopTimerRef, void *) {
    QuitApplicationEventLoop();
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: display_probe BUNDLE SECONDS\n");
        return 2;
    }
    SetMainBundlePath(argv[1]);
    if (!StartWindowSystem()) {
        fprintf(stderr, "display_probe: %s\n", WindowSystemError());
        return 2;
    }
    if (!NewScene()) return 2;
    ProcessSerialNumber self = {0, kCurrentProcess};
    DMRegisterExtendedNotifyProc(NewDMExtendedNotificationUPP(Count), NULL, 0, &self);
    StartTest();
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0.05, NewEventLoopTimerUPP(Report), NULL,
                          NULL);
    InstallEventLoopTimer(GetCurrentEventLoop(), atof(argv[2]), 0, NewEventLoopTimerUPP(Stop), NULL,
                          NULL);
    RunApplicationEventLoop();
    Report(NULL, NULL);
    DeleteScene();
    return 0;
}
