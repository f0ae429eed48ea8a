// Reading what GL drew back into memory.
#pragma once

// Reads the lower-left width × height pixels of the current read buffer into out: 3 bytes
// a pixel in format's order (GL_RGB or GL_BGR), bottom row first, rows packed without
// padding. Leaves GL's pack alignment as it found it.
void ReadBackPixels(int width, int height, unsigned format, unsigned char *out);
