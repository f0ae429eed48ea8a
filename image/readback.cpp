#include "image/readback.h"

#include <GL/gl.h>

void ReadBackPixels(int width, int height, unsigned format, unsigned char *out) {
    GLint alignment = 4;
    glGetIntegerv(GL_PACK_ALIGNMENT, &alignment);
    glPixelStorei(GL_PACK_ALIGNMENT, 1); // rows of width × 3 bytes, nothing between
    glReadPixels(0, 0, width, height, (GLenum)format, GL_UNSIGNED_BYTE, out);
    glPixelStorei(GL_PACK_ALIGNMENT, alignment);
}
