#include "record/json.h"

#include "record/pair_record.h"

#include "validation/validation.h"
// up: the document carries its series' figures, counted as the report counts them
#include "report/summary.h"

#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <cmath>
#include <math.h>
#include <nlohmann/json.hpp>
#include <pthread.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

using nlohmann::json;

static json Text(const char *s) {
    return s ? json(s) : json(nullptr);
}

// Four digits of year always, as the schema's pattern has them (strftime's %Y has not).
std::string ResultTime(time_t t) {
    struct tm utc;
    char buf[64];
    if (!gmtime_r(&t, &utc)) return "";
    snprintf(buf, sizeof buf, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1,
             utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec);
    return buf;
}

static json Load(const ResultLoad &l) {
    if (!l.known) return nullptr;
    return {{"others", l.others},
            {"steal", l.steal},
            {"self", l.self},
            {"wait", l.waitKnown ? json(l.wait) : json(nullptr)},
            {"taken", l.taken}};
}

// A figure the GPU's driver does not publish is null.
static json Figure(double v) {
    return v >= 0 ? json(v) : json(nullptr);
}

static json Throttle(unsigned bits) {
    json names = json::array();
    for (int i = 0; i < kGpuThrottleReasons; i++)
        if (bits >> i & 1) names.push_back(kGpuThrottleNames[i]);
    return names;
}

static json Gpu(const ResultGpu &g) {
    if (!g.known) return nullptr;
    return {{"samples", g.samples},
            {"median_mhz", Figure(g.medianMhz)},
            {"lowest_mhz", Figure(g.lowestMhz)},
            {"max_mhz", Figure(g.maxMhz)},
            {"busy", Figure(g.busy)},
            {"hottest_c", Figure(g.hottestC)},
            {"headroom_c", std::isnan(g.headroomC) ? json(nullptr) : json(g.headroomC)},
            {"power_w", Figure(g.powerW)},
            {"throttle", Throttle(g.throttle)},
            {"memory_mhz", Figure(g.memoryMhz)},
            {"power_cap_w", Figure(g.powerCapW)},
            {"hottest_sensor", *g.hottestSensor ? json(g.hottestSensor) : json(nullptr)}};
}

static json Held(const ResultHeld &h) {
    if (!h.known) return nullptr;
    return {{"held_back", h.heldBack},
            {"deciding_steps", h.steps},
            {"top_mhz", h.topMhz > 0 ? json(h.topMhz) : json(nullptr)},
            {"low_mhz", Figure(h.lowMhz)},
            {"clock_fell", h.clockFell},
            {"throttle", Throttle(h.throttle)},
            {"hottest_c", Figure(h.hottestC)},
            {"headroom_c", std::isnan(h.headroomC) ? json(nullptr) : json(h.headroomC)},
            {"hot", h.hot}};
}

static json Step(const ResultStep &s) {
    json times = nullptr;
    if (s.timed)
        times = {{"timed", s.timed},
                 {"p10_ms", s.p10Ms},
                 {"median_ms", s.medianMs},
                 {"p90_ms", s.p90Ms}};
    return {{"grid", s.grid},       {"triangles", s.triangles}, {"fps", s.fps},
            {"frame_times", times}, {"load", Load(s.load)},     {"gpu", Gpu(s.gpu)}};
}

static json Verdict(const ResultVerdict &v) {
    if (!v.known) return nullptr;
    return {{"disturbed", v.disturbed},
            {"deciding_steps", v.steps},
            {"deciding", Load(v.over)},
            {"last_step", Load(v.last)}};
}

static json Drift(const ResultDrift &d) {
    if (!d.known) return nullptr;
    return {{"grid", d.grid},     {"first_ms", d.firstMs}, {"again_ms", d.againMs},
            {"change", d.change}, {"allowed", d.allowed},  {"drifted", d.drifted}};
}

static json Run(const ResultRun &run) {
    json steps = json::array();
    for (const ResultStep &s : run.steps)
        steps.push_back(Step(s));
    auto steady = [&](double v) { return run.steady.known ? json(v) : json(nullptr); };
    json doc = {
        {"started", ResultTime(run.started)},
        {"duration_seconds", (double)run.durationMs / 1000.0},
        {"steps", steps},
        {"protocol", run.quick ? "quick" : "climb"},
        {"end", run.end == kRunScore      ? "score"
                : run.end == kRunMeasured ? "measured"
                                          : "aborted"},
        {"score", run.end == kRunScore ? json(run.score) : json(nullptr)},
        {"interference", Verdict(run.verdict)},
        {"steady_score", steady(run.steady.score)},
        {"steady_uncertainty", steady(run.steady.uncertainty)},
        {"drift", Drift(run.drift)},
        {"gpu", Held(run.held)},
    };
    if (!run.series.empty()) doc["series"] = run.series;
    return doc;
}

