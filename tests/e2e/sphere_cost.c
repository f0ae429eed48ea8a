/* A renderer whose spheres cost what a test asks, for the end-to-end tests: preloaded into
   the real program (LD_PRELOAD), it draws every sphere and then sleeps KELVANE_SPHERE_US
   microseconds, so that a test stops at a small grid within seconds, on any machine. A
   sphere is the display list made alone (glGenLists(1)); a font's glyphs are made 256 at a
   time and cost nothing more.
   A machine that slows down part-way: once KELVANE_SLOW_AFTER frames of exactly
   KELVANE_SLOW_SPHERES spheres have been drawn, every later glClear sleeps KELVANE_CLEAR_US
   microseconds more. Frames are counted at each glClear, by the spheres since the last. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

static GLuint sphereList;
static long spheresInFrame;

static long Setting(const char *name) {
    const char *v = getenv(name);
    return v ? atol(v) : 0;
}

static void Sleep(long us) {
    struct timespec t = {us / 1000000, us % 1000000 * 1000};
    if (us > 0) nanosleep(&t, NULL);
}

GLuint glGenLists(GLsizei range) {
    static GLuint (*real)(GLsizei);
    if (!real) real = (GLuint(*)(GLsizei))dlsym(RTLD_NEXT, "glGenLists");
    GLuint first = real(range);
    if (range == 1) sphereList = first;
    return first;
}

void glCallList(GLuint list) {
    static void (*real)(GLuint);
    static long cost = -1;
    if (!real) real = (void (*)(GLuint))dlsym(RTLD_NEXT, "glCallList");
    if (cost < 0) cost = Setting("KELVANE_SPHERE_US");
    real(list);
    if (list != sphereList) return;
    spheresInFrame++;
    Sleep(cost);
}

void glClear(GLbitfield mask) {
    static void (*real)(GLbitfield);
    static long seen;
    if (!real) real = (void (*)(GLbitfield))dlsym(RTLD_NEXT, "glClear");
    long spheres = Setting("KELVANE_SLOW_SPHERES"), after = Setting("KELVANE_SLOW_AFTER");
    if (spheres > 0 && spheresInFrame == spheres) seen++;
    spheresInFrame = 0;
    if (spheres > 0 && seen >= after) Sleep(Setting("KELVANE_CLEAR_US"));
    real(mask);
}
