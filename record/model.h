// The results in memory: runs of the benchmark, each a list of measured steps. Kept apart
// from how they are gathered and written, so that repeated runs can share one file.
#pragma once

#include <stdint.h>
#include <time.h>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Shares of the machine's CPU time (0 to 1) over a step's measured window, or a run's steps.
struct ResultLoad {
    bool known; // false: no figures (not read, or a file written before they were)
    double others, steal, self;
    double taken;   // what others and steal took from this process (interference.h)
    bool waitKnown; // false: the kernel kept no waits; taken then counts all of others
    double wait;    // its threads' time ready to run but waiting; more than 1 can be
};

// A step's triangles a frame, every sphere 1152 of them: as the log writes them for any grid
// a file can hold (an int holds the count up to kMaxResultGrid).
enum { kResultTrianglesPerSphere = 1152, kMaxResultGrid = 1365 };
// The score is the stopping grid's thousands of triangles: no run scores past the largest
// grid's. No display or GL surface is wider or taller than a 16-bit size.
enum { kMaxResultScore = kMaxResultGrid * kMaxResultGrid * kResultTrianglesPerSphere / 1000 };
enum { kMaxResultSurface = 65535 };
inline int ResultTriangles(int grid) {
    return grid * grid * kResultTrianglesPerSphere;
}

// Why a GPU's driver holds its clock down, one bit a reason: as i915 and xe name their files
// (throttle_reason_X, throttle/reason_X), then as NVIDIA's management library names its
// reasons (nvmlClocksThrottleReasonSwPowerCap and the rest).
enum { kGpuThrottleReasons = 13 };
inline constexpr const char *kGpuThrottleNames[kGpuThrottleReasons] = {
    "pl1",        "pl2",           "pl4",           "thermal",      "prochot",
    "ratl",       "vr_thermalert", "vr_tdc",        "sw_power_cap", "hw_slowdown",
    "sw_thermal", "hw_thermal",    "hw_power_brake"};

// The GPU's state over a step's measured window, sampled between frames (watch/gpusteps.h):
// each figure -1 where its driver does not publish it.
struct ResultGpu {
    bool known;                  // false: no GPU watched (a software renderer), or an older file
    int samples;                 // looks taken during the window
    double medianMhz, lowestMhz; // its clock
    double maxMhz;               // the highest its driver lets it run at
    double busy;                 // the mean share of time it was busy, 0 to 1
    double hottestC;             // its hottest sensor's highest temperature
    double headroomC;      // the least any sensor had left below its critical level; NAN: none
    double powerW;         // the mean power drawn
    unsigned throttle;     // the driver's reasons for holding the clock down, seen
    double memoryMhz = -1; // its memory's clock, the median
    double powerCapW = -1; // the power it was allowed, the lowest seen
    char hottestSensor[16] = ""; // the hottest sensor's label, printable ASCII; "": none
};

struct ResultStep {
    int grid;      // N: the grid was N x N spheres
    int triangles; // triangles per frame at that size
    float fps;     // frames counted in the fourth one-second window at that size
    // The measured window's frame times, filled after the test; timed 0: none.
    int timed = 0;
    double p10Ms = 0, medianMs = 0, p90Ms = 0;
    ResultLoad load = {}; // what others, the hypervisor and this process took meanwhile
    ResultGpu gpu = {};   // the GPU's own state meanwhile
};

// Whether others took too much of the machine over the steps that decided the score.
struct ResultVerdict {
    bool known; // false: no figures to judge by
    bool disturbed;
    int steps;       // deciding steps with figures
    ResultLoad over; // their time together
    ResultLoad last; // the last step's
};

// The steady figure (watch/steady.h), thousands of triangles a frame; not the score.
struct ResultSteady {
    bool known; // false: none (too few steps near the stop), or not recorded
    double score, uncertainty;
};

// A busy GPU whose clock runs below this share of the highest it reached busy in the run is
// held back: boost clocks wander by a few per cent under a steady load, not by a tenth.
constexpr double kGpuHeldShare = 0.90;

