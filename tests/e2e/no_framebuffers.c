/* A renderer that cannot make a framebuffer object, for the end-to-end tests: preloaded
   into the real program (LD_PRELOAD), it answers every framebuffer's completeness check
   as such a driver does, so validation has no target to draw its frames into. */
#include <GL/gl.h>

#define GL_FRAMEBUFFER_UNSUPPORTED 0x8CDD

GLenum glCheckFramebufferStatus(GLenum target) {
    (void)target;
    return GL_FRAMEBUFFER_UNSUPPORTED;
}
