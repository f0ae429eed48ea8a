#include "platform/display.h"
#include "platform/video.h"
#include "platform/video_internal.h"
#include "tests/platform_fixture.h"
#include "support/temp_dir.h"

#include <SDL.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <tuple>

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

// A GLX renderer's PCI ids lead to the one card that has them, never a connector's folder,
// and to none where two cards have them.
TEST(RenderNode, TheCardOfAGlxRenderersPciIds) {
    TempDir dir;
    auto card = [&](const char *name, std::string vendor, std::string device) {
        std::string at = dir.path(name) + "/device/";
        mkdir(dir.path(name).c_str(), 0755);
        mkdir(at.c_str(), 0755);
        WriteBytes(at + "vendor", std::vector<unsigned char>(vendor.begin(), vendor.end()));
        WriteBytes(at + "device", std::vector<unsigned char>(device.begin(), device.end()));
    };
    card("card0", "0x8086\n", "0x9a49\n"), card("card1", "0x1002\n", "0x73bf\n");
    card("card1-DP-1", "0x10de\n", "0x2684\n");
    char node[64];
    for (auto [vendor, device, want] : {std::tuple(0x1002u, 0x73bfu, "/dev/dri/card1"),
                                        {0x8086u, 0x9a49u, "/dev/dri/card0"},
                                        {0x8086u, 0x73bfu, ""},
                                        {0x10deu, 0x2684u, ""}}) {
        EXPECT_EQ(*want != 0, DrmCardOfPciIds(dir.prefix().c_str(), vendor, device, node, 64));
        EXPECT_STREQ(want, node);
    }
    card("card2", "0x1002", "0x73bf"); // a second of the same: which one is not known
    EXPECT_EQ(0, DrmCardOfPciIds(dir.prefix().c_str(), 0x1002, 0x73bf, node, sizeof node));
    EXPECT_STREQ("", node);
}

} // namespace
