#include "platform/display.h"
#include "tests/platform_fixture.h"

#include <stdio.h>
#include <unistd.h>

namespace {

// One pixel of the read buffer as 0xRRGGBB; 0x010203 when it lies outside the drawable.
unsigned ReadPixel(int x, int y) {
    unsigned char rgb[3] = {1, 2, 3};
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, y, 1, 1, GL_RGB, GL_UNSIGNED_BYTE, rgb);
    return (unsigned)rgb[0] << 16 | (unsigned)rgb[1] << 8 | rgb[2];
}

bool Accepts(std::vector<GLint> list) {
    AGLPixelFormat pix = aglChoosePixelFormat(nullptr, 0, list.data());
    aglDestroyPixelFormat(pix);
    return pix != nullptr;
}

TEST(PixelFormatTest, TakesWellFormedListsOnly) {
    EXPECT_TRUE(Accepts({AGL_RGBA, AGL_DOUBLEBUFFER, AGL_ACCELERATED, AGL_DEPTH_SIZE, 16, 0}));
    EXPECT_TRUE(Accepts({AGL_FULLSCREEN, AGL_NO_RECOVERY, AGL_PIXEL_SIZE, 999, AGL_NONE}));
    std::vector<GLint> longest(63, AGL_RGBA);
    longest.push_back(AGL_NONE);
    EXPECT_TRUE(Accepts(longest));
    longest.back() = AGL_STENCIL_SIZE; // unended: its argument would lie past the bound
    EXPECT_FALSE(Accepts(longest));
    EXPECT_FALSE(Accepts({AGL_RGBA, 999, AGL_NONE}));
    EXPECT_FALSE(Accepts({AGL_DEPTH_SIZE, 0, AGL_SWAP_INTERVAL, AGL_NONE})); // 0 ends nothing
    EXPECT_FALSE(Accepts({AGL_DEPTH_SIZE, -16, AGL_NONE}));
    EXPECT_EQ(nullptr, aglChoosePixelFormat(nullptr, 0, nullptr));
}

using ContextTest = PlatformTest;

TEST_F(ContextTest, DrawsIntoTheAttachedWindowAndFallsBackWhenDetached) {
    WindowRef w = NewWindow(64, 48);
    AGLContext ctx = NewContext();
    EXPECT_EQ(nullptr, aglGetCurrentContext()); // created, not made current
    ASSERT_TRUE(aglSetDrawable(ctx, GetWindowPort(w)));
    EXPECT_EQ(ctx, aglGetCurrentContext());
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    EXPECT_EQ(0xFF0000u, ReadPixel(63, 47));
    unsigned windowId = GetCurrentDrawable().id;
    aglDestroyContext(NewContext()); // a context made meanwhile does not take over
    EXPECT_EQ(windowId, GetCurrentDrawable().id);

    EXPECT_TRUE(aglSetDrawable(ctx, nullptr));
    EXPECT_EQ(ctx, aglGetCurrentContext());
    EXPECT_EQ(1, GetCurrentDrawable().width);
    // A window that goes away under a context hands it back to its helper.
    ASSERT_TRUE(aglSetDrawable(ctx, GetWindowPort(w)));
    DisposeWindow(w);
    EXPECT_EQ(1, GetCurrentDrawable().width);
    EXPECT_TRUE(aglSetCurrentContext(ctx));
    EXPECT_TRUE(aglDestroyContext(ctx));
    EXPECT_EQ(nullptr, aglGetCurrentContext());
    EXPECT_EQ(0u, GetCurrentDrawable().id);
}

