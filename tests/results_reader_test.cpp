// Reading result files back, and comparing two of them.
#include "report/compare.h"
#include "record/json.h"
#include "record/reader.h"
#include "validation/validation.h"
#include "tests/support/result_runs.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>

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
    }
    run.verdict = {
        true, true, 3, {true, 0.2, 0.01, 0.6, 0.21, true, 0.4}, {true, 0.3, 0, 0.5, 0.1, false, 0}};
    run.steady = {true, 47.5, 1.25};
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
    // As written before any of them: they read as unknown, and the file still compares.
    json doc = json::parse(text);
    for (json &run : doc["runs"]) {
        for (const char *key : {"interference", "steady_score", "steady_uncertainty"})
            run.erase(key);
        for (json &step : run["steps"])
            step.erase("frame_times"), step.erase("load");
    }
    for (const char *key : {"disturbed_runs", "counted_runs", "median_steady_score"})
        doc["summary"].erase(key);
    std::string old = doc.dump();
    ASSERT_EQ(std::string::npos, old.find("steady")) << old;
    ASSERT_EQ(1, ParseResult(old.data(), old.size(), &r, &why)) << why;
    EXPECT_FALSE(r.runs[0].verdict.known);
    EXPECT_FALSE(r.runs[0].steady.known);
    EXPECT_EQ(0, r.runs[0].steps[1].timed);
    EXPECT_FALSE(r.runs[0].steps[1].load.known);
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

