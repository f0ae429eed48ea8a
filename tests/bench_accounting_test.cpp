#include "bench/accounting.h"
#include "bench/log.h"
#include "tests/bench_fixture.h"

namespace {

class AccountingTest : public BenchTest {
  protected:
    // Runs `count` frames at tick t (no window can close between them), then one frame
    // at t + step that closes the window; returns the outcome of that last frame.
    FrameOutcome Window(int count, SInt32 step = 1001) {
        for (int i = 0; i < count - 1; i++) {
            currTime = oldCurrTime + 1;
            EXPECT_EQ(kFrameContinue, CountFrame());
        }
        currTime = oldCurrTime + step;
        return CountFrame();
    }
    // A test from its start (grid 0), with the ticks of a real clock: the first window
    // of such a test has closed at once (see FirstFrameOfATestClosesAWindowAtOnce), here
    // at tick 5000, without counting towards the grid.
    void TestUnderWay() {
        fullscreen = true;
        numCubes = 0;
        currTime = oldCurrTime = 5000;
    }
};

TEST_F(AccountingTest, WindowClosesOnlyAfterMoreThanASecond) {
    oldCurrTime = 5000;
    frames = 6;
    currTime = 6000; // exactly 1000 ms: still open
    EXPECT_EQ(kFrameContinue, CountFrame());
    EXPECT_EQ(7, frames);
    EXPECT_EQ(5000, oldCurrTime);
    EXPECT_EQ(0.0f, fps);

    currTime = 6001;
    EXPECT_EQ(kFrameContinue, CountFrame());
    EXPECT_EQ(8.0f, fps);
    EXPECT_EQ(0, frames);
    EXPECT_EQ(6001, oldCurrTime);
}

TEST_F(AccountingTest, ComparisonHoldsAcrossTheWrapOfTheTick) {
    oldCurrTime = INT32_MAX - 500; // oldCurrTime + 1000 would overflow a 32-bit sum
    currTime = INT32_MAX;
    CountFrame();
    EXPECT_EQ(INT32_MAX - 500, oldCurrTime);
    currTime = INT32_MIN + 500; // 1001 ms later, past the wrap
    CountFrame();
    EXPECT_EQ(INT32_MIN + 500, oldCurrTime);

    oldCurrTime = -600; // and across 0, 1000 ms and then 1001 ms on
    currTime = 400;
    CountFrame();
    EXPECT_EQ(-600, oldCurrTime);
    currTime = 401;
    CountFrame();
    EXPECT_EQ(401, oldCurrTime);

    oldCurrTime = 100;
    currTime = INT32_MIN; // far behind or far ahead: more than a second either way
    CountFrame();
    EXPECT_EQ(INT32_MIN, oldCurrTime);
}

TEST_F(AccountingTest, IdleWindowsUpdateFpsButNeverGrowOrLog) {
    numCubes = 3;
    for (int w = 0; w < 12; w++)
        EXPECT_EQ(kFrameContinue, Window(2));
    EXPECT_EQ(2.0f, fps);
    EXPECT_EQ(3, numCubes);
    EXPECT_EQ(0, tCubes);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(AccountingTest, FirstFrameOfATestClosesAWindowAtOnce) {
    // Whatever the tick reads, also just past its wrap through 0 (1 to 1000).
    for (SInt32 tick : {2000, INT32_MIN, -1, 1, 1000}) {
        frames = 41;
        tCubes = 0;
        fullscreen = true;
        currTime = oldCurrTime = 0; // as the test start leaves them
        currTime = tick;
        EXPECT_EQ(kFrameContinue, CountFrame()) << tick;
        EXPECT_EQ(42.0f, fps) << tick;
        EXPECT_EQ(1, tCubes) << tick;
        EXPECT_EQ(tick, oldCurrTime);
    }
    currTime = oldCurrTime = 0; // no tick taken yet: nothing to measure
    frames = 5;
    CountFrame();
    EXPECT_EQ(6, frames);
}

TEST_F(AccountingTest, GridGrowsOnEveryFourthWindowAndLogsTheMeasuredSize) {
    TestUnderWay();
    numCubes = 2;
    for (int w = 0; w < 3; w++)
        EXPECT_EQ(kFrameContinue, Window(50));
    EXPECT_EQ(2, numCubes);
    EXPECT_FALSE(FileExists(LogPath()));

    EXPECT_EQ(kFrameContinue, Window(25));
    EXPECT_EQ(3, numCubes);
    EXPECT_EQ(0, tCubes);
    EXPECT_EQ(" FPS 25.0 4608 triangles\n", Log());

    for (int w = 0; w < 4; w++)
        Window(12);
    EXPECT_EQ(4, numCubes);
    EXPECT_EQ(" FPS 25.0 4608 triangles\n FPS 12.0 10368 triangles\n", Log());
}

TEST_F(AccountingTest, TenFramesGoOnNineEndTheTestWithTheScore) {
    TestUnderWay();
    numCubes = 9;
    for (int w = 0; w < 3; w++)
        Window(1); // low counts outside the fourth window never stop a test
    EXPECT_EQ(kFrameContinue, Window(10));
    EXPECT_EQ(10, numCubes);
    EXPECT_EQ(0, finalScore);

    for (int w = 0; w < 3; w++)
        Window(20);
    finalSave = 1;
    frames = 8;
    float angle = rotate;
    currTime = oldCurrTime + 1001;
    EXPECT_EQ(kFrameTestOver, CountFrame());
    EXPECT_EQ(11, numCubes);
    EXPECT_EQ(11 * 11 * 1152 / 1000, finalScore);
    EXPECT_EQ(0, finalSave);
    EXPECT_EQ(angle, rotate); // the last frame does not turn the spheres
    EXPECT_EQ(" FPS 10.0 93312 triangles\n FPS 9.0 115200 triangles\n final score: 139\n", Log());
}

TEST_F(AccountingTest, ScoreArithmetic) {
    struct {
        SInt32 failingSize, score;
    } cases[] = {{0, 1}, {8, 93}, {9, 115}, {29, 1036}};
    for (auto c : cases) {
        TestUnderWay();
        numCubes = c.failingSize;
        tCubes = 3;
        EXPECT_EQ(kFrameTestOver, Window(3)) << c.failingSize;
        EXPECT_EQ(c.score, finalScore) << c.failingSize;
    }
}

TEST_F(AccountingTest, RotationWrapsOnlyPast360) {
    oldCurrTime = currTime = 100;
    rotate = 359.5f;
    CountFrame();
    EXPECT_EQ(360.0f, rotate);
    CountFrame();
    EXPECT_EQ(0.0f, rotate);
    CountFrame();
    EXPECT_EQ(0.5f, rotate);
}

TEST_F(AccountingTest, ScreenshotDueOnlyForAnUnsavedScoreInIdleMode) {
    EXPECT_FALSE(ScreenshotDue());
    finalScore = 115;
    EXPECT_TRUE(ScreenshotDue());
    fullscreen = true;
    EXPECT_FALSE(ScreenshotDue());
    fullscreen = false;
    finalSave = 1;
    EXPECT_FALSE(ScreenshotDue());
}

TEST(TriangleCount, CountsEverySphereAndSaturates) {
    EXPECT_EQ(0, TrianglesFor(0));
    EXPECT_EQ(1152, TrianglesFor(1));
    EXPECT_EQ(24 * 24 * 1152, TrianglesFor(24));
    EXPECT_EQ(1365 * 1365 * 1152, TrianglesFor(1365));
    EXPECT_EQ(INT32_MAX, TrianglesFor(1366));
    EXPECT_EQ(INT32_MAX, TrianglesFor(INT32_MAX));
}

} // namespace
