// Reading result files back, and comparing two of them.
#include "app/cmdline.h"
#include "history/history.h"
#include "history/store.h"
#include "report/compare.h"
#include "record/json.h"
#include "pair/pair.h"
#include "record/pair_record.h"
#include "record/reader.h"
#include "validation/validation.h"
#include "watch/gpu.h"
#include "watch/gpusteps.h"
#include "watch/trust.h"
#include "tests/support/gpu_tree.h"
#include "tests/support/result_runs.h"
#include "tests/support/temp_dir.h"

#include <ctype.h>
#include <gtest/gtest.h>
#include <functional>
#include <random>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>
#include <set>
#include <tuple>
#include <type_traits>
#include <sys/stat.h>

using nlohmann::json;

namespace {

// A validation with a frame measured and failing, and one that could not be drawn.
ValidationOutcome Validated() {
    ValidationOutcome v = {};
    v.targetMade = 1;
    v.failed = 2;
    snprintf(v.frames[0].name, sizeof v.frames[0].name, "grid 4");
    v.frames[0].measured = 1;
    v.frames[0].diff = {3.5, 0.02, 0.001, 200};
    snprintf(v.frames[1].name, sizeof v.frames[1].name, "grid 1");
    snprintf(v.frames[2].name, sizeof v.frames[2].name, "grid 16");
    v.frames[2].passed = v.frames[2].measured = 1;
    return v;
}
const ValidationOutcome kValidated = Validated();

ResultSetting Setting(const char *renderer, const ValidationOutcome *validation = nullptr) {
    ResultSetting s = {};
    s.version = "1.0.0";
    s.driver = "offscreen";
    s.eglDevice = 0;
    snprintf(s.eglDeviceName, sizeof s.eglDeviceName, "software");
    s.glRenderer = renderer;
    s.width = 320;
    s.height = 240;
    s.bits = 24;
    s.memoryBytes = 25276182528; // more than an int holds
    s.validation = validation;
    s.logName = "Kelvane result.txt", s.screenshotName = nullptr;
    s.plotNames[0] = "Kelvane result.svg", s.plotNames[1] = "Kelvane result.png";
    return s;
}

std::string Text(const std::vector<ResultRun> &runs, const char *renderer = "llvmpipe",
                 const ValidationOutcome *validation = nullptr) {
    return ResultJson(Setting(renderer, validation), runs);
}

// A run with every figure a test gathers: frame times and loads, a verdict, a steady figure.
ResultRun Trusted(ResultRun run) {
    for (ResultStep &s : run.steps) {
        s.timed = 12;
        s.p10Ms = 90;
        s.medianMs = 100;
        s.p90Ms = 125.5;
        s.load = {true, 0.25, 0.05, 0.5, 0.2, true, 1.5};
        s.gpu = {true, 10, 1820, 1700, 2450, 0.97, 94, 1, 180, 1 << 3, 1000, 200, "junction"};
    }
    run.held = {true, true, 3, 2450, 1820, true, 1 << 3 | 1, 94, -0.5, true};
    run.verdict = {
        true, true, 3, {true, 0.2, 0.01, 0.6, 0.21, true, 0.4}, {true, 0.3, 0, 0.5, 0.1, false, 0}};
    run.steady = {true, 47.5, 1.25};
    run.drift = {true, 1, 40, 41, 0.025, 0.05, false};
    return run;
}

TEST(ReaderTest, AWrittenResultReadsBackAsItWas) {
    std::string text = Text({Measured({600, 90, 9}, true), Measured({600, 80}, false)});
    ResultFile r;
    std::string why;
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    EXPECT_EQ("llvmpipe", r.renderer);
    EXPECT_EQ(320, r.width);
    EXPECT_EQ(240, r.height);
    ASSERT_EQ(2u, r.runs.size());
    EXPECT_EQ(1700000000, r.runs[0].started);
    EXPECT_EQ(42500, r.runs[0].durationMs);
    EXPECT_EQ(kRunScore, r.runs[0].end);
    EXPECT_EQ(10, r.runs[0].score);
    ASSERT_EQ(3u, r.runs[0].steps.size());
    EXPECT_EQ(2, r.runs[0].steps[2].grid);
    EXPECT_EQ(4608, r.runs[0].steps[2].triangles);
    EXPECT_FLOAT_EQ(9, r.runs[0].steps[2].fps);
    EXPECT_EQ(kRunAborted, r.runs[1].end);
    EXPECT_FALSE(r.runs[0].verdict.known); // written null: unknown
    EXPECT_FALSE(r.runs[0].steady.known);
    EXPECT_EQ(0, r.runs[0].steps[2].timed);
    // Frame times, loads, the verdict and the steady figure.
    text = Text({Trusted(Measured({600, 90, 9}, true))});
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    const ResultStep &s = r.runs[0].steps[1];
    EXPECT_EQ(12, s.timed);
    EXPECT_DOUBLE_EQ(90, s.p10Ms);
    EXPECT_DOUBLE_EQ(100, s.medianMs);
    EXPECT_DOUBLE_EQ(125.5, s.p90Ms);
    EXPECT_TRUE(s.load.known);
    EXPECT_DOUBLE_EQ(0.25, s.load.others);
    EXPECT_DOUBLE_EQ(0.05, s.load.steal);
    EXPECT_DOUBLE_EQ(0.5, s.load.self);
    EXPECT_DOUBLE_EQ(0.2, s.load.taken);
    EXPECT_TRUE(s.load.waitKnown);
    EXPECT_DOUBLE_EQ(1.5, s.load.wait); // more threads waiting than processors
    EXPECT_EQ(std::vector<double>({10, 1820, 1700, 2450, 0.97, 94, 1, 180, 8}),
              std::vector<double>({(double)s.gpu.samples, s.gpu.medianMhz, s.gpu.lowestMhz,
                                   s.gpu.maxMhz, s.gpu.busy, s.gpu.hottestC, s.gpu.headroomC,
                                   s.gpu.powerW, (double)s.gpu.throttle}));
    EXPECT_STREQ("junction", s.gpu.hottestSensor);
    EXPECT_EQ(200, s.gpu.powerCapW);
    const ResultHeld &h = r.runs[0].held;
    EXPECT_TRUE(h.known && h.heldBack && h.clockFell && h.hot);
    EXPECT_EQ(9u, h.throttle);
    EXPECT_EQ(1820, h.lowMhz);
    const ResultVerdict &v = r.runs[0].verdict;
    EXPECT_TRUE(v.known && v.disturbed);
    EXPECT_EQ(3, v.steps);
    EXPECT_DOUBLE_EQ(0.2, v.over.others);
    EXPECT_DOUBLE_EQ(0.21, v.over.taken);
    EXPECT_DOUBLE_EQ(0.3, v.last.others);
    EXPECT_FALSE(v.last.waitKnown); // written null
    EXPECT_TRUE(r.runs[0].steady.known);
    EXPECT_DOUBLE_EQ(47.5, r.runs[0].steady.score);
    EXPECT_DOUBLE_EQ(1.25, r.runs[0].steady.uncertainty);
    const ResultDrift &d = r.runs[0].drift;
    EXPECT_TRUE(d.known && !d.drifted);
    EXPECT_EQ(1, d.grid);
    EXPECT_DOUBLE_EQ(41, d.againMs);
    EXPECT_DOUBLE_EQ(0.025, d.change);
    // As written before any of them: they read as unknown, and the file still compares.
    json doc = json::parse(text);
    for (json &run : doc["runs"]) {
        for (const char *key : {"interference", "steady_score", "steady_uncertainty", "drift"})
            run.erase(key);
        for (json &step : run["steps"])
            step.erase("frame_times"), step.erase("load");
    }
    for (const char *key : {"disturbed_runs", "counted_runs", "median_steady_score", "drifted_runs",
                            "median_steady_uncertainty"})
        doc["summary"].erase(key);
    std::string old = doc.dump();
    ASSERT_EQ(std::string::npos, old.find("steady")) << old;
    ASSERT_EQ(1, ParseResult(old.data(), old.size(), &r, &why)) << why;
    EXPECT_FALSE(r.runs[0].verdict.known);
    EXPECT_FALSE(r.runs[0].steady.known);
    EXPECT_FALSE(r.runs[0].drift.known);
    EXPECT_EQ(0, r.runs[0].steps[1].timed);
    EXPECT_FALSE(r.runs[0].steps[1].load.known);
    EXPECT_FALSE(r.environment); // not recorded, which is not none set
    TempDir dir;
    ASSERT_EQ(1, WriteWhole(dir.path("old.json").c_str(), old));
    ASSERT_EQ(1, WriteWhole(dir.path("new.json").c_str(), text));
    FILE *out = fopen("/dev/null", "w");
    EXPECT_EQ(1, CompareResults(dir.path("old.json").c_str(), dir.path("new.json").c_str(), nullptr,
                                out, stderr));
    fclose(out);
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py ";
    EXPECT_EQ(0, system((validate + dir.path("old.json") + " " + dir.path("new.json")).c_str()));
    // With the validation's verdict, frame by frame.
    text = Text({Measured({600, 90, 9}, true)}, "llvmpipe", &kValidated);
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    // A renderer that could not draw the frames, and a verdict written before states were.
    ValidationOutcome notMade = {};
    text = Text({Measured({600, 90, 9}, true)}, "llvmpipe", &notMade);
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    doc = json::parse(Text({Measured({600, 90, 9}, true)}, "llvmpipe", &kValidated));
    doc["validation"].erase("state");
    text = doc.dump();
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    // Without a summary, as before series, and with a null renderer.
    doc = json::parse(Text({Measured({600}, true)}, nullptr));
    doc.erase("summary");
    text = doc.dump();
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    EXPECT_EQ("", r.renderer);
}

// Whatever a GPU's files say, what the watch makes of it is written as a figure the reader
// and validate.py both take, and read back as written: generated cards of each driver whose
// files hold numbers of every kind, the absurd among them.
TEST(ReaderTest, WhatTheGpuWatchReadsIsWrittenAndReadBackAsItWas) {
    const char *kTexts[] = {"0",
                            "1",
                            "97",
                            "100",
                            "150",
                            "-5",
                            "2450",
                            "1e400",
                            "-1e400",
                            "inf",
                            "nan",
                            "2e19",
                            "18446744073709551615",
                            "0.5",
                            "x",
                            "",
                            "94000",
                            "1e-320"};
    std::mt19937 rng(11);
    auto any = [&] { return std::string(kTexts[rng() % std::size(kTexts)]); };
    const std::string xe = "device/tile0/gt0/freq0/";
    TempDir dir;
    std::vector<ResultRun> runs;
    for (int i = 0; i < 60; i++) {
        std::string hwmon = "|H/temp1_input=" + any() + "|H/temp1_crit=" + any() +
                            "|H/temp2_input=" + any() + "|H/power1_average=" + any() +
                            "|H/power1_cap=" + any() + "|H/freq1_input=" + any();
        std::string files[] = {
            "driver=amdgpu|device/pp_dpm_sclk=0: " + any() + "Mhz\n1: " + any() + "Mhz *" +
                "|device/pp_dpm_mclk=0: " + any() + "Mhz *|device/gpu_busy_percent=" + any(),
            "driver=i915|gt_act_freq_mhz=" + any() + "|gt_RP0_freq_mhz=" + any(),
            "driver=xe|" + xe + "act_freq=" + any() + "|" + xe + "rp0_freq=" + any(),
        };
        std::string card = dir.path("card" + std::to_string(i));
        Lay(card, files[i % 3] + hwmon);
        GpuFiles f;
        GpuSample looks[2];
        if (!FindGpuFiles(card.c_str(), &f)) continue;
        ReadGpuSample(f, &looks[0]);
        Lay(card, "H/temp1_input=" + any() + "|H/power1_average=" + any());
        ReadGpuSample(f, &looks[1]);
        ResultRun run = Measured({600, 90, 9}, true);
        for (ResultStep &s : run.steps)
            s.gpu = GpuFigures(looks, 1 + (int)(rng() % 2));
        std::vector<ResultGpu> steps;
        for (const ResultStep &s : run.steps)
            steps.push_back(s.gpu);
        run.held = JudgeGpu(steps.data(), (int)steps.size(), false);
        runs.push_back(run);
    }
    ASSERT_GE(runs.size(), 50u);
    std::string text = Text(runs), why;
    ResultFile r;
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    auto figures = [](const ResultGpu &g) {
        return std::vector<double>{(double)g.known, (double)g.samples,
                                   g.medianMhz,     g.lowestMhz,
                                   g.maxMhz,        g.busy,
                                   g.hottestC,      std::isnan(g.headroomC) ? -999 : g.headroomC,
                                   g.powerW,        (double)g.throttle,
                                   g.memoryMhz,     g.powerCapW};
    };
    ASSERT_EQ(runs.size(), r.runs.size());
    for (size_t i = 0; i < runs.size(); i++)
        for (size_t s = 0; s < runs[i].steps.size(); s++)
            EXPECT_EQ(figures(runs[i].steps[s].gpu), figures(r.runs[i].steps[s].gpu)) << i;
    ASSERT_EQ(1, WriteWhole(dir.path("gpus.json").c_str(), text));
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py ";
    EXPECT_EQ(0, system((validate + dir.path("gpus.json")).c_str()));
}

// A document one change away from a good one: where it changed, and how; or its text.
struct Variant {
    json::json_pointer at;
    std::string change;
    json doc;
    std::string text = "";
    int takes = -1; // 1 or 0: what both must do with it; -1: only agree
};

// The variants of doc that change the value at at: dropped, replaced by one of another type,
// a number (or null) by numbers beside the bounds of the rules, an object given a member it
// should not have.
void VaryAt(const json &doc, const json::json_pointer &at, std::vector<Variant> *out) {
    static const json kTypes[] = {nullptr, true, "x", json::object(), json::array(), 1};
    // Beside the bounds: a grid, the wait's processors, a window's timed frames, a surface's
    // size, the largest grid's score, an int.
    static const json kNumbers[] = {-1,   0,     1.5,   256,     1024,    1025,        1366,
                                    4097, 65535, 65536, 2146435, 2146436, 2147483648u, 1e300};
    const json &v = doc.at(at);
    auto with = [&](const json &value) {
        out->push_back({at, "= " + value.dump(), doc});
        out->back().doc[at] = value;
    };
    for (const json &other : kTypes)
        with(other);
    if (v.is_number() || v.is_null())
        for (const json &other : kNumbers)
            with(other);
    if (v.is_number_integer()) with(v.get<double>()); // 8.0
    if (v.is_string()) {
        with(v.get<std::string>() + "\n");
        with("");
    }
    if (v.is_boolean()) with(!v.get<bool>());
    if (v.is_object()) {
        json more = v;
        more["extra"] = 1;
        with(more);
    }
    if (at.empty()) return;
    out->push_back({at, "dropped", doc});
    json &parent = out->back().doc[at.parent_pointer()];
    if (parent.is_array())
        parent.erase(std::stoul(at.back()));
    else
        parent.erase(at.back());
}

// The variants at and below at, but for values like one already varied: of its type, at its
// place in another step, run or frame.
void Vary(const json &doc, const json::json_pointer &at, std::set<std::string> *seen,
          std::vector<Variant> *out) {
    const json &v = doc.at(at);
    std::string like = v.type_name() + (v.is_boolean() ? v.dump() : "");
    for (json::json_pointer p = at; !p.empty(); p.pop_back())
        like = (isdigit((unsigned char)p.back()[0]) ? "*" : p.back()) + "/" + like;
    if (seen->insert(like).second) VaryAt(doc, at, out);
    if (v.is_object())
        for (auto &[key, _] : v.items())
            Vary(doc, at / key, seen, out);
    if (v.is_array())
        for (size_t i = 0; i < v.size(); i++)
            Vary(doc, at / i, seen, out);
}

// "runs[0].steps[1]" for "/runs/0/steps/1", as the reader names a place.
std::string Place(const json::json_pointer &at) {
    std::string s;
    for (json::json_pointer p = at; !p.empty(); p.pop_back()) {
        const std::string &key = p.back();
        bool index = key.find_first_not_of("0123456789") == std::string::npos;
        s = (index ? "[" + key + "]" : "." + key) + s;
    }
    return s.empty() ? s : s.substr(s[0] == '.');
}

bool Cleared(const ResultFile &r) {
    return r.runs.empty();
}
bool Cleared(const PairResult &p) {
    return p.turns.empty() && p.verdict.empty();
}

// Each variant through the reader (parse) and validate.py: both take it or both refuse it. A
// run's reader names the place changed, or one around it; prefix starts what it says.
template <typename Out>
void ExpectAgreement(const std::vector<Variant> &all,
                     int (*parse)(const char *, size_t, Out *, std::string *),
                     const std::string &prefix) {
    TempDir dir;
    std::vector<std::string> why(all.size());
    for (size_t i = 0; i < all.size(); i++) {
        std::string text = all[i].text.empty() ? all[i].doc.dump() : all[i].text,
                    name = dir.path(std::to_string(100000 + i) + ".json");
        Out r;
        if (parse(text.data(), text.size(), &r, &why[i])) why[i] = "";
        EXPECT_TRUE(why[i].empty() || Cleared(r)) << why[i];
        WriteBytes(name, std::vector<unsigned char>(text.begin(), text.end()));
    }
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py ";
    EXPECT_NE(0, system((validate + dir.prefix() + "*.json 2>" + dir.path("faults")).c_str()));
    std::string faults = ReadText(dir.path("faults"));
    std::set<size_t> refused;
    for (size_t at = faults.find(dir.prefix()); at != std::string::npos;
         at = faults.find(dir.prefix(), at + 1))
        refused.insert(std::stoul(faults.substr(at + dir.prefix().size(), 6)) - 100000);
    for (size_t i = 0; i < all.size(); i++) {
        const Variant &v = all[i];
        std::string change = v.at.to_string() + " " + v.change;
        if (v.change == "nothing") EXPECT_EQ("", why[i]) << change;
        bool readerTakes = why[i].empty(), validatorTakes = !refused.count(i);
        if (v.takes >= 0) EXPECT_EQ(v.takes == 1, readerTakes) << change << ": " << why[i];
        EXPECT_EQ(validatorTakes, readerTakes)
            << change << ": the reader " << (readerTakes ? "takes it" : "refuses it: " + why[i]);
        // Where the reader says the fault is: at or above the change, or beside or below it.
        if (readerTakes || v.at.empty()) continue;
        EXPECT_EQ(0u, why[i].find(prefix)) << change << ": " << why[i];
        if (!std::is_same<Out, ResultFile>::value) continue; // a pair's faults span its turns
        std::string place = Place(v.at), parent = Place(v.at.parent_pointer()),
                    said = why[i].substr(prefix.size());
        said = said.substr(0, said.find(": "));
        EXPECT_TRUE(place.rfind(said, 0) == 0 || said.rfind(parent, 0) == 0)
            << change << ": " << why[i];
    }
}

// The reader takes the files the schema's validator takes, and no others: every variant of
// written results with every figure, whose validation failed, passed or could not be had.
// A file it refuses, it refuses at the place changed, or at one around it.
TEST(ReaderTest, TheReaderAndTheSchemaTakeTheSameFiles) {
    // Only a frame that could not be drawn failed: passing it leaves a failed verdict with no
    // frame failed.
    ValidationOutcome failed = kValidated, passed = kValidated, notMade = {};
    failed.failed = 1;
    failed.frames[0].passed = 1;
    passed.failed = 0;
    for (FrameVerdict &f : passed.frames)
        f.passed = f.measured = 1;
    ResultRun scored = Trusted(Measured({600, 90}, true));
    scored.steps[0].timed = 0; // a step without figures
    scored.steps[0].load = {};
    std::vector<Variant> all;
    json::json_pointer top, validation("/validation");
    for (const ValidationOutcome *v : {&failed, &passed, &notMade}) {
        json good = json::parse(Text({scored, Measured({600}, false)}, "llvmpipe", v));
        good["environment"] = {{"GALLIUM_DRIVER", "llvmpipe"}, {"LD_PRELOAD", "/a.so /b.so"}};
        std::set<std::string> seen;
        all.push_back({top, "nothing", good});
        Vary(good, v == &failed ? top : validation, &seen, &all);
    }
    // Times the calendar has and has not; a climb that ends as only a quick run does (runs[1]
    // is aborted: its score null).
    for (auto [at, value, takes] : std::vector<std::tuple<const char *, const char *, int>>{
             {"/runs/0/started", "2026-12-02T99:99:99Z", 0},
             {"/runs/0/started", "2026-02-30T12:00:00Z", 0},
             {"/runs/0/started", "1900-02-29T12:00:00Z", 0},
             {"/runs/0/started", "2026-12-02T23:59:60Z", 0},
             {"/runs/0/started", "2024-02-29T23:59:59Z", 1},
             {"/runs/1/end", "measured", 0},
             // The result's own files are names in its folder, never paths out of it.
             {"/files/log", "../Kelvane result.txt", 0},
             {"/files/screenshot", "..", 0},
             {"/files/plot/1", "", 0},
             {"/files/screenshot", "Kelvane result.tga", 1},
             {"/runs/0/series", "2026-12-09T17:00:00Z", 1},
             {"/runs/0/series", "run 1 of 3", 0},
             {"/runs/0/series", "2026-13-01T00:00:00Z", 0},
             {"/environment/A=B", "1", 0}}) {
        all.push_back({json::json_pointer(at), value, all[0].doc, "", takes});
        all.back().doc[all.back().at] = value;
    }
    // A window of one look: its lowest clock is its median. A reason named twice.
    json past = json::object();
    for (int i = 0; i <= kResultEnvironmentMost; i++)
        past["MESA_" + std::to_string(i)] = "1";
    for (auto [at, value, takes] : std::vector<std::tuple<const char *, json, int>>{
             {"/runs/0/steps/1/gpu/lowest_mhz", 1820, 1},
             {"/runs/0/gpu/throttle", {"pl1", "thermal", "pl1"}, 0},
             {"/environment", past, 0}}) {
        all.push_back({json::json_pointer(at), "= " + value.dump(), all[0].doc, "", takes});
        all.back().doc[all.back().at] = value;
    }
    // What only the text can say: nesting too deep (first: the files after it are still
    // checked), a byte order mark, half a surrogate pair, no finite number.
    std::string text = all[0].doc.dump();
    for (auto [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"{", std::string(100000, '[') + "{"},
                                                          {"{", "\xef\xbb\xbf{"},
                                                          {"\"cpu\":\"\"", "\"cpu\":\"\\ud800\""},
                                                          {"\"fps\":600.0", "\"fps\":1e400"},
                                                          {"\"fps\":600.0", "\"fps\":NaN"}}) {
        all.push_back({top, "text " + to.substr(0, 40), nullptr, text});
        all.back().text.replace(text.find(from), from.size(), to);
    }
    ExpectAgreement(all, ParseResult, "not a Kelvane result: ");
}

