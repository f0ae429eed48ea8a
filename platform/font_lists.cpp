#include "platform/agl.h"
#include "platform/agl_internal.h"
#include "platform/fonts_internal.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include <limits.h>
#include <stdlib.h>
#include <string.h>

// One FreeType library for the life of the process; faces are opened per rendering and closed.
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

// A glyph as glBitmap takes it. Rendering through FreeType is most of a font build, and
// every test start and end rebuilds both fonts, so rendered glyphs are kept for the process.
struct Glyph {
    bool drawn; // false: the font has nothing for this code, which then neither draws nor moves
    GLsizei width, rows;
    GLfloat xorig, yorig, advance;
    GLubyte *bits; // rows bottom up, leftmost pixel in the high bit; null when empty
};

struct GlyphSet {
    SInt16 fontID;
    UInt8 face;
    GLint size;
    Glyph glyphs[256];
};

enum { kMaxGlyphSets = 8 };
static GlyphSet *glyphSets[kMaxGlyphSets];

static bool RenderGlyph(FT_Face face, bool embolden, int code, Glyph *out) {
    *out = Glyph();
    FT_UInt index = FT_Get_Char_Index(face, (FT_ULong)code);
    bool drawn = index && FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) == 0;
    if (drawn && embolden) FT_GlyphSlot_Embolden(face->glyph);
    if (drawn && FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) drawn = false;
    if (!drawn) return true;
    const FT_GlyphSlot g = face->glyph;
    out->drawn = true;
    out->advance = g->advance.x / 64.0f;
    if (!g->bitmap.width || !g->bitmap.rows) return true;
    size_t capacity = 0;
    if (!FlipBitmap(&g->bitmap, &out->bits, &capacity)) return false;
    out->width = (GLsizei)g->bitmap.width;
    out->rows = (GLsizei)g->bitmap.rows;
    out->xorig = (GLfloat)-g->bitmap_left;
    out->yorig = (GLfloat)((int)g->bitmap.rows - g->bitmap_top);
    return true;
}

static void FreeGlyphSet(GlyphSet *set) {
    if (!set) return;
    for (Glyph &g : set->glyphs)
        free(g.bits);
    free(set);
}

// Renders all 256 codes of the font at the size; null when the font cannot be had.
static GlyphSet *RenderGlyphSet(SInt16 fontID, UInt8 face, GLint size) {
    FontFile file;
    if (!FindFontFile(fontID, face & 1, &file) || !StartFreeType()) return nullptr;
    FT_Face ftFace;
    if (FT_New_Face(library, file.path, file.index, &ftFace) != 0) return nullptr;
    GlyphSet *set = (GlyphSet *)calloc(1, sizeof *set);
    bool ok = set && FT_Set_Pixel_Sizes(ftFace, 0, (FT_UInt)size) == 0;
    for (int code = 0; ok && code < 256; code++)
        ok = RenderGlyph(ftFace, file.embolden, code, &set->glyphs[code]);
    FT_Done_Face(ftFace);
    if (!ok) {
        FreeGlyphSet(set);
        return nullptr;
    }
    set->fontID = fontID;
    set->face = face;
    set->size = size;
    return set;
}

static GlyphSet *Glyphs(SInt16 fontID, UInt8 face, GLint size) {
    for (GlyphSet *set : glyphSets)
        if (set && set->fontID == fontID && set->face == face && set->size == size) return set;
    GlyphSet *set = RenderGlyphSet(fontID, face, size);
    if (!set) return nullptr;
    // The oldest set makes room; the program itself uses two.
    FreeGlyphSet(glyphSets[kMaxGlyphSets - 1]);
    memmove(&glyphSets[1], &glyphSets[0], (kMaxGlyphSets - 1) * sizeof glyphSets[0]);
    glyphSets[0] = set;
    return set;
}

static void CompileGlyph(const Glyph &g, GLuint list) {
    glNewList(list, GL_COMPILE);
    if (g.bits)
        glBitmap(g.width, g.rows, g.xorig, g.yorig, g.advance, 0, g.bits);
    else // Mesa reports running out of memory when a listed bitmap has no pointer, even
         // one of no size
        glBitmap(0, 0, 0, 0, g.drawn ? g.advance : 0, 0, kBlank);
    glEndList();
}

GLboolean aglUseFont(AGLContext ctx, GLint fontID, UInt8 face, GLint size, GLint first, GLint count,
                     GLint base) {
    // Latin-1 ends at 255, and every list number must be a valid, positive one.
    if (size <= 0 || first < 0 || count < 0 || count > 256 - first || base <= -first ||
        base > INT_MAX - 256 || fontID < SHRT_MIN || fontID > SHRT_MAX)
        return GL_FALSE;
    GlyphSet *set = Glyphs((SInt16)fontID, face & 1, size);
    AGLContext previous;
    if (!set || !AGLBorrow(ctx, &previous)) return GL_FALSE;
    UnpackState unpack;
    SaveUnpack(&unpack);
    for (GLint code = first; code < first + count; code++)
        CompileGlyph(set->glyphs[code], (GLuint)(base + code));
    RestoreUnpack(&unpack);
    AGLGiveBack(ctx, previous);
    return GL_TRUE;
}
