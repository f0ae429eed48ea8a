#include "image/tga.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/temp_dir.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <stdlib.h>

namespace {

typedef std::vector<unsigned char> Bytes;

// Known picture: a dark blue background with a red lower-left and a green
// upper-right quadrant, so rows and columns both show their order.
void DrawQuadrants(int w, int h) {
    glViewport(0, 0, w, h);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0.0f, 0.0f, 0.5f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 0, w / 2, h / 2);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glScissor(w / 2, h / 2, w - w / 2, h - h / 2);
    glClearColor(0, 1, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);
}

class SaveTgaTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { ASSERT_TRUE(OpenOffscreenGL(640, 480)); }
    static void TearDownTestSuite() { CloseOffscreenGL(); }
    TempDir dir;
};

TEST_F(SaveTgaTest, WritesTheExactHeaderAndSize) {
    DrawQuadrants(640, 480);
    std::string p = dir.path("shot.tga");
    EXPECT_EQ(1, SaveTGA(p.c_str(), 640, 480));
    Bytes file = ReadBytes(p);
    ASSERT_EQ(921618u, file.size());
    EXPECT_EQ(Bytes({0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 0x02, 0xE0, 0x01, 0x18, 0x00}),
              Bytes(file.begin(), file.begin() + 18));
    // Bottom row first, blue-green-red: the first pixel is red, the last green.
    EXPECT_EQ(Bytes({0, 0, 255}), Bytes(file.begin() + 18, file.begin() + 21));
    EXPECT_EQ(Bytes({0, 255, 0}), Bytes(file.end() - 3, file.end()));
}

TEST_F(SaveTgaTest, OddWidthsPackRowsWithoutPadding) {
    DrawQuadrants(33, 10);
    std::string p = dir.path("odd.tga");
    GLint before = 8;
    glPixelStorei(GL_PACK_ALIGNMENT, before);
    EXPECT_EQ(1, SaveTGA(p.c_str(), 33, 10));
    GLint after = 0;
    glGetIntegerv(GL_PACK_ALIGNMENT, &after);
    EXPECT_EQ(before, after);

    Bytes file = ReadBytes(p);
    ASSERT_EQ(18u + 33 * 10 * 3, file.size());
    // Row 1 starts right after the 99 bytes of row 0: red at x = 0, blue past the middle.
    const unsigned char *row1 = file.data() + 18 + 99;
    EXPECT_EQ(Bytes({0, 0, 255}), Bytes(row1, row1 + 3));
    EXPECT_EQ(Bytes({128, 0, 0}), Bytes(row1 + 32 * 3, row1 + 33 * 3));
}

TEST_F(SaveTgaTest, RoundTripsThroughTheReader) {
    DrawQuadrants(64, 48);
    std::string p = dir.path("round.tga");
    ASSERT_EQ(1, SaveTGA(p.c_str(), 64, 48));
    Bytes frame(64 * 48 * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, 64, 48, GL_RGB, GL_UNSIGNED_BYTE, frame.data());

    int w = 0, h = 0, d = 0;
    unsigned char *pixels = ReadTGA(p.c_str(), &w, &h, &d);
    ASSERT_NE(nullptr, pixels);
    EXPECT_EQ(64, w);
    EXPECT_EQ(48, h);
    EXPECT_EQ(24, d);
    EXPECT_EQ(frame, Bytes(pixels, pixels + frame.size()));
    free(pixels);
}

TEST_F(SaveTgaTest, RefusesWhatItCannotWrite) {
    std::string missing = dir.path("no/such/folder/shot.tga");
    EXPECT_EQ(0, SaveTGA(missing.c_str(), 16, 16));
    EXPECT_FALSE(FileExists(missing));
    std::string p = dir.path("bad.tga");
    EXPECT_EQ(0, SaveTGA(p.c_str(), -1, 16));
    EXPECT_EQ(0, SaveTGA(p.c_str(), 70000, 1));
    EXPECT_FALSE(FileExists(p));
    EXPECT_EQ(0, SaveTGA(nullptr, 16, 16));
}

TEST_F(SaveTgaTest, EmptyRegionWritesTheHeaderAlone) {
    std::string p = dir.path("empty.tga");
    EXPECT_EQ(1, SaveTGA(p.c_str(), 0, 0));
    EXPECT_EQ(18u, ReadBytes(p).size());
}

} // namespace
