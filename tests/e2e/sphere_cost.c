/* A renderer whose spheres cost what a test asks, for the end-to-end tests: preloaded into
   the real program (LD_PRELOAD), it draws every sphere and then sleeps KELVANE_SPHERE_US
   microseconds, so that a test stops at a small grid within seconds, on any machine. A
   sphere is the display list made alone (glGenLists(1)); a font's glyphs are made 256 at a
   time and cost nothing more. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <stdlib.h>
#include <time.h>

static GLuint sphereList;

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
    if (cost < 0) {
        const char *us = getenv("KELVANE_SPHERE_US");
        cost = us ? atol(us) : 0;
    }
    real(list);
    if (list != sphereList || cost <= 0) return;
    struct timespec t = {cost / 1000000, cost % 1000000 * 1000};
    nanosleep(&t, NULL);
}
