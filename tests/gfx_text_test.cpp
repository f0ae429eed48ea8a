#include "gfx/text.h"
#include "tests/support/scene_fixture.h"

#include <GL/gl.h>

namespace {

class TextTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        ASSERT_EQ(1, StartOpenGL());
        ResizeGL();
        glDisable(GL_DEPTH_TEST);
        glDisable(GL_TEXTURE_2D);
        glClearColor(0, 0, 0, 0);
        glClear(GL_COLOR_BUFFER_BIT);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glColor4f(1, 1, 1, 1);
    }
    // Window x of the raster position after drawing s from (-0.95, 0).
    float Draw(const char *s, UInt32 font) {
        glRasterPos3f(-0.95f, 0.0f, 0.0f);
        drawCStringGL(s, font);
        GLfloat pos[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
        return pos[0];
    }
    // Lit pixels in the 200 × 60 box right of and around the start (x 16, y 240).
    int LitPixels() {
        std::vector<unsigned char> px(200 * 60 * 4);
        glReadPixels(16, 240 - 20, 200, 60, GL_RGBA, GL_UNSIGNED_BYTE, px.data());
        int lit = 0;
        for (size_t i = 0; i < px.size(); i += 4)
            lit += px[i] > 128;
        return lit;
    }
};

TEST_F(TextTest, FontsDrawGlyphsAndAdvance) {
    float start = Draw("", fontList);
    EXPECT_EQ(0, LitPixels()); // an empty string draws nothing
    float plain = Draw("Hello", fontList);
    EXPECT_GT(plain - start, 20.0f);
    int plainLit = LitPixels();
    EXPECT_GT(plainLit, 30);

    glClear(GL_COLOR_BUFFER_BIT);
    float bold = Draw("Hello", bigFontList);
    EXPECT_GT(bold - start, plain - start); // 24 pixels bold is wider than 12 plain
    EXPECT_GT(LitPixels(), plainLit);
}

TEST_F(TextTest, HighCodesReachTheirOwnLists) {
    float start = Draw("", fontList);
    float accented = Draw("\xe9\xe9\xe9", fontList); // Latin-1 e-acute
    EXPECT_GT(accented - start, 10.0f);
    EXPECT_GT(LitPixels(), 10);
}

TEST_F(TextTest, NoFontDrawsNothing) {
    float start = Draw("", 0);
    EXPECT_EQ(start, Draw("Hello", 0));
    EXPECT_EQ(0, LitPixels());
}

} // namespace
