// The program's icon: one of the benchmark's own spheres, drawn by its own code offscreen
// on a transparent ground, cut to the sphere and scaled down to each icon size as PNG.
// Usage: make_icon RESOURCE_FOLDER OUTPUT_FOLDER   writes kelvane-<size>.png for each size
//        make_icon --compare A.png B.png           0 when the two agree within the tolerance
// RESOURCE_FOLDER holds default.tga. The committed icons are what this makes on llvmpipe.
#include "app/folders.h"
#include "bench/frame.h"
#include "gfx/context.h"
#include "gfx/target.h"
#include "tools/offscreen_scene.h"

#include <GL/gl.h>
#include <cairo.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

static const int kSizes[] = {48, 64, 128, 256};
enum { kDrawSide = 1024 };               // drawn large, so that each size is a clean reduction
static const float kAngle = 30.0f;       // the texture turned away from its seams
static const int kChannelTolerance = 24; // Mesa builds differ by a few levels at edges
static const double kPixelShare = 0.01;  // share of pixels allowed past the tolerance

struct Box {
    int x0, y0, x1, y1; // inclusive, top-left origin
};

// The sphere drawn alone, read as premultiplied ARGB rows from the top (cairo's order).
static bool DrawSphereAlone(std::vector<unsigned> *argb) {
    std::vector<unsigned char> rgba((size_t)kDrawSide * kDrawSide * 4);
    glViewport(0, 0, kDrawSide, kDrawSide);
    glMatrixMode(GL_PROJECTION);
    SetProjection(kDrawSide, kDrawSide);
    BeginScene();
    DrawSphere(1, 0, 0, kAngle);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kDrawSide, kDrawSide, GL_RGBA, GL_UNSIGNED_BYTE, rgba.data());
    if (glGetError() != GL_NO_ERROR) return false;
    argb->assign((size_t)kDrawSide * kDrawSide, 0);
    for (int y = 0; y < kDrawSide; y++)
        for (int x = 0; x < kDrawSide; x++) {
            const unsigned char *p = &rgba[((size_t)(kDrawSide - 1 - y) * kDrawSide + x) * 4];
            unsigned a = p[3];
            unsigned r = p[0] * a / 255, g = p[1] * a / 255, b = p[2] * a / 255;
            (*argb)[(size_t)y * kDrawSide + x] = a << 24 | r << 16 | g << 8 | b;
        }
    return true;
}

// The smallest square around every drawn pixel; false when nothing was drawn.
static bool DrawnSquare(const std::vector<unsigned> &argb, Box *box) {
    *box = {kDrawSide, kDrawSide, -1, -1};
    for (int y = 0; y < kDrawSide; y++)
        for (int x = 0; x < kDrawSide; x++)
            if (argb[(size_t)y * kDrawSide + x] >> 24) {
                if (x < box->x0) box->x0 = x;
                if (y < box->y0) box->y0 = y;
                if (x > box->x1) box->x1 = x;
                if (y > box->y1) box->y1 = y;
            }
    if (box->x1 < 0) return false;
    int w = box->x1 - box->x0 + 1, h = box->y1 - box->y0 + 1;
    int side = w > h ? w : h;
    box->x0 -= (side - w) / 2;
    box->y0 -= (side - h) / 2;
    box->x1 = box->x0 + side - 1;
    box->y1 = box->y0 + side - 1;
    return true;
}

// The square scaled to size × size with a margin of 1/32 of the side, written as PNG.
static bool WriteIcon(std::vector<unsigned> &argb, const Box &box, int size, const char *path) {
    cairo_surface_t *big = cairo_image_surface_create_for_data(
        (unsigned char *)argb.data(), CAIRO_FORMAT_ARGB32, kDrawSide, kDrawSide, kDrawSide * 4);
    cairo_surface_t *icon = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, size, size);
    cairo_t *cr = cairo_create(icon);
    double margin = size / 32.0;
    double scale = (size - 2 * margin) / (box.x1 - box.x0 + 1);
    cairo_translate(cr, margin, margin);
    cairo_scale(cr, scale, scale);
    cairo_set_source_surface(cr, big, -box.x0, -box.y0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_paint(cr);
    bool ok = cairo_status(cr) == CAIRO_STATUS_SUCCESS &&
              cairo_surface_write_to_png(icon, path) == CAIRO_STATUS_SUCCESS;
    cairo_destroy(cr);
    cairo_surface_destroy(icon);
    cairo_surface_destroy(big);
    return ok;
}

static int MakeIcons(const char *resFolder, const char *outFolder) {
    char out[kFolderSize];
    if (!FolderPrefix(out, outFolder) || !OpenOffscreenScene(resFolder)) return 1;
    std::vector<unsigned> argb;
    Box box;
    bool ok =
        OpenFrameTarget(kDrawSide, kDrawSide) && DrawSphereAlone(&argb) && DrawnSquare(argb, &box);
    if (!ok) fprintf(stderr, "make_icon: the sphere could not be drawn\n");
    for (size_t i = 0; ok && i < sizeof kSizes / sizeof kSizes[0]; i++) {
        char path[kFolderSize + 32];
        snprintf(path, sizeof path, "%skelvane-%d.png", out, kSizes[i]);
        ok = WriteIcon(argb, box, kSizes[i], path);
        if (!ok)
            fprintf(stderr, "make_icon: could not write %s\n", path);
        else
            printf("%s\n", path);
    }
    CloseFrameTarget();
    CloseOffscreenScene();
    return ok ? 0 : 1;
}

// Two icons agree when they have one size and few pixels differ past the tolerance.
static int Compare(const char *a, const char *b) {
    cairo_surface_t *s[2] = {cairo_image_surface_create_from_png(a),
                             cairo_image_surface_create_from_png(b)};
    int status = 1;
    int w = cairo_image_surface_get_width(s[0]), h = cairo_image_surface_get_height(s[0]);
    if (cairo_surface_status(s[0]) || cairo_surface_status(s[1]))
        fprintf(stderr, "make_icon: cannot read %s or %s\n", a, b);
    else if (w != cairo_image_surface_get_width(s[1]) ||
             h != cairo_image_surface_get_height(s[1]) || w == 0)
        fprintf(stderr, "make_icon: %s and %s differ in size\n", a, b);
    else {
        long off = 0;
        for (int y = 0; y < h; y++) {
            const unsigned char *p = cairo_image_surface_get_data(s[0]) +
                                     (size_t)y * cairo_image_surface_get_stride(s[0]);
            const unsigned char *q = cairo_image_surface_get_data(s[1]) +
                                     (size_t)y * cairo_image_surface_get_stride(s[1]);
            for (int x = 0; x < w * 4; x += 4)
                for (int c = 0; c < 4; c++)
                    if (abs(p[x + c] - q[x + c]) > kChannelTolerance) {
                        off++;
                        break;
                    }
        }
        status = off <= kPixelShare * w * h ? 0 : 1;
        printf("%s: %ld of %d pixels differ\n", b, off, w * h);
    }
    cairo_surface_destroy(s[0]);
    cairo_surface_destroy(s[1]);
    return status;
}

int main(int argc, char **argv) {
    if (argc == 4 && strcmp(argv[1], "--compare") == 0) return Compare(argv[2], argv[3]);
    if (argc != 3) {
        fprintf(stderr, "usage: %s RESOURCE_FOLDER OUTPUT_FOLDER | --compare A.png B.png\n",
                argv[0]);
        return 2;
    }
    return MakeIcons(argv[1], argv[2]);
}
