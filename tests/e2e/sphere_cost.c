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
   sleep meant, which is what the program and the sleep's lateness add.
   A renderer of known cost whose processor and GPU overlap, as a real GPU's do: with
   KELVANE_CPU_SPHERE_US or KELVANE_GPU_SPHERE_US set (microseconds a sphere, fractions
   allowed), the spheres are not drawn, and a frame of S spheres costs S * CPU slept on the
   rendering thread and S * GPU slept by a thread of this library's own, its GPU. Both are
   paid at the glFlush that ends the frame (the offscreen swap's; a window's swap has none,
   and costs nothing): the rendering thread sleeps its part, queues the GPU's behind the
   frame before, then waits until the frame before is done, as the swap's fences do.
   glFinish flushes a frame not yet flushed, then waits until the GPU has done all it was
   given. A stream of frames then takes max(S * CPU + what the program adds, S * GPU) a
   frame; one frame from an idle GPU, finished with glFinish, takes the sum. Each frame's GPU
   part ends at a set time, S * GPU after the later of its queueing and the end of the frame
   before, so that a late wake-up of the GPU's thread delays no frame after it.
   KELVANE_FRAME_LOG gets a line "S REST-US" a frame: the time from the last wait for the GPU
   to this frame's sleep ending, less the sleep meant, which is what the program and the
   sleep's lateness add to the processor's part. */
#define _GNU_SOURCE
#include <GL/gl.h>
#include <dlfcn.h>
#include <errno.h>
#include <math.h>
#include <pthread.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

static GLuint sphereList;
static long spheresInFrame;
static long spheresToFlush; // the overlapping renderer's, outside framebuffer objects
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

static double Real(const char *name, double otherwise) {
    const char *v = getenv(name);
    return v ? atof(v) : otherwise;
}

static double cpuEach = -1, gpuEach; // the overlapping renderer's costs a sphere, µs

static int Overlapping(void) {
    if (cpuEach < 0) {
        cpuEach = Real("KELVANE_CPU_SPHERE_US", 0);
        gpuEach = Real("KELVANE_GPU_SPHERE_US", 0);
    }
    return cpuEach > 0 || gpuEach > 0;
}

static FILE *FrameLog(void) {
    static FILE *log;
    static int opened;
    if (!opened) {
        const char *path = getenv("KELVANE_FRAME_LOG");
        if (path) log = fopen(path, "w");
        opened = 1;
    }
    return log;
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
    if (list != sphereList || !(skip || Overlapping()) || intoFramebufferObject) real(list);
    if (list != sphereList) return;
    spheresInFrame++;
    if (intoFramebufferObject) return;
    spheresToFlush++;
    if (spin > 0) Spin(spin);
    Sleep(cost);
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
        if (each > 0) log = FrameLog();
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

static void SleepUntil(long long ns) {
    struct timespec t = {ns / 1000000000, ns % 1000000000};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, NULL) == EINTR)
        ;
}

// The GPU: the frames given to it, each with the time it is to end, done in order. The
// rendering thread never lets more than two be left, so four places hold them.
static struct {
    pthread_mutex_t lock;
    pthread_cond_t moved; // a frame given or done
    long long ends[4];    // ns, by the frame's number modulo 4
    long long lastEnd;
    long given, done;
} gpu = {.lock = PTHREAD_MUTEX_INITIALIZER, .moved = PTHREAD_COND_INITIALIZER};

static void *RunGpu(void *unused) {
    (void)unused;
    pthread_mutex_lock(&gpu.lock);
    for (;;) {
        while (gpu.done == gpu.given)
            pthread_cond_wait(&gpu.moved, &gpu.lock);
        long long end = gpu.ends[gpu.done % 4];
        pthread_mutex_unlock(&gpu.lock);
        SleepUntil(end);
        pthread_mutex_lock(&gpu.lock);
        gpu.done++;
        pthread_cond_broadcast(&gpu.moved);
    }
    return NULL;
}

static void GiveGpu(long long ns) {
    static int started;
    pthread_t thread;
    if (!started && pthread_create(&thread, NULL, RunGpu, NULL) != 0) {
        perror("sphere_cost: no GPU thread");
        abort();
    }
    started = 1;
    pthread_mutex_lock(&gpu.lock);
    long long now = NowNs();
    gpu.lastEnd = (gpu.lastEnd > now ? gpu.lastEnd : now) + ns;
    gpu.ends[gpu.given++ % 4] = gpu.lastEnd;
    pthread_cond_broadcast(&gpu.moved);
    pthread_mutex_unlock(&gpu.lock);
}

// Until no more than `left` frames given to the GPU are still to be done.
static void WaitGpu(long left) {
    pthread_mutex_lock(&gpu.lock);
    while (gpu.given - gpu.done > left)
        pthread_cond_wait(&gpu.moved, &gpu.lock);
    pthread_mutex_unlock(&gpu.lock);
}

// A frame's costs, at the flush that ends it: its GPU part queued before the wait for the
// frame before, as the swap places its fence before waiting on the last one, so that the GPU
// goes on from one frame to the next without waiting for this thread to wake.
static long long released; // when the GPU last let the rendering thread go, ns

static void Flushed(void) {
    long us = lround(spheresToFlush * cpuEach);
    Sleep(us);
    FILE *log = FrameLog();
    if (log && released)
        fprintf(log, "%ld %.0f\n", spheresToFlush, (NowNs() - released) / 1e3 - us);
    GiveGpu(llround(spheresToFlush * gpuEach * 1000));
    spheresToFlush = 0;
    WaitGpu(1);
    released = NowNs();
}

void glFlush(void) {
    static void (*real)(void);
    if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "glFlush");
    if (Overlapping()) Flushed();
    real();
}

void glFinish(void) {
    static void (*real)(void);
    if (!real) real = (void (*)(void))dlsym(RTLD_NEXT, "glFinish");
    if (Overlapping()) {
        if (spheresToFlush) Flushed(); // a finish flushes first
        WaitGpu(0);
        released = NowNs();
    }
    real();
}