TEST(ReaderTest, FilesThatAreNoResultNameTheirFault) {
    TempDir dir;
    ResultFile r;
    std::string why;
    EXPECT_EQ(0, ReadResultFile(dir.path("missing.json").c_str(), &r, &why));
    EXPECT_EQ("No such file or directory", why);
    EXPECT_EQ(0, ReadResultFile(dir.prefix().c_str(), &r, &why)); // a folder
    EXPECT_EQ("cannot be read", why);
    // Where the text stops being JSON.
    std::pair<std::string, std::string> bad[] = {
        {"", "at line 1, column 1: "},
        {"{", "at line 1, column 2: "},
        {"{\"runs\": [}", "at line 1, column 11: "},
        {"\xff\xfe{}", "at line 1, column 1: "},
        {"{\n\"runs\":\n[1, 2,]}", "at line 3, column 7: "},
        {"nul", "at line 1, column 4: "},
        {"{} x", "at line 1, column 4: "},
    };
    for (auto &[text, where] : bad) {
        WriteBytes(dir.path("bad.json"), std::vector<unsigned char>(text.begin(), text.end()));
        EXPECT_EQ(0, ReadResultFile(dir.path("bad.json").c_str(), &r, &why)) << text;
        EXPECT_EQ(0u, why.find("not JSON: " + where)) << why;
    }
    std::string huge = Text({Measured({600}, true)});
    huge.replace(huge.find("\"grid\": 0"), 9, "\"grid\": 9999999999");
    EXPECT_EQ(0, ParseResult(huge.data(), huge.size(), &r, &why));
    EXPECT_NE(std::string::npos, why.find("out of range")) << why;
    std::string good = Text({Measured({600}, true)});
    WriteBytes(dir.path("good.json"), std::vector<unsigned char>(good.begin(), good.end()));
    ASSERT_EQ(1, ReadResultFile(dir.path("good.json").c_str(), &r, &why)) << why;
    EXPECT_EQ(dir.path("good.json"), r.name);
}

