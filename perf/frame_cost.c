/* A known cost added to every frame, for the paired comparison's benchmark: preloaded into
   both sides, it finishes the frame before at each glClear (once a frame), so that the
   renderer's threads are idle, then sleeps KELVANE_FRAME_COST_US microseconds. Both sides
   finish alike; only the sleep differs, so B's frame takes that much longer than A's and
   the true ratio of their throughputs is A's frame time / (A's + the cost). */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

void glClear(GLbitfield mask) {
    static void (*real)(GLbitfield);
    static long us = -1;
    if (!real) real = (void (*)(GLbitfield))dlsym(RTLD_NEXT, "glClear");
    if (us < 0) us = getenv("KELVANE_FRAME_COST_US") ? atol(getenv("KELVANE_FRAME_COST_US")) : 0;
    glFinish();
    struct timespec t = {us / 1000000, us % 1000000 * 1000};
    if (us > 0) nanosleep(&t, NULL);
    real(mask);
}
