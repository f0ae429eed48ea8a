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
#include <math.h>
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

// Replaces every glyph of both fonts by two blank bitmaps that name the glyph in feedback:
// the first stands at the glyph's place and moves on by its code (+ 256 for the big
// font), the second stands there and moves back. Each glyph thus leaves two tokens whose
// distance tells the character and the font.
void MarkFonts(void) {
    for (int big = 0; big < 2; big++) {
        for (int c = 0; c < 256; c++) {
            GLfloat move = (GLfloat)(c + 256 * big);
            glNewList((big ? bigFontList : fontList) + c, GL_COMPILE);
            static const GLubyte blank[4] = {0, 0, 0, 0};
            glBitmap(1, 1, 0, 0, move, 0, blank);
            glBitmap(1, 1, 0, 0, -move, 0, blank);
            glEndList();
        }
    }
}

struct OverlayLine {
    float x, y;      // window coordinates of its raster position
    float colour[4]; // the raster colour
    int big;         // drawn with bigFontList
    std::string text;
};

// Runs one frame in feedback mode and reads the overlay's lines from its bitmap tokens.
std::vector<OverlayLine> RenderOverlay(void) {
    std::vector<GLfloat> buffer(1 << 22);
    glFeedbackBuffer((GLsizei)buffer.size(), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    Render();
    GLint used = glRenderMode(GL_RENDER);
    EXPECT_GT(used, 0);
    const int vertex = 7; // x, y, z, r, g, b, a
    std::vector<const GLfloat *> bitmaps;
    for (GLint i = 0; i < used;) {
        GLint token = (GLint)buffer[i++];
        if (token == GL_POLYGON_TOKEN)
            i += 1 + vertex * (GLint)buffer[i];
        else if (token == GL_BITMAP_TOKEN)
            bitmaps.push_back(&buffer[i]), i += vertex;
        else if (token == GL_PASS_THROUGH_TOKEN)
            i += 1;
        else if (token == GL_LINE_TOKEN || token == GL_LINE_RESET_TOKEN)
            i += 2 * vertex;
        else
            i += vertex;
    }
    std::vector<OverlayLine> lines;
    for (size_t b = 0; b + 1 < bitmaps.size(); b += 2) {
        const GLfloat *at = bitmaps[b];
        int move = (int)lroundf(bitmaps[b + 1][0] - at[0]);
        if (lines.empty() || lines.back().y != at[1] || lines.back().big != move / 256) {
            lines.push_back({at[0], at[1], {at[3], at[4], at[5], at[6]}, move / 256, ""});
        }
        lines.back().text += (char)(move % 256);
    }
    return lines;
}

// One line of the overlay as it should be: y in normalized device coordinates.
void ExpectLine(const OverlayLine &line, float y, int big, const float (&colour)[4],
                const std::string &text) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_FLOAT_EQ(0.025f * viewport[2], line.x) << text;
    EXPECT_NEAR((y + 1) / 2 * viewport[3], line.y, 0.01) << text;
    EXPECT_EQ(big, line.big) << text;
    for (int i = 0; i < 4; i++)
        EXPECT_FLOAT_EQ(colour[i], line.colour[i]) << text << " channel " << i;
    EXPECT_EQ(text, line.text);
}

const float kWhiteText[4] = {1, 1, 1, 1};
const float kScoreText[4] = {1, 1, 0.5f, 1};
const float kFpsText[4] = {1, 1, 0.4f, 1};

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
        glShadeModel(GL_FLAT); // whatever came before, each frame shades smoothly
        Render();
        EXPECT_EQ(modelview, GlInt(GL_MODELVIEW_STACK_DEPTH)) << mode;
        EXPECT_EQ(projection, GlInt(GL_PROJECTION_STACK_DEPTH)) << mode;
        EXPECT_EQ(GL_MODELVIEW, GlInt(GL_MATRIX_MODE)) << mode;
        EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST)) << mode;
        EXPECT_FALSE(glIsEnabled(GL_BLEND)) << mode;
        EXPECT_TRUE(glIsEnabled(GL_LIGHTING)) << mode;
        EXPECT_EQ(GL_SMOOTH, GlInt(GL_SHADE_MODEL)) << mode;
        EXPECT_EQ(GL_NO_ERROR, (GLenum)glGetError()) << mode;
    };
    check("idle");
    StartTest();
    check("test");
    RunToEnd();
    check("score");
}

TEST_F(TestRunTest, OverlayLinesOfEveryMode) {
    MarkFonts();
    numCubes = 2;
    fps = 37.4f;
    std::vector<OverlayLine> lines = RenderOverlay();
    ASSERT_EQ(5u, lines.size());
    ExpectLine(lines[0], 0.9f, 0, kWhiteText, gl_vendor);
    ExpectLine(lines[1], 0.82f, 0, kWhiteText, gl_renderer);
    ExpectLine(lines[2], 0.74f, 0, kWhiteText, gl_version);
    ExpectLine(lines[3], -0.85f, 0, kWhiteText, "4608 triangles (MouseWheel to change)");
    ExpectLine(lines[4], -0.95f, 1, kFpsText, "37 FPS");

    finalScore = 115;
    finalSave = 1; // saved already
    finalResX = 1024;
    finalResY = 768;
    finalBPP = 24;
    fps = 8;
    lines = RenderOverlay();
    ASSERT_EQ(5u, lines.size());
    ExpectLine(lines[0], 0.9f, 1, kWhiteText, gl_renderer);
    ExpectLine(lines[1], 0.77f, 1, kWhiteText, "1024x768x24");
    ExpectLine(lines[2], 0.64f, 1, kScoreText, "Score 115");
    ExpectLine(lines[3], -0.85f, 0, kWhiteText, "4608 triangles (MouseWheel to change)");
    ExpectLine(lines[4], -0.95f, 1, kFpsText, "8 FPS");

    StartTest();
    MarkFonts();
    numCubes = 3;
    fps = 12.5f;
    lines = RenderOverlay();
    ASSERT_EQ(2u, lines.size());
    ExpectLine(lines[0], -0.85f, 0, kWhiteText, "Triangles 10368  (ESC to abort)");
    ExpectLine(lines[1], -0.95f, 1, kFpsText, "12 FPS");
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

// Aborted at each of the four windows of a step, the next test still measures grid 0
// in its fourth window, the first of them closing at once.
TEST_F(TestRunTest, ATestAfterAnAbortedOneCountsItsWindowsAfresh) {
    for (SInt32 openWindows = 0; openWindows < kWindowsPerSize; openWindows++) {
        failAt = 100;
        StartTest();
        while (numCubes < 1 || tCubes != openWindows)
            Frame();
        EndTest();
        StartTest();
        int windows = 0;
        while (numCubes == 0) {
            SInt32 closed = oldCurrTime;
            Frame();
            windows += oldCurrTime != closed;
        }
        EXPECT_EQ(kWindowsPerSize, windows) << openWindows;
        EXPECT_TRUE(fullscreen) << openWindows;
        EXPECT_EQ(0, finalScore) << openWindows;
        EndTest();
    }
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