std::string Compare(const ResultFile &a, const ResultFile &b) {
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    PrintComparison(out, a, b);
    fclose(out);
    std::string s(text, size);
    free(text);
    return s;
}

std::string Compare(const std::vector<ResultRun> &a, const std::vector<ResultRun> &b) {
    ResultFile fa = {}, fb = {};
    fa.name = "a.json";
    fb.name = "b.json";
    fa.runs = a;
    fb.runs = b;
    return Compare(fa, fb);
}

bool Has(const std::string &text, const std::string &line) {
    return text.find(line) != std::string::npos;
}

TEST(CompareTest, GridsBothReachedWithTheirMedianRatesAndRatio) {
    // A: two runs to grid 3, B: one run to grid 2; at grid 1 A's median is (100 + 80) / 2.
    std::string s = Compare({Measured({400, 100, 40, 9}, true), Measured({400, 80, 40, 9}, true)},
                            {Measured({500, 180, 8}, true)});
    EXPECT_TRUE(Has(s, "     1         1152       90.0      180.0     2.00\n")) << s;
    EXPECT_TRUE(Has(s, "     2         4608       40.0        8.0     0.20\n")) << s;
    EXPECT_FALSE(Has(s, "\n     3 ")) << s; // only A reached it
    EXPECT_TRUE(Has(s, "score A: 18 (median of 2 runs, 18 to 18, 0 grid steps)\n")) << s;
    EXPECT_TRUE(Has(s, "score B: 10 (one run)\n")) << s;
    EXPECT_TRUE(Has(s, "difference: -44.4 % (B against A)\n")) << s;
    EXPECT_TRUE(Has(s, "spread: the difference exceeds the spread of the runs (A 18 to 18, "
                       "B 10 to 10)\n"))
        << s;
}

