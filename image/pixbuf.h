// In-place operations on pixel buffers: height rows of width pixels of bpp bytes each,
// rows packed one after another, row 0 first in memory.
#pragma once

// Reverses the order of the rows.
void util_flip(unsigned char *buffer, int width, int height, int bpp);
// Reverses the order of the pixels within every row; the bytes of a pixel keep their order.
void util_mirror(unsigned char *buffer, int width, int height, int bpp);
// Reverses the four bytes at p.
void swap(unsigned char *p);
// Exchanges the two bytes at p.
void swap16(unsigned char *p);
