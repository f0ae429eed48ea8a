#include "platform/display.h"
#include "platform/port_internal.h"
#include "tests/platform_fixture.h"

namespace {

using WindowTest = PlatformTest;

TEST_F(WindowTest, PortFollowsTheDrawableSize) {
    WindowRef w = NewWindow(200, 100);
    CGrafPtr port = GetWindowPort(w);
    Rect r;
    EXPECT_EQ(&r, GetWindowPortBounds(w, &r));
    EXPECT_EQ(0, r.top + r.left);
    EXPECT_EQ(100, r.bottom);
    EXPECT_EQ(200, r.right);
    SizeWindow(w, 320, 240, true);
    GetWindowPortBounds(w, &r);
    EXPECT_EQ(240, r.bottom);
    EXPECT_EQ(320, r.right);
    EXPECT_EQ(port, GetWindowPort(w));
    EXPECT_EQ(320 * 4, port->rowBytes);
    port->pixels[240 * 320 * 4 - 1] = 7; // the whole picture is there (ASan would tell)
    EXPECT_EQ(w, GetWindowFromPort(port));
    Rect empty = {10, 10, 10, 50};
    EXPECT_NE(noErr, CreateNewWindow(kDocumentWindowClass, 0, &empty, &w));
    EXPECT_EQ(nullptr, w);
}

TEST_F(WindowTest, FrontIsTheLastShownWindowStillThere) {
    WindowRef a = NewWindow(50, 50), b = NewWindow(50, 50);
    EXPECT_EQ(nullptr, FrontWindow()); // created hidden
    ShowWindow(b);
    ShowWindow(a);
    EXPECT_EQ(a, FrontWindow());
    HideWindow(a);
    EXPECT_EQ(b, FrontWindow());
    ShowWindow(a);
    EXPECT_EQ(noErr, SetUserFocusWindow(a));
    CGrafPtr port = GetWindowPort(a);
    SetPort(port);
    DisposeWindow(a);
    EXPECT_EQ(b, FrontWindow());
    GrafPtr current = port;
    GetPort(&current); // the current port does not outlive its window
    EXPECT_EQ(nullptr, current);
    EXPECT_EQ(nullptr, GetWindowFromPort(port));
}

TEST_F(WindowTest, DisplayIsTheOffscreenDesktop) {
    CGDirectDisplayID main = CGMainDisplayID();
    EXPECT_EQ(1024, CGDisplayPixelsWide(main));
    EXPECT_EQ(768, CGDisplayPixelsHigh(main));
    EXPECT_GE(CGDisplayBitsPerPixel(main), 16);
    EXPECT_NE(nullptr, GetMainDevice());
    EXPECT_EQ(0, CGDisplayPixelsWide(main + 1));
}

} // namespace
