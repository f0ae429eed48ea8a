#include "gfx/text.h"

#include "gfx/context.h"
#include "platform/alert.h"

#include <string.h>

UInt32 buildFontGL(AGLContext ctx, SInt32 fontID, UInt8 face, SInt32 size) {
    (void)ctx; // fonts always belong to the scene's context
    GLuint base = glGenLists(256);
    GLboolean ok = base != 0 && aglUseFont(aglContext, fontID, face, size, 0, 256, (GLint)base);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    if (!ok) {
        if (base) glDeleteLists(base, 256);
        return 0;
    }
    return base;
}

void drawCStringGL(const char *s, UInt32 base) {
    // Without a font the codes alone would name lists, some of them the scene's own.
    if (base == 0) return;
    // Unsigned, so that codes 128 to 255 reach their own lists and not ones below base.
    for (const unsigned char *c = (const unsigned char *)s; c && *c; c++)
        glCallList(base + *c);
}

void cstr2pstr(unsigned char *dst, const char *src) {
    size_t n = src ? strlen(src) : 0;
    if (n > 255) n = 255;
    dst[0] = (unsigned char)n;
    if (n) memcpy(dst + 1, src, n);
}

bool Error(const char *title, const char *message) {
    Str255 ptitle, pmessage;
    SInt16 item = 0;
    cstr2pstr(ptitle, title);
    cstr2pstr(pmessage, message);
    StandardAlert(kAlertNoteAlert, ptitle, pmessage, NULL, &item);
    return false;
}