TEST(CompareTest, OverlappingScoresAreWithinTheSpreadAndSingleRunsHaveNone) {
    std::vector<ResultRun> a = {Measured(std::vector<float>(10, 50), true),  // 115
                                Measured(std::vector<float>(12, 50), true)}; // 165
    std::vector<ResultRun> b = {Measured(std::vector<float>(11, 50), true),  // 139
                                Measured(std::vector<float>(13, 50), true)}; // 194
    std::string s = Compare(a, b);
    EXPECT_TRUE(Has(s, "difference: +18.9 % (B against A)\n")) << s;
    EXPECT_TRUE(Has(s, "spread: the difference does not exceed the spread")) << s;
    s = Compare({a[0], b[0]}, {b[0], a[1]}); // 115 to 139 against 139 to 165: they touch
    EXPECT_TRUE(Has(s, "spread: the difference does not exceed the spread")) << s;
    s = Compare({a[0]}, {b[1]});
    EXPECT_TRUE(Has(s, "spread: one run each")) << s;
    s = Compare({Measured({400}, false)}, {b[0]});
    EXPECT_TRUE(Has(s, "score A: none (1 run, all aborted)\n")) << s;
    EXPECT_FALSE(Has(s, "difference")) << s;
    // Two runs, one aborted: one score, no median of one.
    s = Compare({a[0], Measured({400, 50}, false)}, {b[0]});
    EXPECT_TRUE(Has(s, "A: a.json (unknown renderer, 0x0, 2 runs)\n")) << s;
    EXPECT_TRUE(Has(s, "score A: 115 (one run)\n")) << s;
    EXPECT_TRUE(Has(s, "spread: one run each")) << s;
    // A quick run against a climb: the steady figures alone, each with its uncertainty.
    ResultRun quick = Measured(std::vector<float>(10, 50), false), climb = a[0];
    quick.quick = true;
    quick.end = kRunMeasured;
    quick.steady = {true, 120, 3};
    climb.steady = {true, 100, 4};
    s = Compare({climb}, {quick});
    EXPECT_TRUE(Has(s, "score: B is quick, without a score: only the steady figures are "
                       "compared\nsteady A: 100 ± 4\nsteady B: 120 ± 3\nsteady difference: "
                       "+20.0 % (B against A), beyond twice the uncertainties\n"))
        << s;
    // Apart only past twice the two uncertainties together (2 × 5 here), not once.
    for (auto [figure, said] : {std::pair{111.0, "+11.0 % (B against A), beyond"},
                                {108.0, "+8.0 % (B against A), within"},
                                {92.0, "-8.0 % (B against A), within"}}) {
        quick.steady.score = figure;
        EXPECT_TRUE(Has(Compare({climb}, {quick}), said)) << figure;
    }
    EXPECT_FALSE(Has(s, "score A")) << s;
}

