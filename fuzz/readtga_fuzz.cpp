// Feeds arbitrary bytes to the TGA reader through a memory-backed file.
#include "image/tga.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <unistd.h>

static int fd = -1;
static char path[64];

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (fd < 0) {
        fd = memfd_create("tga", 0);
        if (fd < 0) abort();
        snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
    }
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != (ssize_t)size) abort();

    int w = -1, h = -1, d = -1;
    unsigned char *pixels = ReadTGA(path, &w, &h, &d);
    if (pixels) {
        // The buffer must hold every pixel the header promised: touch the last byte.
        size_t n = (size_t)w * (size_t)h * (size_t)(d / 8);
        if (size < 18 + n) abort();
        if (n) pixels[n - 1] ^= 1;
        free(pixels);
    }
    return 0;
}
