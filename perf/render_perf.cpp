// Does the frame routine measure the GL implementation, or itself? Frames per second of
// Render against a bare loop issuing the same GL calls with none of the benchmark's
// bookkeeping, alternating in one run, at grid sizes 1, 8 and 24. Run: make perf.
#include "bench/frame.h"
#include "bench/accounting.h"
#include "bench/state.h"
#include "bench/tick.h"
#include "gfx/context.h"
#include "gfx/scene.h"
#include "gfx/text.h"
#include "perf/perf_support.h"

#include <GL/gl.h>
#include <algorithm>
#include <initializer_list>
#include <vector>
#include <stdio.h>
#include <string.h>

static char lines[6][255]; // the overlay's texts, formatted once

static void Text(float y, UInt32 font, const char *s) {
    glRasterPos3f(-0.95f, y, 0.0f);
    for (const unsigned char *c = (const unsigned char *)s; *c; c++)
        glCallList(font + *c);
}

static void BareFrame(int n) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0, 0, 0);
    glEnable(GL_LIGHTING);
    glShadeModel(GL_SMOOTH);
    glEnable(GL_TEXTURE_2D);
    glBindTexture(GL_TEXTURE_2D, texAdr);
    glColor4f(1, 1, 1, 1);
    for (int r = 0; r < n; r++)
        for (int c = 0; c < n; c++) {
            glPushMatrix();
            glTranslatef((float)(2 - 2 * n + 4 * c), (float)(2 - 2 * n + 4 * r), (float)(-6 * n));
            glRotatef(rotate, 0.2f, 0, 0.2f);
            glCallList(cubeList);
            glPopMatrix();
        }
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    GLint mode;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glColor4f(1, 1, 1, 1);
    Text(0.9f, fontList, lines[0]);
    Text(0.82f, fontList, lines[1]);
    Text(0.74f, fontList, lines[2]);
    Text(-0.85f, fontList, lines[3]);
    glColor4f(1, 1, 0.4f, 1);
    Text(-0.95f, bigFontList, lines[4]);
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode((GLenum)mode);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
    aglSwapBuffers(aglContext);
    // The spheres turn as in Render: the angle changes what each frame rasterises.
    rotate += 0.5f;
    if (rotate > 360.0f) rotate = 0;
}

// Seconds that one of the two loops takes for `frames` frames, the last one finished.
static double Run(bool bare, int n, int frames) {
    numCubes = n;
    double start = NowSeconds();
    for (int i = 0; i < frames; i++) {
        if (bare)
            BareFrame(n);
        else
            Render();
    }
    glFinish();
    return NowSeconds() - start;
}

int main() {
    if (!OpenPerfWindow(640, 480) || !AllocScene()) {
        fprintf(stderr, "no scene\n");
        return 1;
    }
    printf("Render against a bare GL loop, 640x480 offscreen, 12 pairs of ~0.4 s runs\n");
    for (int n : {1, 8, 24}) {
        snprintf(lines[0], sizeof lines[0], "%s", gl_vendor);
        snprintf(lines[1], sizeof lines[1], "%s", gl_renderer);
        snprintf(lines[2], sizeof lines[2], "%s", gl_version);
        snprintf(lines[3], sizeof lines[3], "%d triangles (MouseWheel to change)", n * n * 1152);
        // Warm both paths, and size the runs: a fixed frame count per run, so that slow
        // frames are timed whole rather than counted in a window they straddle.
        double warm = Run(false, n, 10);
        snprintf(lines[4], sizeof lines[4], "%.0f FPS", (double)fps);
        Run(true, n, 10);
        int frames = (int)(0.4 / (warm / 10)) + 1;
        // A B B A, many pairs: llvmpipe's worker threads on two cores make any one run
        // noisy, so the median of the pairs' ratios is reported.
        std::vector<double> ratios;
        double ours = 0, bare = 0;
        for (int round = 0; round < 12; round++) {
            bool renderFirst = round % 2 == 0;
            double a = 0, b = 0;
            for (int half = 0; half < 2; half++) {
                if ((half == 0) == renderFirst) {
                    a = Run(false, n, frames);
                } else {
                    // The same frame-rate text as Render shows: every glyph is a bitmap draw.
                    snprintf(lines[4], sizeof lines[4], "%.0f FPS", (double)fps);
                    b = Run(true, n, frames);
                }
            }
            ours += a;
            bare += b;
            ratios.push_back(b / a); // frame rate of Render over that of the bare loop
        }
        std::sort(ratios.begin(), ratios.end());
        double median = (ratios[5] + ratios[6]) / 2;
        printf("  N = %2d: Render %7.1f fps, bare %7.1f fps, median ratio %.3f (goal >= 0.98)\n", n,
               12 * frames / ours, 12 * frames / bare, median);
    }

    // The bookkeeping alone, without GL: what Render adds to a frame beyond the GL calls.
    double t = NowSeconds();
    char line[255];
    const int kRounds = 100000;
    for (int i = 0; i < kRounds; i++) {
        for (int j = 0; j < 5; j++)
            snprintf(line, sizeof line, "%d triangles (MouseWheel to change)", i);
        currTime = GetTickCount();
        CountFrame();
    }
    double perFrame = (NowSeconds() - t) / kRounds;
    printf("  bookkeeping: %.2f us a frame, %.4f%% of a 1000 fps frame\n", perFrame * 1e6,
           perFrame * 1e3 * 100);
    FreeScene();
    return 0;
}
