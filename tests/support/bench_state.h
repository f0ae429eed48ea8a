// The benchmark state as a fresh process has it.
#pragma once

#include "bench/state.h"

inline void ResetBenchState(void) {
    numCubes = 1;
    running = 0;
    fullscreen = false;
    fps = 0;
    frames = tCubes = 0;
    currTime = oldCurrTime = 0;
    rotate = 0;
    finalScore = finalSave = 0;
    finalResX = finalResY = finalBPP = 0;
}
