#include "platform/agl.h"
#include "platform/agl_internal.h"
#include "platform/fonts_internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <limits.h>
#include <stdlib.h>
#include <string.h>

// One FreeType library for the life of the process; faces are opened per call and closed.
static FT_Library library;

static bool StartFreeType(void) {
    return library || FT_Init_FreeType(&library) == 0;
}

// The pixel-store state glBitmap is compiled under; bits are copied into the list at
// compile time, so the caller's unpacking must not apply to our tightly packed rows.
struct UnpackState {
    GLint alignment, rowLength, skipRows, skipPixels, lsbFirst;
};

static void SaveUnpack(UnpackState *s) {
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &s->alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &s->rowLength);
    glGetIntegerv(GL_UNPACK_SKIP_ROWS, &s->skipRows);
    glGetIntegerv(GL_UNPACK_SKIP_PIXELS, &s->skipPixels);
    glGetIntegerv(GL_UNPACK_LSB_FIRST, &s->lsbFirst);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    glPixelStorei(GL_UNPACK_LSB_FIRST, GL_FALSE);
}

static void RestoreUnpack(const UnpackState *s) {
    glPixelStorei(GL_UNPACK_ALIGNMENT, s->alignment);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, s->rowLength);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, s->skipRows);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, s->skipPixels);
    glPixelStorei(GL_UNPACK_LSB_FIRST, s->lsbFirst);
}

// FreeType's rows run top down, glBitmap's bottom up; both put the leftmost pixel in the
// high bit. A grey bitmap (some embedded strikes) is cut at half intensity.
static bool FlipBitmap(const FT_Bitmap *b, GLubyte **bits, size_t *capacity) {
    size_t rowBytes = (b->width + 7) / 8, need = rowBytes * b->rows;
    if (need > *capacity) {
        GLubyte *grown = (GLubyte *)realloc(*bits, need);
        if (!grown) return false;
        *bits = grown;
        *capacity = need;
    }
    memset(*bits, 0, need);
    const unsigned char *top =
        b->pitch >= 0 ? b->buffer : b->buffer - (long)(b->rows - 1) * b->pitch;
    for (unsigned r = 0; r < b->rows; r++) {
        const unsigned char *src = top + (long)r * b->pitch;
        GLubyte *dst = *bits + (b->rows - 1 - r) * rowBytes;
        if (b->pixel_mode == FT_PIXEL_MODE_MONO)
            memcpy(dst, src, rowBytes);
        else if (b->pixel_mode == FT_PIXEL_MODE_GRAY)
            for (unsigned x = 0; x < b->width; x++)
                if (src[x] >= 128) dst[x / 8] |= (GLubyte)(0x80 >> (x % 8));
    }
    return true;
}

static const GLubyte kBlank[1] = {0};

static bool CompileGlyph(FT_Face face, bool embolden, int code, GLuint list, GLubyte **bits,
                         size_t *capacity) {
    FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)code);
    // Codes the font has no glyph for (the control codes, mostly) draw nothing and stay
    // put, rather than showing the font's missing-glyph box.
    bool drawn = index && FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) == 0;
    if (drawn && embolden) FT_GlyphSlot_Embolden(face->glyph);
    if (drawn && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) drawn = false;
    const FT_GlyphSlot g = face->glyph;
    if (drawn && !FlipBitmap(&g->bitmap, bits, capacity)) return false;
    glNewList(list, GL_COMPILE);
    if (drawn && g->bitmap.width && g->bitmap.rows)
        glBitmap((GLsizei)g->bitmap.width, (GLsizei)g->bitmap.rows, (GLfloat)-g->bitmap_left,
                 (GLfloat)((int)g->bitmap.rows - g->bitmap_top), g->advance.x / 64.0f, 0, *bits);
    else // Mesa reports running out of memory when a listed bitmap has no pointer, even
         // one of no size
        glBitmap(0, 0, 0, 0, drawn ? g->advance.x / 64.0f : 0, 0, kBlank);
    glEndList();
    return true;
}

GLboolean aglUseFont(AGLContext ctx, GLint fontID, UInt8 face, GLint size, GLint first, GLint count,
                     GLint base) {
    // Latin-1 ends at 255, and every list number must be a valid, positive one.
    if (size <= 0 || first < 0 || count < 0 || count > 256 - first || base <= -first ||
        base > INT_MAX - 256 || fontID < SHRT_MIN || fontID > SHRT_MAX)
        return GL_FALSE;
    FontFile file;
    if (!FindFontFile((SInt16)fontID, face & 1, &file) || !StartFreeType()) return GL_FALSE;
    FT_Face ftFace;
    if (FT_New_Face(library, file.path, file.index, &ftFace) != 0) return GL_FALSE;
    AGLContext previous;
    bool ok = FT_Set_Pixel_Sizes(ftFace, 0, (FT_UInt)size) == 0 && AGLBorrow(ctx, &previous);
    if (ok) {
        UnpackState unpack;
        SaveUnpack(&unpack);
        GLubyte *bits = nullptr;
        size_t capacity = 0;
        for (GLint code = first; ok && code < first + count; code++)
            ok = CompileGlyph(ftFace, file.embolden, code, (GLuint)(base + code), &bits, &capacity);
        free(bits);
        RestoreUnpack(&unpack);
        AGLGiveBack(ctx, previous);
    }
    FT_Done_Face(ftFace);
    return ok ? GL_TRUE : GL_FALSE;
}