// Each aspect that differs is said, alone; those that make the figures measure something
// else than the renderer warn, at the top and after the verdicts.
TEST(CompareTest, WhatDiffersIsSaidAndWhatSpoilsTheComparisonWarned) {
    ResultFile a = {};
    a.name = "a.json", a.renderer = "llvmpipe", a.glVersion = "4.5 Mesa 22.3.6";
    a.driver = "offscreen", a.kernel = "6.1", a.cpu = "x", a.version = "1.0.0";
    a.width = 1920, a.height = 1080;
    a.environment = {{{"GALLIUM_DRIVER", "zink"}}};
    a.runs = {Measured(std::vector<float>(10, 50), true)};
    std::vector<std::tuple<std::string, bool, std::function<void(ResultFile &)>>> rows = {
        {"surface: 1920x1080 (A), 1280x720 (B)", true,
         [](ResultFile &f) { f.width = 1280, f.height = 720; }},
        {"settings: textures on, lighting on, keep in sync off (A), textures on, lighting on, "
         "keep in sync on (B)",
         true, [](ResultFile &f) { f.keepInSync = true; }},
        {"video: offscreen (A), x11 window (B)", true, [](ResultFile &f) { f.driver = "x11"; }},
        {"renderer: llvmpipe (A), zink (B)", false, [](ResultFile &f) { f.renderer = "zink"; }},
        {"OpenGL: 4.5 Mesa 22.3.6 (A), unknown (B)", false,
         [](ResultFile &f) { f.glVersion = ""; }},
        {"kernel: 6.1 (A), 6.12 (B)", false, [](ResultFile &f) { f.kernel = "6.12"; }},
        {"CPU: x (A), y (B)", false, [](ResultFile &f) { f.cpu = "y"; }},
        {"protocol: climb (A), quick (B)", false, [](ResultFile &f) { f.runs[0].quick = true; }},
        {"environment: GALLIUM_DRIVER: zink (A), unset (B)", false,
         [](ResultFile &f) { f.environment->clear(); }},
        {"environment: LD_PRELOAD: unset (A), '/a b' (B)", false,
         [](ResultFile &f) { (*f.environment)["LD_PRELOAD"] = "/a b"; }},
    };
    EXPECT_TRUE(Has(Compare(a, a), "\nsame: surface, settings, video, renderer, OpenGL, kernel, "
                                   "CPU, protocol, Kelvane and environment\n"))
        << Compare(a, a);
    ResultFile older = a; // written before the environment was recorded
    older.environment.reset();
    EXPECT_TRUE(Has(Compare(older, a), "\nenvironment: not recorded in A\nsame: surface, "
                                       "settings, video, renderer, OpenGL, kernel, CPU, "
                                       "protocol and Kelvane\n"));
    for (auto &[said, warns, change] : rows) {
        ResultFile b = a;
        change(b);
        std::string s = Compare(a, b);
        EXPECT_TRUE(Has(s, "\ndiffers: " + said + "\n" + (warns ? "warning: " : "  grid"))) << s;
        EXPECT_EQ(s.find("differs:"), s.rfind("differs:")) << s; // that alone
        EXPECT_EQ(warns, Has(s, "warning: not comparable")) << s;
        EXPECT_FALSE(Has(s, "\nsame: ")) << s;
    }
}

ResultRun Disturbed(ResultRun run);

// The gate fails only when even B's faster end is slower than allowed, and never passes
// what it cannot see.
TEST(CompareTest, TheGateFailsOnlyPastTheAllowedAndTheUncertainty) {
    std::string said;
    auto gate = [&](GateFigures f, double allowed) {
        char text[256] = "";
        FILE *out = fmemopen(text, sizeof text, "w");
        GateOutcome o = JudgeGate(f, allowed, out);
        fclose(out);
        said = text;
        return o;
    };
    // B's ratio, its interval, the share allowed: slower only past the interval's faster end.
    for (auto [ratio, low, high, allowed, want] :
         std::vector<std::tuple<double, double, double, double, GateOutcome>>{
             {0.90, 0.85, 0.96, 0.05, kGatePassed},
             {0.95, 0.94, 0.95, 0.05, kGatePassed},
             {1.02, 1.01, 1.03, 0, kGatePassed},
             {0.999, 0.998, 0.9999, 0, kGateSlower},
             {0.90, 0.88, 0.92, 0.05, kGateSlower}})
        EXPECT_EQ(want, gate({true, "", ratio, low, high}, allowed)) << ratio;
    EXPECT_EQ("gate: B against A: -10.0 % (-12.0 to -8.0 %), slower by more than the 5 % "
              "allowed: failed\n",
              said);
    EXPECT_EQ(kGateUnjudged, gate({false, "the pair has no verdict", 0, 0, 0}, 0.05));
    EXPECT_EQ("gate: cannot judge: the pair has no verdict: failed\n", said);
    // A comparison's figures: the steady ones with twice their uncertainties together, and
    // none from a side whose every run was disturbed.
    ResultFile a = {}, b = {};
    a.runs = b.runs = {Measured(std::vector<float>(10, 50), true)};
    a.runs[0].steady = {true, 100, 3};
    b.runs[0].steady = {true, 90, 4};
    GateFigures f = CompareGateFigures(a, b);
    EXPECT_TRUE(f.known);
    EXPECT_DOUBLE_EQ(0.9, f.ratio);
    EXPECT_DOUBLE_EQ(0.8, f.low);
    EXPECT_DOUBLE_EQ(1.0, f.high);
    // The comparison judges what the gate judges: nothing where every run of a side was
    // disturbed, or the two are not comparable, and "beyond" exactly where the gate's
    // interval leaves 1.
    for (int disturbed = 0; disturbed < 8; disturbed++)
        for (double figure : {80.0, 90.0, 99.0, 120.0}) {
            ResultFile x = a, y = b;
            y.runs[0].steady.score = figure;
            if (disturbed & 1) x.runs[0] = Disturbed(x.runs[0]);
            if (disturbed & 2) y.runs[0] = Disturbed(y.runs[0]);
            if (disturbed & 4) y.width = 64;
            GateFigures g = CompareGateFigures(x, y);
            std::string s = Compare(x, y);
            EXPECT_EQ(!g.known, Has(s, "), not judged: ")) << s;
            EXPECT_EQ(g.known && (g.low > 1 || g.high < 1), Has(s, "), beyond twice")) << s;
            EXPECT_EQ(g.known && g.low <= 1 && g.high >= 1, Has(s, "), within twice")) << s;
        }
    // The gate's reason names the side and what stood in the way.
    std::vector<std::pair<std::string, std::function<void(ResultFile &, ResultFile &)>>> why = {
        {"every run of B was disturbed",
         [](ResultFile &, ResultFile &y) { y.runs[0] = Disturbed(y.runs[0]); }},
        {"every run of A was held back",
         [](ResultFile &x, ResultFile &) {
             x.runs[0].held.known = x.runs[0].held.heldBack = true;
         }},
        {"every run of B was drifted",
         [](ResultFile &, ResultFile &y) {
             y.runs[0].drift.known = y.runs[0].drift.drifted = true;
         }},
        {"B has no steady figure", [](ResultFile &, ResultFile &y) { y.runs[0].steady.score = 0; }},
        {"A has no steady figure",
         [](ResultFile &x, ResultFile &) { x.runs[0].steady.known = false; }},
        {"not comparable: surface 0x0 (A), 64x48 (B)",
         [](ResultFile &, ResultFile &y) { y.width = 64, y.height = 48; }},
    };
    for (auto &[said, change] : why) {
        ResultFile x = a, y = b;
        change(x, y);
        GateFigures g = CompareGateFigures(x, y);
        EXPECT_FALSE(g.known) << said;
        EXPECT_EQ(said, g.why);
        // Without a figure there is no difference to judge, and its line says so.
        std::string line = said == "A has no steady figure"
                               ? "steady A: none\n"
                               : "(B against A), not judged: " + said + "\n";
        EXPECT_TRUE(Has(Compare(x, y), line)) << said;
    }
}

