#include "platform/fonts.h"
#include "tests/platform_fixture.h"

#include <algorithm>
#include <string>

namespace {

const int kW = 96, kH = 64, kX = 20, kY = 20, kBase = 1000;

// A drawn glyph: lit pixels, their extent, the row with the most, and the raster advance.
struct Drawn {
    int lit, left, bottom, top, fullestRow;
    float advance;
};

class FontTest : public PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        ctx = NewContext();
        ASSERT_TRUE(aglSetDrawable(ctx, GetWindowPort(NewWindow(kW, kH))));
        glOrtho(0, kW, 0, kH, -1, 1);
    }
    SInt16 Family(const std::string &name) {
        std::string p = std::string(1, (char)name.size()) + name;
        SInt16 id = -1;
        GetFNum((ConstStr255Param)p.data(), &id);
        return id;
    }
    Drawn Draw(int code) {
        glClear(GL_COLOR_BUFFER_BIT);
        glRasterPos2i(kX, kY);
        glCallList(kBase + code);
        GLfloat pos[4];
        glGetFloatv(GL_CURRENT_RASTER_POSITION, pos);
        static unsigned char px[kH][kW]; // rows of 96 bytes meet any pack alignment
        glReadPixels(0, 0, kW, kH, GL_RED, GL_UNSIGNED_BYTE, px);
        Drawn d = {0, kW, kH, -1, -1, pos[0] - kX};
        for (int y = 0, most = 0; y < kH; y++) {
            int row = (int)std::count(px[y], px[y] + kW, 255);
            d.left = std::min(d.left, (int)(std::find(px[y], px[y] + kW, 255) - px[y]));
            if (row) d.bottom = std::min(d.bottom, y), d.top = y;
            if (row > most) most = row, d.fullestRow = y;
            d.lit += row;
        }
        return d;
    }
    AGLContext ctx;
};

TEST_F(FontTest, GlyphsDrawUprightOnTheBaselineAndAdvance) {
    // The caller's unpacking must neither spoil the glyphs nor be lost.
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 3);
    ASSERT_TRUE(aglUseFont(ctx, Family("Geneva"), 0, 16, 0, 256, kBase));
    GLint alignment = 0, rowLength = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    glGetIntegerv(GL_UNPACK_ROW_LENGTH, &rowLength);
    EXPECT_EQ(803, alignment * 100 + rowLength);
    for (int code = 0; code < 256; code++)
        ASSERT_TRUE(glIsList(kBase + code)) << code;
    Drawn h = Draw('H');
    EXPECT_GT(h.lit, 20);
    EXPECT_GT(h.advance, 0);
    EXPECT_NEAR(kX, h.left, 2);
    EXPECT_EQ(kY, h.bottom);
    Drawn t = Draw('T');
    EXPECT_EQ(t.top, t.fullestRow); // the bar on top: rows were turned bottom up
    Drawn space = Draw(' ');
    EXPECT_EQ(0, space.lit);
    EXPECT_GT(space.advance, 0);
    EXPECT_EQ(GL_NO_ERROR, glGetError());
}

TEST_F(FontTest, FacesDifferByFamilyAndBoldness) {
    SInt16 geneva = Family("Geneva"), serif = Family("DejaVu Serif");
    EXPECT_NE(geneva, serif);
    EXPECT_EQ(geneva, Family("GENEVA"));
    const SInt16 family[3] = {geneva, serif, geneva};
    int lit[3];
    for (int i = 0; i < 3; i++) {
        ASSERT_TRUE(aglUseFont(ctx, family[i], i == 2, 16, 'H', 1, kBase));
        lit[i] = Draw('H').lit;
    }
    EXPECT_NE(lit[0], lit[1]);
    EXPECT_GT(lit[2], lit[0]);
}

TEST_F(FontTest, BuildsInTheContextAskedForAndRefusesWhatItCannotBuild) {
    SInt16 f = Family("Geneva");
    AGLContext other = NewContext();
    ASSERT_TRUE(aglUseFont(other, f, 0, 12, 'A', 1, kBase));
    EXPECT_EQ(ctx, aglGetCurrentContext());
    EXPECT_FALSE(aglUseFont(ctx, 999, 0, 12, 'A', 1, kBase) ||
                 aglUseFont(ctx, f, 0, 0, 'A', 1, kBase) ||
                 aglUseFont(ctx, f, 0, 12, 200, 57, kBase) || // past Latin-1
                 aglUseFont(ctx, f, 0, 12, 0, 1, 0));         // list 0 does not exist
    EXPECT_FALSE(glIsList(kBase + 'A'));
    ASSERT_TRUE(aglSetCurrentContext(other));
    EXPECT_TRUE(glIsList(kBase + 'A'));
}

} // namespace
