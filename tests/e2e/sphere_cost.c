/* A renderer whose spheres cost what a test asks, for the end-to-end tests: preloaded into
   the real program (LD_PRELOAD), it draws every sphere and then sleeps KELVANE_SPHERE_US
   microseconds, so that a test stops at a small grid within seconds, on any machine. A
   sphere is the display list made alone (glGenLists(1)); a font's glyphs are made 256 at a
   time and cost nothing more. With KELVANE_SPHERE_SKIP=1 a sphere is not drawn at all: what
   is left is the work a fast GPU's driver does for the scene on the processor, to which
   KELVANE_SPHERE_NS adds that many nanoseconds of busy work a sphere.
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

static void Spin(long ns) {
    struct timespec t, now;
    clock_gettime(CLOCK_MONOTONIC, &t);
    long long until = t.tv_sec * 1000000000LL + t.tv_nsec + ns;
    do
        clock_gettime(CLOCK_MONOTONIC, &now);
    while (now.tv_sec * 1000000000LL + now.tv_nsec < until);
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
    static long cost = -1, skip = -1, spin = -1;
    if (!real) real = (void (*)(GLuint))dlsym(RTLD_NEXT, "glCallList");
    if (cost < 0) cost = Setting("KELVANE_SPHERE_US");
    if (skip < 0) skip = Setting("KELVANE_SPHERE_SKIP");
    if (spin < 0) spin = Setting("KELVANE_SPHERE_NS");
    if (list != sphereList || !skip) real(list);
    if (list != sphereList) return;
    spheresInFrame++;
    if (spin > 0) Spin(spin);
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
