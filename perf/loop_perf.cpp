// What the event loop costs the benchmark: frames per second of the program's own
// timer-driven loop against a bare loop calling Render, in one run, at grid sizes 1 and 8
// on the offscreen context; and the time from exec to the first frame drawn.
// Run: make perf.
#include "app/folders.h"
#include "app/startup.h"
#include "bench/frame.h"
#include "bench/state.h"
#include "gfx/scene.h"
#include "perf/perf_support.h"
#include "platform/bundle.h"
#include "platform/events.h"

#include <SDL.h>
#include <initializer_list>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

static int rendered;
static double firstFrameAt;

static void CountingTimer(EventLoopTimerRef timer, void *data) {
    TimerAction(timer, data); // exactly what the program's frame timer does
    rendered++;
}
static void Stop(EventLoopTimerRef, void *) {
    QuitApplicationEventLoop();
}

static int LoopFrames(double seconds) {
    rendered = 0;
    EventLoopTimerRef frame = NULL, stop = NULL;
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0.0001, CountingTimer, NULL, &frame);
    InstallEventLoopTimer(GetCurrentEventLoop(), seconds, 0, Stop, NULL, &stop);
    RunApplicationEventLoop();
    RemoveEventLoopTimer(frame);
    return rendered;
}

static int BareFrames(double seconds) {
    int n = 0;
    for (double end = NowSeconds() + seconds; NowSeconds() < end; n++)
        Render();
    return n;
}

static void FirstFrame(EventLoopTimerRef, void *) {
    if (firstFrameAt == 0 && rotate != 0) { // the frame timer has drawn once
        firstFrameAt = NowSeconds();
        QuitApplicationEventLoop();
    }
}

// The child: the program's own start-up on the offscreen driver, up to its first frame.
static int ChildToFirstFrame(const char *bundle) {
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    SetMainBundlePath(bundle);
    if (!NewScene()) return 1;
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0.0001, FirstFrame, NULL, NULL);
    RunApplicationEventLoop();
    printf("%.9f\n", firstFrameAt);
    DeleteScene();
    return 0;
}

static double ExecToFirstFrame(const char *self, const char *bundle) {
    int out[2];
    if (pipe(out) != 0) return -1;
    double start = NowSeconds();
    pid_t pid = fork();
    if (pid == 0) {
        dup2(out[1], 1);
        execl(self, self, "--first-frame", bundle, (char *)NULL);
        _exit(127);
    }
    close(out[1]);
    char text[64] = "";
    ssize_t n = read(out[0], text, sizeof text - 1);
    close(out[0]);
    waitpid(pid, NULL, 0);
    return n > 0 ? atof(text) - start : -1;
}

int main(int argc, char **argv) {
    if (argc == 3 && strcmp(argv[1], "--first-frame") == 0) return ChildToFirstFrame(argv[2]);

    if (!OpenPerfWindow(640, 480) || !AllocScene()) {
        fprintf(stderr, "no scene\n");
        return 1;
    }
    printf("event loop against a bare Render loop, 640x480 offscreen, alternating 1 s runs\n");
    for (int n : {1, 8}) {
        numCubes = n;
        LoopFrames(0.3);
        BareFrames(0.3);
        int loop = 0, bare = 0;
        for (int round = 0; round < 5; round++) {
            loop += LoopFrames(1.0);
            bare += BareFrames(1.0);
        }
        printf("  N = %d: loop %7.1f fps, bare %7.1f fps, ratio %.3f (goal >= %s)\n", n, loop / 5.0,
               bare / 5.0, (double)loop / bare, n == 1 ? "0.95" : "0.99");
    }
    FreeScene();

    char bundle[1024];
    snprintf(bundle, sizeof bundle, "%s/Kelvane.app", KELVANE_BUILD_DIR);
    double best = -1;
    for (int i = 0; i < 5; i++) {
        double t = ExecToFirstFrame("/proc/self/exe", bundle);
        if (t >= 0 && (best < 0 || t < best)) best = t;
    }
    if (best < 0)
        printf("  exec to first frame: could not be measured\n");
    else
        printf("  exec to first frame: %.1f ms (best of 5, offscreen driver)\n", best * 1e3);
    return 0;
}
