// One integer of GL state.
#pragma once

#include <GL/gl.h>

inline GLint GlInt(GLenum name) {
    GLint v[4] = {0, 0, 0, 0};
    glGetIntegerv(name, v);
    return v[0];
}