TEST_F(ContextTest, NullOrForeignArgumentsChangeNothing) {
    AGLContext ctx = NewContext(), other = NewContext();
    ASSERT_TRUE(aglSetCurrentContext(other));
    EXPECT_FALSE(aglSetDrawable(nullptr, nullptr));
    EXPECT_FALSE(aglSetDrawable(ctx, (AGLDrawable)&ctx)); // not a window's port
    GLint one = 1;
    EXPECT_TRUE(aglSetInteger(ctx, AGL_SWAP_INTERVAL, &one));
    EXPECT_FALSE(aglSetInteger(ctx, AGL_DEPTH_SIZE, &one));
    EXPECT_EQ(other, aglGetCurrentContext());
    EXPECT_TRUE(aglSetCurrentContext(nullptr));
    EXPECT_EQ(0u, GetCurrentDrawable().id);
    EXPECT_FALSE(aglSetFullScreen(nullptr, 0, 0, 0, 0) || aglUpdateContext(nullptr) ||
                 aglDisable(nullptr, AGL_FS_CAPTURE_SINGLE) || aglCreateContext(nullptr, nullptr));
    EXPECT_TRUE(aglDisable(ctx, AGL_FS_CAPTURE_SINGLE));
}

TEST_F(ContextTest, EachFaultFailsOneCallOnly) {
    const GLint attribs[] = {AGL_RGBA, AGL_NONE};
    gAGLFaults = AGLFaults{true, true, true, true, false};
    EXPECT_EQ(nullptr, aglChoosePixelFormat(nullptr, 0, attribs));
    AGLPixelFormat pix = aglChoosePixelFormat(nullptr, 0, attribs);
    EXPECT_EQ(nullptr, aglCreateContext(pix, nullptr));
    AGLContext ctx = aglCreateContext(pix, nullptr);
    contexts.push_back(ctx);
    aglDestroyPixelFormat(pix);
    EXPECT_FALSE(aglSetCurrentContext(ctx));
    EXPECT_TRUE(aglSetCurrentContext(ctx));
    EXPECT_FALSE(aglSetFullScreen(ctx, 640, 480, 0, 0));
    EXPECT_TRUE(aglSetFullScreen(ctx, 640, 480, 0, 0));
}

TEST_F(ContextTest, FullScreenCoversTheDisplayUntilReleased) {
    AGLContext ctx = NewContext();
    WindowRef w = NewWindow(64, 48);
    for (int round = 0; round < 2; round++) {
        ASSERT_TRUE(aglSetFullScreen(ctx, 640, 480, 0, 0));
        CurrentDrawable full = GetCurrentDrawable();
        EXPECT_EQ(CGDisplayPixelsWide(CGMainDisplayID()), full.width);
        EXPECT_EQ(CGDisplayPixelsHigh(CGMainDisplayID()), full.height);
        EXPECT_TRUE(full.shown && full.borderless);
        GLint viewport[4];
        glGetIntegerv(GL_VIEWPORT, viewport); // sized for the first real drawable
        EXPECT_EQ(full.width, viewport[2]);
        glClear(GL_COLOR_BUFFER_BIT);
        EXPECT_EQ(0u, ReadPixel(full.width - 1, full.height - 1));
        // Released by detaching, then by moving to a window.
        EXPECT_TRUE(aglSetDrawable(ctx, round ? GetWindowPort(w) : nullptr));
        EXPECT_FALSE(WindowExists(full.id));
        EXPECT_EQ(round ? 64 : 1, GetCurrentDrawable().width);
    }
}

// Resident set size in pages.
long Resident(void) {
    long pages = 0, resident = 0;
    FILE *f = fopen("/proc/self/statm", "r");
    EXPECT_EQ(2, f ? fscanf(f, "%ld %ld", &pages, &resident) : 0);
    if (f) fclose(f);
    return resident;
}

TEST_F(ContextTest, RepeatedLifecyclesDoNotGrow) {
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
    GTEST_SKIP() << "freed memory sits in quarantine here; the leak checker covers this build";
#endif
#endif
    WindowRef w = NewWindow(64, 48);
    long before = 0;
    for (int i = 0; i < 110; i++) {
        if (i == 10) // once the driver has loaded and warmed up
            before = Resident();
        AGLContext ctx = NewContext();
        aglSetDrawable(ctx, GetWindowPort(w));
        aglSetFullScreen(ctx, 640, 480, 0, 0);
        aglDestroyContext(ctx);
        contexts.pop_back();
    }
    EXPECT_LT((Resident() - before) * sysconf(_SC_PAGESIZE), 1 << 20);
}

} // namespace
