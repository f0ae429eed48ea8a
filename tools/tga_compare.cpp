// Compares two 24-bit TGA pictures of one size with validation's tolerance, the first
// taken as the reference; prints the figures and optionally writes the difference picture.
// Usage: tga_compare REFERENCE.tga PICTURE.tga [DIFFERENCE.tga]
// Status: 0 within the tolerance, 1 not, 2 a file that cannot be read or sizes that differ.
#include "validation/compare.h"
#include "image/tga.h"
#include "image/tgawrite.h"

#include <stdio.h>
#include <stdlib.h>

static unsigned char *Read(const char *path, int *w, int *h) {
    int depth = 0;
    unsigned char *p = ReadTGA(path, w, h, &depth);
    if (p && depth != 24) {
        free(p);
        p = NULL;
    }
    if (!p) fprintf(stderr, "%s: no 24-bit TGA picture (the file must be writable)\n", path);
    return p;
}

int main(int argc, char **argv) {
    if (argc != 3 && argc != 4) {
        fprintf(stderr, "usage: %s REFERENCE.tga PICTURE.tga [DIFFERENCE.tga]\n", argv[0]);
        return 2;
    }
    int rw = 0, rh = 0, pw = 0, ph = 0;
    unsigned char *ref = Read(argv[1], &rw, &rh);
    unsigned char *pic = Read(argv[2], &pw, &ph);
    int status = 2;
    if (ref && pic && (rw != pw || rh != ph)) fprintf(stderr, "the sizes differ\n");
    if (ref && pic && rw == pw && rh == ph) {
        PictureDifference d;
        int pass = ComparePictures(ref, pic, rw, rh, &d);
        printf("%s: %s (mean %.3f, edge outliers %.3f%%, other outliers %.4f%%, worst %d)\n",
               argv[2], pass ? "pass" : "fail", d.mean, 100 * d.edgeShare, 100 * d.flatShare,
               d.worst);
        status = pass ? 0 : 1;
        unsigned char *diff = argc == 4 ? (unsigned char *)malloc((size_t)rw * rh * 3) : NULL;
        if (diff) DifferencePicture(ref, pic, rw, rh, diff);
        if (argc == 4 && (!diff || !WriteTGA(argv[3], diff, rw, rh))) status = 2;
        free(diff);
    }
    free(ref);
    free(pic);
    return status;
}