// Whether the renderer drew the fixed validation frames right, and how far off each was. A
// renderer that could not draw them at all is neither: not validated, with no frames.
static json Validation(const ValidationOutcome *v) {
    if (!v) return nullptr;
    json frames = json::array();
    for (int i = 0; v->targetMade && i < kValidationFrameCount; i++) {
        const FrameVerdict &f = v->frames[i];
        json diff = nullptr;
        if (f.measured)
            diff = {{"mean", f.diff.mean},
                    {"edge_outliers", f.diff.edgeShare},
                    {"other_outliers", f.diff.flatShare},
                    {"worst", f.diff.worst}};
        frames.push_back({{"name", f.name}, {"passed", f.passed != 0}, {"difference", diff}});
    }
    json passed = v->targetMade ? json(v->failed == 0) : json(nullptr);
    return {{"state", ValidationState(v)}, {"passed", passed}, {"frames", frames}};
}

// What the runs add up to; null figures without a scored run.
static json Summary(const std::vector<ResultRun> &runs) {
    ResultSummary s = Summarize(runs);
    auto scored = [&](json v) { return s.counted ? v : json(nullptr); };
    return {
        {"runs", s.runs},
        {"scored_runs", s.scored},
        {"measured_runs", s.measured},
        {"disturbed_runs", s.disturbed},
        {"drifted_runs", s.drifted},
        {"counted_runs", s.counted},
        {"median_score", scored(s.medianScore)},
        {"lowest_score", scored(s.lowestScore)},
        {"highest_score", scored(s.highestScore)},
        {"spread_grid_steps", scored(s.spreadGridSteps)},
        {"peak_million_triangles_per_second", s.peakRate},
        {"median_steady_score", s.steadyRuns ? json(s.medianSteady) : json(nullptr)},
        {"median_steady_uncertainty", s.steadyRuns ? json(s.steadyUncertainty) : json(nullptr)},
    };
}

static json Machine(const ResultSetting &s) {
    return {{"cpu", s.cpu},
            {"logical_cores", s.cores},
            {"memory_bytes", s.memoryBytes},
            {"kernel", s.kernel}};
}

// The files beside this one that are this result's: a folder may also hold an older
// run's screenshot, which a quick or aborted run does not replace.
static json Files(const ResultSetting &s) {
    return {{"log", Text(s.logName)},
            {"screenshot", Text(s.screenshotName)},
            {"plot", {Text(s.plotNames[0]), Text(s.plotNames[1])}}};
}

