#include "validation/validframe.h"

#include "bench/frame.h"
#include "bench/state.h"
#include "validation/validfault.h"
#include "gfx/context.h"
#include "gfx/target.h"

#include <GL/gl.h>

// One large sphere, a middle grid and a dense one; the angles show the texture turned
// away from its seams.
const ValidationFrame kValidationFrames[kValidationFrameCount] = {
    {1, 30.0f, "grid01.tga"},
    {4, 75.0f, "grid04.tga"},
    {12, 200.0f, "grid12.tga"},
};
const char kValidationFolder[] = "validation/";

ValidationFault gValidationFault = kFaultNone;

// Every sphere but each fourth one, in Render's order.
static void DrawGridWithGaps(SInt32 n, float angle) {
    for (SInt32 r = 0; r < n; r++)
        for (SInt32 c = 0; c < n; c++)
            if ((r * n + c) % 4 != 3) DrawSphere(n, r, c, angle);
}

// State faults go in after Render's per-frame state and come out after the grid.
static void InjectFault(bool on) {
    switch (gValidationFault) {
    case kFaultNoTexture:
        if (on) glDisable(GL_TEXTURE_2D);
        break;
    case kFaultNoLighting:
        if (on) glDisable(GL_LIGHTING);
        break;
    case kFaultFlatShading:
        glShadeModel(on ? GL_FLAT : GL_SMOOTH);
        break;
    case kFaultCullReversed:
        glCullFace(on ? GL_FRONT : GL_BACK);
        break;
    case kFaultTextureRows:
        // t → −t under GL_REPEAT samples row h−1−i where row i belongs: the texture
        // uploaded upside down, texel for texel.
        glMatrixMode(GL_TEXTURE);
        glLoadIdentity();
        if (on) glScalef(1.0f, -1.0f, 1.0f);
        glMatrixMode(GL_MODELVIEW);
        break;
    default:
        break;
    }
}

int OpenValidationTarget(void) {
    if (gValidationFault == kFaultNoTarget) return 0;
    return OpenFrameTarget(kValidationWidth, kValidationHeight);
}

int DrawValidationFrame(const ValidationFrame *frame, unsigned char *rgb) {
    if (!running || !frameTarget || !frame || !rgb) return 0;
    GLint viewport[4] = {0, 0, 0, 0};
    glGetIntegerv(GL_VIEWPORT, viewport);
    glViewport(0, 0, frameTargetW, frameTargetH);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    bool square = gValidationFault == kFaultWrongAspect;
    SetProjection(square ? frameTargetH : frameTargetW, frameTargetH);

    BeginScene();
    InjectFault(true);
    if (gValidationFault == kFaultFourthSphere)
        DrawGridWithGaps(frame->grid, frame->angle);
    else
        DrawGrid(frame->grid, frame->angle);
    InjectFault(false);
    ReadFrameTarget(rgb);

    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glViewport(viewport[0], viewport[1], viewport[2], viewport[3]);
    return 1;
}
