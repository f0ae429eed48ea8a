#include "validation/validation.h"

#include "self/folders.h"
#include "bench/state.h"
#include "gfx/target.h"
#include "image/tga.h"
#include "image/tgawrite.h"

#include <stdlib.h>
#include <string.h>

const char kValidationShotPrefix[] = "Kelvane validation ";

enum { kPathSize = kFolderSize + 128 };

// "<folder><prefix><stem><suffix>", stem the file name without ".tga".
static int ShotPath(char *path, const char *folder, const char *file, const char *suffix) {
    int stem = (int)strcspn(file, ".");
    int n = snprintf(path, kPathSize, "%s%s%.*s%s.tga", folder, kValidationShotPrefix, stem, file,
                     suffix);
    return n > 0 && n < kPathSize;
}

// The reference, 24-bit and of the target's size, or null.
static unsigned char *ReadReference(const char *refFolder, const char *file) {
    char path[kPathSize];
    int n = snprintf(path, sizeof path, "%s%s", refFolder, file);
    if (n < 0 || n >= (int)sizeof path) return NULL;
    int w = 0, h = 0, depth = 0;
    unsigned char *ref = ReadTGA(path, &w, &h, &depth);
    if (ref && (w != frameTargetW || h != frameTargetH || depth != 24)) {
        free(ref);
        return NULL;
    }
    return ref;
}

// Saves what was drawn and where it differs; a frame that passes clears what an earlier
// failure left, so the folder never shows a failure that is not current.
static void KeepShots(const char *outFolder, const char *file, const unsigned char *ref,
                      const unsigned char *pic, unsigned char *scratch, bool failed) {
    char shot[kPathSize], diff[kPathSize];
    if (!ShotPath(shot, outFolder, file, "") || !ShotPath(diff, outFolder, file, " difference"))
        return;
    if (!failed) {
        remove(shot);
        remove(diff);
        return;
    }
    WriteTGA(shot, pic, frameTargetW, frameTargetH);
    if (!ref) return;
    DifferencePicture(ref, pic, frameTargetW, frameTargetH, scratch);
    WriteTGA(diff, scratch, frameTargetW, frameTargetH);
}

static void Judge(const ValidationFrame *frame, const char *refFolder, const char *outFolder,
                  unsigned char *pic, unsigned char *scratch, FrameVerdict *v) {
    memset(v, 0, sizeof *v);
    snprintf(v->name, sizeof v->name, "grid %d", (int)frame->grid);
    if (!DrawValidationFrame(frame, pic)) return;
    unsigned char *ref = ReadReference(refFolder, frame->file);
    if (ref) {
        v->measured = 1;
        v->passed = ComparePictures(ref, pic, frameTargetW, frameTargetH, &v->diff);
    }
    KeepShots(outFolder, frame->file, ref, pic, scratch, !v->passed);
    free(ref);
}

int ValidateAgainst(const char *refFolder, const char *outFolder, ValidationOutcome *outcome) {
    ValidationOutcome o;
    memset(&o, 0, sizeof o);
    size_t bytes = (size_t)kValidationWidth * kValidationHeight * 3;
    unsigned char *pic = (unsigned char *)malloc(bytes);
    unsigned char *scratch = (unsigned char *)malloc(bytes);
    o.targetMade = OpenValidationTarget();
    int ready = pic && scratch && o.targetMade;
    for (int i = 0; i < kValidationFrameCount; i++) {
        FrameVerdict *v = &o.frames[i];
        if (ready)
            Judge(&kValidationFrames[i], refFolder, outFolder, pic, scratch, v);
        else
            snprintf(v->name, sizeof v->name, "grid %d", (int)kValidationFrames[i].grid);
        o.failed += !v->passed;
    }
    CloseFrameTarget();
    free(pic);
    free(scratch);
    if (outcome) *outcome = o;
    return o.failed;
}

int RunValidation(const char *outFolder, ValidationOutcome *outcome) {
    char refFolder[kPathSize];
    snprintf(refFolder, sizeof refFolder, "%s%s", res_folder, kValidationFolder);
    return ValidateAgainst(refFolder, outFolder, outcome);
}

void PrintValidation(FILE *out, const ValidationOutcome *outcome) {
    if (!outcome->targetMade) {
        fprintf(out, "validation: not done: this renderer cannot make the offscreen target "
                     "(a framebuffer object) that the frames are drawn into, so its pictures "
                     "were not checked\n");
        return;
    }
    for (int i = 0; i < kValidationFrameCount; i++) {
        const FrameVerdict *v = &outcome->frames[i];
        if (!v->measured) {
            fprintf(out, "validation %s: fail (not drawn, or no reference to compare)\n", v->name);
            continue;
        }
        fprintf(out,
                "validation %s: %s (mean %.2f of %.2f, edge outliers %.2f%% of %.2f%%, "
                "other outliers %.3f%% of %.3f%%, worst %d)\n",
                v->name, v->passed ? "pass" : "fail", v->diff.mean, kMaxMean,
                100 * v->diff.edgeShare, 100 * kMaxEdgeShare, 100 * v->diff.flatShare,
                100 * kMaxFlatShare, v->diff.worst);
    }
    if (outcome->failed)
        fprintf(out, "validation: FAILED, %d of %d frames not drawn as their references\n",
                outcome->failed, kValidationFrameCount);
    else
        fprintf(out, "validation: passed\n");
}

ValidationOutcome rendererValidation;
bool rendererValidated;

int ValidateRendererOnce(const char *outFolder) {
    if (rendererValidated) return 1;
    if (!running) return 0;
    RunValidation(outFolder, &rendererValidation);
    rendererValidated = true;
    return 1;
}
