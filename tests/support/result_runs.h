// Results for tests: a run measured at the given frame rates, grid 0 first, and a fixture
// that records the log's lines into the results as the program does.
#pragma once

#include "app/folders.h"
#include "bench/log.h"
#include "record/model.h"
#include "record/record.h"
#include "tests/support/bench_state.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
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
