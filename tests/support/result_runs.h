// Results for tests: a run measured at the given frame rates, grid 0 first, and a fixture
// that records the log's lines into the results as the program does.
#pragma once

#include "app/folders.h"
#include "bench/log.h"
#include "record/model.h"
#include "record/pair.h"
#include "record/record.h"
#include "tests/support/bench_state.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <vector>

// Started 2023-11-14 22:13 UTC, 42.5 s long; scored runs end on the grid after the last.
inline ResultRun Measured(std::vector<float> rates, bool scored) {
    ResultRun run = {};
    run.started = 1700000000;
    run.durationMs = 42500;
    for (size_t g = 0; g < rates.size(); g++)
        run.steps.push_back({(int)g, (int)(g * g * 1152), rates[g]});
    run.end = scored ? kRunScore : kRunAborted;
    int n = (int)rates.size();
    run.score = scored ? n * n * 1152 / 1000 : 0;
    return run;
}

class RecordingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetBenchState();
        resultRuns.clear();
        resultsPending = false;
        snprintf(app_folder, sizeof app_folder, "%s", dir.prefix().c_str());
        ListenForResults();
    }
    void TearDown() override {
        logListener = nullptr;
        app_folder[0] = 0;
    }
    TempDir dir;
};

// A paired comparison as the coordinator fills it: 30 turns AB BA ... on a machine that
// slows 2 % a turn and jumps by a fifth between two blocks, B 3 % faster throughout; pair 2 dropped
// (B disturbed) and run again as pair 3, 14 pairs kept, 7 blocks judged in 6 rounds (pairs 0 to
// 4, then two a round). Each turn's frame times average to its mean.
inline PairResult GeneratedPair() {
    PairResult p = {};
    p.started = 1700000000;
    p.durationMs = 95000;
    p.driver = "offscreen";
    p.width = 640;
    p.height = 480;
    p.sides[0] = {"", {}, -1, "Mesa", "llvmpipe (LLVM 15.0.6, 256 bits)", "4.5 Mesa 22.3.6"};
    p.sides[1] = {"GALLIUM_DRIVER=softpipe", {"GALLIUM_DRIVER=softpipe"}, 0, "Mesa", "softpipe",
                  "4.5 Mesa 22.3.6"};
    p.grid = 20;
    p.precision = 0.01;
    p.timeLimitS = 120;
    for (int i = 0; i < 30; i++) {
        PairTurn t = {};
        t.pair = i / 2;
        t.round = t.pair < 5 ? 0 : (t.pair - 5) / 2 + 1;
        t.side = (i / 2 % 2) ^ (i % 2); // AB, then BA
        t.grid = 20;
        t.frames = 4;
        t.meanMs = 100 * exp(0.02 * i) * (i >= 10 ? 1.2 : 1) / (t.side ? 1.03 : 1);
        for (double f : {0.9, 1.1, 0.95, 1.05})
            t.frameMs.push_back(t.meanMs * f);
        if (i == 7) t.frameMs.resize(2); // not every frame kept: no mean to check
        t.load = {true, 0.05, 0.01, 0.5, 0.04, true, 0.1};
        t.fill = 1;
        t.disturbed = i == 5 || i == 3; // kept: others' load falls on both turns alike
        t.ranOn = i == 5;
        if (i == 2) t.clockFromMhz = 1200, t.clockToMhz = 1800;
        if (i == 6) t.clockToMhz = 1500;
        t.dropped = i == 4 || i == 5;
        if (t.disturbed) t.load.others = t.load.taken = 0.3;
        p.turns.push_back(t);
    }
    p.judgement = {true, 14, 7, 6, 1.03, 1.02, 1.04, kPairConfidence};
    p.precise = false; // a pair ends on its precision over 8 rounds at least
    p.clockRising = true;
    p.verdict = "B is 3.0 % faster than A (2.0 to 4.0 %)";
    return p;
}
