// What a scene build costs on the offscreen context, part by part, and whether repeated
// teardowns and builds hold their memory. Run: make perf.
#include "gfx/context.h"
#include "gfx/scene.h"
#include "gfx/text.h"
#include "perf/perf_support.h"
#include "platform/fonts.h"

#include <algorithm>
#include <stdio.h>
#include <vector>

static double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

static SInt32 Geneva(void) {
    Str255 name;
    SInt16 family = 0;
    cstr2pstr(name, "Geneva");
    GetFNum(name, &family);
    return family;
}

int main() {
    if (!OpenPerfWindow(640, 480)) {
        fprintf(stderr, "no window\n");
        return 1;
    }
    // Warm-up: the first build loads the driver and the fonts' files.
    AllocScene();
    FreeScene();

    std::vector<double> whole, setUp, fonts, sphere, texture;
    for (int round = 0; round < 15; round++) {
        double t0 = NowSeconds();
        if (!AllocScene()) {
            fprintf(stderr, "scene build failed\n");
            return 1;
        }
        whole.push_back(NowSeconds() - t0);
        FreeScene();

        // The same steps one by one, on a fresh context each time.
        t0 = NowSeconds();
        StartOpenGL();
        double t1 = NowSeconds();
        glDeleteLists(fontList, 256);
        glDeleteLists(bigFontList, 256);
        double t2 = NowSeconds();
        fontList = buildFontGL(aglContext, Geneva(), 0, 12);
        bigFontList = buildFontGL(aglContext, Geneva(), 1, 24);
        double t3 = NowSeconds();
        BuildModel();
        double t4 = NowSeconds();
        LoadTexture(kTextureName);
        double t5 = NowSeconds();
        fonts.push_back(t3 - t2);
        setUp.push_back((t1 - t0) - (t3 - t2)); // the set-up without its fonts
        sphere.push_back(t4 - t3);
        texture.push_back(t5 - t4);
        FreeScene();
    }
    double w = Median(whole);
    printf("scene build on the offscreen context (median of 15)\n");
    printf("  whole AllocScene %7.2f ms (goal < 150 ms)\n", w * 1e3);
    printf("  context + state  %7.2f ms  %4.1f%%\n", Median(setUp) * 1e3, 100 * Median(setUp) / w);
    printf("  fonts            %7.2f ms  %4.1f%% (goal <= 33%%)\n", Median(fonts) * 1e3,
           100 * Median(fonts) / w);
    printf("  sphere           %7.2f ms  %4.1f%%\n", Median(sphere) * 1e3,
           100 * Median(sphere) / w);
    printf("  texture          %7.2f ms  %4.1f%%\n", Median(texture) * 1e3,
           100 * Median(texture) / w);

    for (int i = 0; i < 5; i++) { // settle the allocator before measuring
        AllocScene();
        FreeScene();
    }
    long before = StatusKiB("VmRSS");
    for (int i = 0; i < 100; i++) {
        AllocScene();
        FreeScene();
    }
    long after = StatusKiB("VmRSS");
    printf("  100 teardown-and-build cycles: resident memory %+ld KiB (goal < 1024)\n",
           after - before);
    return 0;
}
