// Puts the benchmark state back to its start-up values and points the log at a
// fresh folder, so that every test starts from a clean process.
#pragma once

#include "app/folders.h"
#include "bench/state.h"
#include "tests/support/bench_state.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdio.h>

class BenchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetBenchState();
        snprintf(app_folder, sizeof app_folder, "%s", dir.prefix().c_str());
    }
    void TearDown() override { app_folder[0] = 0; }

    std::string LogPath() const { return dir.path("Kelvane result.txt"); }
    std::string Log() const { return ReadText(LogPath()); }

    TempDir dir;
};