// Faults a broken or foreign file may have: the reader and the schema both refuse each.
TEST(ReaderTest, WhatTheSchemaRefusesTheReaderRefusesAndSaysWhere) {
    json good = json::parse(Text({Trusted(Measured({600, 90, 9}, true))}, "llvmpipe", &kValidated));
    std::vector<std::pair<std::string, std::function<void(json &)>>> faults = {
        // nlohmann holds 0 as unsigned: the lower bound must hold for it too.
        {"runs[0].score: out of range", [](json &d) { d["runs"][0]["score"] = 0; }},
        {"runs[0].steps[1].fps: out of range",
         [](json &d) { d["runs"][0]["steps"][1]["fps"] = -90.0; }},
        {"runs[0].duration_seconds: out of range",
         [](json &d) { d["runs"][0]["duration_seconds"] = -0.5; }},
        // Grids whose triangles no int holds, and their arithmetic with them.
        {"runs[0].steps[1].grid: out of range",
         [](json &d) {
             d["runs"][0]["steps"][1] = {{"grid", 2100000000}, {"triangles", 0}, {"fps", 1}};
         }},
        {"runs[0].steps[2].grid: out of range",
         [](json &d) {
             d["runs"][0]["steps"][2] = {
                 {"grid", 1366}, {"triangles", 1366LL * 1366 * 1152}, {"fps", 1}};
         }},
        {"runs[0].steps[2].triangles: not grid x grid x 1152 (4608)",
         [](json &d) { d["runs"][0]["steps"][2]["triangles"] = 2304; }},
        {"runs[0].steps[0].triangles: not grid x grid x 1152 (0)",
         [](json &d) { d["runs"][0]["steps"][0]["triangles"] = 1152; }},
        {"validation: missing", [](json &d) { d.erase("validation"); }},
        {"validation: not an object or null", [](json &d) { d["validation"] = false; }},
        {"validation.passed", [](json &d) { d["validation"]["passed"] = "yes"; }},
        {"validation.state", [](json &d) { d["validation"]["state"] = "skipped"; }},
        {"validation.passed: disagrees with its state",
         [](json &d) { d["validation"]["state"] = "passed"; }},
        {"validation.passed: not null",
         [](json &d) { d["validation"]["state"] = "not_validated"; }},
        {"validation.frames: not an array",
         [](json &d) { d["validation"]["frames"] = json::array(); }},
        {"validation.frames[1].name: empty",
         [](json &d) { d["validation"]["frames"][1]["name"] = ""; }},
        {"validation.frames[2].difference: missing",
         [](json &d) { d["validation"]["frames"][2].erase("difference"); }},
        {"validation.frames[0].difference.mean: out of range",
         [](json &d) { d["validation"]["frames"][0]["difference"]["mean"] = 256; }},
        {"validation.frames[0].difference.worst: out of range",
         [](json &d) { d["validation"]["frames"][0]["difference"]["worst"] = 300; }},
        {"version: not like 1.0.0", [](json &d) { d["version"] = "one"; }},
        {"summary.runs: missing", [](json &d) { d["summary"] = json::object(); }},
        {"summary.median_score: out of range", [](json &d) { d["summary"]["median_score"] = 0; }},
        {"summary.lowest_score: not an integer",
         [](json &d) { d["summary"]["lowest_score"] = "4"; }},
        {"program", [](json &d) { d["program"] = "Other"; }},
        {"runs: missing", [](json &d) { d.erase("runs"); }},
        {"runs: not an array", [](json &d) { d["runs"] = json::array(); }},
        {"runs[0].steps[1].fps: not a number",
         [](json &d) { d["runs"][0]["steps"][1]["fps"] = "90"; }},
        {"runs[0].steps[0].grid: out of range",
         [](json &d) { d["runs"][0]["steps"][0]["grid"] = -1; }},
        {"runs[0].end", [](json &d) { d["runs"][0]["end"] = "done"; }},
        {"runs[0].score: not an integer", [](json &d) { d["runs"][0]["score"] = nullptr; }},
        {"runs[0].score: not an integer", [](json &d) { d["runs"][0]["score"] = 4.5; }},
        {"runs[0].score: not null", [](json &d) { d["runs"][0]["end"] = "aborted"; }},
        {"runs[0].started", [](json &d) { d["runs"][0]["started"] = "2024-05-01 09:30:12"; }},
        {"surface.width", [](json &d) { d["surface"].erase("width"); }},
        {"settings.lighting", [](json &d) { d["settings"]["lighting"] = 1; }},
        {"video.egl_device", [](json &d) { d["video"]["egl_device"] = 3; }},
        {"machine.memory_bytes", [](json &d) { d["machine"]["memory_bytes"] = -5; }},
        {"opengl.renderer", [](json &d) { d["opengl"]["renderer"] = 7; }},
        {"summary", [](json &d) { d["summary"] = 3; }},
        {"the document", [](json &d) { d = json::array({d}); }},
        {"runs[0].steps[1].frame_times.median_ms: not between",
         [](json &d) { d["runs"][0]["steps"][1]["frame_times"]["median_ms"] = 130; }},
        {"runs[0].steps[1].frame_times.timed: out of range",
         [](json &d) { d["runs"][0]["steps"][1]["frame_times"]["timed"] = 0; }},
        {"runs[0].steps[0].frame_times: not an object",
         [](json &d) { d["runs"][0]["steps"][0]["frame_times"] = 5; }},
        {"runs[0].steps[2].load.others: out of range",
         [](json &d) { d["runs"][0]["steps"][2]["load"]["others"] = 1.5; }},
        {"runs[0].steps[2].load.: more than the whole machine",
         [](json &d) { d["runs"][0]["steps"][2]["load"]["self"] = 0.9; }},
        {"runs[0].steps[2].load.taken: more than others used",
         [](json &d) { d["runs"][0]["steps"][2]["load"]["taken"] = 0.31; }},
        {"runs[0].steps[1].load.taken: missing",
         [](json &d) { d["runs"][0]["steps"][1]["load"].erase("taken"); }},
        {"runs[0].steps[0].load.wait: out of range",
         [](json &d) { d["runs"][0]["steps"][0]["load"]["wait"] = -0.1; }},
        {"runs[0].interference.deciding.wait: not a number",
         [](json &d) { d["runs"][0]["interference"]["deciding"]["wait"] = "long"; }},
        {"runs[0].interference.disturbed: not true or false",
         [](json &d) { d["runs"][0]["interference"]["disturbed"] = 1; }},
        {"runs[0].interference.deciding_steps: out of range",
         [](json &d) { d["runs"][0]["interference"]["deciding_steps"] = 0; }},
        {"runs[0].interference.last_step.steal: missing",
         [](json &d) { d["runs"][0]["interference"]["last_step"].erase("steal"); }},
        {"runs[0].steady_score: out of range", [](json &d) { d["runs"][0]["steady_score"] = -1; }},
        {"runs[0].steady_uncertainty: not a number",
         [](json &d) { d["runs"][0]["steady_uncertainty"] = nullptr; }},
        {"summary.disturbed_runs: out of range",
         [](json &d) { d["summary"]["disturbed_runs"] = -1; }},
        {"summary.median_steady_score: not a number",
         [](json &d) { d["summary"]["median_steady_score"] = "47"; }},
    };
    // The schema's validator once for all of them, and each file among its faults.
    TempDir dir;
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py",
                files;
    for (size_t i = 0; i < faults.size(); i++) {
        auto &[where, fault] = faults[i];
        json doc = good;
        fault(doc);
        std::string text = doc.dump();
        ResultFile r;
        std::string why;
        EXPECT_EQ(0, ParseResult(text.data(), text.size(), &r, &why)) << where;
        EXPECT_EQ(0u, why.find("not a Kelvane result: " + where)) << why;
        EXPECT_TRUE(r.runs.empty());
        std::string path = dir.path("f" + std::to_string(i) + ".json");
        ASSERT_EQ(1, WriteWhole(path.c_str(), text));
        files += " " + path;
    }
    ASSERT_EQ(1, WriteWhole(dir.path("good.json").c_str(), good.dump()));
    EXPECT_NE(0, system((validate + files + " 2>" + dir.path("faults.txt")).c_str()));
    std::string said = ReadText(dir.path("faults.txt"));
    for (size_t i = 0; i < faults.size(); i++)
        EXPECT_NE(std::string::npos, said.find(dir.path("f" + std::to_string(i) + ".json:")))
            << faults[i].first << "\n"
            << said;
    EXPECT_EQ(0, system((validate + " " + dir.path("good.json")).c_str()));
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

std::string Compare(const std::vector<ResultRun> &a, const std::vector<ResultRun> &b) {
    ResultFile fa = {}, fb = {};
    fa.name = "a.json";
    fb.name = "b.json";
    fa.runs = a;
    fb.runs = b;
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    PrintComparison(out, fa, fb);
    fclose(out);
    std::string s(text, size);
    free(text);
    return s;
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
    EXPECT_TRUE(Has(said, "cannot write the plot " + dir.path("no/p.png"))) << said;
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

} // namespace
