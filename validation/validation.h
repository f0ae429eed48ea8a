// Validation: a few fixed frames of the scene, drawn as the benchmark draws them, compared
// with the reference pictures in the resource folder. A failing frame is saved with a
// picture of its difference so that a person can see what went wrong.
#pragma once

#include "validation/validframe.h"
#include "validation/compare.h"

#include <stdio.h>

// The verdict on one frame.
struct FrameVerdict {
    char name[16];          // "grid 4": spheres a side
    int passed;             // drawn, reference read, within the tolerance
    int measured;           // 0 when the frame could not be drawn or its reference read
    PictureDifference diff; // against the reference, when measured
};

struct ValidationOutcome {
    // 0 when the renderer could not make the target the frames are drawn into (it lacks
    // framebuffer objects): no frame was judged, and the renderer is not validated, which
    // is not the same as failed.
    int targetMade;
    int failed; // frames that did not pass; all of them when no target was made
    FrameVerdict frames[kValidationFrameCount];
};

// Validates against the references in res_folder's "validation/"; failing frames go to
// outFolder (a path prefix like app_folder). Needs the scene ready. Leaves the window's
// picture, viewport, projection and the benchmark state as they were. Returns the number
// of failing frames, also in outcome->failed (all of them without a target).
int RunValidation(const char *outFolder, ValidationOutcome *outcome);
// The same against the references in refFolder (a path prefix).
int ValidateAgainst(const char *refFolder, const char *outFolder, ValidationOutcome *outcome);
// One line per frame: pass or fail and the measured figures; or one line saying that the
// renderer could not be validated.
void PrintValidation(FILE *out, const ValidationOutcome *outcome);
// The verdict as the JSON's "state" gives it: "passed", "failed" or "not_validated". Inline,
// so that what writes the JSON needs none of the drawing.
inline const char *ValidationState(const ValidationOutcome *outcome) {
    if (!outcome->targetMade) return "not_validated";
    return outcome->failed ? "failed" : "passed";
}

// The files a failing frame leaves in the output folder, "<prefix><stem>.tga" and
// "<prefix><stem> difference.tga", stem from the reference's name.
extern const char kValidationShotPrefix[]; // "Kelvane validation "

// The renderer's validation for the results of this process: made once, before a --test
// run's test or after the first test in the window, and recorded in every result.
extern ValidationOutcome rendererValidation;
extern bool rendererValidated; // false until the first validation could draw its frames

// Validates once per process when the scene is ready (failing frames go to outFolder).
// Non-zero when rendererValidation holds an outcome.
int ValidateRendererOnce(const char *outFolder);
