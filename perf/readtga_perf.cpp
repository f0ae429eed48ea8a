// How fast ReadTGA loads a 4096 × 4096 32-bit image, against stb_image on the same file
// and against a bare read of the same bytes into one buffer. Also the reader's peak memory.
// Run: make perf (or build/perf/perf_readtga [path]).
#include "image/tga.h"
#include "perf/measure.h"

#define STB_IMAGE_IMPLEMENTATION
#define STBI_ONLY_TGA
#include <stb/stb_image.h>

#include <algorithm>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <vector>

static const int kSide = 4096;
static const size_t kPixelBytes = (size_t)kSide * kSide * 4;

static bool WriteImage(const char *path) {
    unsigned char header[18] = {0, 0, 2};
    header[12] = kSide & 0xff;
    header[13] = kSide >> 8;
    header[14] = kSide & 0xff;
    header[15] = kSide >> 8;
    header[16] = 32;
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    std::vector<unsigned char> row(kSide * 4);
    fwrite(header, 1, sizeof header, f);
    for (int y = 0; y < kSide; y++) {
        for (size_t i = 0; i < row.size(); i++)
            row[i] = (unsigned char)(i ^ y);
        fwrite(row.data(), 1, row.size(), f);
    }
    return fclose(f) == 0;
}

static double TimeReadTga(const char *path) {
    int w, h, d;
    double t = NowSeconds();
    unsigned char *p = ReadTGA(path, &w, &h, &d);
    t = NowSeconds() - t;
    if (!p || w != kSide || d != 32) exit(1);
    free(p);
    return t;
}

static double TimeStb(const char *path) {
    int w, h, n;
    double t = NowSeconds();
    unsigned char *p = stbi_load(path, &w, &h, &n, 0);
    t = NowSeconds() - t;
    if (!p || w != kSide || n != 4) exit(1);
    stbi_image_free(p);
    return t;
}

static double TimeBareRead(const char *path) {
    double t = NowSeconds();
    FILE *f = fopen(path, "rb");
    unsigned char *p = (unsigned char *)malloc(kPixelBytes);
    fseek(f, 18, SEEK_SET);
    size_t got = fread(p, 1, kPixelBytes, f);
    fclose(f);
    t = NowSeconds() - t;
    if (got != kPixelBytes) exit(1);
    free(p);
    return t;
}

static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main(int argc, char **argv) {
    const char *path = argc > 1 ? argv[1] : "/tmp/kelvane-perf-4096.tga";
    if (!WriteImage(path)) {
        fprintf(stderr, "cannot write %s\n", path);
        return 1;
    }
    long before = StatusKiB("VmHWM");
    TimeReadTga(path);
    long peak = StatusKiB("VmHWM") - before;

    std::vector<double> ours, stb, bare;
    for (int round = 0; round < 9; round++) {
        ours.push_back(TimeReadTga(path));
        stb.push_back(TimeStb(path));
        bare.push_back(TimeBareRead(path));
    }
    double o = Median(ours), s = Median(stb), b = Median(bare);
    printf("4096x4096x32 TGA, median of 9 alternating rounds\n");
    printf("  ReadTGA    %7.1f ms\n  stb_image  %7.1f ms\n  bare fread %7.1f ms\n", o * 1e3,
           s * 1e3, b * 1e3);
    printf("  stb_image / ReadTGA = %.2f (goal >= 1.5)\n", s / o);
    printf("  ReadTGA / bare read = %.2f (goal <= 1.25)\n", o / b);
    printf("  ReadTGA peak memory: %.1f MiB for a %.1f MiB image (goal: one buffer)\n",
           peak / 1024.0, kPixelBytes / 1048576.0);
    remove(path);
    return 0;
}
