#include "image/tgawrite.h"

#include <stdio.h>

int WriteTGA(const char *path, const unsigned char *rgb, int width, int height) {
    if (!path || !rgb || width <= 0 || height <= 0 || width > 65535 || height > 65535) return 0;
    unsigned char header[18] = {0, 0, 2};
    header[12] = (unsigned char)(width & 0xff);
    header[13] = (unsigned char)(width >> 8);
    header[14] = (unsigned char)(height & 0xff);
    header[15] = (unsigned char)(height >> 8);
    header[16] = 24; // descriptor 0: the lower-left origin of GL's rows
    FILE *f = fopen(path, "wb");
    if (!f) return 0;
    bool ok = fwrite(header, 1, sizeof header, f) == sizeof header;
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
    if (fclose(f) != 0) ok = false;
    return ok;
}
