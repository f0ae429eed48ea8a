// Repeated tests: the runs of a series in one result, and what they add up to.
#include "app/folders.h"
#include "bench/log.h"
#include "bench/state.h"
#include "record/json.h"
#include "app/results.h"
#include "record/record.h"
#include "report/headline.h"
#include "report/summary.h"
#include "tests/support/result_runs.h"
#include "tests/support/bench_state.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>

using nlohmann::json;

namespace {

// A run that measured the given frame rates at grids 0, 1, 2... and then ended.
ResultRun Measured(std::vector<float> rates, bool scored) {
    ResultRun run = {};
    run.started = 1700000000;
    for (size_t g = 0; g < rates.size(); g++)
        run.steps.push_back({(int)g, (int)(g * g * kTrianglesPerSphere), rates[g]});
    run.end = scored ? kRunScore : kRunAborted;
    int n = (int)rates.size(); // the grid it ended on
    run.score = scored ? n * n * kTrianglesPerSphere / 1000 : 0;
    return run;
}

TEST(SummaryTest, ScoresOfScoredRunsOnlyWithTheirMedianRangeAndGridSpread) {
    // Ends on grids 10, 12 and 9: scores 115, 165 and 93; an abort in between.
    std::vector<ResultRun> runs = {
        Measured(std::vector<float>(10, 50), true), Measured(std::vector<float>(12, 50), true),
        Measured(std::vector<float>(20, 50), false), Measured(std::vector<float>(9, 50), true)};
    ResultSummary s = Summarize(runs);
    EXPECT_EQ(4, s.runs);
    EXPECT_EQ(3, s.scored);
    EXPECT_DOUBLE_EQ(115, s.medianScore);
    EXPECT_EQ(93, s.lowestScore);
    EXPECT_EQ(165, s.highestScore);
    EXPECT_EQ(3, s.spreadGridSteps); // 12 - 9, not the aborted run's 20
    // An even number: the mean of the middle two.
    runs.push_back(Measured(std::vector<float>(11, 50), true)); // 139
    EXPECT_DOUBLE_EQ((115 + 139) / 2.0, Summarize(runs).medianScore);
    // A test that could not start is still going when the program ends: not a run.
    ResultRun going = {};
    going.end = kRunGoing;
    runs.push_back(going);
    EXPECT_EQ(5, Summarize(runs).runs);
}

ResultRun Disturbed(ResultRun run) {
    run.verdict = {
        true, true, 4, {true, 0.3, 0.02, 0.6, 0.32, false, 0}, {true, 0.4, 0, 0.5, 0.4, false, 0}};
    return run;
}

ResultRun Steady(ResultRun run, double figure) {
    run.steady = {true, figure, 2};
    return run;
}

// A disturbed run says what the machine had left: counted, not summed up, unless no run
// was undisturbed.
TEST(SummaryTest, FiguresOfTheUndisturbedRunsOrOfAllWhenEveryOneWasDisturbed) {
    ResultRun grid10 = Steady(Measured(std::vector<float>(10, 50), true), 100); // 115
    ResultRun grid12 = Steady(Measured(std::vector<float>(12, 50), true), 140); // 165
    ResultRun grid4 = Steady(Disturbed(Measured(std::vector<float>(4, 50), true)), 20);
    ResultRun quietButUnjudged = Measured(std::vector<float>(11, 50), true); // 139
    ResultSummary s = Summarize({grid10, grid4, grid12, Disturbed(Measured({50}, false))});
    EXPECT_EQ(4, s.runs);
    EXPECT_EQ(3, s.scored);
    EXPECT_EQ(2, s.disturbed); // the aborted one too
    EXPECT_EQ(2, s.counted);
    EXPECT_FALSE(s.ofDisturbed);
    EXPECT_DOUBLE_EQ(140, s.medianScore);
    EXPECT_EQ(115, s.lowestScore);
    EXPECT_EQ(2, s.spreadGridSteps);
    EXPECT_EQ(2, s.steadyRuns);
    EXPECT_DOUBLE_EQ(120, s.medianSteady);
    // A run without figures is not disturbed; it counts, alone.
    EXPECT_EQ(1, Summarize({grid4, quietButUnjudged}).counted);
    EXPECT_DOUBLE_EQ(139, Summarize({grid4, quietButUnjudged}).medianScore);
    EXPECT_EQ(0, Summarize({grid4, quietButUnjudged}).steadyRuns);

    // A drifted run is left out as a disturbed one is, and told apart from it.
    ResultRun drifted = grid12;
    drifted.drift = {true, 6, 30, 40, 0.33, 0.05, true};
    ResultSummary still = Summarize({grid10, drifted, grid4});
    EXPECT_EQ(1, still.drifted);
    EXPECT_EQ(1, still.counted);
    EXPECT_DOUBLE_EQ(115, still.medianScore);
    EXPECT_EQ(2, Summarize({drifted, Disturbed(drifted)}).counted); // nothing better

    ResultSummary all = Summarize({grid4, Disturbed(grid10)});
    EXPECT_TRUE(all.ofDisturbed);
    EXPECT_EQ(2, all.counted);
    EXPECT_EQ(2, all.disturbed);
    EXPECT_DOUBLE_EQ((18 + 115) / 2.0, all.medianScore);
    EXPECT_DOUBLE_EQ(60, all.medianSteady);

    // A series of quick runs, every one disturbed: their steady figures, said as theirs.
    ResultRun quick = Disturbed(Measured(std::vector<float>(8, 20), false));
    quick.quick = true;
    quick.end = kRunMeasured;
    ResultSummary quicks = Summarize({Steady(quick, 90), Steady(quick, 110)});
    EXPECT_EQ(2, quicks.steadyRuns);

    char text[4096] = "";
    FILE *out = fmemopen(text, sizeof text, "w");
    PrintSummary(out, s);
    PrintSummary(out, all);
    PrintSummary(out, still);
    PrintSummary(out, quicks);
    fclose(out);
    EXPECT_STREQ("runs: 4, with a score: 3\n"
                 "disturbed: 2; the figures below are of the undisturbed runs\n"
                 "median score: 140\nlowest: 115, highest: 165\nspread: 2 grid steps\n"
                 "median steady figure: 120 ± 2 thousand triangles a frame (not the score)\n"
                 "peak triangle rate: 6.97 million triangles/s\n"
                 "runs: 2, with a score: 2\n"
                 "disturbed: 2; the figures below are of the disturbed runs, as no scored run "
                 "was undisturbed\n"
                 "median score: 66.5\nlowest: 18, highest: 115\nspread: 6 grid steps\n"
                 "median steady figure: 60 ± 2 thousand triangles a frame (not the score)\n"
                 "peak triangle rate: 4.67 million triangles/s\n"
                 "runs: 3, with a score: 3\n"
                 "disturbed: 1, drifted: 1; the figures below are of the runs that were neither\n"
                 "median score: 115\nlowest: 115, highest: 115\nspread: 0 grid steps\n"
                 "median steady figure: 100 ± 2 thousand triangles a frame (not the score)\n"
                 "peak triangle rate: 6.97 million triangles/s\n"
                 "runs: 2, with a score: 0, quick: 2\n"
                 "disturbed: 2; the figures below are of the disturbed runs, as no quick run "
                 "was undisturbed\n"
                 "median steady figure: 100 ± 2 thousand triangles a frame\n" // no score beside
                 "peak triangle rate: 1.13 million triangles/s\n",
                 text);
}

TEST(SummaryTest, PeakRateIsTheBestStepOfAnyRunAbortedOnesToo) {
    ResultRun a = Measured({600, 300, 150, 80}, true);      // best: 80 × 3²×1152 = 0.829 M/s
    ResultRun b = Measured({600, 300, 150, 80, 60}, false); // 60 × 4²×1152 = 1.106 M/s
    EXPECT_NEAR(0.82944, Summarize({a}).peakRate, 1e-9);
    EXPECT_NEAR(1.10592, Summarize({a, b}).peakRate, 1e-9);
    ResultSummary none = Summarize({b});
    EXPECT_EQ(0, none.scored);
    EXPECT_EQ(0, none.spreadGridSteps);
    EXPECT_EQ(0, Summarize({}).runs);
}

// A single run's end: its own lines indented under one title, then its files; a screenshot
// in the folder that the run did not take is said to be an older run's.
TEST(SummaryTest, TheHeadlineSaysTheRunAndItsOwnFilesAlone) {
    TempDir dir;
    std::string at = dir.prefix() + "Kelvane result.";
    for (bool stale : {false, true})
        for (bool shot : {false, true}) {
            if (stale) WriteBytes(at + "tga", {'x'});
            char text[1024] = "";
            FILE *out = fmemopen(text, sizeof text, "w");
            PrintHeadline(out, dir.prefix().c_str(), "score: 7\nverdicts: x\n", shot);
            fclose(out);
            EXPECT_EQ("\n== Kelvane result ==\n  score: 7\n  verdicts: x\n  files: " + at +
                          "txt (the log), .json (the result), .svg and .png (the plot)" +
                          (shot ? ", .tga (the screenshot)\n" : "\n") +
                          (stale && !shot ? "  not this run's: " + at +
                                                "tga, an earlier run's "
                                                "screenshot\n"
                                          : ""),
                      std::string(text));
        }
}

TEST(SummaryTest, TheJsonCarriesItAndTheSchemaChecksIt) {
    ResultSetting s = {};
    s.version = "1.0.0";
    s.driver = "offscreen";
    s.eglDevice = -1;
    std::vector<ResultRun> runs = {Measured({400, 90, 9}, true), Measured({400, 90, 30, 8}, true),
                                   Measured({400}, false)};
    json doc = json::parse(ResultJson(s, runs));
    EXPECT_EQ(3u, doc["runs"].size());
    EXPECT_EQ(json::parse(R"({"runs":3,"scored_runs":2,"median_score":14.0,"lowest_score":10,
        "highest_score":18,"spread_grid_steps":1,"disturbed_runs":0,"drifted_runs":0,"measured_runs":0,
        "counted_runs":2,"peak_million_triangles_per_second":0.13824,"median_steady_score":null,
        "median_steady_uncertainty":null})"),
              doc["summary"]);
    json aborted = json::parse(ResultJson(s, {Measured({400}, false)}));
    EXPECT_TRUE(aborted["summary"]["median_score"].is_null());
    EXPECT_TRUE(aborted["summary"]["spread_grid_steps"].is_null());

