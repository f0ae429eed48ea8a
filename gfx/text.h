// Bitmap fonts as display lists, and the strings they draw.
#pragma once

#include "platform/agl.h"
#include "platform/types.h"

// Reserves 256 lists and fills them with the family's glyphs; returns the base, or 0.
UInt32 buildFontGL(AGLContext ctx, SInt32 fontID, UInt8 face, SInt32 size);
// Draws s at the current raster position: list base + c for every character c.
void drawCStringGL(const char *s, UInt32 base);
// Writes src into dst as a length-prefixed string, cut to 255 characters.
void cstr2pstr(unsigned char *dst, const char *src);
// Shows a note alert; always returns false, so a set-up step can return it as its failure.
bool Error(const char *title, const char *message);