std::string ResultJson(const ResultSetting &s, const std::vector<ResultRun> &runs) {
    json device = nullptr;
    if (s.eglDevice >= 0) device = {{"index", s.eglDevice}, {"name", s.eglDeviceName}};
    json doc = {
        {"program", "Kelvane"},
        {"version", Text(s.version)},
        {"machine", Machine(s)},
        {"video", {{"driver", Text(s.driver)}, {"egl_device", device}}},
        {"opengl",
         {{"vendor", Text(s.glVendor)},
          {"renderer", Text(s.glRenderer)},
          {"version", Text(s.glVersion)}}},
        {"surface", {{"width", s.width}, {"height", s.height}, {"bits", s.bits}}},
        {"settings",
         {{"textures", s.textures}, {"lighting", s.lighting}, {"keep_in_sync", s.keepInSync}}},
    };
    // Its bytes are anyone's: the dump below replaces what is not UTF-8, names and values.
    if (s.environment) doc["environment"] = *s.environment;
    json list = json::array();
    for (const ResultRun &run : runs)
        list.push_back(Run(run));
    doc["runs"] = list;
    doc["validation"] = Validation(s.validation);
    doc["summary"] = Summary(runs);
    if (s.logName) doc["files"] = Files(s);
    // Replacing bad UTF-8 instead of throwing: the program has no exceptions to catch it.
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

static json Side(const PairSide &s) {
    return {{"setting", s.setting},
            {"env", s.env},
            {"device", s.device >= 0 ? json(s.device) : json(nullptr)},
            {"opengl", {{"vendor", s.vendor}, {"renderer", s.renderer}, {"version", s.glVersion}}}};
}

// The GPU's clock as a turn began and ended: null where no GPU was watched.
static json Clocks(const PairTurn &t) {
    auto mhz = [](double v) { return v > 0 ? json(v) : json(nullptr); };
    if (t.clockFromMhz <= 0 && t.clockToMhz <= 0) return nullptr;
    return json::array({mhz(t.clockFromMhz), mhz(t.clockToMhz)});
}

static json Turn(const PairTurn &t) {
    return {{"side", t.side ? "B" : "A"},
            {"pair", t.pair},
            {"round", t.round},
            {"grid", t.grid},
            {"fill", t.fill},
            {"frames", t.frames},
            {"mean_ms", t.meanMs},
            {"frame_ms", t.frameMs},
            {"load", Load(t.load)},
            {"disturbed", t.disturbed},
            {"gpu_clock_mhz", Clocks(t)},
            {"ran_on", t.ranOn},
            {"dropped", t.dropped}};
}

static json PairVerdictJson(const PairResult &p) {
    const PairJudgement &j = p.judgement;
    auto known = [&](double v) { return j.known ? json(v) : json(nullptr); };
    return {{"known", j.known},        {"pairs", j.pairs},
            {"blocks", j.blocks},      {"rounds", j.rounds},
            {"ratio", known(j.ratio)}, {"low", known(j.low)},
            {"high", known(j.high)},   {"confidence", j.confidence},
            {"precise", p.precise},    {"clock_rising", p.clockRising},
            {"text", p.verdict}};
}

std::string PairDocument(const PairResult &p, const ResultSetting &machine) {
    json turns = json::array();
    for (const PairTurn &t : p.turns)
        turns.push_back(Turn(t));
    json doc = {
        {"program", "Kelvane"},
        {"version", Text(machine.version)},
        {"protocol", "pair"},
        {"machine", Machine(machine)},
        {"video", {{"driver", p.driver}}},
        {"surface", {{"width", p.width}, {"height", p.height}}},
        {"sides", {{"A", Side(p.sides[0])}, {"B", Side(p.sides[1])}}},
        {"same_renderer", p.sameRenderer},
        {"grid", p.grid},
        {"precision", p.precision},
        {"time_limit_seconds", p.timeLimitS},
        {"started", ResultTime(p.started)},
        {"duration_seconds", (double)p.durationMs / 1000.0},
        {"turns", turns},
        {"verdict", PairVerdictJson(p)},
    };
    return doc.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

static bool WriteAll(int fd, const std::string &text) {
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += (size_t)n;
    }
    return true;
}

// mkstemp makes the file private; the result is shared like the log beside it.
static mode_t FileMode(void) {
    mode_t mask = umask(0);
    umask(mask);
    return 0666 & ~mask;
}

static bool WriteTemp(const std::string &temp, int fd, const std::string &text, const char *path) {
    // A reader must never see half a file, even after a crash: the data is on disk before
    // the name points at it.
    bool ok = WriteAll(fd, text) && fsync(fd) == 0 && fchmod(fd, FileMode()) == 0;
    int why = errno;
    if (close(fd) != 0 && ok) ok = false, why = errno;
    if (ok && rename(temp.c_str(), path) == 0) return true;
    if (ok) why = errno;
    unlink(temp.c_str());
    errno = why;
    return false;
}

static int Replace(const std::string &path, const std::string &text) {
    // A signal that would end the process waits until the temporary file is renamed or
    // removed, so that an interrupted program leaves none behind.
    sigset_t ending, before;
    sigemptyset(&ending);
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
        sigaddset(&ending, sig);
    pthread_sigmask(SIG_BLOCK, &ending, &before);
    std::string temp = path + ".XXXXXX";
    int fd = mkstemp(&temp[0]);
    bool ok = fd >= 0 && WriteTemp(temp, fd, text, path.c_str());
    int why = errno;
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = why;
    return ok ? 1 : 0;
}

// A device, a pipe, a terminal: there is nothing to replace, and a reader takes the text as
// it comes. Signals stay open: a pipe nobody reads yet holds the program in open().
static int WriteThrough(const char *path, const std::string &text) {
    int fd = open(path, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return 0;
    bool ok = WriteAll(fd, text);
    int why = errno;
    if (close(fd) != 0 && ok) return 0;
    errno = why;
    return ok ? 1 : 0;
}

// The name a chain of links ends at, which need not exist yet; the name itself when it is no
// link. Relative links are read from the folder of the link.
static bool Dangling(std::string *path) {
    for (int hops = 0; hops < 40; hops++) {
        char target[PATH_MAX];
        ssize_t n = readlink(path->c_str(), target, sizeof target - 1);
        if (n < 0) return errno == EINVAL || errno == ENOENT;
        std::string next(target, (size_t)n);
        size_t slash = path->rfind('/');
        if (next[0] != '/' && slash != std::string::npos) next = path->substr(0, slash + 1) + next;
        *path = next;
    }
    errno = ELOOP;
    return false;
}

int WriteWhole(const char *path, const std::string &text) {
    struct stat st;
    if (stat(path, &st) != 0) { // a new name, or a link to one
        std::string target = path;
        return Dangling(&target) ? Replace(target, text) : 0;
    }
    if (S_ISDIR(st.st_mode)) return errno = EISDIR, 0;
    if (!S_ISREG(st.st_mode)) return WriteThrough(path, text);
    // A link stays a link: the file it leads to is replaced.
    struct stat own;
    if (lstat(path, &own) != 0 || !S_ISLNK(own.st_mode)) return Replace(path, text);
    char real[PATH_MAX];
    // A file that only a descriptor still names (a deleted file behind /dev/stdout).
    if (!realpath(path, real)) return WriteThrough(path, text);
    return Replace(real, text);
}