ResultRun Disturbed(ResultRun run) {
    run.verdict = {
        true, true, 4, {true, 0.5, 0, 0.5, 0.5, false, 0}, {true, 0.5, 0, 0.5, 0.5, false, 0}};
    return run;
}

// Disturbed runs are said, left out of the spread, and never make a difference real.
TEST(CompareTest, DisturbedRunsAreLeftOutAndNeverMakeADifference) {
    ResultRun g10 = Measured(std::vector<float>(10, 50), true);          // 115
    ResultRun g11 = Measured(std::vector<float>(11, 50), true);          // 139
    ResultRun g12 = Measured(std::vector<float>(12, 50), true);          // 165
    ResultRun g13 = Measured(std::vector<float>(13, 50), true);          // 194
    ResultRun g4 = Disturbed(Measured(std::vector<float>(4, 50), true)); // 18
    std::string s = Compare({g10, g4, g11}, {g12, g13});
    EXPECT_TRUE(Has(s, "score A: 127 (median of 2 runs, 115 to 139, 1 grid steps)\n")) << s;
    EXPECT_TRUE(Has(s, "disturbed A: 1 run, left out of the score and its spread\n")) << s;
    EXPECT_FALSE(Has(s, "disturbed B")) << s;
    EXPECT_TRUE(Has(s, "spread: the difference exceeds the spread of the undisturbed runs "
                       "(A 115 to 139, B 165 to 194)\n"))
        << s;
    // Every run of B disturbed, far below A's: what B's machine had left, not a difference.
    s = Compare({g10, g11}, {g4, Disturbed(Measured(std::vector<float>(5, 50), true))});
    EXPECT_TRUE(Has(s, "disturbed B: all 2 scored runs; the score is not this machine's best\n"))
        << s;
    EXPECT_TRUE(Has(s, "spread: every run of B was disturbed: the difference cannot be judged"))
        << s;
    EXPECT_FALSE(Has(s, "exceeds")) << s;
    s = Compare({g4}, {Disturbed(g13)});
    EXPECT_TRUE(Has(s, "spread: every run of both was disturbed")) << s;
    s = Compare({g10, g4}, {g12});
    EXPECT_TRUE(Has(s, "spread: one undisturbed run each")) << s;
    // Quick runs are spoken of by their steady figure, having no score.
    ResultRun quick = Measured(std::vector<float>(10, 50), false);
    quick.quick = true;
    quick.end = kRunMeasured;
    quick.steady = {true, 120, 3};
    s = Compare({g10}, {Disturbed(quick), Disturbed(quick)});
    EXPECT_TRUE(Has(s, "disturbed B: all 2 quick runs; the steady figure is not this machine's "
                       "best\nsteady A: none\nsteady B: 120 ± 3"))
        << s;
    s = Compare({Disturbed(quick), quick}, {g10});
    EXPECT_TRUE(Has(s, "disturbed A: 1 run, left out of the steady figure\n")) << s;
    // A run whose GPU was held back is left out as a disturbed one is, and each side's GPU
    // is said where it was watched.
    ResultRun held = g13, watched = g12;
    held.held = {true, true, 4, 2450, 1820, true, 1 << 3, 94, 6, false};
    watched.held = {true, false, 4, 2450, 2400, false, 0, 70, 30, false};
    s = Compare({g10, g11}, {held, watched, g12});
    EXPECT_TRUE(Has(s, "disturbed or held back B: 1 run, left out of the score")) << s;
    EXPECT_TRUE(Has(s, "score B: 165 (median of 2 runs")) << s;
    EXPECT_TRUE(Has(s, "\ngpu A: not watched\ngpu B: 1 of 2 runs held back; clock 2,450 MHz at "
                       "its highest busy, 1,820 at its lowest deciding; hottest 94 °C; "
                       "throttled: thermal\n"))
        << s;
    EXPECT_TRUE(Has(Compare({held}, {held}), "every run of both was disturbed or held back")) << s;
    EXPECT_FALSE(Has(Compare({g10}, {g12}), "gpu A")) << s;
}

TEST(CompareTest, BadFilesFailNamingTheFileAndPlotsGoWhereAsked) {
    TempDir dir;
    std::string good = Text({Measured({600, 90, 9}, true)}), a = dir.path("a.json");
    WriteBytes(a, std::vector<unsigned char>(good.begin(), good.end()));
    WriteBytes(dir.path("x.json"), {'[', ']'});
    FILE *out = tmpfile(), *err = tmpfile();
    EXPECT_EQ(0, CompareResults(a.c_str(), dir.path("x.json").c_str(), nullptr, out, err));
    EXPECT_EQ(0, CompareResults(dir.path("no.json").c_str(), a.c_str(), nullptr, out, err));
    EXPECT_EQ(1, CompareResults(a.c_str(), a.c_str(), dir.path("p.svg").c_str(), out, err));
    EXPECT_EQ(1, CompareResults(a.c_str(), a.c_str(), dir.path("p.png").c_str(), out, err));
    EXPECT_EQ(0, CompareResults(a.c_str(), a.c_str(), dir.path("no/p.png").c_str(), out, err));
    rewind(err);
    char line[512];
    std::string said;
    while (fgets(line, sizeof line, err))
        said += line;
    fclose(out);
    fclose(err);
    EXPECT_TRUE(Has(said, "kelvane: " + dir.path("x.json") + ": not a Kelvane result")) << said;
    EXPECT_TRUE(Has(said, "kelvane: " + dir.path("no.json") + ": No such file")) << said;
    EXPECT_TRUE(Has(said, "cannot write " + dir.path("no/p.png") + ": No such file")) << said;
    EXPECT_EQ(0, ReadText(dir.path("p.svg")).find("<?xml"));
    EXPECT_EQ(0, ReadText(dir.path("p.png")).find("\x89PNG"));
}

// Names and renderers come with any bytes: a Latin-1 file name, and a renderer whose
// 200th byte is the middle of a character.
TEST(CompareTest, NamesAndRenderersThatAreNotUtf8StillPlot) {
    TempDir dir;
    std::string text = Text({Measured({600, 90, 9}, true)}, (std::string(199, 'x') + "é").c_str());
    std::string a = dir.path("a\xe9.json"), b = dir.path("b.json");
    ASSERT_EQ(1, WriteWhole(a.c_str(), text));
    ASSERT_EQ(1, WriteWhole(b.c_str(), text));
    FILE *out = tmpfile(), *err = tmpfile();
    for (const char *plot : {"p.svg", "p.png"}) {
        EXPECT_EQ(1, CompareResults(a.c_str(), b.c_str(), dir.path(plot).c_str(), out, err));
        EXPECT_EQ(1, CompareResults(b.c_str(), a.c_str(), dir.path(plot).c_str(), out, err));
    }
    EXPECT_EQ(0, ftell(err));
    fclose(out);
    fclose(err);
}

