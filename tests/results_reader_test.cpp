// Reading result files back, and comparing two of them.
#include "results/compare.h"
#include "results/json.h"
#include "results/reader.h"
#include "tests/support/result_runs.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>

using nlohmann::json;

namespace {

ResultSetting Setting(const char *renderer) {
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
    return s;
}

std::string Text(const std::vector<ResultRun> &runs, const char *renderer = "llvmpipe") {
    return ResultJson(Setting(renderer), runs);
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
    // Without a summary, as before series, and with a null renderer.
    json doc = json::parse(Text({Measured({600}, true)}, nullptr));
    doc.erase("summary");
    text = doc.dump();
    ASSERT_EQ(1, ParseResult(text.data(), text.size(), &r, &why)) << why;
    EXPECT_EQ("", r.renderer);
}

// Faults a broken or foreign file may have: the reader and the schema both refuse each.
TEST(ReaderTest, WhatTheSchemaRefusesTheReaderRefusesAndSaysWhere) {
    json good = json::parse(Text({Measured({600, 90, 9}, true)}));
    std::vector<std::pair<std::string, std::function<void(json &)>>> faults = {
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
    };
    TempDir dir;
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/results/validate.py ";
    for (auto &[where, fault] : faults) {
        json doc = good;
        fault(doc);
        std::string text = doc.dump();
        ResultFile r;
        std::string why;
        EXPECT_EQ(0, ParseResult(text.data(), text.size(), &r, &why)) << where;
        EXPECT_EQ(0u, why.find("not a Kelvane result: " + where)) << why;
        EXPECT_TRUE(r.runs.empty());
        ASSERT_EQ(1, WriteWhole(dir.path("f.json").c_str(), text));
        EXPECT_NE(0, system((validate + dir.path("f.json") + " 2>/dev/null").c_str())) << where;
    }
}

TEST(ReaderTest, FilesThatAreNoResultNameTheirFault) {
    TempDir dir;
    ResultFile r;
    std::string why;
    EXPECT_EQ(0, ReadResultFile(dir.path("missing.json").c_str(), &r, &why));
    EXPECT_EQ("No such file or directory", why);
    EXPECT_EQ(0, ReadResultFile(dir.prefix().c_str(), &r, &why)); // a folder
    EXPECT_EQ("cannot be read", why);
    for (std::string bad : {"", "{", "{\"runs\": [}", "\xff\xfe{}", "[1, 2,]", "nul"}) {
        WriteBytes(dir.path("bad.json"), std::vector<unsigned char>(bad.begin(), bad.end()));
        EXPECT_EQ(0, ReadResultFile(dir.path("bad.json").c_str(), &r, &why)) << bad;
        EXPECT_EQ("not JSON", why) << bad;
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
    s = Compare({a[0]}, {b[1]});
    EXPECT_TRUE(Has(s, "spread: one run each")) << s;
    s = Compare({Measured({400}, false)}, {b[0]});
    EXPECT_TRUE(Has(s, "score A: none (1 run, all aborted)\n")) << s;
    EXPECT_FALSE(Has(s, "difference")) << s;
}

TEST(CompareTest, BadFilesEndWithTwoNamingTheFileAndPlotsGoWhereAsked) {
    TempDir dir;
    std::string good = Text({Measured({600, 90, 9}, true)}), a = dir.path("a.json");
    WriteBytes(a, std::vector<unsigned char>(good.begin(), good.end()));
    WriteBytes(dir.path("x.json"), {'[', ']'});
    FILE *out = tmpfile(), *err = tmpfile();
    EXPECT_EQ(2, CompareResults(a.c_str(), dir.path("x.json").c_str(), nullptr, out, err));
    EXPECT_EQ(2, CompareResults(dir.path("no.json").c_str(), a.c_str(), nullptr, out, err));
    EXPECT_EQ(0, CompareResults(a.c_str(), a.c_str(), dir.path("p.svg").c_str(), out, err));
    EXPECT_EQ(0, CompareResults(a.c_str(), a.c_str(), dir.path("p.png").c_str(), out, err));
    EXPECT_EQ(2, CompareResults(a.c_str(), a.c_str(), dir.path("no/p.png").c_str(), out, err));
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

} // namespace
