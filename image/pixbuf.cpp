#include "image/pixbuf.h"

#include <stdlib.h>
#include <string.h>

// Row length in bytes, or 0 when the arguments describe no buffer at all.
static size_t RowBytes(const unsigned char *buffer, int width, int height, int bpp) {
    if (!buffer || width <= 0 || height <= 0 || bpp <= 0) return 0;
    return (size_t)width * (size_t)bpp;
}

void util_flip(unsigned char *buffer, int width, int height, int bpp) {
    size_t row = RowBytes(buffer, width, height, bpp);
    if (row == 0 || height < 2) return;
    unsigned char *tmp = (unsigned char *)malloc(row);
    if (!tmp) return; // without a spare row the buffer stays as it was
    for (int i = 0; i < height / 2; i++) {
        unsigned char *a = buffer + (size_t)i * row;
        unsigned char *b = buffer + (size_t)(height - 1 - i) * row;
        memcpy(tmp, a, row);
        memcpy(a, b, row);
        memcpy(b, tmp, row);
    }
    free(tmp);
}

void util_mirror(unsigned char *buffer, int width, int height, int bpp) {
    size_t row = RowBytes(buffer, width, height, bpp);
    if (row == 0) return;
    unsigned char *tmp = (unsigned char *)malloc(row);
    if (!tmp) return;
    for (int r = 0; r < height; r++) {
        unsigned char *line = buffer + (size_t)r * row;
        memcpy(tmp, line, row);
        for (int k = 0; k < width; k++)
            memcpy(line + (size_t)k * bpp, tmp + (size_t)(width - 1 - k) * bpp, (size_t)bpp);
    }
    free(tmp);
}

void swap(unsigned char *p) {
    unsigned char t = p[0];
    p[0] = p[3];
    p[3] = t;
    t = p[1];
    p[1] = p[2];
    p[2] = t;
}

void swap16(unsigned char *p) {
    unsigned char t = p[0];
    p[0] = p[1];
    p[1] = t;
}
