#include "image/tgawrite.h"

#include "image/readback.h"
#include "image/tga.h"

#include <GL/gl.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

// The header holds 16-bit sizes; anything else cannot be described.
static bool Describable(int width, int height) {
    return width >= 0 && height >= 0 && width <= 0xffff && height <= 0xffff;
}

// Opens path and writes the header of an uncompressed 24-bit picture, rows from the bottom
// up (descriptor 0: GL's row order). Null when nothing could be written.
static FILE *StartFile(const char *path, int width, int height) {
    if (!path || !Describable(width, height)) return NULL;
    unsigned char header[kTgaHeaderSize] = {0};
    header[2] = 2; // uncompressed true colour
    header[12] = (unsigned char)(width & 0xff);
    header[13] = (unsigned char)(width >> 8);
    header[14] = (unsigned char)(height & 0xff);
    header[15] = (unsigned char)(height >> 8);
    header[16] = 24;
    FILE *f = fopen(path, "wb");
    if (f && fwrite(header, 1, sizeof header, f) != sizeof header) {
        fclose(f);
        return NULL;
    }
    return f;
}

// Closes f; non-zero when it and everything before was written. A file cut short (a full
// disk) is removed, so that no half picture stands where the screenshot should be; only a
// regular file, never a device the name led to.
static int EndFile(const char *path, FILE *f, bool ok) {
    struct stat st;
    bool regular = fstat(fileno(f), &st) == 0 && S_ISREG(st.st_mode);
    ok = fclose(f) == 0 && ok;
    if (!ok && regular) remove(path);
    return ok;
}

int WriteTGA(const char *path, const unsigned char *rgb, int width, int height) {
    if (!rgb || width <= 0 || height <= 0) return 0;
    FILE *f = StartFile(path, width, height);
    if (!f) return 0;
    bool ok = true;
    unsigned char row[3 * 1024];
    size_t pixels = (size_t)width * height;
    // Blue, green, red in the file; converted a bounded run of pixels at a time.
    for (size_t p = 0; ok && p < pixels;) {
        size_t run = pixels - p < 1024 ? pixels - p : 1024;
        for (size_t k = 0; k < run; k++) {
            row[k * 3] = rgb[(p + k) * 3 + 2];
            row[k * 3 + 1] = rgb[(p + k) * 3 + 1];
            row[k * 3 + 2] = rgb[(p + k) * 3];
        }
        ok = fwrite(row, 1, run * 3, f) == run * 3;
        p += run;
    }
    return EndFile(path, f, ok);
}

int SaveTGA(const char *path, int width, int height) {
    if (!path || !Describable(width, height)) return 0;
    size_t size = (size_t)width * (size_t)height * 3;
    unsigned char *pixels = (unsigned char *)malloc(size ? size : 1);
    if (!pixels) return 0;
    ReadBackPixels(width, height, GL_BGR, pixels); // the file's own order
    FILE *f = StartFile(path, width, height);
    int ok = f && EndFile(path, f, fwrite(pixels, 1, size, f) == size);
    free(pixels);
    return ok;
}
