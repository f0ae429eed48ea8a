#include "gfx/text.h"
#include "platform/display.h"
#include "tests/support/scene_fixture.h"

#include "tests/support/gl_query.h"

#include <GL/gl.h>
#include <math.h>

namespace {

using ContextTest = SceneTest;

TEST_F(ContextTest, SetUpLeavesTheFixedRenderState) {
    ASSERT_EQ(1, StartOpenGL());
    EXPECT_TRUE(recordedAlerts.empty());
    EXPECT_EQ(nullptr, aglPixFmt);
    ASSERT_NE(nullptr, aglContext);

    EXPECT_EQ(GL_CW, GlInt(GL_FRONT_FACE));
    EXPECT_TRUE(glIsEnabled(GL_CULL_FACE));
    EXPECT_EQ(GL_BACK, GlInt(GL_CULL_FACE_MODE));
    GLint polygon[2];
    glGetIntegerv(GL_POLYGON_MODE, polygon);
    EXPECT_EQ(GL_FILL, polygon[0]);
    EXPECT_EQ(GL_TRUE, GlInt(GL_DEPTH_WRITEMASK));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    EXPECT_EQ(GL_LEQUAL, GlInt(GL_DEPTH_FUNC));
    GLfloat depth = 0;
    glGetFloatv(GL_DEPTH_CLEAR_VALUE, &depth);
    EXPECT_EQ(1.0f, depth);
    EXPECT_FALSE(glIsEnabled(GL_BLEND));
    EXPECT_TRUE(glIsEnabled(GL_AUTO_NORMAL));
    EXPECT_TRUE(glIsEnabled(GL_NORMALIZE));
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    EXPECT_FALSE(glIsEnabled(GL_ALPHA_TEST));
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    EXPECT_NEAR(0.0f, clear[0], 1e-6);
    EXPECT_NEAR(0.1f, clear[1], 1e-6);
    EXPECT_NEAR(0.2f, clear[2], 1e-6);
    EXPECT_NEAR(0.0f, clear[3], 1e-6);
    EXPECT_EQ(0, GlInt(GL_UNPACK_ROW_LENGTH));

    EXPECT_NE(0u, fontList);
    EXPECT_NE(0u, bigFontList);
    ASSERT_NE(nullptr, gl_renderer);
    EXPECT_STREQ((const char *)glGetString(GL_RENDERER), gl_renderer);
    EXPECT_STREQ((const char *)glGetString(GL_VENDOR), gl_vendor);
    EXPECT_STREQ((const char *)glGetString(GL_VERSION), gl_version);
    EXPECT_EQ(CGDisplayBitsPerPixel(CGMainDisplayID()), bpp);
}

// Swaps wait for no display refresh ("keep in sync" is off): a driver that defaults to
// vsync would otherwise cap every score at the refresh rate.
TEST_F(ContextTest, SwapsWaitForNoRefresh) {
    ASSERT_FALSE(test_swap);
    gAGLSwapInterval = {nullptr, -1, 0};
    ASSERT_EQ(1, StartOpenGL());
    EXPECT_EQ(1, gAGLSwapInterval.calls);
    EXPECT_EQ(aglContext, gAGLSwapInterval.context);
    EXPECT_EQ(0, gAGLSwapInterval.interval);
}

TEST_F(ContextTest, EachFailedStepAlertsAndLeavesWhatTheTeardownReleases) {
    gAGLFaults.choosePixelFormat = true;
    EXPECT_EQ(0, StartOpenGL());
    ASSERT_EQ(1u, recordedAlerts.size());
    EXPECT_EQ(kAlertNoteAlert, recordedAlerts[0].type);
    EXPECT_EQ("OpenGL Init", recordedAlerts[0].title);
    EXPECT_EQ("Unable to choose right pixel format for this device", recordedAlerts[0].text);
    EXPECT_EQ(nullptr, aglPixFmt);
    EXPECT_EQ(nullptr, aglContext);
    FreeScene();

    gAGLFaults.createContext = true;
    EXPECT_EQ(0, StartOpenGL());
    ASSERT_EQ(2u, recordedAlerts.size());
    EXPECT_EQ("Unable to create graphic context", recordedAlerts[1].text);
    EXPECT_NE(nullptr, aglPixFmt);
    EXPECT_EQ(nullptr, aglContext);
    FreeScene();
    EXPECT_EQ(nullptr, aglPixFmt);

    fullscreen = true;
    resolution = {0, 0};
    gAGLFaults.setFullScreen = true;
    EXPECT_EQ(0, StartOpenGL());
    ASSERT_EQ(3u, recordedAlerts.size());
    EXPECT_EQ("Unable to switch to fullscreen mode", recordedAlerts[2].text);
    EXPECT_NE(nullptr, aglPixFmt);
    EXPECT_NE(nullptr, aglContext);
    // The display was measured before anything could fail.
    EXPECT_EQ(CGDisplayPixelsWide(CGMainDisplayID()), resolution.h);
    EXPECT_EQ(CGDisplayPixelsHigh(CGMainDisplayID()), resolution.v);
    FreeScene();
    EXPECT_EQ(nullptr, aglContext);
    EXPECT_EQ(nullptr, aglPixFmt);
}

TEST_F(ContextTest, FailedPixelFormatInTestModeAlertsAfterMeasuringTheDisplay) {
    fullscreen = true;
    resolution = {0, 0};
    bpp = 0;
    gAGLFaults.choosePixelFormat = true;
    EXPECT_EQ(0, StartOpenGL());
    ASSERT_EQ(1u, recordedAlerts.size());
    EXPECT_EQ("OpenGL Init", recordedAlerts[0].title);
    EXPECT_EQ("Unable to choose right pixel format for this device", recordedAlerts[0].text);
    EXPECT_EQ(nullptr, aglPixFmt);
    EXPECT_EQ(nullptr, aglContext);
    EXPECT_EQ(0u, fontList);
    EXPECT_EQ(CGDisplayPixelsWide(CGMainDisplayID()), resolution.h);
    EXPECT_EQ(CGDisplayPixelsHigh(CGMainDisplayID()), resolution.v);
    EXPECT_EQ(CGDisplayBitsPerPixel(CGMainDisplayID()), bpp);
}

// Display lists among the first names; the set-up's fonts and a failed build's take some.
int ListsInUse(void) {
    int n = 0;
    for (GLuint l = 1; l < 8192; l++)
        n += glIsList(l) ? 1 : 0;
    return n;
}

TEST_F(ContextTest, FailedFontBuildReturnsNoBaseAndGivesItsListsBack) {
    ASSERT_EQ(1, StartOpenGL());
    int before = ListsInUse();
    EXPECT_EQ(512, before); // the two fonts
    struct {
        SInt32 family, size;
    } failing[] = {{70000, 12}, {0, 0}}; // no such family; no such size
    for (auto f : failing) {
        glPixelStorei(GL_UNPACK_ROW_LENGTH, 7);
        EXPECT_EQ(0u, buildFontGL(aglContext, f.family, 0, f.size)) << f.family;
        EXPECT_EQ(0, GlInt(GL_UNPACK_ROW_LENGTH)) << f.family;
        EXPECT_EQ(before, ListsInUse()) << f.family;
    }
}

TEST_F(ContextTest, FailedMakeCurrentIsSilentInBothModes) {
    for (bool full : {false, true}) {
        fullscreen = full;
        gAGLFaults.setCurrentContext = true;
        EXPECT_EQ(0, StartOpenGL()) << full;
        EXPECT_TRUE(recordedAlerts.empty()) << full;
        EXPECT_NE(nullptr, aglPixFmt);
        EXPECT_NE(nullptr, aglContext);
        EXPECT_EQ(0u, fontList);
        FreeScene();
    }
}

TEST_F(ContextTest, RendererStringsOutliveTheirContextAndFailedSetUps) {
    ASSERT_EQ(1, StartOpenGL());
    std::string renderer = gl_renderer;
    FreeScene();
    gAGLFaults.createContext = true;
    EXPECT_EQ(0, StartOpenGL());
    ASSERT_NE(nullptr, gl_renderer);
    EXPECT_EQ(renderer, gl_renderer);
    EXPECT_LT(strlen(gl_renderer), (size_t)kRendererStringSize);
}

TEST_F(ContextTest, ResizeFollowsTheWindowWithA45DegreeProjection) {
    ASSERT_EQ(1, StartOpenGL());
    ResizeGL();
    EXPECT_EQ(640, resolution.h);
    EXPECT_EQ(480, resolution.v);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(0, viewport[0]);
    EXPECT_EQ(0, viewport[1]);
    EXPECT_EQ(640, viewport[2]);
    EXPECT_EQ(480, viewport[3]);
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(1.3333333730697632, (double)p[5] / p[0], 1e-6);
    EXPECT_NEAR(1.0 / tan(22.5 * M_PI / 180.0), p[5], 1e-5);
    EXPECT_EQ(GL_MODELVIEW, GlInt(GL_MATRIX_MODE));

    SizeWindow(window, 1280, 800, true);
    ResizeGL();
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    EXPECT_NEAR(1.600000023841858, (double)p[5] / p[0], 1e-6);
}

TEST_F(ContextTest, ResizeIgnoresTheWindowInTestModeAndSurvivesNoHeight) {
    ASSERT_EQ(1, StartOpenGL());
    fullscreen = true;
    resolution = {0, 800}; // v = 0: nothing to divide by
    ResizeGL();
    GLfloat p[16];
    glGetFloatv(GL_PROJECTION_MATRIX, p);
    for (float v : p)
        EXPECT_TRUE(std::isfinite(v));
    EXPECT_EQ(800, resolution.h);
    EXPECT_EQ(0, resolution.v);
}

TEST_F(ContextTest, ResizeWithoutAContextTouchesNothing) {
    resolution = {123, 456};
    ResizeGL();
    EXPECT_EQ(123, resolution.v);
    EXPECT_EQ(456, resolution.h);
    SetSync(); // and no swap interval to set either
}

TEST(PascalStrings, CountThenCharactersCutAt255) {
    unsigned char p[256];
    cstr2pstr(p, "OpenGL Init");
    EXPECT_EQ(11, p[0]);
    EXPECT_EQ(0, memcmp(p + 1, "OpenGL Init", 11));
    std::string longer(300, 'q');
    longer[254] = 'z';
    cstr2pstr(p, longer.c_str());
    EXPECT_EQ(255, p[0]);
    EXPECT_EQ('z', p[255]);
    cstr2pstr(p, "");
    EXPECT_EQ(0, p[0]);
}

} // namespace