// The history lists what the reader reads of a run, as --compare @ID does: a figure no run
// can hold is refused when recorded, never listed as another.
TEST(ReaderTest, TheHistoryListsWhatTheReaderReads) {
    TempDir data;
    std::string before = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", data.prefix().c_str(), 1);
    const std::tuple<const char *, json, std::string> kRows[] = {
        {"/runs/0/drift",
         {{"grid", 1},
          {"first_ms", 40},
          {"again_ms", 60},
          {"change", 0.5},
          {"allowed", 0.05},
          {"drifted", true}},
         "  score 10  steady none  drifted\n"},
        {"/runs/0/drift", // checked, and held still
         {{"grid", 1},
          {"first_ms", 40},
          {"again_ms", 41},
          {"change", 0.025},
          {"allowed", 0.05},
          {"drifted", false}},
         "  score 10  steady none\n"},
        {"/runs/0/gpu",
         json::parse(R"({"held_back": true, "deciding_steps": 3, "top_mhz": null, "low_mhz": null,
             "clock_fell": false, "throttle": ["pl1"], "hottest_c": null, "headroom_c": null,
             "hot": false})"),
         "  score 10  steady none  held back\n"},
        {"/validation", // as written before states: its frames say it failed
         {{"passed", false},
          {"frames", {{{"name", "4"}, {"passed", false}, {"difference", nullptr}}}}},
         "  score 10  steady none  validation failed\n"},
        {"/environment",
         {{"mesa_glthread", "true"}, {"LD_PRELOAD", "/a b"}},
         "  score 10  steady none  env: LD_PRELOAD='/a b' mesa_glthread=true\n"},
        {"/runs/0/score", 3000000000u, "runs[0].score: out of range"},
        {"/runs/0/score", 1e300, "runs[0].score: out of range"},
        {"/surface/width", 4294967360u, "surface.width: out of range"},
        {"/runs/0/started", "2026-12-02T99:99:99Z", "runs[0].started: not a time the calendar"}};
    for (auto &[at, value, said] : kRows) {
        json doc = json::parse(Text({Measured({600, 90, 9}, true)}));
        doc[json::json_pointer(at)] = value;
        int added = 0;
        std::string why;
        EXPECT_EQ(said.back() == '\n', RecordInHistory(doc.dump(), &added, &why) && added) << at;
        EXPECT_TRUE(said.back() == '\n' || Has(why, said)) << at << ": " << why;
    }
    FILE *out = fopen(data.path("listed").c_str(), "w");
    PrintHistory(out, stderr);
    fclose(out);
    // The columns kept for other readers of the file hold what the reader read: no verdict.
    std::string path, why;
    std::vector<HistoryRun> runs;
    ASSERT_TRUE(HistoryPath(&path, false, &why) && OpenHistory(path.c_str(), kHistoryRead, &why) &&
                ListHistory(&runs, &why))
        << why;
    CloseHistory();
    for (const HistoryRun &r : runs)
        EXPECT_EQ(-1, r.disturbed) << r.id;
    before.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", before.c_str(), 1);
    std::string s = ReadText(data.path("listed"));
    for (auto &[at, value, said] : kRows)
        EXPECT_TRUE(said.back() != '\n' || Has(s, "  2023-11-14 22:13  llvmpipe  ") && Has(s, said))
            << at << ": " << s;
}

ResultSetting Machine() {
    ResultSetting m = {};
    m.version = "1.0.0";
    m.cores = 2;
    m.memoryBytes = 25276182528;
    snprintf(m.kernel, sizeof m.kernel, "6.1.0");
    return m;
}

// A pair written, read and written again gives the same text; no run reader takes it, nor it
// a run's; WritePairResult's file is that text, and validate.py takes it.
TEST(PairFileTest, APairReadsBackAsItWasAndIsNoRunResult) {
    PairResult p = GeneratedPair(), back;
    std::string text = PairDocument(p, Machine()), why;
    ASSERT_EQ(1, ParsePairResult(text.data(), text.size(), &back, &why)) << why;
    EXPECT_EQ(text, PairDocument(back, Machine()));
    // Each turn's own facts come back as the coordinator had them, a clock known alone too.
    ASSERT_EQ(p.turns.size(), back.turns.size());
    for (size_t i = 0; i < p.turns.size(); i++) {
        const PairTurn &a = p.turns[i], &b = back.turns[i];
        EXPECT_EQ(std::max(a.clockFromMhz, 0.0), std::max(b.clockFromMhz, 0.0)) << i;
        EXPECT_EQ(std::max(a.clockToMhz, 0.0), std::max(b.clockToMhz, 0.0)) << i;
        EXPECT_TRUE(a.fill == b.fill && a.ranOn == b.ranOn && a.dropped == b.dropped &&
                    a.disturbed == b.disturbed)
            << i;
    }
    EXPECT_EQ(p.clockRising, back.clockRising);
    json older = json::parse(text); // written before the interval said its confidence
    older["verdict"].erase("confidence");
    std::string olderText = older.dump();
    ASSERT_EQ(1, ParsePairResult(olderText.data(), olderText.size(), &back, &why)) << why;
    EXPECT_EQ(kPairConfidence, back.judgement.confidence);
    ResultFile run;
    EXPECT_EQ(0, ParseResult(text.data(), text.size(), &run, &why));
    EXPECT_EQ(kPairNotARun, why);
    std::string runText = Text({Measured({600}, true)});
    EXPECT_EQ(0, ParsePairResult(runText.data(), runText.size(), &back, &why));
    EXPECT_EQ("not a Kelvane paired comparison: a run result (no protocol \"pair\")", why);
    TempDir dir;
    ASSERT_EQ(1, WritePairResult(p, dir.prefix().c_str(), &why)) << why;
    EXPECT_EQ(writtenPairDocument, ReadText(dir.path(kPairJsonName)));
    EXPECT_EQ(0, ReadText(dir.path(kPairPngName)).find("\x89PNG"));
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py '";
    EXPECT_EQ(0, system((validate + dir.path(kPairJsonName) + "'").c_str()));
    EXPECT_EQ(0, WritePairResult(p, dir.path("none/").c_str(), &why));
    EXPECT_EQ(0u, why.find("cannot write " + dir.path("none/") + kPairJsonName)) << why;
    std::string svg = dir.path("svg/"); // the plot's turn to fail: a folder in its place
    ASSERT_EQ(0, mkdir(svg.c_str(), 0755));
    ASSERT_EQ(0, mkdir((svg + kPairSvgName).c_str(), 0755));
    EXPECT_EQ(0, WritePairResult(p, svg.c_str(), &why));
    EXPECT_EQ(0u, why.find("cannot write " + svg + kPairSvgName)) << why;
}

