#include "bench/accounting.h"
#include "bench/frame.h"
#include "bench/testrun.h"
#include "bench/tick.h"
#include "platform/display.h"
#include "platform/gestalt.h"
#include "platform/uptime.h"
#include "tests/support/gl_query.h"
#include "tests/support/scene_fixture.h"

#include <algorithm>
#include <sstream>

namespace {

// The machine clock, moved by the test: every frame advances it by stepMillis.
AbsoluteTime fakeUptime;
AbsoluteTime FakeClock(void) {
    return fakeUptime;
}
const UInt64 kMs = 1000000;

std::vector<std::string> Lines(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Rows (0 = bottom) of a picture, 3 bytes a pixel, that hold the score's colour (1, 1, 0.5).
std::vector<int> ScoreColourRows(const unsigned char *rgb, int width, int height) {
    std::vector<int> rows;
    for (int y = 0; y < height; y++) {
        for (int x = 0; x < width; x++) {
            const unsigned char *p = rgb + 3 * (y * width + x);
            if (p[0] == 255 && p[1] == 255 && p[2] >= 126 && p[2] <= 129) {
                rows.push_back(y);
                break;
            }
        }
    }
    return rows;
}

// The back buffer as the next frame's read would see it, red first, bottom row first.
std::vector<unsigned char> ReadBack(int width, int height) {
    std::vector<unsigned char> rgb(width * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    return rgb;
}

class TestRunTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        fakeUptime = (UInt64(1) << 32) * kMs; // a machine up for months
        SetUpTimeSource(FakeClock);
        ResetTickCount();
        InstallDefaultTexture();
        ASSERT_EQ(1, AllocScene());
    }
    void TearDown() override {
        SetUpTimeSource(nullptr);
        ResetTickCount();
        SceneTest::TearDown();
    }
    // One frame, then the clock moves on by the frame time the current size is given.
    void Frame() {
        Render();
        fakeUptime += (UInt64)StepFor(numCubes) * kMs;
    }
    // 101 ms a frame gives windows of 10 frames; 112 ms gives 9.
    int StepFor(SInt32 n) { return n >= failAt ? 112 : 101; }
    // Runs frames until the test has ended (or a frame budget runs out).
    int RunToEnd(int budget = 1000) {
        int frames = 0;
        while (fullscreen && frames < budget) {
            Frame();
            frames++;
        }
        return frames;
    }
    std::string LogPath() const { return dir.path("Kelvane result.txt"); }
    std::string ShotPath() const { return dir.path("Kelvane result.tga"); }

    SInt32 failAt = 2;
};

TEST_F(TestRunTest, GrowsEveryFourthWindowAndScoresWithTheExactLog) {
    for (int i = 0; i < 5; i++)
        Frame();
    StartTest();
    EXPECT_EQ(0, numCubes);
    EXPECT_TRUE(fullscreen);
    RunToEnd();
    ASSERT_FALSE(fullscreen);
    EXPECT_EQ(1, numCubes);
    EXPECT_EQ(3 * 3 * 1152 / 1000, finalScore);

    std::vector<std::string> expected = {
        "Kelvane started...",
        " workdfolder: " + dir.prefix(),
        " resources: " + dir.prefix(),
        "hardware detected:",
    };
    SInt32 family, type;
    if (Gestalt(gestaltNativeCPUfamily, &family) == noErr &&
        Gestalt(gestaltNativeCPUtype, &type) == noErr) {
        char line[64];
        snprintf(line, sizeof line, " cpu family: 0x%x", (unsigned)family);
        expected.push_back(line);
        snprintf(line, sizeof line, " cpu type: 0x%x", (unsigned)type);
        expected.push_back(line);
    }
    SInt32 w = CGDisplayPixelsWide(CGMainDisplayID()), h = CGDisplayPixelsHigh(CGMainDisplayID());
    SInt32 depth = CGDisplayBitsPerPixel(CGMainDisplayID());
    std::vector<std::string> rest = {
        std::string(" opengl vendor: ") + gl_vendor,
        std::string(" opengl renderer: ") + gl_renderer,
        std::string(" opengl version: ") + gl_version,
        "test parms:",
        " surface " + std::to_string(w) + "x" + std::to_string(h) + " " + std::to_string(depth) +
            "bpp",
        " textures: on ",
        " lighting: on ",
        " keep in sync: off",
        "test started",
        " FPS 10.0 0 triangles",
        " FPS 10.0 1152 triangles",
        " FPS 9.0 4608 triangles",
        " final score: 10",
        "test stopped",
    };
    expected.insert(expected.end(), rest.begin(), rest.end());
    EXPECT_EQ(expected, Lines(ReadText(LogPath())));
    EXPECT_EQ(w, finalResX);
    EXPECT_EQ(h, finalResY);
    EXPECT_EQ(depth, finalBPP);
}

TEST_F(TestRunTest, TheScoreViewIsSavedOnceByTheFirstIdleFrame) {
    StartTest();
    RunToEnd();
    ASSERT_NE(0, finalScore);
    EXPECT_FALSE(FileExists(ShotPath()));
    Frame();
    EXPECT_EQ(1, finalSave);
    std::vector<unsigned char> file = ReadBytes(ShotPath());
    ASSERT_EQ(18u + 640 * 480 * 3, file.size());
    EXPECT_EQ(std::vector<unsigned char>(
                  {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x02, 0xE0, 0x01, 24, 0}),
              std::vector<unsigned char>(file.begin(), file.begin() + 18));
    // Not one flat colour: the spheres and the score text are in it.
    size_t differing = 0;
    for (size_t i = 18; i + 3 <= file.size(); i += 3)
        differing += file[i] != file[18] || file[i + 1] != file[19] || file[i + 2] != file[20];
    EXPECT_GT(differing, 1000u);

    ASSERT_EQ(0, remove(ShotPath().c_str()));
    for (int i = 0; i < 5; i++)
        Frame();
    EXPECT_FALSE(FileExists(ShotPath()));
}

TEST_F(TestRunTest, TheScoreViewIsSavedWholeWhenSwapsDiscardTheBackBuffer) {
    gAGLFaults.clearAfterSwap = true;
    StartTest();
    RunToEnd();
    ASSERT_NE(0, finalScore);
    Frame();
    std::vector<unsigned char> file = ReadBytes(ShotPath());
    ASSERT_EQ(18u + 640 * 480 * 3, file.size());
    // The file is blue, green, red: turn it into red first for the colour checks.
    std::vector<unsigned char> rgb(file.begin() + 18, file.end());
    size_t magenta = 0;
    for (size_t i = 0; i < rgb.size(); i += 3) {
        std::swap(rgb[i], rgb[i + 2]);
        magenta += rgb[i] == 255 && rgb[i + 1] == 0 && rgb[i + 2] == 255;
    }
    EXPECT_EQ(0u, magenta);
    // The score line stands at y 0.64, window row 393.6: its 24-pixel glyphs, and nothing
    // else, carry the score's colour.
    std::vector<int> rows = ScoreColourRows(rgb.data(), 640, 480);
    ASSERT_GE(rows.size(), 10u);
    EXPECT_GE(rows.front(), 386);
    EXPECT_LE(rows.back(), 416);
}

TEST_F(TestRunTest, RenderLeavesTheStateAsItFoundItInEveryMode) {
    auto check = [](const char *mode) {
        GLint modelview = GlInt(GL_MODELVIEW_STACK_DEPTH);
        GLint projection = GlInt(GL_PROJECTION_STACK_DEPTH);
        while (glGetError() != GL_NO_ERROR) {
        }
        Render();
        EXPECT_EQ(modelview, GlInt(GL_MODELVIEW_STACK_DEPTH)) << mode;
        EXPECT_EQ(projection, GlInt(GL_PROJECTION_STACK_DEPTH)) << mode;
        EXPECT_EQ(GL_MODELVIEW, GlInt(GL_MATRIX_MODE)) << mode;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << mode;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << mode;
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << mode;
        EXPECT_EQ(GL_NO_ERROR, (GLenum)glGetError()) << mode;
    };
    check("idle");
    StartTest();
    check("test");
    RunToEnd();
    check("score");
}

TEST_F(TestRunTest, AbortedTestEndsWithoutScoreOrScreenshot) {
    StartTest();
    for (int i = 0; i < 50; i++) // past the first growth
        Frame();
    SInt32 grown = numCubes;
    EXPECT_GT(grown, 0);
    EndTest();
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(1, numCubes);
    EXPECT_EQ(0, finalScore);
    EXPECT_EQ(1, running); // back in the window
    std::vector<std::string> log = Lines(ReadText(LogPath()));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("test stopped", log.back());
    for (const std::string &line : log)
        EXPECT_EQ(std::string::npos, line.find("final score"));
    for (int i = 0; i < 5; i++)
        Frame();
    EXPECT_FALSE(FileExists(ShotPath()));
}

TEST_F(TestRunTest, AnAbortedTestAfterAScoredOneShowsNoScore) {
    StartTest();
    RunToEnd();
    Frame();
    EXPECT_FALSE(ScoreColourRows(ReadBack(640, 480).data(), 640, 480).empty());
    ASSERT_EQ(0, remove(ShotPath().c_str()));

    StartTest();
    for (int i = 0; i < 20; i++)
        Frame();
    EndTest();
    for (int i = 0; i < 3; i++)
        Frame();
    EXPECT_TRUE(ScoreColourRows(ReadBack(640, 480).data(), 640, 480).empty());
    EXPECT_FALSE(FileExists(ShotPath()));
}

TEST_F(TestRunTest, RestartingATestTruncatesTheLog) {
    StartTest();
    for (int i = 0; i < 20; i++)
        Frame();
    StartTest();
    EXPECT_EQ(0, numCubes);
    std::vector<std::string> log = Lines(ReadText(LogPath()));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("Kelvane started...", log.front());
    EXPECT_EQ("test started", log.back());
    EXPECT_EQ(1, std::count(log.begin(), log.end(), "Kelvane started..."));
}

TEST_F(TestRunTest, EndTestInIdleModeDoesNothing) {
    numCubes = 5;
    EndTest();
    EXPECT_EQ(5, numCubes);
    EXPECT_FALSE(FileExists(LogPath()));
}

TEST_F(TestRunTest, NoSceneNoFrameNotEvenATick) {
    FreeScene();
    currTime = 4242;
    frames = 3;
    fakeUptime += 5000 * kMs;
    Render();
    EXPECT_EQ(4242, currTime);
    EXPECT_EQ(3, frames);
    EXPECT_EQ(0.0f, rotate);
}

TEST_F(TestRunTest, FailedFullScreenBuildStillWritesTheHeaderAndCanBeAborted) {
    gAGLFaults.setFullScreen = true;
    StartTest();
    EXPECT_EQ(0, running);
    ASSERT_EQ(1u, recordedAlerts.size());
    std::vector<std::string> log = Lines(ReadText(LogPath()));
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("test started", log.back());
    for (int i = 0; i < 10; i++)
        Frame(); // nothing is drawn, so the stop rule cannot end the test
    EXPECT_TRUE(fullscreen);
    EndTest();
    EXPECT_EQ(1, running);
    EXPECT_EQ("test stopped", Lines(ReadText(LogPath())).back());
}

} // namespace
