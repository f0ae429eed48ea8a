#include "bench/log.h"

#include "self/folders.h"
#include "bench/state.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <string.h>

const char kLogFileName[] = "Kelvane result.txt";

const char kLogStarted[] = "Kelvane started...";
const char kLogWorkFolder[] = " workdfolder: %s";
const char kLogResources[] = " resources: %s";
const char kLogHardware[] = "hardware detected:";
const char kLogCpuFamily[] = " cpu family: 0x%x";
const char kLogCpuType[] = " cpu type: 0x%x";
const char kLogGlVendor[] = " opengl vendor: %s";
const char kLogGlRenderer[] = " opengl renderer: %s";
const char kLogGlVersion[] = " opengl version: %s";
const char kLogTestParms[] = "test parms:";
const char kLogSurface[] = " surface %dx%d %dbpp";
const char kLogTextures[] = " textures: %s";
const char kLogLighting[] = " lighting: %s";
const char kLogKeepInSync[] = " keep in sync: %s";
const char kLogTestStarted[] = "test started";
const char kLogFps[] = " FPS %.1f %d triangles";
const char kLogFinalScore[] = " final score: %d";
const char kLogTestStopped[] = "test stopped";

const char *const kOnOff[2] = {"off", "on "};

const LogListener *logListener;

// The lines are told apart by their text's address, not their text: cheap enough for a
// frame, and a message that merely looks like a line is never taken for one.
static void TellLine(const char *msg, bool create) {
    const LogListener *l = logListener;
    if (!l) return;
    if (create && msg == kLogStarted && l->testStarted) l->testStarted();
    if (msg == kLogTestStopped && l->testStopped) l->testStopped();
}

void Write(const char *msg, bool create) {
    TellLine(msg, create);
    // Room for the longest folder prefix and the name, so the path is never cut into
    // the name of some other file.
    char path[kFolderSize + sizeof kLogFileName];
    snprintf(path, sizeof path, "%s%s", app_folder, kLogFileName);

    char line[kLogLineSize];
    int len = snprintf(line, sizeof line, "%.*s\n", (int)kLogMessageMax, msg ? msg : "");
    if (len < 0) return;

    FILE *f = fopen(path, create ? "w" : "a");
    bool ok = f && fwrite(line, 1, (size_t)len, f) == (size_t)len;
    ok = f && fclose(f) == 0 && ok;
    // Said once a test: a full disk would otherwise say it on every line.
    static bool lost;
    if (create) lost = false;
    if (ok || lost) return;
    lost = true;
    fprintf(stderr, "kelvane: cannot write %s: %s\n", path, strerror(errno));
}

void WriteF(bool create, const char *format, ...) {
    char msg[kLogLineSize];
    va_list args;
    va_start(args, format);
    vsnprintf(msg, sizeof msg, format, args);
    va_end(args);
    Write(msg, create);
}

void LogStep(float fps, int triangles) {
    if (logListener && logListener->step) logListener->step(numCubes, triangles, fps);
    WriteF(false, kLogFps, (double)fps, triangles);
}

void LogScore(int score) {
    if (logListener && logListener->score) logListener->score(score);
    WriteF(false, kLogFinalScore, score);
}
