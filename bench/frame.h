// One frame: the sphere grid, the text overlay, the swap and the accounting.
#pragma once

#include "platform/types.h"

extern const char kScreenshotName[]; // "Kelvane result.tga", beside the bundle

// Draws one frame while the scene is ready; does nothing at all otherwise.
void Render(void);

// The scene part of a frame, shared with the validation frames so that they judge the
// drawing the benchmark measures. BeginScene clears and sets the per-frame state;
// DrawGrid draws the n × n spheres turned by angle degrees, one DrawSphere each (row r,
// column c).
void BeginScene(void);
void DrawGrid(SInt32 n, float angle);
void DrawSphere(SInt32 n, SInt32 r, SInt32 c, float angle);