// Whether the GPU itself was held back over the steps that decided the score (all of a
// quick run's grids): its clock fell while it was busy, its driver said it held the clock
// down, or it reached its critical temperature (watch/trust.h).
struct ResultHeld {
    bool known; // false: no GPU watched, no step with its figures, or an older file
    bool heldBack;
    int steps;         // deciding steps with the GPU's figures
    double topMhz;     // the highest step clock it reached while busy
    double lowMhz;     // the lowest of a deciding step while busy; -1: none
    bool clockFell;    // lowMhz below kGpuHeldShare of topMhz
    unsigned throttle; // reasons set in the deciding steps
    double hottestC;   // over them; -1 unknown
    double headroomC;  // over them; NAN: unknown
    bool hot;          // a sensor reached its critical level (headroomC <= 0)
};

// A reference grid measured at its step of the climb and again after the stop: whether the
// machine's speed moved during the run, which a run cannot see in its own steps.
struct ResultDrift {
    bool known;     // false: not measured (a test in the window, aborted, an older file)
    int grid;       // the reference: the first step the steady figure is fitted over
    double firstMs; // its median frame time at its step
    double againMs; // and after the stop
    double change;  // againMs / firstMs - 1
    double allowed; // the largest change, either way, a steady machine shows
    bool drifted;   // the change was larger
};

// How a run ended: scored by the climb's stop rule, aborted, or, for a quick run (no
// score), with its grids measured.
enum ResultEnd { kRunGoing, kRunScore, kRunAborted, kRunMeasured };

struct ResultRun {
    time_t started;     // wall clock, for the record
    int64_t startedMs;  // monotonic, for the duration
    int64_t durationMs; // from the log's creation to "test stopped"
    std::vector<ResultStep> steps;
    ResultEnd end;
    int score;          // 0 unless end is kRunScore
    bool quick = false; // the quick protocol's run, not a climb
    ResultVerdict verdict = {};
    ResultSteady steady = {};
    ResultDrift drift = {};
    ResultHeld held = {};
    std::string series; // a --repeat series' first run's start, as written; "" for a single test
};

// The variables of the environment that change what GL does (record/environment.h), by name:
// NAME -> value. No more than a result holds; an empty one is a run with none set.
typedef std::map<std::string, std::string> ResultEnvironment;
enum { kResultEnvironmentMost = 64 };

// What a run was measured on; read when the results are written, after the run.
struct ResultSetting {
    const char *version;
    const char *driver; // "x11", "wayland", "offscreen"
    int eglDevice;      // -1: not offscreen, or unknown
    char eglDeviceName[64];
    const char *glVendor, *glRenderer, *glVersion;
    int width, height, bits;
    bool textures, lighting, keepInSync;
    char cpu[128]; // model name, "" when the system does not say
    int cores;     // logical processors online
    int64_t memoryBytes;
    char kernel[65];                            // release
    const struct ValidationOutcome *validation; // null when the renderer was not validated
    const ResultEnvironment *environment;       // null: not recorded
    // The files beside the JSON that are this result's; screenshot null when the last run
    // took none.
    const char *logName, *screenshotName, *plotNames[2];
};

// This process's runs that the next result file describes, oldest first.
extern std::vector<ResultRun> resultRuns;

// The tests a series was asked for (--repeat K), 1 for a single test: a series says each of
// its runs as it ends, "run i of K"; a single test's run is said once, in the headline.
extern int resultSeriesAsked;

// How a series names its run n: "run 2 of 3", or past the asked count "run 4 (of 3 asked"
// and, when why is set, the reason it was added, then ")". "" for a single test.
std::string SeriesRunLabel(int n, bool why);

// A result as the plot and the comparison see it: written by this process, or read back
// from a result file.
struct ResultFile {
    std::string name;              // how to call it: its path, or "" for this process's result
    std::string renderer;          // opengl.renderer, "" when unknown
    std::string vendor, glVersion; // opengl's, "" when unknown
    std::string version;           // the program's
    std::string kernel, cpu;       // the machine's
    std::string driver;            // SDL's video driver
    // "passed", "failed", "not_validated", or "" when never validated; for files written
    // before the state was, what their verdict says.
    std::string validation;
    int width, height; // the surface
    // The scene's settings (settings.*): true for files that do not say.
    bool textures = true, lighting = true, keepInSync = false;
    // None for files written before it was recorded: unknown, which an empty one is not.
    std::optional<ResultEnvironment> environment;
    std::vector<ResultRun> runs;
};