    TempDir dir;
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py ";
    ASSERT_EQ(1, WriteWhole(dir.path("series.json").c_str(), doc.dump()));
    ASSERT_EQ(1, WriteWhole(dir.path("aborted.json").c_str(), aborted.dump()));
    json old = doc; // written before series existed: no summary
    old.erase("summary");
    ASSERT_EQ(1, WriteWhole(dir.path("old.json").c_str(), old.dump()));
    EXPECT_EQ(0, system((validate + dir.path("series.json") + " " + dir.path("aborted.json") + " " +
                         dir.path("old.json"))
                            .c_str()));
    doc["summary"]["spread_grid_steps"] = -1;
    ASSERT_EQ(1, WriteWhole(dir.path("bad.json").c_str(), doc.dump()));
    EXPECT_NE(0, system((validate + dir.path("bad.json") + " 2>/dev/null").c_str()));
}

class SeriesRecordTest : public RecordingTest {
  protected:
    void TearDown() override {
        RecordingTest::TearDown();
        resultSeries = false;
    }
    void LogTest(float fps, bool score) {
        Write(kLogStarted, true);
        numCubes = 2;
        LogStep(fps, 4608);
        if (score) LogScore(10);
        Write(kLogTestStopped, false);
    }
};

TEST_F(SeriesRecordTest, ASeriesKeepsEveryRunAndEachTestOtherwiseStartsAfresh) {
    resultSeries = true;
    LogTest(9, true);
    ASSERT_EQ(1, WritePendingResults());
    LogTest(8, true);
    LogTest(7, false); // aborted: it ends the series, and is kept
    ASSERT_EQ(3u, resultRuns.size());
    EXPECT_FLOAT_EQ(9, resultRuns[0].steps[0].fps);
    EXPECT_FLOAT_EQ(8, resultRuns[1].steps[0].fps);
    EXPECT_EQ(kRunAborted, resultRuns[2].end);
    ASSERT_EQ(1, WritePendingResults());
    json doc = json::parse(ReadText(dir.path(kResultJsonName)));
    EXPECT_EQ(3u, doc["runs"].size());
    EXPECT_EQ(2, doc["summary"]["scored_runs"]);
    // The text log holds the last test only.
    EXPECT_EQ("Kelvane started...\n FPS 7.0 4608 triangles\ntest stopped\n",
              ReadText(dir.path("Kelvane result.txt")));
    EXPECT_TRUE(FileExists(dir.path(kResultSvgName)));
    EXPECT_TRUE(FileExists(dir.path(kResultPngName)));
    resultSeries = false;
    LogTest(6, true);
    EXPECT_EQ(1u, resultRuns.size());
}

} // namespace
