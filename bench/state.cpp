#include "bench/state.h"

#include <stdint.h>

SInt32 numCubes = 1;
SInt32 running = 0;
bool fullscreen = false;
const bool test_text = true;
const bool test_light = true;
const bool test_swap = false;
float fps = 0;
SInt32 frames = 0;
SInt32 tCubes = 0;
SInt32 currTime = 0;
SInt32 oldCurrTime = 0;
float rotate = 0;
SInt32 finalScore = 0;
SInt32 finalSave = 0;
SInt32 finalResX = 0, finalResY = 0, finalBPP = 0;

SInt32 TrianglesFor(SInt32 n) {
    SInt64 side = n < 0 ? -(SInt64)n : n;
    if (side > 46340) // side² alone would pass INT32_MAX
        return INT32_MAX;
    SInt64 t = side * side * kTrianglesPerSphere;
    return t > INT32_MAX ? INT32_MAX : (SInt32)t;
}

SInt32 TriangleCount(void) {
    return TrianglesFor(numCubes);
}
