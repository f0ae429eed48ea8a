#include "platform/display.h"
#include "platform/port_internal.h"
#include "platform/quickdraw.h"
#include "platform/video_internal.h"
#include "tests/platform_fixture.h"

#include <algorithm>
#include <vector>

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

// CopyBits against a pixel-by-pixel copy, for every place of the destination rectangle
// across and beyond each edge of the destination: what falls outside is cut off, the rest
// lands on the pixels it would have, and nothing else changes.
TEST(CopyBitsTest, ClipsTheDestinationOnEveryEdgeLikeAPixelByPixelCopy) {
    const int sw = 6, sh = 5, dw = 7, dh = 4;
    std::vector<UInt32> src(sw * sh), dst(dw * dh);
    for (int i = 0; i < sw * sh; i++)
        src[i] = 0xff000000u + (UInt32)i;
    Rect sb = {0, 0, sh, sw}, db = {0, 0, dh, dw};
    GWorldPtr s = nullptr, d = nullptr;
    ASSERT_EQ(noErr, NewGWorldFromPtr(&s, k32ARGBPixelFormat, &sb, nullptr, nullptr, 0,
                                      (Ptr)src.data(), sw * 4));
    ASSERT_EQ(noErr, NewGWorldFromPtr(&d, k32ARGBPixelFormat, &db, nullptr, nullptr, 0,
                                      (Ptr)dst.data(), dw * 4));
    for (Rect from : {sb, Rect{1, 2, 4, 5}})
        for (SInt16 top = -6; top <= dh + 1; top++)
            for (SInt16 left = -7; left <= dw + 1; left++) {
                std::fill(dst.begin(), dst.end(), 0u);
                SInt16 h = from.bottom - from.top, w = from.right - from.left;
                Rect to = {top, left, (SInt16)(top + h), (SInt16)(left + w)};
                CopyBits(GetPortBitMapForCopyBits(s), GetPortBitMapForCopyBits(d), &from, &to,
                         srcCopy, nullptr);
                for (int y = 0; y < dh; y++)
                    for (int x = 0; x < dw; x++) {
                        int u = x - left, v = y - top;
                        bool in = u >= 0 && u < w && v >= 0 && v < h;
                        UInt32 want = in ? src[(from.top + v) * sw + from.left + u] : 0;
                        ASSERT_EQ(want, dst[y * dw + x])
                            << "at " << x << "," << y << " copying to " << left << "," << top;
                    }
            }
    DisposeGWorld(s);
    DisposeGWorld(d);
}

// A drawable whose size follows a script, one entry a sample, on a clock that each sample
// moves on by 10 ms, however slowly the machine runs.
struct SizeScript {
    std::vector<std::pair<int, int>> sizes;
    size_t next;
};
unsigned long long scriptClock;
unsigned long long ScriptTicks(void) {
    return scriptClock;
}
void ScriptSample(void *ctx, int *w, int *h) {
    SizeScript *s = (SizeScript *)ctx;
    size_t i = std::min(s->next++, s->sizes.size() - 1);
    *w = s->sizes[i].first;
    *h = s->sizes[i].second;
    scriptClock += 10;
}

// Any change of either side starts the hold again; a size that holds ends the wait.
TEST(SettleTest, WaitsUntilBothSidesHoldStill) {
    using Sizes = std::vector<std::pair<int, int>>;
    Sizes steps(8, {800, 600}), wide(8, {1024, 600}), tall(8, {1024, 768});
    Sizes widthThenHeight = steps, flicker;
    widthThenHeight.insert(widthThenHeight.end(), wide.begin(), wide.end());
    widthThenHeight.insert(widthThenHeight.end(), tall.begin(), tall.end());
    for (int i = 0; i < 400; i++)
        flicker.push_back({640 + i % 2, 480});
    struct {
        const char *name;
        Sizes sizes;
        std::pair<int, int> settled;
        size_t samples;
    } rows[] = {
        {"still from the start", {{1920, 1080}}, {1920, 1080}, 11},
        {"one side, then the other", widthThenHeight, {1024, 768}, 27},
        {"never still: the limit", flicker, {640 + 150 % 2, 480}, 151},
    };
    for (auto &r : rows) {
        SizeScript script = {r.sizes, 0};
        scriptClock = 5000;
        int w = 0, h = 0;
        SettleSize(ScriptSample, &script, ScriptTicks, &w, &h);
        EXPECT_EQ(r.settled, std::make_pair(w, h)) << r.name;
        EXPECT_EQ(r.samples, script.next) << r.name;
    }
}

} // namespace
