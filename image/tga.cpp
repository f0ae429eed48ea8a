#include "image/tga.h"

#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

// A buffer that free() releases. Large ones are laid on huge pages where the kernel
// offers them: faulting in a big image 4 KiB at a time costs more than reading it.
static unsigned char *AllocPixels(size_t length) {
    const size_t huge = (size_t)2 << 20;
    if (length < huge) return (unsigned char *)malloc(length ? length : 1);
    void *p = NULL;
    if (posix_memalign(&p, huge, length) != 0) return NULL;
    madvise(p, length, MADV_HUGEPAGE);
    return (unsigned char *)p;
}

// Reads exactly length bytes into a new buffer, or returns null.
static unsigned char *ReadPixels(FILE *stream, int64_t length) {
    if (length < 0 || (uint64_t)length > SIZE_MAX) return NULL;
    unsigned char *buf = AllocPixels((size_t)length);
    if (!buf) return NULL;
    if (fread(buf, 1, (size_t)length, stream) != (size_t)length) {
        free(buf);
        return NULL;
    }
    return buf;
}

unsigned char *getRGB(FILE *stream, int64_t length) {
    unsigned char *p = ReadPixels(stream, length);
    if (!p) return NULL;
    size_t n = (size_t)length - (size_t)length % 3;
    for (size_t i = 0; i < n; i += 3) {
        unsigned char b = p[i];
        p[i] = p[i + 2];
        p[i + 2] = b;
    }
    return p;
}

unsigned char *getRGBA(FILE *stream, int64_t length) {
    unsigned char *p = ReadPixels(stream, length);
    if (!p) return NULL;
    // Byte by byte, as getRGB: a word load would put the channels elsewhere on a
    // big-endian host.
    size_t n = (size_t)length - (size_t)length % 4;
    for (size_t i = 0; i < n; i += 4) {
        unsigned char b = p[i];
        p[i] = p[i + 2];
        p[i + 2] = b;
    }
    return p;
}

unsigned char *getGray(FILE *stream, int64_t length) {
    return ReadPixels(stream, length);
}

// Bytes left in the stream from its position on; 0 when that cannot be known, as for
// anything but a regular file, which no picture is stored as.
static int64_t BytesLeft(FILE *stream) {
    struct stat st;
    long pos = ftell(stream);
    if (pos < 0 || fstat(fileno(stream), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < pos)
        return 0;
    return (int64_t)st.st_size - pos;
}

// Opens a regular file for reading without ever waiting: a FIFO or a device under the
// picture's name would block an ordinary open until someone writes to it. Read-only: the
// reader never writes, and an installed texture may not be writable.
static FILE *OpenPicture(const char *path) {
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return NULL;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) ||
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) {
        close(fd);
        return NULL;
    }
    FILE *f = fdopen(fd, "rb");
    if (!f) close(fd);
    return f;
}

unsigned char *ReadTGA(const char *path, int *width, int *height, int *depth) {
    if (!path) return NULL;
    FILE *f = OpenPicture(path);
    if (!f) return NULL;

    unsigned char h[kTgaHeaderSize];
    if (fread(h, 1, sizeof h, f) != sizeof h || h[1] != 0 || (h[2] != 2 && h[2] != 3)) {
        fclose(f);
        return NULL;
    }
    int w = h[12] | h[13] << 8;
    int ht = h[14] | h[15] << 8;
    int d = h[16];

    unsigned char *pixels = NULL;
    int bytes = d == 24 ? 3 : d == 32 ? 4 : d == 8 ? 1 : 0;
    if (bytes && fseek(f, kTgaHeaderSize + h[0], SEEK_SET) == 0) {
        int64_t length = (int64_t)w * ht * bytes;
        // A header promising more pixels than the file holds is refused before allocating.
        if (BytesLeft(f) >= length) {
            if (d == 24)
                pixels = getRGB(f, length);
            else if (d == 32)
                pixels = getRGBA(f, length);
            else
                pixels = getGray(f, length);
        }
    }
    fclose(f);

    if (width) *width = w;
    if (height) *height = ht;
    if (depth) *depth = d;
    return pixels;
}
