#include "bench/accounting.h"
#include "bench/tick.h"
#include "platform/uptime.h"
#include "tests/bench_fixture.h"

#include <stdint.h>
#include <vector>

namespace {

// A clock the test moves by hand, in nanoseconds of machine uptime.
AbsoluteTime fakeUptime;
AbsoluteTime FakeClock(void) {
    return fakeUptime;
}

const UInt64 kMs = 1000000;

class TickTest : public BenchTest {
  protected:
    void SetUp() override {
        BenchTest::SetUp();
        SetUpTimeSource(FakeClock);
        ResetTickCount();
    }
    void TearDown() override {
        SetUpTimeSource(nullptr);
        ResetTickCount();
        BenchTest::TearDown();
    }
};

TEST_F(TickTest, StaysPositiveAndExactForAnUptimeBeyond31Bits) {
    // 40 days of uptime: more than 2^31 ms, and far beyond what a float holds exactly.
    fakeUptime = 40ull * 24 * 3600 * 1000 * kMs + 123456;
    SInt32 first = GetTickCount();
    EXPECT_EQ(kTickOrigin, first);
    EXPECT_GT(first, 1000); // so the first frame of a test closes a window at once

    fakeUptime += 1 * kMs;
    EXPECT_EQ(kTickOrigin + 1, GetTickCount());
    fakeUptime += 999 * kMs + kMs / 2;
    EXPECT_EQ(kTickOrigin + 1000, GetTickCount()); // whole milliseconds, truncated
    fakeUptime += 3600ull * 1000 * kMs;
    EXPECT_EQ(kTickOrigin + 1000 + 3600 * 1000, GetTickCount());
}

TEST_F(TickTest, NeverRunsBackAndWrapsModulo2To32) {
    fakeUptime = (UInt64(1) << 40) * kMs;
    GetTickCount();
    fakeUptime -= 5000 * kMs; // a replaced clock going back holds the tick still
    EXPECT_EQ(kTickOrigin, GetTickCount());

    const UInt64 anchor = (UInt64(1) << 40) * kMs;
    fakeUptime = anchor + (UInt64(INT32_MAX) - kTickOrigin) * kMs;
    EXPECT_EQ(INT32_MAX, GetTickCount());
    fakeUptime += kMs; // 24.8 days: the tick goes on, now negative
    EXPECT_EQ(INT32_MIN, GetTickCount());
    fakeUptime = anchor + ((UInt64(1) << 32) - kTickOrigin - 1) * kMs;
    EXPECT_EQ(-1, GetTickCount());
    fakeUptime += kMs; // 49.7 days: 0 is kept for a test start
    EXPECT_EQ(1, GetTickCount());
    fakeUptime += kMs;
    EXPECT_EQ(1, GetTickCount());
    fakeUptime += kMs;
    EXPECT_EQ(2, GetTickCount());
}

// A process that has run for `days` of uptime (anchored at the first tick); the clock is
// then moved so that the tick reads `tick` (as an unsigned 32-bit count) next.
class LongRunTest : public TickTest {
  protected:
    void SetUp() override {
        TickTest::SetUp();
        fakeUptime = 7 * kMs;
        GetTickCount();
    }
    void MoveTickTo(UInt64 tickWithoutWrap) {
        fakeUptime = 7 * kMs + (tickWithoutWrap - kTickOrigin) * kMs;
    }
    // Frames `stepMs` apart; the count of each window that closes goes into `counts`.
    FrameOutcome Frames(int count, int stepMs, std::vector<float> *counts) {
        for (int i = 0; i < count; i++) {
            currTime = GetTickCount();
            SInt32 before = oldCurrTime;
            FrameOutcome outcome = CountFrame();
            if (oldCurrTime != before || outcome == kFrameTestOver) counts->push_back(fps);
            fakeUptime += (UInt64)stepMs * kMs;
            if (outcome == kFrameTestOver) return outcome;
        }
        return kFrameContinue;
    }
};

TEST_F(LongRunTest, IdleWindowsKeepClosingAcross2To31And2To32Ms) {
    for (UInt64 edge : {UInt64(1) << 31, UInt64(1) << 32, UInt64(3) << 32}) {
        MoveTickTo(edge - 5000);
        std::vector<float> counts;
        Frames(1, 20, &counts); // the first frame after the jump closes a long window
        counts.clear();
        // 10.2 s at 50 frames a second across the edge: a window of 51 frames every 1020 ms.
        Frames(510, 20, &counts);
        EXPECT_EQ(std::vector<float>(10, 51.0f), counts) << edge;
        EXPECT_EQ(1, numCubes);
    }
}

TEST_F(LongRunTest, ATestAcrossTheEdgesGrowsAndEnds) {
    // Starts 3 s before the edge; the last one starts 0.5 s past 2^32, where the tick
    // reads 500 on the test's first frame.
    for (UInt64 start :
         {(UInt64(1) << 31) - 3000, (UInt64(1) << 32) - 3000, (UInt64(1) << 32) + 500}) {
        MoveTickTo(start);
        fullscreen = true;
        numCubes = 0;
        currTime = oldCurrTime = 0;
        frames = 7;
        tCubes = 0;
        std::vector<float> counts;
        Frames(1, 20, &counts);
        EXPECT_EQ(std::vector<float>({8.0f}), counts) << start; // at once
        counts.clear();
        // Eight windows of 51 frames grow the grid twice; then 9 frames a window end it.
        EXPECT_EQ(kFrameContinue, Frames(8 * 51, 20, &counts)) << start;
        EXPECT_EQ(2, numCubes) << start;
        EXPECT_EQ(kFrameTestOver, Frames(100, 120, &counts)) << start;
        EXPECT_EQ(3, numCubes);
        EXPECT_EQ(3 * 3 * 1152 / 1000, finalScore);
        EXPECT_EQ(9.0f, counts.back());
        fullscreen = false;
        finalScore = 0;
    }
}

TEST_F(LongRunTest, AStoppedClockNeverOverflowsTheFrameCount) {
    MoveTickTo((UInt64(1) << 33) + 12345);
    std::vector<float> counts;
    Frames(1, 0, &counts);
    frames = INT32_MAX - 1;
    Frames(3, 0, &counts); // the clock stands still: no window closes
    EXPECT_EQ(INT32_MAX, frames);
    fakeUptime += 1001 * kMs;
    Frames(1, 0, &counts);
    EXPECT_EQ(0, frames);
    EXPECT_EQ((float)INT32_MAX, fps);
}

TEST_F(TickTest, TestRunsWindowByWindowAtAHugeUptime) {
    fakeUptime = (UInt64(1) << 31) * kMs * 3;
    GetTickCount();
    fakeUptime += 10 * kMs;

    fullscreen = true;
    numCubes = 0;
    currTime = oldCurrTime = 0;
    int windowsClosed = 0;
    // 20 simulated seconds at 50 frames a second: every window closes after 1001+ ms.
    for (int frame = 0; frame < 1000; frame++) {
        currTime = GetTickCount();
        SInt32 before = oldCurrTime;
        ASSERT_EQ(kFrameContinue, CountFrame());
        if (oldCurrTime != before) windowsClosed++;
        fakeUptime += 20 * kMs;
    }
    EXPECT_GE(windowsClosed, 19);
    EXPECT_EQ(windowsClosed / 4, numCubes);
}

TEST(TickRealClock, IsMonotonic) {
    ResetTickCount();
    SInt32 last = GetTickCount();
    EXPECT_GE(last, kTickOrigin);
    for (int i = 0; i < 1000; i++) {
        SInt32 now = GetTickCount();
        EXPECT_GE(now, last);
        last = now;
    }
}

} // namespace
