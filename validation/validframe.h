// Validation frames: the scene drawn exactly as Render draws it, without the overlay
// (its glyphs are not judged), at a fixed grid size and angle into the fixed-size target
// of gfx/target.h, then read back.
#pragma once

#include "platform/types.h"

enum { kValidationWidth = 640, kValidationHeight = 480 };

struct ValidationFrame {
    SInt32 grid;      // spheres a side
    float angle;      // rotation in degrees, as `rotate`
    const char *file; // its reference picture, in the folder "validation/"
};
enum { kValidationFrameCount = 3 };
extern const ValidationFrame kValidationFrames[kValidationFrameCount];
extern const char kValidationFolder[]; // "validation/", in the resource folder

// Opens the target of gfx/target.h at the frames' size. Non-zero on success; 0 when the
// renderer cannot make it (it lacks framebuffer objects, or refuses the one asked for).
int OpenValidationTarget(void);

// Draws the frame into the open target and reads it into rgb (the target's width ×
// height × 3 bytes, red, green, blue, bottom row first). Needs the scene ready. Leaves
// viewport, projection and the benchmark state as they were. Non-zero on success.
int DrawValidationFrame(const ValidationFrame *frame, unsigned char *rgb);
