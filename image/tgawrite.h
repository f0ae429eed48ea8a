// Writing a picture held in memory as an uncompressed 24-bit TGA file. SaveTGA (image/tga.h),
// which writes what GL drew, lives beside it and writes the same header.
#pragma once

// rgb: width × height × 3 bytes of red, green, blue, bottom row first (as GL reads
// them), written as the file's rows from the bottom up. Non-zero when the whole file
// was written.
int WriteTGA(const char *path, const unsigned char *rgb, int width, int height);
