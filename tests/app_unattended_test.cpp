#include "app/cmdline.h"
#include "app/unattended.h"
#include "bench/state.h"
#include "record/model.h"
#include "tests/support/bench_state.h"

#include <gtest/gtest.h>

namespace {

// After each timer firing the run looks at the test's state; these are the states a test
// passes through, in order, and what the run makes of each.
class EndWhenOverTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetBenchState();
        running = 1;
        PostTestCommand(); // outside a loop it is only queued; it resets the run's state
    }
    void TearDown() override {
        testsToRepeat = testsAllowed = 0;
        resultRuns.clear();
    }
    // The test has started with a scene.
    void Begin() {
        fullscreen = true;
        EXPECT_EQ(0, EndWhenTestOver());
    }
};

TEST_F(EndWhenOverTest, AScoreEndsWithZeroOnlyOnceTheScreenshotIsWritten) {
    EXPECT_EQ(0, EndWhenTestOver()); // idle scene, the command not handled yet
    Begin();
    fullscreen = false;
    finalScore = 115;
    EXPECT_EQ(0, EndWhenTestOver()); // screenshot still due
    finalSave = 1;
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitScore, exitStatus);
}

TEST_F(EndWhenOverTest, AnAbortEndsWithThree) {
    EXPECT_EQ(kExitAborted, exitStatus); // the window closed before anything
    Begin();
    fullscreen = false;
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitAborted, exitStatus);
}

TEST_F(EndWhenOverTest, ASceneThatCannotBeBuiltEndsWithFourAtOnce) {
    fullscreen = true;
    running = 0; // the test's full screen could not be built
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitNoScene, exitStatus);

    // The window's scene lost before the command is handled: the test builds its own.
    PostTestCommand();
    fullscreen = false;
    running = 0;
    EXPECT_EQ(0, EndWhenTestOver());
    running = 1; // its full screen built
    Begin();
}

TEST_F(EndWhenOverTest, AScoreWithoutAWindowSceneStillEndsWithZero) {
    Begin();
    fullscreen = false;
    finalScore = 1;
    running = 0; // no frame will ever take the screenshot
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitScore, exitStatus);
}

// A window that cannot be rebuilt after a score takes no screenshot, but the series goes on:
// only a test that cannot start ends it early, and then not with 0.
TEST_F(EndWhenOverTest, ASeriesGoesOnWithoutAWindowSceneAndEndsNonZeroIfATestCannotStart) {
    StartSeries(3);
    Begin();
    fullscreen = false;
    finalScore = 115;
    running = 0;
    EXPECT_EQ(0, EndWhenTestOver()); // the next test, posted
    EXPECT_EQ(1, testsToRepeat);
    EXPECT_EQ(kExitAborted, exitStatus);
    EXPECT_EQ(0, EndWhenTestOver()); // not begun yet, and no window scene: wait for it
    finalScore = 0;
    running = 1;
    Begin(); // the second test scores, the window again not rebuilt
    fullscreen = false;
    finalScore = 115;
    running = 0;
    EXPECT_EQ(0, EndWhenTestOver());
    EXPECT_EQ(0, testsToRepeat);
    finalScore = 0;
    fullscreen = true; // the third test's full screen cannot be built
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitNoScene, exitStatus);
}

// A --repeat series: each scored test with its screenshot starts the next, which must then
// be seen beginning again before its end counts; the last one ends the program.
TEST_F(EndWhenOverTest, ASeriesStartsTheNextTestAfterEachScreenshotAndEndsAfterTheLast) {
    StartSeries(3);
    for (int test = 0; test < 3; test++) {
        Begin();
        fullscreen = false;
        finalScore = 115;
        EXPECT_EQ(0, EndWhenTestOver()) << test; // screenshot still due
        finalSave = 1;
        if (test == 2) break;
        EXPECT_EQ(0, EndWhenTestOver()) << test;     // the next test, posted
        EXPECT_EQ(kExitAborted, exitStatus) << test; // until it too reaches a score
        EXPECT_EQ(1 - test, testsToRepeat);
        EXPECT_EQ(0, EndWhenTestOver()) << test; // the old score, not the new test's
        finalScore = finalSave = 0;              // as StartTest leaves them
    }
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitScore, exitStatus);
}

TEST_F(EndWhenOverTest, AnAbortEndsTheSeriesWithThree) {
    StartSeries(5);
    Begin();
    fullscreen = false;
    finalScore = 115;
    finalSave = 1;
    EXPECT_EQ(0, EndWhenTestOver());
    finalScore = finalSave = 0;
    Begin();
    fullscreen = false; // Escape: back in the window without a score
    EXPECT_EQ(1, EndWhenTestOver());
    EXPECT_EQ(kExitAborted, exitStatus);
    testsToRepeat = 0;
}

// --repeat K with the given runs disturbed or drifted (the verdicts gathered as each test
// ended): how many tests the series runs before it ends, and with what status.
struct SeriesCase {
    const char *what;
    std::vector<bool> disturbed; // one per test the series should run, in order
    bool judged = true;          // false: no figures, no verdict
    int repeat = 3;              // K
    std::vector<bool> drifted = {};
    std::vector<bool> held = {}; // the GPU held back
};

TEST_F(EndWhenOverTest, DisturbedRunsDoNotCountUpToTwiceTheTestsAsked) {
    const SeriesCase cases[] = {
        {"quiet", {false, false, false}},
        {"the second disturbed", {false, true, false, false}},
        {"the first and last two disturbed", {true, false, false, true, true, false}},
        {"every one disturbed: 2K tests", {true, true, true, true, true, true}},
        {"five disturbed, the sixth not: still 2K", {true, true, true, true, true, false}},
        {"runs without figures count", {false, false, false}, false},
        {"a single test stays one run, disturbed or not", {true}, true, 1},
        {"the second drifted", {false, false, false, false}, true, 3, {false, true}},
        {"the third's GPU held back", {false, false, false, false}, true, 3, {}, {0, 0, 1, 0}},
    };
    for (SeriesCase c : cases) {
        StartSeries(c.repeat);
        resultRuns.clear();
        PostTestCommand();
        size_t tests = 0;
        int ended = 0;
        while (!ended && tests < 10) {
            finalScore = finalSave = 0;
            Begin();
            ResultRun run = {};
            run.end = kRunScore;
            bool disturbed = tests < c.disturbed.size() && c.disturbed[tests];
            if (c.judged) run.verdict = {true, disturbed, 4, {}, {}};
            if (tests < c.drifted.size())
                run.drift = {true, 3, 30, 40, 0.33, 0.05, c.drifted[tests]};
            if (tests < c.held.size()) run.held.known = true, run.held.heldBack = c.held[tests];
            resultRuns.push_back(run);
            tests++;
            fullscreen = false;
            finalScore = 115;
            finalSave = 1;
            ended = EndWhenTestOver();
        }
        EXPECT_EQ(c.disturbed.size(), tests) << c.what;
        EXPECT_EQ(kExitScore, exitStatus) << c.what; // every test scored
    }
}

} // namespace
