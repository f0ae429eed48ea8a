#include "bench/frame.h"

#include "self/folders.h"
#include "bench/accounting.h"
#include "bench/log.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "bench/tick.h"
#include "gfx/context.h"
#include "gfx/scene.h"
#include "gfx/text.h"
#include "image/tga.h"

#include <GL/gl.h>
#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

const char kScreenshotName[] = "Kelvane result.tga";

static const GLfloat kWhite[4] = {1, 1, 1, 1};
static const GLfloat kScoreColour[4] = {1, 1, 0.5f, 1};
static const GLfloat kFpsColour[4] = {1, 1, 0.4f, 1};

void DrawSphere(SInt32 n, SInt32 r, SInt32 c, float angle) {
    glPushMatrix();
    glTranslatef((float)(2 - 2 * n + 4 * c), (float)(2 - 2 * n + 4 * r), (float)(-6 * n));
    glRotatef(angle, 0.2f, 0.0f, 0.2f);
    glCallList(cubeList);
    glPopMatrix();
}

void DrawGrid(SInt32 n, float angle) {
    for (SInt32 r = 0; r < n; r++)
        for (SInt32 c = 0; c < n; c++)
            DrawSphere(n, r, c, angle);
}

void BeginScene(void) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, 0.0f);
    if (test_light) {
        glEnable(GL_LIGHTING);
        glShadeModel(GL_SMOOTH);
    } else {
        glDisable(GL_LIGHTING);
        glShadeModel(GL_FLAT);
    }
    if (test_text) {
        glEnable(GL_TEXTURE_2D);
        glBindTexture(GL_TEXTURE_2D, texAdr);
    } else {
        glDisable(GL_TEXTURE_2D);
    }
    glColor4fv(kWhite);
}

// One overlay line at x = -0.95; the text is cut to the 255-byte line buffer.
static void DrawLine(float y, UInt32 font, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
static void DrawLine(float y, UInt32 font, const char *format, ...) {
    char line[255];
    va_list args;
    va_start(args, format);
    vsnprintf(line, sizeof line, format, args);
    va_end(args);
    glRasterPos3f(-0.95f, y, 0.0f);
    drawCStringGL(line, font);
}

static const char *Text(const char *s) {
    return s ? s : "";
}

static void DrawOverlay(void) {
    glColor4fv(kWhite);
    if (fullscreen) {
        DrawLine(-0.85f, fontList, "Triangles %d  (ESC to abort)", TriangleCount());
    } else {
        if (finalScore == 0) {
            DrawLine(0.9f, fontList, "%s", Text(gl_vendor));
            DrawLine(0.82f, fontList, "%s", Text(gl_renderer));
            DrawLine(0.74f, fontList, "%s", Text(gl_version));
        } else {
            DrawLine(0.9f, bigFontList, "%s", Text(gl_renderer));
            DrawLine(0.77f, bigFontList, "%dx%dx%d", finalResX, finalResY, finalBPP);
            glColor4fv(kScoreColour);
            DrawLine(0.64f, bigFontList, "Score %d", finalScore);
            glColor4fv(kWhite);
        }
        DrawLine(-0.85f, fontList, "%d triangles (MouseWheel to change)", TriangleCount());
    }
    glColor4fv(kFpsColour);
    DrawLine(-0.95f, bigFontList, "%.0f FPS", (double)fps);
}

static void BeginOverlay(GLint *matrixMode) {
    glDisable(GL_LIGHTING);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glGetIntegerv(GL_MATRIX_MODE, matrixMode);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

static void EndOverlay(GLint matrixMode) {
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode((GLenum)matrixMode);
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glEnable(GL_LIGHTING);
}

// The score view is read from the back buffer before it is shown: after a swap the back
// buffer holds nothing defined. The file is written once, whatever SaveTGA answers.
static void SaveScoreView(void) {
    char path[kFolderSize + sizeof kScreenshotName];
    snprintf(path, sizeof path, "%s%s", app_folder, kScreenshotName);
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    errno = 0;
    if (!SaveTGA(path, viewport[2], viewport[3]))
        fprintf(stderr, "kelvane: cannot write %s: %s\n", path,
                errno ? strerror(errno) : "the picture could not be read back");
    finalSave = 1;
}

void Render(void) {
    if (!running) return;
    currTime = GetTickCount();

    BeginScene();
    DrawGrid(numCubes, rotate);

    GLint matrixMode = GL_MODELVIEW;
    BeginOverlay(&matrixMode);
    DrawOverlay();
    EndOverlay(matrixMode);

    if (ScreenshotDue()) SaveScoreView();
    aglSwapBuffers(aglContext);

    if (CountFrame() == kFrameTestOver) EndTest();
}
