#include "validation/compare.h"

#include <stddef.h>

// Measured between llvmpipe and softpipe, and against the injected faults: see docs/validation.md.
const double kMaxMean = 0.5;
const double kMaxEdgeShare = 0.05;
const double kMaxFlatShare = 0.001;

static int Abs(int v) {
    return v < 0 ? -v : v;
}

int PixelDistance(const unsigned char *a, const unsigned char *b) {
    int d = Abs(a[0] - b[0]);
    int g = Abs(a[1] - b[1]), bl = Abs(a[2] - b[2]);
    if (g > d) d = g;
    if (bl > d) d = bl;
    return d;
}

// Whether the reference changes sharply within one pixel of (x, y): there a correct
// picture may put an edge one pixel over, or filter a texel boundary differently.
static bool AtEdge(const unsigned char *ref, int width, int height, int x, int y) {
    const unsigned char *centre = ref + ((size_t)y * width + x) * 3;
    for (int dy = -1; dy <= 1; dy++) {
        for (int dx = -1; dx <= 1; dx++) {
            int nx = x + dx, ny = y + dy;
            if (nx < 0 || ny < 0 || nx >= width || ny >= height) continue;
            const unsigned char *n = ref + ((size_t)ny * width + nx) * 3;
            if (PixelDistance(centre, n) > kEdgeContrast) return true;
        }
    }
    return false;
}

int ComparePictures(const unsigned char *ref, const unsigned char *pic, int width, int height,
                    PictureDifference *d) {
    PictureDifference r = {0, 0, 0, 0};
    double sum = 0;
    size_t edges = 0, edgeOutliers = 0, flatOutliers = 0;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            size_t i = ((size_t)y * width + x) * 3;
            int dist = PixelDistance(ref + i, pic + i);
            sum += dist;
            if (dist > r.worst) r.worst = dist;
            bool edge = AtEdge(ref, width, height, x, y);
            edges += edge;
            if (dist <= kOutlierDistance) continue;
            if (edge)
                edgeOutliers++;
            else
                flatOutliers++;
        }
    }
    size_t pixels = (size_t)width * height;
    if (pixels) {
        r.mean = sum / (double)pixels;
        r.flatShare = (double)flatOutliers / (double)pixels;
    }
    if (edges) r.edgeShare = (double)edgeOutliers / (double)edges;
    if (d) *d = r;
    return r.mean <= kMaxMean && r.edgeShare <= kMaxEdgeShare && r.flatShare <= kMaxFlatShare;
}

void DifferencePicture(const unsigned char *ref, const unsigned char *pic, int width, int height,
                       unsigned char *out) {
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            size_t i = ((size_t)y * width + x) * 3;
            int dist = PixelDistance(ref + i, pic + i);
            unsigned char *o = out + i;
            if (dist > kOutlierDistance) {
                bool edge = AtEdge(ref, width, height, x, y);
                o[0] = 255;
                o[1] = edge ? 255 : 0;
                o[2] = 0;
            } else if (dist > 0) {
                o[0] = o[1] = 0;
                o[2] = (unsigned char)(96 + dist * 159 / kOutlierDistance);
            } else {
                int grey = (ref[i] + ref[i + 1] + ref[i + 2]) / 12; // a quarter of the mean
                o[0] = o[1] = o[2] = (unsigned char)grey;
            }
        }
    }
}
