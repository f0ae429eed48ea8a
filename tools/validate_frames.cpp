// Validation without the program's window: the scene on SDL's offscreen driver, the
// validation frames compared with the references of RESOURCE_FOLDER/validation, failing
// frames saved into OUTPUT_FOLDER. Prints one line per frame.
// Usage: validate_frames RESOURCE_FOLDER OUTPUT_FOLDER
// Status: 0 all frames pass, 5 a frame fails, 4 no scene or no target to draw the frames
// into, 2 bad arguments.
#include "app/folders.h"
#include "validation/validation.h"
#include "tools/offscreen_scene.h"

#include <GL/gl.h>
#include <stdio.h>

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: %s RESOURCE_FOLDER OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    char outFolder[kFolderSize];
    if (!FolderPrefix(outFolder, argv[2])) return 2;
    if (!OpenOffscreenScene(argv[1])) return 4;
    printf("renderer: %s\n", (const char *)glGetString(GL_RENDERER));
    ValidationOutcome outcome;
    int failed = RunValidation(outFolder, &outcome);
    PrintValidation(stdout, &outcome);
    CloseOffscreenScene();
    if (!outcome.targetMade) return 4;
    return failed ? 5 : 0;
}
