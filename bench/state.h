// The benchmark state: one process-wide instance of each variable.
#pragma once

#include "platform/types.h"

extern SInt32 numCubes;       // grid size N: N rows of N spheres
extern SInt32 running;        // the scene is complete and may be drawn
extern bool fullscreen;       // a test is running and the scene is full screen
extern const bool test_text;  // spheres are textured
extern const bool test_light; // lighting and smooth shading
extern const bool test_swap;  // swaps wait for the display's refresh
extern float fps;             // frames counted in the last closed frame-rate window
extern SInt32 frames;         // frames since the last window closed
extern SInt32 tCubes;         // windows closed in test mode since the grid last grew
extern SInt32 currTime;       // tick taken at the start of the current frame
extern SInt32 oldCurrTime;    // tick of the frame at which the last window closed
extern float rotate;          // rotation angle of every sphere, degrees
extern SInt32 finalScore;     // score of the last test ended by the stop rule; 0 = none
extern SInt32 finalSave;      // the screenshot for finalScore has been written
extern SInt32 finalResX, finalResY, finalBPP; // display mode recorded at test start

enum { kTrianglesPerSphere = 1152 };

// Triangles in an n × n grid, saturating instead of overflowing for absurd n.
SInt32 TrianglesFor(SInt32 n);
// Triangles in the current grid.
SInt32 TriangleCount(void);
