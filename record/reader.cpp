#include "record/reader.h"

#include "record/pair.h"

#include <algorithm>
#include <ctype.h>
#include <errno.h>
#include <float.h>
#include <limits.h>
#include <limits>
#include <math.h>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <map>
#include <string.h>
#include <time.h>

using nlohmann::json;

// A result of a 100-run series of 200 steps is about 2 MB; anything far larger is no result.
enum { kMaxResultBytes = 64 << 20 };

// The checks below stop at the first fault and say where it is.
struct Reader {
    std::string why;
    bool Fail(const std::string &where, const char *what) {
        if (why.empty()) why = where + ": " + what;
        return false;
    }
};

static const json *Member(const json &object, const char *key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// Present and null: where the schema allows null beside a value.
static bool Null(const json &object, const char *key) {
    const json *v = Member(object, key);
    return v && v->is_null();
}

static bool Object(Reader &r, const json *v, const std::string &where) {
    if (!v) return r.Fail(where, "missing");
    return v->is_object() || r.Fail(where, "not an object");
}

// The schema allows no member it does not name. at ends in "." (or is "" at the top).
static bool OnlyKnown(Reader &r, const json &o, const std::string &at,
                      std::initializer_list<const char *> keys) {
    for (auto &[key, _] : o.items()) {
        bool known = false;
        for (const char *k : keys)
            known = known || key == k;
        if (!known) return r.Fail(at + key, "not a field of a result");
    }
    return true;
}

// The triangles of the largest grid a file can hold; the frames a window times at most.
enum { kMaxTriangles = kMaxResultGrid * kMaxResultGrid * kResultTrianglesPerSphere };
enum { kTimedMax = 1024 };

// A whole number from lo to hi, as the schema's integers are: 8.0 is one, and so is one too
// large for nlohmann's integers, which it holds as a float. One that is kept is kept as an
// int, so the schema bounds it within one: what is read is what the file holds.
static bool Integer(Reader &r, const json &o, const char *key, const std::string &at, double lo,
                    double hi, int *out) {
    const json *v = Member(o, key);
    std::string where = at + key;
    if (!v) return r.Fail(where, "missing");
    if (!v->is_number()) return r.Fail(where, "not an integer");
    double d = v->is_number_unsigned()  ? (double)v->get<uint64_t>()
               : v->is_number_integer() ? (double)v->get<int64_t>()
                                        : v->get<double>();
    if (!isfinite(d) || d != floor(d)) return r.Fail(where, "not an integer");
    if (d < lo || d > hi || (out && d > INT_MAX)) return r.Fail(where, "out of range");
    if (out) *out = (int)d;
    return true;
}

// A number from lo to hi.
static bool Number(Reader &r, const json &o, const char *key, const std::string &at, double lo,
                   double hi, double *out) {
    const json *v = Member(o, key);
    std::string where = at + key;
    if (!v) return r.Fail(where, "missing");
    if (!v->is_number()) return r.Fail(where, "not a number");
    double d = v->get<double>();
    if (!isfinite(d) || d < lo || d > hi) return r.Fail(where, "out of range");
    if (out) *out = d;
    return true;
}

static bool String(Reader &r, const json &o, const char *key, const std::string &at, bool nullable,
                   std::string *out) {
    const json *v = Member(o, key);
    std::string where = at + key;
    if (!v) return r.Fail(where, "missing");
    if (nullable && v->is_null()) return true;
    if (!v->is_string()) return r.Fail(where, nullable ? "not a string or null" : "not a string");
    if (out) *out = v->get<std::string>();
    return true;
}

static bool TrueOrFalse(Reader &r, const json &o, const char *key, const std::string &at) {
    const json *v = Member(o, key);
    if (!v) return r.Fail(at + key, "missing");
    return v->is_boolean() || r.Fail(at + key, "not true or false");
}

// The least positive double: the schema takes any number above 0.
constexpr double kPositive = std::numeric_limits<double>::denorm_min();

// Whether the fields name a second the calendar has (year 1 on, no leap second: the program
// writes none), as validate.py checks it.
static bool OnTheCalendar(const struct tm &t) {
    static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int y = t.tm_year, leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    if (y < 1 || t.tm_mon < 1 || t.tm_mon > 12 || t.tm_mday < 1) return false;
    if (t.tm_mday > kDays[t.tm_mon - 1] + (t.tm_mon == 2 && leap)) return false;
    return t.tm_hour < 24 && t.tm_min < 60 && t.tm_sec < 60;
}

// "YYYY-MM-DDTHH:MM:SSZ", as the schema's pattern has it.
static bool TimeShaped(const std::string &s) {
    static const char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
    bool shaped = s.size() == sizeof kShape - 1;
    for (size_t i = 0; shaped && i < s.size(); i++)
        shaped = kShape[i] == 'd' ? s[i] >= '0' && s[i] <= '9' : s[i] == kShape[i];
    return shaped;
}

// "YYYY-MM-DDTHH:MM:SSZ" at key, as the schema's pattern has it, of a time the calendar has.
static bool CalendarTime(Reader &r, const json &o, const char *key, const std::string &at,
                         std::string *s, time_t *out) {
    if (!String(r, o, key, at, false, s)) return false;
    if (!TimeShaped(*s)) return r.Fail(at + key, "not a UTC time like 2024-05-01T09:30:12Z");
    struct tm t = {};
    sscanf(s->c_str(), "%4d-%2d-%2dT%2d:%2d:%2dZ", &t.tm_year, &t.tm_mon, &t.tm_mday, &t.tm_hour,
           &t.tm_min, &t.tm_sec);
    if (!OnTheCalendar(t)) return r.Fail(at + key, "not a time the calendar has");
    t.tm_year -= 1900;
    t.tm_mon -= 1;
    *out = timegm(&t);
    return true;
}

// A run of a --repeat series names it by its first run's start (absent for a single test).
static bool Series(Reader &r, const json &run, const std::string &at, std::string *out) {
    time_t ignored;
    return !Member(run, "series") || CalendarTime(r, run, "series", at, out, &ignored);
}

static bool Started(Reader &r, const json &run, const std::string &at, time_t *out) {
    std::string s;
    return CalendarTime(r, run, "started", at, &s, out);
}

// Shares of the machine: null, or each from 0 to 1 and together at most the whole. A step's
// is missing in files written before they were measured: unknown, as null.
static bool Load(Reader &r, const json &o, const char *key, const std::string &at, bool required,
                 ResultLoad *out) {
    *out = ResultLoad{};
    const json *v = Member(o, key);
    std::string whole = at + key, in = whole + ".";
    if (!v && required) return r.Fail(whole, "missing");
    if (!v || v->is_null()) return true;
    if (!v->is_object()) return r.Fail(whole, "not an object or null");
    ResultLoad l = {true, 0, 0, 0, 0, false, 0};
    if (!OnlyKnown(r, *v, in, {"others", "steal", "self", "wait", "taken"}) ||
        !Number(r, *v, "others", in, 0, 1, &l.others) ||
        !Number(r, *v, "steal", in, 0, 1, &l.steal) || !Number(r, *v, "self", in, 0, 1, &l.self) ||
        !Number(r, *v, "taken", in, 0, 1, &l.taken))
        return false;
    if (l.others + l.steal + l.self > 1 + 1e-9) return r.Fail(whole, "more than the whole machine");
    if (l.taken > l.others + l.steal + 1e-9) return r.Fail(in + "taken", "more than others used");
    const json *wait = Member(*v, "wait");
    if (wait && !wait->is_null()) {
        // As many threads as wait at once: a few thousand processors' worth at the most.
        if (!Number(r, *v, "wait", in, 0, 4096, &l.wait)) return false;
        l.waitKnown = true;
    }
    *out = l;
    return true;
}

// A step's frame times: null, missing (older files), or the percentiles in order.
static bool FrameTimes(Reader &r, const json &step, const std::string &at, ResultStep *out) {
    const json *v = Member(step, "frame_times");
    if (!v || v->is_null()) return true;
    std::string in = at + "frame_times";
    if (!v->is_object()) return r.Fail(in, "not an object or null");
    in += ".";
    if (!OnlyKnown(r, *v, in, {"timed", "p10_ms", "median_ms", "p90_ms"}) ||
        !Integer(r, *v, "timed", in, 1, kTimedMax, &out->timed) ||
        !Number(r, *v, "p10_ms", in, 0, HUGE_VAL, &out->p10Ms) ||
        !Number(r, *v, "median_ms", in, 0, HUGE_VAL, &out->medianMs) ||
        !Number(r, *v, "p90_ms", in, 0, HUGE_VAL, &out->p90Ms))
        return false;
    if (out->p10Ms > out->medianMs || out->medianMs > out->p90Ms)
        return r.Fail(in + "median_ms", "not between the 10th and 90th percentiles");
    return true;
}

// The run's verdict and steady figure, each null or missing (older files) when unknown.
static bool Trust(Reader &r, const json &v, const std::string &at, ResultRun *run) {
    const json *verdict = Member(v, "interference");
    if (verdict && !verdict->is_null()) {
        std::string in = at + "interference";
        if (!verdict->is_object()) return r.Fail(in, "not an object or null");
        in += ".";
        ResultVerdict &d = run->verdict;
        d.known = true;
        if (!OnlyKnown(r, *verdict, in, {"disturbed", "deciding_steps", "deciding", "last_step"}) ||
            !TrueOrFalse(r, *verdict, "disturbed", in) ||
            !Integer(r, *verdict, "deciding_steps", in, 1, INT_MAX, &d.steps) ||
            !Load(r, *verdict, "deciding", in, true, &d.over) ||
            !Load(r, *verdict, "last_step", in, true, &d.last))
            return false;
        d.disturbed = (*verdict)["disturbed"].get<bool>();
    }
    const json *drift = Member(v, "drift");
    if (drift && !drift->is_null()) {
        std::string in = at + "drift";
        if (!drift->is_object()) return r.Fail(in, "not an object or null");
        in += ".";
        ResultDrift &d = run->drift;
        d.known = true;
        if (!OnlyKnown(r, *drift, in,
                       {"grid", "first_ms", "again_ms", "change", "allowed", "drifted"}) ||
            !Integer(r, *drift, "grid", in, 0, kMaxResultGrid, &d.grid) ||
            !Number(r, *drift, "first_ms", in, 0, HUGE_VAL, &d.firstMs) ||
            !Number(r, *drift, "again_ms", in, 0, HUGE_VAL, &d.againMs) ||
            !Number(r, *drift, "change", in, -1, HUGE_VAL, &d.change) ||
            !Number(r, *drift, "allowed", in, 0, HUGE_VAL, &d.allowed) ||
            !TrueOrFalse(r, *drift, "drifted", in))
            return false;
        d.drifted = (*drift)["drifted"].get<bool>();
        if (d.firstMs > 0 &&
            fabs(d.againMs / d.firstMs - 1 - d.change) > 1e-6 * (1 + fabs(d.change)))
            return r.Fail(in + "change", "not again_ms / first_ms - 1");
        if (d.drifted != (fabs(d.change) > d.allowed))
            return r.Fail(in + "drifted", "does not follow from change and allowed");
    }
    // An uncertainty may stand without a figure, but a figure never without its uncertainty.
    const json *steady = Member(v, "steady_score"), *spread = Member(v, "steady_uncertainty");
    ResultSteady s = {true, 0, 0};
    if (spread && !spread->is_null() &&
        !Number(r, v, "steady_uncertainty", at, 0, HUGE_VAL, &s.uncertainty))
        return false;
    if (!steady || steady->is_null()) return true;
    if (!spread || spread->is_null())
        return r.Fail(at + "steady_uncertainty", "none for the figure");
    if (!Number(r, v, "steady_score", at, 0, HUGE_VAL, &s.score)) return false;
    run->steady = s;
    return true;
}

// A figure of the GPU's: a number from lo to hi, or null where its driver does not publish it
// (out then unknown).
static bool Figure(Reader &r, const json &o, const char *key, const std::string &at, double lo,
                   double hi, double unknown, double *out) {
    const json *v = Member(o, key);
    *out = unknown;
    if (v && v->is_null()) return true;
    return Number(r, o, key, at, lo, hi, out);
}

// The driver's reasons for holding the clock down: each a name it gives, once.
static bool Throttle(Reader &r, const json &o, const std::string &at, unsigned *out) {
    const json *v = Member(o, "throttle");
    std::string where = at + "throttle";
    *out = 0;
    if (!v) return r.Fail(where, "missing");
    if (!v->is_array()) return r.Fail(where, "not an array");
    for (const json &name : *v) {
        int i = 0;
        while (i < kGpuThrottleReasons && !(name.is_string() && name == kGpuThrottleNames[i]))
            i++;
        if (i == kGpuThrottleReasons) return r.Fail(where, "holds a reason no driver gives");
        if (*out >> i & 1) return r.Fail(where, "names a reason twice");
        *out |= 1u << i;
    }
    return true;
}

// A sensor's label: null, or up to 15 printable ASCII characters, as the schema's pattern.
static bool Sensor(Reader &r, const json &o, const std::string &at, char out[16]) {
    std::string s;
    if (!String(r, o, "hottest_sensor", at, true, &s)) return false;
    bool printable = s.size() <= 15;
    for (char c : s)
        printable = printable && c >= ' ' && c <= '~';
    if (!printable) return r.Fail(at + "hottest_sensor", "not a sensor's label");
    snprintf(out, 16, "%s", s.c_str());
    return true;
}

// A step's GPU figures: null, missing (older files, no GPU watched), or its looks' figures,
// the lowest clock at most the median.
static bool StepGpu(Reader &r, const json &step, const std::string &at, ResultGpu *out) {
    const json *v = Member(step, "gpu");
    *out = ResultGpu{};
    if (!v || v->is_null()) return true;
    std::string in = at + "gpu";
    if (!v->is_object()) return r.Fail(in, "not an object or null");
    in += ".";
    ResultGpu g = {};
    g.known = true;
    if (!OnlyKnown(r, *v, in,
                   {"samples", "median_mhz", "lowest_mhz", "max_mhz", "busy", "hottest_c",
                    "headroom_c", "power_w", "throttle", "memory_mhz", "power_cap_w",
                    "hottest_sensor"}) ||
        !Integer(r, *v, "samples", in, 1, INT_MAX, &g.samples) ||
        !Figure(r, *v, "median_mhz", in, 0, HUGE_VAL, -1, &g.medianMhz) ||
        !Figure(r, *v, "lowest_mhz", in, 0, HUGE_VAL, -1, &g.lowestMhz) ||
        !Figure(r, *v, "max_mhz", in, 0, HUGE_VAL, -1, &g.maxMhz) ||
        !Figure(r, *v, "busy", in, 0, 1, -1, &g.busy) ||
        !Figure(r, *v, "hottest_c", in, 0, HUGE_VAL, -1, &g.hottestC) ||
        !Figure(r, *v, "headroom_c", in, -HUGE_VAL, HUGE_VAL, NAN, &g.headroomC) ||
        !Figure(r, *v, "power_w", in, 0, HUGE_VAL, -1, &g.powerW) ||
        !Throttle(r, *v, in, &g.throttle) ||
        !Figure(r, *v, "memory_mhz", in, 0, HUGE_VAL, -1, &g.memoryMhz) ||
        !Figure(r, *v, "power_cap_w", in, 0, HUGE_VAL, -1, &g.powerCapW) ||
        !Sensor(r, *v, in, g.hottestSensor))
        return false;
    if ((g.medianMhz < 0) != (g.lowestMhz < 0) || g.lowestMhz > g.medianMhz)
        return r.Fail(in + "lowest_mhz", "not a clock at most the median");
    *out = g;
    return true;
}

// The run's GPU verdict: null, missing, or one that follows from its figures.
static bool Held(Reader &r, const json &run, const std::string &at, ResultHeld *out) {
    const json *v = Member(run, "gpu");
    *out = ResultHeld{};
    if (!v || v->is_null()) return true;
    std::string in = at + "gpu";
    if (!v->is_object()) return r.Fail(in, "not an object or null");
    in += ".";
    ResultHeld h = {};
    h.known = true;
    if (!OnlyKnown(r, *v, in,
                   {"held_back", "deciding_steps", "top_mhz", "low_mhz", "clock_fell", "throttle",
                    "hottest_c", "headroom_c", "hot"}) ||
        !TrueOrFalse(r, *v, "held_back", in) || !TrueOrFalse(r, *v, "clock_fell", in) ||
        !TrueOrFalse(r, *v, "hot", in) ||
        !Integer(r, *v, "deciding_steps", in, 1, INT_MAX, &h.steps) ||
        !Figure(r, *v, "top_mhz", in, 0, HUGE_VAL, 0, &h.topMhz) ||
        !Figure(r, *v, "low_mhz", in, 0, HUGE_VAL, -1, &h.lowMhz) ||
        !Throttle(r, *v, in, &h.throttle) ||
        !Figure(r, *v, "hottest_c", in, 0, HUGE_VAL, -1, &h.hottestC) ||
        !Figure(r, *v, "headroom_c", in, -HUGE_VAL, HUGE_VAL, NAN, &h.headroomC))
        return false;
    h.heldBack = (*v)["held_back"].get<bool>();
    h.clockFell = (*v)["clock_fell"].get<bool>();
    h.hot = (*v)["hot"].get<bool>();
    if (h.lowMhz > h.topMhz) return r.Fail(in + "low_mhz", "above top_mhz");
    if (h.clockFell != (h.lowMhz >= 0 && h.lowMhz < kGpuHeldShare * h.topMhz))
        return r.Fail(in + "clock_fell", "does not follow from low_mhz and top_mhz");
    if (h.hot != (h.headroomC <= 0)) return r.Fail(in + "hot", "does not follow from headroom_c");
    if (h.heldBack != (h.clockFell || h.throttle || h.hot))
        return r.Fail(in + "held_back", "does not follow from its reasons");
    *out = h;
    return true;
}

// The triangles follow from the grid, as the log counts them; a grid beyond an int's
// triangles was never measured.
static bool Step(Reader &r, const json &v, const std::string &at, ResultStep *step) {
    if (!Object(r, &v, at)) return false;
    std::string in = at + ".";
    double fps = 0;
    if (!OnlyKnown(r, v, in, {"grid", "triangles", "fps", "frame_times", "load", "gpu"}) ||
        !Integer(r, v, "grid", in, 0, kMaxResultGrid, &step->grid) ||
        !Integer(r, v, "triangles", in, 0, kMaxTriangles, &step->triangles) ||
        !Number(r, v, "fps", in, 0, HUGE_VAL, &fps))
        return false;
    if (step->triangles != ResultTriangles(step->grid)) {
        std::string what =
            "not grid x grid x 1152 (" + std::to_string(ResultTriangles(step->grid)) + ")";
        return r.Fail(in + "triangles", what.c_str());
    }
    step->fps = (float)std::min(fps, (double)FLT_MAX); // no frame rate the program measured
    return FrameTimes(r, v, in, step) && Load(r, v, "load", in, false, &step->load) &&
           StepGpu(r, v, in, &step->gpu);
}

// The protocol, the end and the score agree: a climb ends with "score" and a score, or
// "aborted" and null; a quick run with "measured" or "aborted", never a score. Files written
// before quick runs existed have no protocol: climbs.
static bool End(Reader &r, const json &v, const std::string &at, ResultRun *run) {
    const json *end = Member(v, "end"), *score = Member(v, "score"),
               *protocol = Member(v, "protocol");
    if (!end) return r.Fail(at + "end", "missing");
    if (!score) return r.Fail(at + "score", "missing");
    if (protocol && *protocol != "climb" && *protocol != "quick")
        return r.Fail(at + "protocol", "not \"climb\" or \"quick\"");
    run->quick = protocol && *protocol == "quick";
    if (*end == "aborted" || *end == "measured") {
        run->end = *end == "aborted" ? kRunAborted : kRunMeasured;
        if (run->end == kRunMeasured && !run->quick)
            return r.Fail(at + "end", "\"measured\" ends a quick run only");
        return score->is_null() || r.Fail(at + "score", "not null without a climb's score");
    }
    if (*end != "score") return r.Fail(at + "end", "not \"score\", \"aborted\" or \"measured\"");
    if (run->quick) return r.Fail(at + "end", "a quick run has no score");
    run->end = kRunScore;
    return Integer(r, v, "score", at, 1, kMaxResultScore, &run->score);
}

static bool Run(Reader &r, const json &v, const std::string &at, ResultRun *run) {
    if (!Object(r, &v, at)) return false;
    std::string in = at + ".";
    *run = ResultRun{};
    if (!OnlyKnown(r, v, in,
                   {"started", "duration_seconds", "steps", "protocol", "end", "score",
                    "interference", "steady_score", "steady_uncertainty", "drift", "gpu",
                    "series"}) ||
        !Started(r, v, in, &run->started) || !Series(r, v, in, &run->series))
        return false;
    double seconds = 0;
    if (!Number(r, v, "duration_seconds", in, 0, HUGE_VAL, &seconds)) return false;
    // Past 292 million years the milliseconds would pass an int64_t.
    run->durationMs = seconds < 9e15 ? (int64_t)(seconds * 1000) : INT64_MAX;
    const json *steps = Member(v, "steps");
    if (!steps) return r.Fail(in + "steps", "missing");
    if (!steps->is_array()) return r.Fail(in + "steps", "not an array");
    run->steps.resize(steps->size());
    for (size_t i = 0; i < steps->size(); i++)
        if (!Step(r, (*steps)[i], in + "steps[" + std::to_string(i) + "]", &run->steps[i]))
            return false;
    return End(r, v, in, run) && Trust(r, v, in, run) && Held(r, v, in, &run->held);
}

static bool Machine(Reader &r, const json &doc, ResultFile *result) {
    const json *m = Member(doc, "machine");
    if (!Object(r, m, "machine")) return false;
    return OnlyKnown(r, *m, "machine.", {"cpu", "logical_cores", "memory_bytes", "kernel"}) &&
           String(r, *m, "cpu", "machine.", false, &result->cpu) &&
           Integer(r, *m, "logical_cores", "machine.", 0, HUGE_VAL, nullptr) &&
           Integer(r, *m, "memory_bytes", "machine.", 0, HUGE_VAL, nullptr) &&
           String(r, *m, "kernel", "machine.", false, &result->kernel);
}

static bool Video(Reader &r, const json &doc, ResultFile *result) {
    const json *v = Member(doc, "video");
    if (!Object(r, v, "video") || !OnlyKnown(r, *v, "video.", {"driver", "egl_device"}) ||
        !String(r, *v, "driver", "video.", false, &result->driver))
        return false;
    const json *device = Member(*v, "egl_device");
    if (!device) return r.Fail("video.egl_device", "missing");
    if (device->is_null()) return true;
    if (!device->is_object()) return r.Fail("video.egl_device", "not an object or null");
    return OnlyKnown(r, *device, "video.egl_device.", {"index", "name"}) &&
           Integer(r, *device, "index", "video.egl_device.", 0, HUGE_VAL, nullptr) &&
           String(r, *device, "name", "video.egl_device.", false, nullptr);
}

static bool Setting(Reader &r, const json &doc, ResultFile *result) {
    if (!Machine(r, doc, result) || !Video(r, doc, result)) return false;
    const json *gl = Member(doc, "opengl"), *surface = Member(doc, "surface"),
               *settings = Member(doc, "settings");
    if (!Object(r, gl, "opengl") ||
        !OnlyKnown(r, *gl, "opengl.", {"vendor", "renderer", "version"}) ||
        !String(r, *gl, "vendor", "opengl.", true, &result->vendor) ||
        !String(r, *gl, "renderer", "opengl.", true, &result->renderer) ||
        !String(r, *gl, "version", "opengl.", true, &result->glVersion))
        return false;
    if (!Object(r, surface, "surface") ||
        !OnlyKnown(r, *surface, "surface.", {"width", "height", "bits"}) ||
        !Integer(r, *surface, "width", "surface.", 0, kMaxResultSurface, &result->width) ||
        !Integer(r, *surface, "height", "surface.", 0, kMaxResultSurface, &result->height) ||
        !Integer(r, *surface, "bits", "surface.", 0, HUGE_VAL, nullptr))
        return false;
    if (!Object(r, settings, "settings") ||
        !OnlyKnown(r, *settings, "settings.", {"textures", "lighting", "keep_in_sync"}) ||
        !TrueOrFalse(r, *settings, "textures", "settings.") ||
        !TrueOrFalse(r, *settings, "lighting", "settings.") ||
        !TrueOrFalse(r, *settings, "keep_in_sync", "settings."))
        return false;
    result->textures = (*settings)["textures"].get<bool>();
    result->lighting = (*settings)["lighting"].get<bool>();
    result->keepInSync = (*settings)["keep_in_sync"].get<bool>();
    return true;
}

// The GL environment: absent in files written before it was recorded, which is not the
// empty one of a run with none set. Names as an environment has them, values as they were.
static bool Environment(Reader &r, const json &doc, ResultFile *result) {
    const json *e = Member(doc, "environment");
    if (!e) return true;
    if (!e->is_object()) return r.Fail("environment", "not an object");
    if (e->size() > kResultEnvironmentMost)
        return r.Fail("environment", "more variables than a result records");
    ResultEnvironment found;
    for (auto &[name, value] : e->items()) {
        if (name.empty() || name.find('=') != std::string::npos)
            return r.Fail("environment." + name, "not a variable's name");
        if (!value.is_string()) return r.Fail("environment." + name, "not a string");
        found[name] = value.get<std::string>();
    }
    result->environment = found;
    return true;
}

// "1.0.0": three numbers at least, as the schema's pattern has it.
static bool Version(Reader &r, const json &doc, std::string *out) {
    std::string &s = *out;
    if (!String(r, doc, "version", "", false, &s)) return false;
    const char *p = s.c_str();
    for (int part = 0; part < 3; part++) {
        if (part && *p++ != '.') return r.Fail("version", "not like 1.0.0");
        if (*p < '0' || *p > '9') return r.Fail("version", "not like 1.0.0");
        while (*p >= '0' && *p <= '9')
            p++;
    }
    return true;
}

// The summary is worked out again from the runs when needed; what it holds must still be
// what the schema says. Files written before series have none.
static bool Summary(Reader &r, const json &doc) {
    const json *s = Member(doc, "summary");
    if (!s) return true;
    if (!s->is_object()) return r.Fail("summary", "not an object");
    const std::string in = "summary.";
    return OnlyKnown(r, *s, in,
                     {"runs", "scored_runs", "median_score", "lowest_score", "highest_score",
                      "spread_grid_steps", "peak_million_triangles_per_second", "disturbed_runs",
                      "drifted_runs", "measured_runs", "counted_runs", "median_steady_score",
                      "median_steady_uncertainty"}) &&
           Integer(r, *s, "runs", in, 1, HUGE_VAL, nullptr) &&
           Integer(r, *s, "scored_runs", in, 0, HUGE_VAL, nullptr) &&
           (Null(*s, "median_score") ||
            Number(r, *s, "median_score", in, 1, kMaxResultScore, nullptr)) &&
           (Null(*s, "lowest_score") ||
            Integer(r, *s, "lowest_score", in, 1, kMaxResultScore, nullptr)) &&
           (Null(*s, "highest_score") ||
            Integer(r, *s, "highest_score", in, 1, kMaxResultScore, nullptr)) &&
           (Null(*s, "spread_grid_steps") ||
            Integer(r, *s, "spread_grid_steps", in, 0, HUGE_VAL, nullptr)) &&
           Number(r, *s, "peak_million_triangles_per_second", in, 0, HUGE_VAL, nullptr) &&
           (!Member(*s, "disturbed_runs") ||
            Integer(r, *s, "disturbed_runs", in, 0, HUGE_VAL, nullptr)) &&
           (!Member(*s, "counted_runs") ||
            Integer(r, *s, "counted_runs", in, 0, HUGE_VAL, nullptr)) &&
           (!Member(*s, "median_steady_score") || Null(*s, "median_steady_score") ||
            Number(r, *s, "median_steady_score", in, 0, HUGE_VAL, nullptr)) &&
           (!Member(*s, "measured_runs") ||
            Integer(r, *s, "measured_runs", in, 0, HUGE_VAL, nullptr)) &&
           (!Member(*s, "drifted_runs") ||
            Integer(r, *s, "drifted_runs", in, 0, HUGE_VAL, nullptr)) &&
           (!Member(*s, "median_steady_uncertainty") || Null(*s, "median_steady_uncertainty") ||
            Number(r, *s, "median_steady_uncertainty", in, 0, HUGE_VAL, nullptr));
}

// How far a validation frame was from its reference: null when it could not be measured.
static bool Difference(Reader &r, const json &frame, const std::string &at) {
    const json *d = Member(frame, "difference");
    std::string in = at + "difference";
    if (!d) return r.Fail(in, "missing");
    if (d->is_null()) return true;
    if (!d->is_object()) return r.Fail(in, "not an object or null");
    in += ".";
    return OnlyKnown(r, *d, in, {"mean", "edge_outliers", "other_outliers", "worst"}) &&
           Number(r, *d, "mean", in, 0, 255, nullptr) &&
           Number(r, *d, "edge_outliers", in, 0, 1, nullptr) &&
           Number(r, *d, "other_outliers", in, 0, 1, nullptr) &&
           Integer(r, *d, "worst", in, 0, 255, nullptr);
}

// A validation frame's name, verdict and difference; *failed when it failed.
static bool Frame(Reader &r, const json &frame, const std::string &at, bool *failed) {
    std::string name, in = at + ".";
    if (!Object(r, &frame, at) || !OnlyKnown(r, frame, in, {"name", "passed", "difference"}) ||
        !String(r, frame, "name", in, false, &name) || !TrueOrFalse(r, frame, "passed", in) ||
        !Difference(r, frame, in))
        return false;
    if (name.empty()) return r.Fail(in + "name", "empty");
    *failed = !frame["passed"].get<bool>();
    return true;
}

// The renderer's validation: null, or the verdict and every frame's, which agree: it passed
// when every frame did. *state is its state, or for older files the one their verdict gives.
static bool Validation(Reader &r, const json &doc, std::string *said) {
    const json *v = Member(doc, "validation");
    if (!v) return r.Fail("validation", "missing");
    if (v->is_null()) return true;
    if (!v->is_object()) return r.Fail("validation", "not an object or null");
    if (!OnlyKnown(r, *v, "validation.", {"state", "passed", "frames"})) return false;
    const json *frames = Member(*v, "frames");
    // Files written before a renderer could go unvalidated have no state.
    const json *state = Member(*v, "state");
    if (state && *state != "passed" && *state != "failed" && *state != "not_validated")
        return r.Fail("validation.state", "not \"passed\", \"failed\" or \"not_validated\"");
    if (state && *state == "not_validated") {
        const json *passed = Member(*v, "passed");
        if (!passed || !passed->is_null()) return r.Fail("validation.passed", "not null");
        if (!frames || !frames->is_array() || !frames->empty())
            return r.Fail("validation.frames", "not empty");
        *said = "not_validated";
        return true;
    }
    if (!TrueOrFalse(r, *v, "passed", "validation.")) return false;
    bool passed = (*v)["passed"].get<bool>(), failed = false;
    if (state && ((*state == "passed") != passed))
        return r.Fail("validation.passed", "disagrees with its state");
    if (!frames) return r.Fail("validation.frames", "missing");
    if (!frames->is_array() || frames->empty())
        return r.Fail("validation.frames", "not an array of frames");
    for (size_t i = 0; i < frames->size(); i++) {
        bool one = false;
        if (!Frame(r, (*frames)[i], "validation.frames[" + std::to_string(i) + "]", &one))
            return false;
        failed = failed || one;
    }
    if (failed == passed)
        return r.Fail("validation.frames", passed ? "one failed, yet the verdict passed"
                                                  : "all passed, yet the verdict failed");
    *said = passed ? "passed" : "failed";
    return true;
}

// A name in the result's own folder, never a path that could lead out of it.
static bool FileName(Reader &r, const json &v, const std::string &where) {
    if (!v.is_string()) return r.Fail(where, "not a file name");
    std::string s = v.get<std::string>();
    if (s.empty() || s == "." || s == ".." || s.find('/') != std::string::npos)
        return r.Fail(where, "not a file name");
    return true;
}

// The files that are the result's own (older files have none).
static bool Files(Reader &r, const json &doc) {
    const json *f = Member(doc, "files");
    if (!f) return true;
    if (!Object(r, f, "files") || !OnlyKnown(r, *f, "files.", {"log", "screenshot", "plot"}))
        return false;
    const json *log = Member(*f, "log"), *shot = Member(*f, "screenshot"),
               *plot = Member(*f, "plot");
    if (!log || !shot || !plot) return r.Fail("files", "wants log, screenshot and plot");
    if (!FileName(r, *log, "files.log")) return false;
    if (!shot->is_null() && !FileName(r, *shot, "files.screenshot")) return false;
    if (!plot->is_array()) return r.Fail("files.plot", "not an array of file names");
    for (size_t i = 0; i < plot->size(); i++)
        if (!FileName(r, (*plot)[i], "files.plot[" + std::to_string(i) + "]")) return false;
    return true;
}

static bool Document(Reader &r, const json &doc, ResultFile *result) {
    if (!doc.is_object()) return r.Fail("the document", "not an object");
    if (!OnlyKnown(r, doc, "",
                   {"program", "version", "machine", "video", "opengl", "surface", "settings",
                    "environment", "runs", "summary", "validation", "files"}) ||
        !Files(r, doc))
        return false;
    const json *program = Member(doc, "program");
    if (!program || *program != "Kelvane") return r.Fail("program", "not \"Kelvane\"");
    if (!Version(r, doc, &result->version) || !Setting(r, doc, result) ||
        !Environment(r, doc, result) || !Validation(r, doc, &result->validation))
        return false;
    if (!Summary(r, doc)) return false;
    const json *runs = Member(doc, "runs");
    if (!runs) return r.Fail("runs", "missing");
    if (!runs->is_array() || runs->empty()) return r.Fail("runs", "not an array of runs");
    result->runs.resize(runs->size());
    for (size_t i = 0; i < runs->size(); i++)
        if (!Run(r, (*runs)[i], "runs[" + std::to_string(i) + "]", &result->runs[i])) return false;
    return true;
}

// A paired comparison's side: what was set, and what its GL context said.
static bool Side(Reader &r, const json &sides, const char *key, PairSide *side) {
    const json *v = Member(sides, key);
    std::string at = std::string("sides.") + key, in = at + ".";
    if (!Object(r, v, at) || !OnlyKnown(r, *v, in, {"setting", "env", "device", "opengl"}) ||
        !String(r, *v, "setting", in, false, &side->setting))
        return false;
    const json *env = Member(*v, "env");
    if (!env) return r.Fail(in + "env", "missing");
    if (!env->is_array()) return r.Fail(in + "env", "not an array");
    for (size_t i = 0; i < env->size(); i++) {
        const json &e = (*env)[i];
        std::string where = in + "env[" + std::to_string(i) + "]", s;
        if (!e.is_string()) return r.Fail(where, "not a string");
        s = e.get<std::string>();
        size_t name = s.find('=');
        bool shaped = name != std::string::npos && name > 0 && !isdigit((unsigned char)s[0]);
        for (size_t c = 0; shaped && c < name; c++)
            shaped = isalnum((unsigned char)s[c]) || s[c] == '_';
        if (!shaped) return r.Fail(where, "not NAME=VALUE");
        side->env.push_back(s);
    }
    side->device = -1;
    if (!Null(*v, "device") && !Integer(r, *v, "device", in, 0, INT_MAX, &side->device))
        return false;
    const json *gl = Member(*v, "opengl");
    return Object(r, gl, in + "opengl") &&
           OnlyKnown(r, *gl, in + "opengl.", {"vendor", "renderer", "version"}) &&
           String(r, *gl, "vendor", in + "opengl.", false, &side->vendor) &&
           String(r, *gl, "renderer", in + "opengl.", false, &side->renderer) &&
           String(r, *gl, "version", in + "opengl.", false, &side->glVersion);
}

// A turn's GPU clocks as it began and ended: null, or two clocks each null or above 0.
static bool TurnClocks(Reader &r, const json &v, const std::string &in, PairTurn *t) {
    const json *c = Member(v, "gpu_clock_mhz");
    if (!c || c->is_null()) return true;
    if (!c->is_array() || c->size() != 2) return r.Fail(in + "gpu_clock_mhz", "not two clocks");
    double *mhz[2] = {&t->clockFromMhz, &t->clockToMhz};
    for (int k = 0; k < 2; k++) {
        const json &x = (*c)[k];
        if (x.is_null()) continue;
        if (!x.is_number() || !(x.get<double>() > 0) || !isfinite(x.get<double>()))
            return r.Fail(in + "gpu_clock_mhz", "not a clock");
        *mhz[k] = x.get<double>();
    }
    return true;
}

// A turn: its side, its pair, what it measured. Its frame times are those kept, at most as
// many as it counted; all of them give its mean.
static bool Turn(Reader &r, const json &v, const std::string &at, PairTurn *t) {
    if (!Object(r, &v, at)) return false;
    std::string in = at + ".";
    if (!OnlyKnown(r, v, in,
                   {"side", "pair", "round", "grid", "fill", "frames", "mean_ms", "frame_ms",
                    "load", "disturbed", "gpu_clock_mhz", "ran_on", "dropped"}))
        return false;
    const json *side = Member(v, "side");
    if (!side) return r.Fail(in + "side", "missing");
    if (*side != "A" && *side != "B") return r.Fail(in + "side", "not \"A\" or \"B\"");
    t->side = *side == "B";
    // Results written before rounds were one round; before turns were filled, a turn's
    // first frame was timed from an idle pipeline.
    t->round = t->fill = 0;
    if (!Integer(r, v, "pair", in, 0, INT_MAX, &t->pair) ||
        (Member(v, "round") && !Integer(r, v, "round", in, 0, INT_MAX, &t->round)) ||
        (Member(v, "fill") && !Integer(r, v, "fill", in, 0, kPairFillMost, &t->fill)) ||
        !Integer(r, v, "grid", in, 0, kMaxResultGrid, &t->grid) ||
        !Integer(r, v, "frames", in, 1, INT_MAX, &t->frames) ||
        !Number(r, v, "mean_ms", in, kPositive, HUGE_VAL, &t->meanMs))
        return false;
    const json *times = Member(v, "frame_ms");
    if (!times) return r.Fail(in + "frame_ms", "missing");
    if (!times->is_array()) return r.Fail(in + "frame_ms", "not an array");
    double sum = 0;
    for (size_t i = 0; i < times->size(); i++) {
        const json &ms = (*times)[i];
        if (!ms.is_number() || !isfinite(ms.get<double>()) || ms.get<double>() < 0)
            return r.Fail(in + "frame_ms[" + std::to_string(i) + "]", "not a frame time");
        t->frameMs.push_back(ms.get<double>());
        sum += t->frameMs.back();
    }
    if (t->frameMs.size() > (size_t)t->frames)
        return r.Fail(in + "frame_ms", "more frame times than frames");
    if (t->frameMs.size() == (size_t)t->frames &&
        fabs(sum / t->frames - t->meanMs) > 1e-3 * t->meanMs)
        return r.Fail(in + "mean_ms", "not the mean of its frame times");
    if (!Load(r, v, "load", in, true, &t->load) || !TrueOrFalse(r, v, "disturbed", in) ||
        !TrueOrFalse(r, v, "dropped", in) ||
        (Member(v, "ran_on") && !TrueOrFalse(r, v, "ran_on", in)))
        return false;
    t->disturbed = v["disturbed"].get<bool>();
    t->dropped = v["dropped"].get<bool>();
    t->ranOn = Member(v, "ran_on") && v["ran_on"].get<bool>();
    if (!TurnClocks(r, v, in, t)) return false;
    // A turn that ran on into its partner's measured the two of them together.
    return !t->ranOn || t->dropped || r.Fail(in + "dropped", "false for a turn that ran on");
}

// The turns as a whole: pairs counted up in the order run, each kept pair one turn of
// either side at one grid.
static bool Turns(Reader &r, const json &doc, PairResult *p, int *keptPairs) {
    const json *turns = Member(doc, "turns");
    if (!turns) return r.Fail("turns", "missing");
    if (!turns->is_array()) return r.Fail("turns", "not an array");
    p->turns.resize(turns->size());
    std::map<int, int> kept[2]; // pair -> index of its kept turn, per side
    *keptPairs = 0;
    for (size_t i = 0; i < turns->size(); i++) {
        std::string at = "turns[" + std::to_string(i) + "]";
        PairTurn &t = p->turns[i];
        if (!Turn(r, (*turns)[i], at, &t)) return false;
        if (i && t.pair < p->turns[i - 1].pair)
            return r.Fail(at + ".pair", "before the last turn's");
        if (i && t.round < p->turns[i - 1].round)
            return r.Fail(at + ".round", "before the last turn's");
        if (t.dropped) continue;
        if (!kept[t.side].emplace(t.pair, (int)i).second)
            return r.Fail(at + ".pair", "a second kept turn of its side in the pair");
        auto partner = kept[!t.side].find(t.pair);
        if (partner == kept[!t.side].end()) continue;
        if (p->turns[partner->second].grid != t.grid)
            return r.Fail(at + ".grid", "not its partner's");
        if (p->turns[partner->second].round != t.round)
            return r.Fail(at + ".round", "not its partner's");
        ++*keptPairs;
    }
    return true;
}

// The judgement over the kept pairs and the line said of it: an interval that holds its
// ratio, over whole blocks of pairs there were.
static bool PairVerdictOf(Reader &r, const json &doc, int keptPairs, PairResult *p) {
    const json *v = Member(doc, "verdict");
    const std::string in = "verdict.";
    if (!Object(r, v, "verdict") ||
        !OnlyKnown(r, *v, in,
                   {"known", "pairs", "blocks", "rounds", "ratio", "low", "high", "confidence",
                    "precise", "clock_rising", "text"}) ||
        !TrueOrFalse(r, *v, "known", in) || !TrueOrFalse(r, *v, "precise", in) ||
        (Member(*v, "clock_rising") && !TrueOrFalse(r, *v, "clock_rising", in)))
        return false;
    PairJudgement &j = p->judgement;
    j = PairJudgement{};
    j.known = (*v)["known"].get<bool>();
    p->precise = (*v)["precise"].get<bool>();
    p->clockRising = Member(*v, "clock_rising") && (*v)["clock_rising"].get<bool>();
    // Before a pair that ended on its precision said its interval's, every one was 95 %.
    j.confidence = kPairConfidence;
    if ((Member(*v, "confidence") &&
         !Number(r, *v, "confidence", in, 0.5, 1 - DBL_EPSILON, &j.confidence)) ||
        !Integer(r, *v, "pairs", in, 0, INT_MAX, &j.pairs) ||
        !Integer(r, *v, "blocks", in, 0, INT_MAX, &j.blocks) ||
        (Member(*v, "rounds") && !Integer(r, *v, "rounds", in, 0, j.blocks, &j.rounds)) ||
        !String(r, *v, "text", in, false, &p->verdict))
        return false;
    if (p->verdict.empty()) return r.Fail(in + "text", "empty");
    if (j.pairs != 2 * j.blocks) return r.Fail(in + "pairs", "not two for each block");
    if (j.pairs > keptPairs) return r.Fail(in + "pairs", "more than the turns kept");
    if (!j.known) {
        for (const char *key : {"ratio", "low", "high"})
            if (!Null(*v, key)) return r.Fail(in + key, "not null without a judgement");
        return !p->precise || r.Fail(in + "precise", "true without a judgement");
    }
    // Before rounds, a judgement was over three blocks or more of one round.
    if (!Member(*v, "rounds") && j.blocks < 3)
        return r.Fail(in + "blocks", "too few for a judgement");
    if (Member(*v, "rounds") && j.rounds < kPairRoundsMin)
        return r.Fail(in + "rounds", "too few for a judgement");
    if (p->precise && Member(*v, "confidence") && Member(*v, "rounds") &&
        j.rounds < kPairRoundsPrecise)
        return r.Fail(in + "precise", "true over fewer rounds than a pair ends on");
    if (!Number(r, *v, "ratio", in, kPositive, HUGE_VAL, &j.ratio) ||
        !Number(r, *v, "low", in, 0, HUGE_VAL, &j.low) ||
        !Number(r, *v, "high", in, 0, HUGE_VAL, &j.high))
        return false;
    if (j.low > j.ratio || j.ratio > j.high) return r.Fail(in + "ratio", "outside its interval");
    return true;
}

// The pair's own fields: how it was run, and its sides, which report the same renderer when
// same_renderer says so.
static bool PairSetting(Reader &r, const json &doc, PairResult *p) {
    ResultFile machine;
    const json *video = Member(doc, "video"), *surface = Member(doc, "surface"),
               *sides = Member(doc, "sides");
    if (!Machine(r, doc, &machine) || !Object(r, video, "video") ||
        !OnlyKnown(r, *video, "video.", {"driver"}) ||
        !String(r, *video, "driver", "video.", false, &p->driver) ||
        !Object(r, surface, "surface") ||
        !OnlyKnown(r, *surface, "surface.", {"width", "height"}) ||
        !Integer(r, *surface, "width", "surface.", 0, kMaxResultSurface, &p->width) ||
        !Integer(r, *surface, "height", "surface.", 0, kMaxResultSurface, &p->height) ||
        !Object(r, sides, "sides") || !OnlyKnown(r, *sides, "sides.", {"A", "B"}) ||
        !Side(r, *sides, "A", &p->sides[0]) || !Side(r, *sides, "B", &p->sides[1]) ||
        !TrueOrFalse(r, doc, "same_renderer", "") ||
        !Integer(r, doc, "grid", "", 0, kMaxResultGrid, &p->grid) ||
        !Number(r, doc, "precision", "", kPositive, 1, &p->precision) ||
        !Number(r, doc, "time_limit_seconds", "", kPositive, HUGE_VAL, &p->timeLimitS) ||
        !Started(r, doc, "", &p->started))
        return false;
    p->sameRenderer = doc["same_renderer"].get<bool>();
    const PairSide &a = p->sides[0], &b = p->sides[1];
    bool same = a.vendor == b.vendor && a.renderer == b.renderer && a.glVersion == b.glVersion;
    if (same != p->sameRenderer)
        return r.Fail("same_renderer", "disagrees with the sides' opengl strings");
    double seconds = 0;
    if (!Number(r, doc, "duration_seconds", "", 0, HUGE_VAL, &seconds)) return false;
    p->durationMs = seconds < 9e15 ? (int64_t)(seconds * 1000) : INT64_MAX;
    return true;
}

static bool PairDocumentRead(Reader &r, const json &doc, PairResult *p) {
    if (!doc.is_object()) return r.Fail("the document", "not an object");
    if (!OnlyKnown(r, doc, "",
                   {"program", "version", "protocol", "machine", "video", "surface", "sides",
                    "same_renderer", "grid", "precision", "time_limit_seconds", "started",
                    "duration_seconds", "turns", "verdict"}))
        return false;
    const json *program = Member(doc, "program"), *protocol = Member(doc, "protocol");
    if (!program || *program != "Kelvane") return r.Fail("program", "not \"Kelvane\"");
    if (!protocol) return r.Fail("protocol", "missing");
    if (*protocol != "pair") return r.Fail("protocol", "not \"pair\"");
    std::string version;
    int keptPairs = 0;
    return Version(r, doc, &version) && PairSetting(r, doc, p) && Turns(r, doc, p, &keptPairs) &&
           PairVerdictOf(r, doc, keptPairs, p);
}

const char kPairNotARun[] = "a paired comparison (protocol \"pair\"), not a run result";

static bool IsPair(const json &doc) {
    return doc.is_object() && doc.contains("protocol") && doc["protocol"] == "pair";
}

// Where a text stops being JSON, in nlohmann's words: "at line 1, column 4: syntax error
// while parsing value - invalid literal; last read: 'nul'". Only its error is of interest.
struct SyntaxError : nlohmann::json_sax<json> {
    std::string where;
    bool null() override { return true; }
    bool boolean(bool) override { return true; }
    bool number_integer(number_integer_t) override { return true; }
    bool number_unsigned(number_unsigned_t) override { return true; }
    bool number_float(number_float_t, const string_t &) override { return true; }
    bool string(string_t &) override { return true; }
    bool binary(binary_t &) override { return true; }
    bool start_object(size_t) override { return true; }
    bool key(string_t &) override { return true; }
    bool end_object() override { return true; }
    bool start_array(size_t) override { return true; }
    bool end_array() override { return true; }
    bool parse_error(size_t, const std::string &, const nlohmann::detail::exception &e) override {
        where = e.what();
        size_t at = where.find("at line ");
        if (at != std::string::npos) where.erase(0, at);
        return false;
    }
};

static std::string NotJson(const char *text, size_t length) {
    SyntaxError error;
    json::sax_parse(text, text + length, &error);
    return error.where.empty() ? "not JSON" : "not JSON: " + error.where;
}

int ParseResult(const char *text, size_t length, ResultFile *result, std::string *why) {
    *result = ResultFile{};
    // The non-throwing parse: a file that is no JSON is an answer, not an exception.
    json doc = json::parse(text, text + length, nullptr, false);
    if (doc.is_discarded()) {
        *why = NotJson(text, length);
        return 0;
    }
    if (IsPair(doc)) {
        *why = kPairNotARun;
        return 0;
    }
    Reader r;
    if (Document(r, doc, result)) return 1;
    *why = "not a Kelvane result: " + r.why;
    *result = ResultFile{};
    return 0;
}

int ParsePairResult(const char *text, size_t length, PairResult *out, std::string *why) {
    *out = PairResult{};
    json doc = json::parse(text, text + length, nullptr, false);
    if (doc.is_discarded()) {
        *why = NotJson(text, length);
        return 0;
    }
    Reader r;
    if (!IsPair(doc) && doc.is_object() && doc.contains("runs"))
        r.why = "a run result (no protocol \"pair\")";
    else if (PairDocumentRead(r, doc, out))
        return 1;
    *why = "not a Kelvane paired comparison: " + r.why;
    *out = PairResult{};
    return 0;
}

int ReadResultText(const char *path, std::string *text, std::string *why) {
    FILE *f = fopen(path, "rb");
    if (!f) {
        *why = strerror(errno);
        return 0;
    }
    text->clear();
    char buf[65536];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0 && text->size() <= kMaxResultBytes)
        text->append(buf, n);
    bool failed = ferror(f);
    fclose(f);
    if (failed || text->size() > kMaxResultBytes) {
        *why = failed ? "cannot be read" : "far too large for a result";
        text->clear();
        return 0;
    }
    return 1;
}

int ReadResultFile(const char *path, ResultFile *result, std::string *why) {
    std::string text;
    if (!ReadResultText(path, &text, why)) return 0;
    if (!ParseResult(text.data(), text.size(), result, why)) return 0;
    result->name = path;
    return 1;
}
