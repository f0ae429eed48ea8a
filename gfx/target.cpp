#include "gfx/target.h"

#include "image/readback.h"

#define GL_GLEXT_PROTOTYPES 1
#include <GL/gl.h>
#include <GL/glext.h>

unsigned frameTarget;
int frameTargetW, frameTargetH;
static GLuint colourBuffer, depthBuffer;

// Core names: both Mesa drivers give a compatibility context of GL 3 or later, and GPU
// drivers of the last fifteen years do too.
static GLuint Buffer(GLenum format, GLenum attachment, int width, int height) {
    GLuint rb = 0;
    glGenRenderbuffers(1, &rb);
    glBindRenderbuffer(GL_RENDERBUFFER, rb);
    glRenderbufferStorage(GL_RENDERBUFFER, format, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, rb);
    return rb;
}

int OpenFrameTarget(int width, int height) {
    CloseFrameTarget();
    if (width <= 0 || height <= 0) return 0;
    glGenFramebuffers(1, &frameTarget);
    glBindFramebuffer(GL_FRAMEBUFFER, frameTarget);
    colourBuffer = Buffer(GL_RGBA8, GL_COLOR_ATTACHMENT0, width, height);
    depthBuffer = Buffer(GL_DEPTH_COMPONENT16, GL_DEPTH_ATTACHMENT, width, height);
    glBindRenderbuffer(GL_RENDERBUFFER, 0);
    if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
        CloseFrameTarget();
        return 0;
    }
    frameTargetW = width;
    frameTargetH = height;
    return 1;
}

void CloseFrameTarget(void) {
    if (!frameTarget && !colourBuffer && !depthBuffer) return;
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    if (frameTarget) glDeleteFramebuffers(1, &frameTarget);
    if (colourBuffer) glDeleteRenderbuffers(1, &colourBuffer);
    if (depthBuffer) glDeleteRenderbuffers(1, &depthBuffer);
    frameTarget = colourBuffer = depthBuffer = 0;
    frameTargetW = frameTargetH = 0;
}

void ReadFrameTarget(unsigned char *rgb) {
    ReadBackPixels(frameTargetW, frameTargetH, GL_RGB, rgb);
}