// The reader and validate.py agree on every variant of a pair, and on the relations a schema
// cannot state, each broken once.
TEST(PairFileTest, TheReaderAndTheSchemaTakeTheSamePairs) {
    PairResult unknown = GeneratedPair();
    unknown.judgement = {false, 4, 2, 2, 0, 0, 0, kPairConfidence};
    unknown.precise = false;
    std::vector<Variant> all;
    json::json_pointer top;
    // The pair whose judgement is unknown adds the variants of what it alone holds.
    std::set<std::string> seen;
    for (const PairResult &p : {GeneratedPair(), unknown}) {
        json good = json::parse(PairDocument(p, Machine()));
        all.push_back({top, "nothing", good});
        Vary(good, top, &seen, &all);
    }
    const std::tuple<const char *, json, int> kRows[] = {
        {"/turns/3/pair", 0, 0},                       // before the last turn's
        {"/turns/7/pair", 4, 0},                       // A's second kept turn in pair 4
        {"/turns/9/grid", 21, 0},                      // not its partner's
        {"/turns/10/round", 0, 0},                     // not its partner's
        {"/turns/12/round", 2, 0},                     // after the next turn's
        {"/turns/4/round", 1, 0},                      // a dropped turn's, after the next's
        {"/turns/0/mean_ms", 101, 0},                  // not its frame times' mean
        {"/turns/7/mean_ms", 101, 1},                  // not every frame kept
        {"/turns/0/frames", 3, 0},                     // more frame times than frames
        {"/turns/5/dropped", false, 0},                // ran on, yet kept
        {"/turns/0/dropped", true, 0},                 // 13 pairs kept, 14 judged
        {"/verdict/pairs", 7, 0},                      // not two a block
        {"/verdict/ratio", 1.05, 0},                   // outside its interval
        {"/verdict/blocks", 2, 0},                     // fewer than the rounds
        {"/verdict/rounds", 5, 0},                     // too few for a judgement
        {"/verdict/rounds", 8, 0},                     // more than the blocks
        {"/verdict/precise", true, 0},                 // ended on its precision in 6 rounds
        {"/turns/7/mean_ms", 1e-320, 1},               // above 0, if far below a double's normal
        {"/same_renderer", true, 0},                   // the strings differ
        {"/sides/A/env", json::array({"1X=2"}), 0},    // no NAME=VALUE
        {"/sides/A/env", json::array({"_X1=a=b"}), 1}, // one
        {"/started", "2026-02-30T12:00:00Z", 0}};
    for (auto &[at, value, takes] : kRows) {
        all.push_back({json::json_pointer(at), "= " + value.dump(), all[0].doc, "", takes});
        all.back().doc[all.back().at] = value;
    }
    // Sides that differ in their GL version alone are not the same renderer.
    for (const char *version : {"4.5 Mesa 22.3.6", "4.6 Mesa 24.2.8"}) {
        all.push_back({json::json_pointer("/same_renderer"), version, all[0].doc, "", -1});
        json &d = all.back().doc;
        d["sides"]["B"]["opengl"] = d["sides"]["A"]["opengl"];
        d["sides"]["B"]["opengl"]["version"] = version;
        d["same_renderer"] = true;
        all.back().takes = d["sides"]["A"]["opengl"]["version"] == version;
    }
    ExpectAgreement(all, ParsePairResult, "not a Kelvane paired comparison: ");
}

// A pair is one entry of the history: listed as a line of its own, exported as written, and
// refused plainly where a run is wanted.
// Runs of one --repeat series, kept one by one, are still known as one test: counted back
// from the last, two of them are refused; named by their ids, or a run and a test, they are not.
TEST(ReaderTest, TheHistoryKnowsTheRunsOfOneSeries) {
    TempDir data;
    std::string before = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", data.prefix().c_str(), 1);
    ResultRun first = Measured({600, 90, 9}, true), second = Measured({600, 80, 9}, true);
    first.series = second.series = "2026-12-09T17:00:00Z";
    second.started = first.started + 60;
    ResultRun alone = Measured({600, 70, 9}, true);
    alone.started = first.started + 120;
    int added = 0;
    std::string why;
    ASSERT_TRUE(RecordInHistory(Text({first, second}), &added, &why)) << why;
    ASSERT_TRUE(RecordInHistory(Text({alone}), &added, &why)) << why;
    // Each row: two references, and + where they are taken.
    for (const char *row : {"@last~2 @last~1 -", "@last~1 @last~2 -", "@last~1 @last +", "@1 @2 +",
                            "@last~2 @2 +", "@last~2 @last~2 +"}) {
        char a[16], b[16], takes = 0;
        ASSERT_EQ(3, sscanf(row, "%15s %15s %c", a, b, &takes));
        why.clear();
        EXPECT_EQ(takes == '+', CheckCountedBack(a, b, &why) != 0) << row;
        EXPECT_EQ(takes == '+', why.empty()) << why;
    }
    CheckCountedBack("@last~2", "@last~1", &why);
    EXPECT_TRUE(Has(why, "are runs 1 and 2 of one --repeat series (started 2026-12-09T17:00:00Z)"))
        << why;
    // A pair between the runs (entry 4) is passed over by counting back, and said.
    PairResult pair = GeneratedPair();
    pair.started = first.started + 90;
    ASSERT_TRUE(RecordInHistory(PairDocument(pair, Machine()), &added, &why)) << why;
    for (auto [ref, name] : {std::pair{"@last", "run 3 of the history"},
                             {"@last~1", "run 2 of the history (@last~1, a paired comparison "
                                         "passed over)"},
                             {"@last~3", ""}}) {
        ResultFile r;
        EXPECT_EQ(*name != 0, ReadHistoryRun(ref, &r, &why)) << ref;
        if (*name) EXPECT_EQ(name, r.name) << ref;
    }
    EXPECT_EQ("the history holds no run 3 before the last (a paired comparison passed over: "
              "--compare takes run results)",
              why);
    EXPECT_FALSE(CheckCountedBack("@last~1", "@last~2", &why)); // still one series
    before.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", before.c_str(), 1);
}

TEST(PairFileTest, TheHistoryListsAPairAndExportsIt) {
    TempDir data;
    std::string before = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", data.prefix().c_str(), 1);
    PairResult p = GeneratedPair();
    p.sides[0].setting = std::string(50, 'x');
    std::string text = PairDocument(p, Machine()), why;
    int added = 0;
    ASSERT_EQ(1, RecordInHistory(text, &added, &why)) << why;
    EXPECT_EQ(1, added);
    FILE *out = fopen(data.path("listed").c_str(), "w");
    EXPECT_EQ(kExitScore, PrintHistory(out, stderr));
    EXPECT_EQ(kExitScore, ExportHistoryRun("last", data.path("out.json").c_str(), out, stderr));
    fclose(out);
    ResultFile r;
    EXPECT_EQ(0, ReadHistoryRun("@1", &r, &why));
    EXPECT_EQ(kPairNotARun, why);
    EXPECT_EQ(0, ReadHistoryRun("@last", &r, &why));
    EXPECT_EQ("the history holds no run (a paired comparison passed over: --compare takes run "
              "results)",
              why);
    before.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", before.c_str(), 1);
    EXPECT_EQ("1  2023-11-14 22:13  pair  A: " + std::string(40, 'x') +
                  "…  B: GALLIUM_DRIVER=softpipe  640x480 offscreen  B is 3.0 % faster than A "
                  "(2.0 to 4.0 %)\nkelvane: paired comparison 1 written to " +
                  data.path("out.json") + "\n",
              ReadText(data.path("listed")));
    EXPECT_EQ(text, ReadText(data.path("out.json")));
}

} // namespace
