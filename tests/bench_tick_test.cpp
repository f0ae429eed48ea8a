#include "bench/accounting.h"
#include "bench/tick.h"
#include "platform/uptime.h"
#include "tests/bench_fixture.h"

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

TEST_F(TickTest, NeverRunsBackAndSaturatesInsteadOfWrapping) {
    fakeUptime = (UInt64(1) << 40) * kMs;
    GetTickCount();
    fakeUptime -= 5000 * kMs; // a replaced clock going back holds the tick still
    EXPECT_EQ(kTickOrigin, GetTickCount());

    fakeUptime = (UInt64(1) << 40) * kMs + UInt64(INT32_MAX - kTickOrigin) * kMs;
    EXPECT_EQ(INT32_MAX, GetTickCount());
    fakeUptime += 100000 * kMs;
    EXPECT_EQ(INT32_MAX, GetTickCount());
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
