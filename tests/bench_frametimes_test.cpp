#include "bench/accounting.h"
#include "bench/frametimes.h"
#include "bench/tick.h"
#include "platform/uptime.h"
#include "tests/bench_fixture.h"

#include <algorithm>
#include <vector>

namespace {

AbsoluteTime fakeUptime; // nanoseconds, moved by the test
AbsoluteTime FakeClock(void) {
    return fakeUptime;
}
const UInt64 kUs = 1000;

// A test from its start on a clock the test moves: every frame at grid n lasts
// Duration(n) microseconds, not a whole number of milliseconds.
class FrameTimesTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        SetUpTimeSource(FakeClock);
        ResetTickCount();
        fakeUptime = 3600ull * 1000000 * kUs;
        fullscreen = true;
        numCubes = 0;
        currTime = oldCurrTime = 0;
        ASSERT_TRUE(ReserveFrameTimes());
    }
    void TearDown() override {
        ReleaseFrameTimes();
        SetUpTimeSource(nullptr);
        ResetTickCount();
        BenchTest::TearDown();
    }
    static UInt32 Duration(SInt32 n) { return 40000 + 7 * 1000 * n + 123; }
    // Frames until `steps` steps have been logged, each after its frame's duration.
    void RunSteps(int steps, UInt32 (*duration)(SInt32) = Duration) {
        while (timedStepCount < steps) {
            fakeUptime += duration(numCubes) * kUs;
            currTime = GetTickCount();
            ASSERT_EQ(kFrameContinue, CountFrame());
        }
    }
    std::vector<UInt32> TimesOf(int step) const {
        const TimedStep &s = timedSteps[step];
        return std::vector<UInt32>(frameTimes + s.first, frameTimes + s.first + s.timed);
    }
};

TEST_F(FrameTimesTest, MeasuredWindowsKeepEveryFrameToTheMicrosecond) {
    RunSteps(3);
    for (int step = 0; step < 3; step++) {
        // Step k was measured at grid k: all of its frames, and only its frames.
        EXPECT_EQ(timedSteps[step].frames, timedSteps[step].timed) << step;
        EXPECT_EQ(std::vector<UInt32>(timedSteps[step].timed, Duration(step)), TimesOf(step))
            << step;
    }
    // 40.123 ms frames: 25 of them pass 1000 ms, as the frame count of the log says.
    EXPECT_EQ(25, timedSteps[0].frames);
    EXPECT_EQ(" FPS 25.0 0 triangles\n", Log().substr(0, 22));
    // The other windows' frames are dropped: what is kept is the steps' frames alone.
    EXPECT_EQ(timedSteps[2].first + timedSteps[2].timed, frameTimesUsed);
    EXPECT_EQ(0, timedSteps[0].first);
    // Four windows a size; the first, closed at once by the test's first frame, counts.
    EXPECT_EQ(3 * 4, testWindowsClosed);
}

TEST_F(FrameTimesTest, TheFirstFrameOfATestIsNotTimedFromTheOneBefore) {
    // Windows left over from an aborted test make the window that the first frame closes
    // at once a measured one; the idle time before the test is no frame's.
    tCubes = kWindowsPerSize - 1;
    frames = 41; // counted in the window before the test, as the accounting does
    fakeUptime += 5000000 * kUs;
    RunSteps(2);
    EXPECT_EQ(42, timedSteps[0].frames);
    EXPECT_EQ(0, timedSteps[0].timed);
    EXPECT_EQ(std::vector<UInt32>(timedSteps[1].frames, Duration(1)), TimesOf(1));
    // A test started again begins an empty recording.
    UInt32 test = frameTimesTest;
    ASSERT_TRUE(ReserveFrameTimes());
    EXPECT_EQ(test + 1, frameTimesTest);
    EXPECT_EQ(0, timedStepCount);
    EXPECT_EQ(0, frameTimesUsed);
    EXPECT_EQ(0u, lastFrameEndUs);
}

// About 5,000 frames a second, each window's frames from 150 µs rising by 1 µs every 50
// frames: to about 250 µs at its end.
UInt32 Rising(SInt32) {
    return 150 + (UInt32)frames / 50;
}

TEST_F(FrameTimesTest, AFastWindowKeepsAnEvenSampleOfItsFramesAndCountsThemAll) {
    RunSteps(2, Rising);
    for (int step = 0; step < 2; step++) {
        const TimedStep &s = timedSteps[step];
        EXPECT_GE(s.frames, 4000) << step;
        EXPECT_GT(s.timed, kTimedFramesPerWindow / 2) << step;
        EXPECT_LE(s.timed, kTimedFramesPerWindow) << step;
        // Kept from the whole window, not its first fifth: their spread is the window's.
        std::vector<UInt32> t = TimesOf(step);
        UInt32 span = *std::max_element(t.begin(), t.end()) - *std::min_element(t.begin(), t.end());
        EXPECT_GE(span, (UInt32)(s.frames * 9 / 10 / 50)) << step;
        EXPECT_TRUE(std::is_sorted(t.begin(), t.end())) << step; // in the frames' order
    }
    EXPECT_EQ(timedSteps[0].timed, timedSteps[1].first);
}

TEST_F(FrameTimesTest, StepsPastTheLimitAndFramesOutsideATestKeepNothing) {
    timedStepCount = kTimedStepsMax - 1;
    RunSteps(kTimedStepsMax);
    SInt32 used = frameTimesUsed;
    int windows = testWindowsClosed;
    while (testWindowsClosed < windows + 8) { // two more sizes measured: no room for them
        fakeUptime += 100000 * kUs;
        currTime = GetTickCount();
        ASSERT_EQ(kFrameContinue, CountFrame());
    }
    EXPECT_EQ(kTimedStepsMax, timedStepCount);
    EXPECT_EQ(used, frameTimesUsed);
    EXPECT_EQ(windows + 8, testWindowsClosed);

    fullscreen = false; // back in the window: frames are not a test's
    for (int f = 0; f < 50; f++) {
        fakeUptime += 30000 * kUs;
        currTime = GetTickCount();
        CountFrame();
    }
    EXPECT_EQ(used, frameTimesUsed);
    EXPECT_EQ(windows + 8, testWindowsClosed);

    ReleaseFrameTimes(); // without the memory a test runs untimed
    fullscreen = true;
    fakeUptime += 30000 * kUs;
    currTime = GetTickCount();
    EXPECT_EQ(kFrameContinue, CountFrame());
    EXPECT_EQ(0, frameTimesUsed);
}

} // namespace
