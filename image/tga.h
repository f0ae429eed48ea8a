// Uncompressed TGA files: 8-bit gray, 24-bit and 32-bit colour.
#pragma once

#include <stdint.h>
#include <stdio.h>

enum { kTgaHeaderSize = 18 };

// Reads an uncompressed 8-, 24- or 32-bit TGA file. Returns a malloc'ed buffer of exactly
// width × height × depth/8 bytes (gray, RGB or RGBA, rows in file order), or null. The
// outputs are written whenever the header was accepted, even when no image is returned.
unsigned char *ReadTGA(const char *path, int *width, int *height, int *depth);

// Decoders for depths 24, 32 and 8: stream at the first pixel byte, length the size of
// the pixel data. Each returns a new buffer of exactly length bytes, or null.
unsigned char *getRGB(FILE *stream, int64_t length);
unsigned char *getRGBA(FILE *stream, int64_t length);
unsigned char *getGray(FILE *stream, int64_t length);

// Writes the lower-left width × height pixels of the current GL read buffer as a
// 24-bit TGA file. Returns 1 when the whole file was written, 0 otherwise.
int SaveTGA(const char *path, int width, int height);
