/* A renderer whose spheres cost what a test asks, for the end-to-end tests: preloaded into
   the real program (LD_PRELOAD), it draws every sphere and then sleeps KELVANE_SPHERE_US
   microseconds, so that a test stops at a small grid within seconds, on any machine. A
   sphere is the display list made alone (glGenLists(1)); a font's glyphs are made 256 at a
   time and cost nothing more. With KELVANE_SPHERE_SKIP=1 a sphere is not drawn at all: what
   is left is the work a fast GPU's driver does for the scene on the processor, to which
   KELVANE_SPHERE_NS adds that many nanoseconds of busy work a sphere.
   Spheres drawn into a framebuffer object (only the renderer's validation draws into one)
   are drawn as they are, at no cost: validation compares pictures, and its grid 12 would
   sleep for seconds. Where a frame draws is seen at its glClear.
   A machine that slows down part-way: once KELVANE_SLOW_AFTER frames of exactly
   KELVANE_SLOW_SPHERES spheres have been drawn, every later glClear sleeps KELVANE_CLEAR_US
   microseconds more. Frames are counted at each glClear, by the spheres since the last.
   A renderer of known cost: with KELVANE_FRAME_SPHERE_US set, each glClear sleeps
   KELVANE_FRAME_US + KELVANE_FRAME_SPHERE_US * S^KELVANE_FRAME_POWER microseconds (the
   power 1 unless given), S the spheres of the frame before, so that a frame takes a known
   function of its spheres plus what the program itself adds; KELVANE_FRAME_LOG names a file
   that gets a line "S REST-US" a frame: the time from that glClear to the next less the
   sleep meant, which is what the program and the sleep's lateness add. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static GLuint sphereList;
static long spheresInFrame;
static int intoFramebufferObject;

static long Setting(const char *name) {
    const char *v = getenv(name);
    return v ? atol(v) : 0;
}

static long long NowNs(void);

static void Spin(long ns) {
    long long until = NowNs() + ns;
    while (NowNs() < until)
        ;
}

static long long NowNs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1000000000LL + t.tv_nsec;
}

static void Sleep(long us) {
    struct timespec t = {us / 1000000, us % 1000000 * 1000};
    if (us > 0) nanosleep(&t, NULL);
}

static int IntoFramebufferObject(void) {
    static void (*get)(GLenum, GLint *);
    if (!get) get = (void (*)(GLenum, GLint *))dlsym(RTLD_NEXT, "glGetIntegerv");
    GLint bound = 0;
    get(0x8CA6 /* GL_FRAMEBUFFER_BINDING */, &bound);
    return bound != 0;
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
    if (list != sphereList || !skip || intoFramebufferObject) real(list);
    if (list != sphereList) return;
    spheresInFrame++;
    if (intoFramebufferObject) return;
    if (spin > 0) Spin(spin);
    Sleep(cost);
}

static double Real(const char *name, double otherwise) {
    const char *v = getenv(name);
    return v ? atof(v) : otherwise;
}

// The known cost of the frame before, slept, and the rest of the time since the last
// glClear (the program's own work, and the sleep's lateness), logged.
static void KnownCost(long spheres) {
    static double fixed, each = -1, power;
    static FILE *log;
    static long long last, owed; // the last glClear, ns; what it meant to sleep
    if (each < 0) {
        each = Real("KELVANE_FRAME_SPHERE_US", 0);
        fixed = Real("KELVANE_FRAME_US", 0);
        power = Real("KELVANE_FRAME_POWER", 1);
        const char *path = getenv("KELVANE_FRAME_LOG");
        if (path && each > 0) log = fopen(path, "w");
    }
    if (!(each > 0)) return;
    long long now = NowNs();
    if (log && last) fprintf(log, "%ld %.0f\n", spheres, (now - last - owed) / 1e3);
    long us = (long)(fixed + each * pow((double)spheres, power) + 0.5);
    last = now;
    owed = us * 1000LL;
    Sleep(us);
}

void glClear(GLbitfield mask) {
    static void (*real)(GLbitfield);
    static long seen;
    if (!real) real = (void (*)(GLbitfield))dlsym(RTLD_NEXT, "glClear");
    long spheres = Setting("KELVANE_SLOW_SPHERES"), after = Setting("KELVANE_SLOW_AFTER");
    if (spheres > 0 && spheresInFrame == spheres) seen++;
    KnownCost(spheresInFrame);
    spheresInFrame = 0;
    intoFramebufferObject = IntoFramebufferObject();
    if (spheres > 0 && seen >= after) Sleep(Setting("KELVANE_CLEAR_US"));
    real(mask);
}
