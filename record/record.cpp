#include "record/record.h"

#include "self/folders.h"
#include "self/version.h"
#include "bench/frame.h"
#include "bench/log.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "platform/video.h"
#include "protocol/drift.h"
#include "record/json.h"
#include "record/machine.h"
#include "validation/validation.h"
#include "report/plot.h"
#include "watch/trust.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

std::vector<ResultRun> resultRuns;
std::string writtenDocument;
bool resultsPending;
bool resultSeries;
int resultSeriesAsked = 1;
std::string lastRunText;
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

// Each test rewrites the log, and the JSON beside it describes the same test, or the
// series the test belongs to.
static void TestStarted(void) {
    if (!resultSeries) resultRuns.clear();
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

// The plot of the result, both formats from one drawing.
static int WriteResultPlot(void) {
    char svg[kFolderSize + sizeof kResultSvgName], png[kFolderSize + sizeof kResultPngName];
    snprintf(svg, sizeof svg, "%s%s", app_folder, kResultSvgName);
    snprintf(png, sizeof png, "%s%s", app_folder, kResultPngName);
    return WritePlot({CurrentResult()}, svg, png, stderr);
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

// The run's first line: which of a series it is, and how it ended.
static void SayRun(FILE *out, const ResultRun &run, int n) {
    if (resultSeriesAsked > 1) fprintf(out, "%s: ", SeriesRunLabel(n, true).c_str());
    if (run.end == kRunScore)
        fprintf(out, resultSeriesAsked > 1 ? "score %d\n" : "score: %d, the figure to quote\n",
                run.score);
    else if (run.end == kRunMeasured && resultSeriesAsked > 1)
        fputs("quick, no score\n", out);
    else if (run.end == kRunMeasured)
        fputs(run.steady.known ? "quick run, no score: its steady figure is the figure to quote\n"
                               : "quick run, no score and no steady figure\n",
              out);
    else
        fputs(resultSeriesAsked > 1 ? "aborted\n" : "aborted: no score\n", out);
}

// The frame times and the machine's counters were recorded for the test that just ended,
// and the next test's recording replaces them: gathered now, after its last frame.
void GatherRunTrust(ResultRun *run, FILE *out) {
    std::vector<StepTrust> steps;
    RunTrust trust;
    const DriftCheck *check = DriftCheckOfLastTest();
    GatherTrust(run->steps, run->quick, check ? check->first : -1, check ? check->again : -1,
                &steps, &trust);
    TrustIntoRun(steps, trust, run);
    if (!out) return;
    char *text = nullptr;
    size_t size = 0;
    FILE *said = open_memstream(&text, &size);
    if (!said) return;
    SayRun(said, *run, (int)resultRuns.size());
    PrintTrust(said, trust);
    if (run->verdict.known && !run->verdict.disturbed && run->drift.known && !run->drift.drifted)
        fprintf(said, "verdicts: neither disturbed nor drifted\n");
    fclose(said);
    lastRunText = text ? text : "";
    free(text);
    // A series says each run as it ends, news to whoever watches a long one; a single test
    // says its run once, in the headline at the end.
    if (resultSeriesAsked > 1) fputs(lastRunText.c_str(), out);
    fflush(out);
}

int WritePendingResults(void) {
    if (!resultsPending) return 1;
    resultsPending = false;
    // Only --test keeps a series, and only it says more on standard output.
    if (!resultRuns.empty()) GatherRunTrust(&resultRuns.back(), resultSeries ? stdout : nullptr);
    ResultSetting setting;
    GatherSetting(&setting);
    char path[kFolderSize + sizeof kResultJsonName];
    snprintf(path, sizeof path, "%s%s", app_folder, kResultJsonName);
    writtenDocument = ResultJson(setting, resultRuns);
    int written = WriteWhole(path, writtenDocument);
    if (!written) fprintf(stderr, "kelvane: cannot write %s: %s\n", path, strerror(errno));
    return WriteResultPlot() && written;
}
