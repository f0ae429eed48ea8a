#include "record/record.h"

#include "self/folders.h"
#include "self/version.h"
#include "bench/frame.h"
#include "bench/log.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "platform/video.h"
#include "record/environment.h"
#include "record/json.h"
#include "record/machine.h"
#include "validation/validation.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

std::vector<ResultRun> resultRuns;
std::string writtenDocument;
bool resultsPending;
bool resultSeries;
int resultSeriesAsked = 1;
const char kResultJsonName[] = "Kelvane result.json";
const char kResultSvgName[] = "Kelvane result.svg";
const char kResultPngName[] = "Kelvane result.png";

// Room for the steps of a very long test, so that a frame never has to allocate.
enum { kStepsReserved = 1024 };

static int64_t NowMs(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (int64_t)t.tv_sec * 1000 + t.tv_nsec / 1000000;
}

static ResultRun *Current(void) {
    if (resultRuns.empty() || resultRuns.back().end != kRunGoing) return nullptr;
    return &resultRuns.back();
}

// What the driver was told by the environment as the test started: the runs of a series
// share one process, and so one environment.
static ResultEnvironment runEnvironment;

// Each test rewrites the log, and the JSON beside it describes the same test, or the
// series the test belongs to.
static void TestStarted(void) {
    if (!resultSeries) resultRuns.clear();
    runEnvironment = GlEnvironmentOf(environ);
    ResultRun run = {};
    run.started = time(nullptr);
    run.startedMs = NowMs();
    run.end = kRunGoing;
    run.steps.reserve(kStepsReserved);
    // Each run of a series names it, so that the history, which keeps runs one by one, knows
    // which belong together.
    if (resultSeriesAsked > 1)
        run.series = ResultTime(resultRuns.empty() ? run.started : resultRuns.front().started);
    resultRuns.push_back(run);
    resultsPending = false;
}

static void Step(int grid, int triangles, float fps) {
    ResultRun *run = Current();
    if (run) run->steps.push_back({grid, triangles, fps});
}

static void Score(int score) {
    ResultRun *run = Current();
    if (run) run->score = score;
}

static bool quickMeasured; // the quick run going on has measured every grid

void MarkRunQuick(void) {
    ResultRun *run = Current();
    if (run) run->quick = true;
    quickMeasured = false;
}

void RecordHeldStep(int grid, float fps) {
    Step(grid, TrianglesFor(grid), fps);
}

void QuickRunMeasured(void) {
    quickMeasured = true;
}

static void TestStopped(void) {
    ResultRun *run = Current();
    if (!run) return;
    run->durationMs = NowMs() - run->startedMs;
    run->end = run->score ? kRunScore : run->quick && quickMeasured ? kRunMeasured : kRunAborted;
    quickMeasured = false;
    resultsPending = true;
}

static const LogListener kListener = {TestStarted, Step, Score, TestStopped};

void ListenForResults(void) {
    logListener = &kListener;
}

// The surface is the one the log's header gave: the test records it when it starts.
static void GatherSetting(ResultSetting *s) {
    *s = ResultSetting{};
    s->version = kVersion;
    s->driver = VideoDriverName();
    s->eglDevice = EGLDeviceInUse(s->eglDeviceName, sizeof s->eglDeviceName);
    s->glVendor = gl_vendor;
    s->glRenderer = gl_renderer;
    s->glVersion = gl_version;
    s->width = finalResX;
    s->height = finalResY;
    s->bits = finalBPP;
    s->textures = test_text;
    s->lighting = test_light;
    s->keepInSync = test_swap;
    ReadMachine(s, "/proc/cpuinfo");
    s->validation = rendererValidated ? &rendererValidation : nullptr;
    s->environment = &runEnvironment;
    s->logName = kLogFileName;
    s->screenshotName =
        !resultRuns.empty() && resultRuns.back().end == kRunScore ? kScreenshotName : nullptr;
    s->plotNames[0] = kResultSvgName;
    s->plotNames[1] = kResultPngName;
}

ResultFile CurrentResult(void) {
    ResultFile r = {};
    r.renderer = gl_renderer ? gl_renderer : "";
    r.width = finalResX;
    r.height = finalResY;
    r.runs = resultRuns;
    return r;
}

std::string SeriesRunLabel(int n, bool why) {
    char text[96] = "";
    if (resultSeriesAsked > 1 && n > resultSeriesAsked)
        snprintf(text, sizeof text, "run %d (of %d asked%s)", n, resultSeriesAsked,
                 why ? ", in place of a disturbed or drifted one" : "");
    else if (resultSeriesAsked > 1)
        snprintf(text, sizeof text, "run %d of %d", n, resultSeriesAsked);
    return text;
}

int WriteResultJson(void) {
    ResultSetting setting;
    GatherSetting(&setting);
    char path[kFolderSize + sizeof kResultJsonName];
    snprintf(path, sizeof path, "%s%s", app_folder, kResultJsonName);
    writtenDocument = ResultJson(setting, resultRuns);
    int written = WriteWhole(path, writtenDocument);
    if (!written) fprintf(stderr, "kelvane: cannot write %s: %s\n", path, strerror(errno));
    return written;
}
