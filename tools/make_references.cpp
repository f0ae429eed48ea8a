// Writes the reference pictures of validation from the benchmark's own drawing code:
// each validation frame drawn on this machine's GL (llvmpipe when they are committed),
// as uncompressed 24-bit TGA files.
// Usage: make_references RESOURCE_FOLDER OUTPUT_FOLDER
// RESOURCE_FOLDER holds default.tga; the files land in OUTPUT_FOLDER (resources/validation).
#include "app/folders.h"
#include "validation/validframe.h"
#include "gfx/target.h"
#include "image/tgawrite.h"
#include "tools/offscreen_scene.h"

#include <GL/gl.h>
#include <stdio.h>
#include <stdlib.h>

static int Write(const char *outFolder, unsigned char *rgb) {
    for (int i = 0; i < kValidationFrameCount; i++) {
        const ValidationFrame *f = &kValidationFrames[i];
        char path[kFolderSize + 64];
        snprintf(path, sizeof path, "%s%s", outFolder, f->file);
        if (!DrawValidationFrame(f, rgb) || !WriteTGA(path, rgb, frameTargetW, frameTargetH)) {
            fprintf(stderr, "could not make %s\n", path);
            return 0;
        }
        printf("%s\n", path);
    }
    return 1;
}

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s RESOURCE_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    char outFolder[kFolderSize];
    if (!FolderPrefix(outFolder, argv[2]) || !OpenOffscreenScene(argv[1])) return 1;
    printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));
    unsigned char *rgb = (unsigned char *)malloc((size_t)kValidationWidth * kValidationHeight * 3);
    int ok = rgb && OpenFrameTarget(kValidationWidth, kValidationHeight) && Write(outFolder, rgb);
    CloseFrameTarget();
    free(rgb);
    CloseOffscreenScene();
    return ok ? 0 : 1;
}
