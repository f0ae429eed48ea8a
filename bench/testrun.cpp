#include "bench/testrun.h"

#include "self/folders.h"
#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/log.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "gfx/scene.h"
#include "platform/gestalt.h"

static const char *Word(bool setting) {
    return kOnOff[setting ? 1 : 0];
}
static const char *Text(const char *s) {
    return s ? s : "";
}

static void WriteLogHeader(void) {
    Write(kLogStarted, true);
    WriteF(false, kLogWorkFolder, app_folder);
    WriteF(false, kLogResources, res_folder);
    Write(kLogHardware, false);
    SInt32 family = 0, type = 0;
    if (Gestalt(gestaltNativeCPUfamily, &family) == noErr &&
        Gestalt(gestaltNativeCPUtype, &type) == noErr) {
        WriteF(false, kLogCpuFamily, (unsigned)family);
        WriteF(false, kLogCpuType, (unsigned)type);
    }
    WriteF(false, kLogGlVendor, Text(gl_vendor));
    WriteF(false, kLogGlRenderer, Text(gl_renderer));
    WriteF(false, kLogGlVersion, Text(gl_version));
    Write(kLogTestParms, false);
    WriteF(false, kLogSurface, resolution.h, resolution.v, bpp);
    WriteF(false, kLogTextures, Word(test_text));
    WriteF(false, kLogLighting, Word(test_light));
    WriteF(false, kLogKeepInSync, Word(test_swap));
    Write(kLogTestStarted, false);
}

void StartTest(void) {
    numCubes = 0;
    fullscreen = true;
    currTime = 0;
    oldCurrTime = 0;
    // Windows left open by an aborted test would make this test's first, zero-length
    // window its measured one, and score the grid it has not yet drawn.
    tCubes = 0;
    ResetHold();

    // A failed build leaves running 0: the test then draws nothing until it is aborted.
    FreeScene();
    AllocScene();

    finalScore = 0;
    finalSave = 0;
    ReserveFrameTimes();
    finalResX = resolution.h;
    finalResY = resolution.v;
    finalBPP = bpp;
    WriteLogHeader();
}

void EndTest(void) {
    if (!fullscreen) return;
    numCubes = 1;
    fullscreen = false;
    ResetHold();
    FreeScene();
    AllocScene();
    Write(kLogTestStopped, false);
}
