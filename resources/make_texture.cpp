// Writes the sphere texture, resources/default.tga: a 256 × 256 24-bit picture of
// warm and cool tiles crossed by a bright grid, so that the spheres' rotation shows.
// Usage: make_texture OUTPUT.tga
#include <math.h>
#include <stdio.h>

int main(int argc, char **argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: %s OUTPUT.tga\n", argv[0]);
        return 2;
    }
    const int side = 256;
    unsigned char header[18] = {0, 0, 2, 0,           0,         0,           0,         0,  0,
                                0, 0, 0, side & 0xff, side >> 8, side & 0xff, side >> 8, 24, 0};
    static unsigned char pixels[side * side * 3];
    for (int y = 0; y < side; y++) {
        for (int x = 0; x < side; x++) {
            int tile = (x / 32 + y / 32) % 2;
            // Stripes across each tile, brighter towards the picture's centre.
            int stripe = ((x + y) / 8) % 2;
            double dx = (x - 127.5) / 127.5, dy = (y - 127.5) / 127.5;
            double light = 1.0 - 0.35 * sqrt((dx * dx + dy * dy) / 2.0);
            int r = tile ? 230 : 40, g = tile ? 140 : 170, b = tile ? 40 : 220;
            if (stripe) {
                r = r * 3 / 4;
                g = g * 3 / 4;
                b = b * 3 / 4;
            }
            if (x % 32 < 2 || y % 32 < 2) r = g = b = 250;
            unsigned char *p = pixels + (y * side + x) * 3;
            p[0] = (unsigned char)(b * light); // stored blue, green, red
            p[1] = (unsigned char)(g * light);
            p[2] = (unsigned char)(r * light);
        }
    }
    FILE *f = fopen(argv[1], "wb");
    if (!f) {
        perror(argv[1]);
        return 1;
    }
    fwrite(header, 1, sizeof header, f);
    fwrite(pixels, 1, sizeof pixels, f);
    if (fclose(f) != 0) {
        perror(argv[1]);
        return 1;
    }
    return 0;
}
