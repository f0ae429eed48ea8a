// Comparing a rendered picture with its reference: both width × height × 3 bytes of red,
// green, blue, rows in the same order. The tolerance admits what correct GL
// implementations may differ in (rounding along edges, texture filtering, the last bits
// of lighting) and nothing more; docs/validation.md explains the figures.
#pragma once

struct PictureDifference {
    double mean;      // mean per-pixel distance, 0 to 255
    double edgeShare; // outliers at the reference's edges, per edge pixel
    double flatShare; // outliers away from edges, per pixel of the picture
    int worst;        // the largest per-pixel distance
};

enum {
    // A pixel further than this from its reference is an outlier. Flat shading, up to 39
    // off, puts 0.35 % to 0.5 % of a frame past it away from edges; Mesa's two rasterizers
    // differ by more on a few pixels only.
    kOutlierDistance = 12,
    kEdgeContrast = 64, // a pixel is at an edge when its 3 × 3 reference neighbourhood spans more
};
extern const double kMaxMean;      // bound on PictureDifference.mean
extern const double kMaxEdgeShare; // bound on PictureDifference.edgeShare
extern const double kMaxFlatShare; // bound on PictureDifference.flatShare

// The distance of two pixels: the largest difference of a channel.
int PixelDistance(const unsigned char *a, const unsigned char *b);
// Measures pic against ref into d; non-zero when pic is within the tolerance.
int ComparePictures(const unsigned char *ref, const unsigned char *pic, int width, int height,
                    PictureDifference *d);
// A picture of where pic differs, for a person: the reference dimmed to grey; pixels
// within the tolerance but not equal in blue, brighter the further off; outliers at edges
// yellow, outliers elsewhere red.
void DifferencePicture(const unsigned char *ref, const unsigned char *pic, int width, int height,
                       unsigned char *out);
