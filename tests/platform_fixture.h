// The host layer on SDL's offscreen driver. What a test makes through the fixture is
// disposed afterwards, so the leak checker sees only what the host layer itself lost.
#pragma once

#include "platform/agl.h"
#include "platform/window.h"
#include "tests/support/offscreen_gl.h"

#include <GL/gl.h>
#include <gtest/gtest.h>
#include <vector>

class PlatformTest : public ::testing::Test {
  protected:
    void SetUp() override { UseOffscreenVideo(); }
    void TearDown() override {
        PinLoadedLibraries();
        for (AGLContext c : contexts)
            aglDestroyContext(c);
        for (WindowRef w : windows)
            DisposeWindow(w);
    }
    WindowRef NewWindow(SInt16 width, SInt16 height) {
        Rect bounds = {0, 0, height, width};
        WindowRef w = nullptr;
        EXPECT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &w));
        windows.push_back(w);
        PinLoadedLibraries();
        return w;
    }
    AGLContext NewContext() {
        const GLint attribs[] = {AGL_RGBA, AGL_DOUBLEBUFFER, AGL_DEPTH_SIZE, 16, AGL_NONE};
        AGLPixelFormat pix = aglChoosePixelFormat(nullptr, 0, attribs);
        contexts.push_back(aglCreateContext(pix, nullptr));
        aglDestroyPixelFormat(pix);
        EXPECT_NE(nullptr, contexts.back());
        PinLoadedLibraries();
        return contexts.back();
    }
    std::vector<WindowRef> windows;
    std::vector<AGLContext> contexts;
};
