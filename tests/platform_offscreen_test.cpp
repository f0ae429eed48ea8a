#include "platform/display.h"
#include "platform/video.h"
#include "platform/video_internal.h"
#include "tests/platform_fixture.h"

#include <SDL.h>
#include <stdlib.h>
#include <string.h>

namespace {

// The offscreen run's display: the size the command line chose, for the display queries and
// for a context's full screen alike.
class OffscreenVideoTest : public PlatformTest {
  protected:
    void SetUp() override {} // the video is started by the test itself
    void TearDown() override {
        PlatformTest::TearDown();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        unsetenv("SDL_HINT_EGL_DEVICE");
    }
};

TEST_F(OffscreenVideoTest, TheMainDisplayAndTheFullScreenHaveTheChosenSize) {
    ASSERT_EQ(1, StartOffscreenVideo(320, 200, -1)) << WindowSystemError();
    EXPECT_STREQ("offscreen", VideoDriverName());
    EXPECT_EQ(320, CGDisplayPixelsWide(CGMainDisplayID()));
    EXPECT_EQ(200, CGDisplayPixelsHigh(CGMainDisplayID()));
    EXPECT_GT(CGDisplayBitsPerPixel(CGMainDisplayID()), 0);
    AGLContext ctx = NewContext();
    ASSERT_TRUE(aglSetFullScreen(ctx, 320, 200, 0, 0));
    CurrentDrawable d = GetCurrentDrawable();
    EXPECT_EQ(320, d.width);
    EXPECT_EQ(200, d.height);
    GLint viewport[4] = {};
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(320, viewport[2]);
    EXPECT_EQ(200, viewport[3]);
    char name[64];
    EXPECT_EQ(0, EGLDeviceInUse(name, sizeof name)); // the only device here
    EXPECT_STRNE("", name);
}

// An offscreen swap waits for the frame before its own. The frame in flight belongs to its
// context: the driver often gives the next context the address of one just destroyed, and
// that context's first swap must neither wait on nor delete the dead one's fence.
TEST_F(OffscreenVideoTest, AFrameInFlightGoesWithItsContext) {
    ASSERT_EQ(1, StartOffscreenVideo(320, 200, -1)) << WindowSystemError();
    for (int round = 0; round < 2; round++) {
        SCOPED_TRACE(round);
        AGLContext ctx = NewContext();
        ASSERT_TRUE(aglSetFullScreen(ctx, 320, 200, 0, 0));
        int waits = OffscreenFenceWaits();
        for (int frame = 0; frame < 3; frame++) {
            glClear(GL_COLOR_BUFFER_BIT);
            aglSwapBuffers(ctx);
            EXPECT_EQ(waits + frame, OffscreenFenceWaits()) << "frame " << frame;
            EXPECT_EQ(GLenum(GL_NO_ERROR), glGetError()) << "frame " << frame;
            EXPECT_TRUE(OffscreenFrameInFlight());
        }
        EXPECT_TRUE(aglDestroyContext(ctx));
        contexts.pop_back();
        EXPECT_FALSE(OffscreenFrameInFlight());
    }
}

TEST_F(OffscreenVideoTest, ADeviceThatDoesNotExistIsSaidAtStart) {
    EXPECT_EQ(0, StartOffscreenVideo(320, 200, 63));
    EXPECT_NE(nullptr, strstr(WindowSystemError(), "EGL")) << WindowSystemError();
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));
    EXPECT_EQ(0, CGDisplayPixelsWide(CGMainDisplayID()) == 320);
}

// SDL would index its device list with a negative number from the environment.
TEST_F(OffscreenVideoTest, ANegativeDeviceFromTheEnvironmentIsRefused) {
    setenv("SDL_HINT_EGL_DEVICE", "-1", 1);
    EXPECT_EQ(0, StartOffscreenVideo(320, 200, -1));
    EXPECT_NE(nullptr, strstr(WindowSystemError(), "SDL_HINT_EGL_DEVICE"));
    // The command line's device overrides the environment's.
    setenv("SDL_HINT_EGL_DEVICE", "9", 1);
    EXPECT_EQ(1, StartOffscreenVideo(320, 200, 0)) << WindowSystemError();
}

// SDL's offscreen driver shows no window: named in SDL_VIDEODRIVER for a run that did not ask
// for --offscreen, it is refused, not started, and the reason names it.
TEST_F(OffscreenVideoTest, TheOffscreenDriverIsNoWindowSystem) {
    SDL_ResetHint(SDL_HINT_VIDEODRIVER); // the environment's, not an earlier test's
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    EXPECT_EQ(0, StartWindowSystem());
    unsetenv("SDL_VIDEODRIVER");
    EXPECT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));
    EXPECT_NE(nullptr, strstr(WindowSystemError(), "offscreen")) << WindowSystemError();
    EXPECT_NE(nullptr, strstr(WindowSystemError(), "names no window system"))
        << WindowSystemError();
}

TEST_F(OffscreenVideoTest, WithoutOffscreenThereIsNoEglDevice) {
    UseOffscreenVideo();
    ASSERT_NE(nullptr, GetMainDevice()); // SDL's offscreen driver, but not this run's
    EXPECT_EQ(-1, EGLDeviceInUse(nullptr, 0));
    EXPECT_EQ(1024, CGDisplayPixelsWide(CGMainDisplayID()));
}

} // namespace
