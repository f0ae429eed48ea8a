#include "app/handlers.h"
#include "app/startup.h"
#include "bench/testrun.h"
#include "platform/quickdraw.h"
#include "tests/support/scene_fixture.h"

namespace {

EventRef NewEvent(UInt32 cls, UInt32 kind) {
    EventRef e = nullptr;
    EXPECT_EQ(noErr, CreateEvent(nullptr, cls, kind, 0.0, kEventAttributeNone, &e));
    return e;
}

EventRef Key(UInt32 kind, UInt32 code, UInt32 modifiers = 0) {
    EventRef e = NewEvent(kEventClassKeyboard, kind);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    return e;
}

EventRef Command(UInt32 kind, UInt32 id) {
    EventRef e = NewEvent(kEventClassCommand, kind);
    HICommand c = {};
    c.commandID = id;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c);
    return e;
}

EventRef Wheel(SInt32 delta) {
    EventRef e = NewEvent(kEventClassMouse, kEventMouseWheelMoved);
    SetEventParameter(e, kEventParamMouseWheelDelta, typeLongInteger, sizeof delta, &delta);
    return e;
}

EventRef WindowEvent(UInt32 kind, WindowRef w) {
    EventRef e = NewEvent(kEventClassWindow, kind);
    SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof w, &w);
    return e;
}

// Calls a handler directly, as the head of a chain with nothing below it.
OSStatus Call(EventHandlerProcPtr handler, EventRef e) {
    OSStatus s = handler(nullptr, e, nullptr);
    ReleaseEvent(e);
    return s;
}

class HandlerTest : public SceneTest {
  protected:
    void SetUp() override {
        SceneTest::SetUp();
        InstallDefaultTexture();
        ASSERT_EQ(1, AllocScene());
    }
};

TEST_F(HandlerTest, ArrowsAndWheelChangeTheGridByOneAndNeverBelowOne) {
    numCubes = 1;
    EXPECT_EQ(eventNotHandledErr, Call(windowEventHandler, Key(kEventRawKeyDown, kVK_DownArrow)));
    EXPECT_EQ(1, numCubes);
    Call(windowEventHandler, Key(kEventRawKeyDown, kVK_UpArrow));
    Call(windowEventHandler, Key(kEventRawKeyRepeat, kVK_UpArrow)); // a repeat is a press
    EXPECT_EQ(3, numCubes);
    Call(windowEventHandler, Key(kEventRawKeyUp, kVK_UpArrow)); // a release is not
    EXPECT_EQ(3, numCubes);
    Call(windowEventHandler, Key(kEventRawKeyDown, kVK_LeftArrow));
    EXPECT_EQ(3, numCubes);

    EXPECT_EQ(eventNotHandledErr, Call(appEventHandler, Wheel(-120)));
    EXPECT_EQ(4, numCubes);
    Call(appEventHandler, Wheel(3));
    EXPECT_EQ(3, numCubes);
    Call(appEventHandler, Wheel(0));
    Call(appEventHandler, NewEvent(kEventClassMouse, kEventMouseWheelMoved)); // no delta
    EXPECT_EQ(3, numCubes);

    numCubes = 0; // the start of a test
    Call(windowEventHandler, Key(kEventRawKeyDown, kVK_DownArrow));
    Call(appEventHandler, Wheel(1));
    EXPECT_EQ(0, numCubes);
    Call(windowEventHandler, Key(kEventRawKeyDown, kVK_UpArrow));
    EXPECT_EQ(1, numCubes);
}

TEST_F(HandlerTest, TestCommandStartsEscapeAndClickEndIt) {
    EXPECT_EQ(eventNotHandledErr,
              Call(appEventHandler, Command(kEventCommandProcess, kCommandNew)));
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(eventNotHandledErr,
              Call(appEventHandler, Command(kEventCommandProcess, kCommandTest)));
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(0, numCubes);
    EXPECT_EQ(eventNotHandledErr, Call(windowEventHandler, Key(kEventRawKeyDown, kVK_Escape)));
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(1, numCubes);

    Call(appEventHandler, Command(kEventCommandProcess, kCommandTest));
    EXPECT_EQ(eventNotHandledErr, Call(appEventHandler, NewEvent(kEventClassMouse, kEventMouseUp)));
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(eventNotHandledErr,
              Call(appEventHandler, NewEvent(kEventClassMouse, kEventMouseDown)));
    EXPECT_FALSE(fullscreen);
    Call(appEventHandler, NewEvent(kEventClassMouse, kEventMouseDown)); // idle: nothing
    EXPECT_FALSE(fullscreen);

    EXPECT_EQ(noErr, Call(appEventHandler, Command(kEventCommandUpdateStatus, kCommandTest)));
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(eventNotHandledErr, Call(appEventHandler, NewEvent(kEventClassCommand, 1)));
    EXPECT_EQ(eventNotHandledErr, Call(appEventHandler, NewEvent(kEventClassWindow, 2)));
}

// Installed below the program's handlers: says whether it was reached, and answers.
int lowerCalls;
OSStatus lowerAnswer;
OSStatus Lower(EventHandlerCallRef, EventRef, void *) {
    lowerCalls++;
    return lowerAnswer;
}

TEST_F(HandlerTest, KeysAndClicksHandledFurtherDownAreLeftAlone) {
    const EventTypeSpec keys[] = {{kEventClassKeyboard, kEventRawKeyDown},
                                  {kEventClassKeyboard, kEventRawKeyUp}};
    const EventTypeSpec mouse[] = {{kEventClassMouse, kEventMouseDown}};
    EventHandlerRef lowerKeys = nullptr, lowerMouse = nullptr, ours = nullptr, ourApp = nullptr;
    InstallEventHandler(GetWindowEventTarget(window), Lower, 2, keys, nullptr, &lowerKeys);
    InstallEventHandler(GetWindowEventTarget(window), windowEventHandler, 2, keys, nullptr, &ours);
    InstallEventHandler(GetApplicationEventTarget(), Lower, 1, mouse, nullptr, &lowerMouse);
    InstallEventHandler(GetApplicationEventTarget(), appEventHandler, 1, mouse, nullptr, &ourApp);

    lowerCalls = 0;
    lowerAnswer = noErr;
    numCubes = 2;
    EventRef up = Key(kEventRawKeyDown, kVK_UpArrow);
    EXPECT_EQ(noErr, SendEventToEventTarget(up, GetWindowEventTarget(window)));
    ReleaseEvent(up);
    EXPECT_EQ(1, lowerCalls);
    EXPECT_EQ(2, numCubes);

    EventRef release = Key(kEventRawKeyUp, kVK_UpArrow);
    SendEventToEventTarget(release, GetWindowEventTarget(window));
    ReleaseEvent(release);
    // Our handler does not call on for a release; its "not handled" passes it on untouched.
    EXPECT_EQ(2, lowerCalls);
    EXPECT_EQ(2, numCubes);

    StartTest();
    EventRef click = NewEvent(kEventClassMouse, kEventMouseDown);
    EXPECT_EQ(noErr, SendEventToEventTarget(click, GetApplicationEventTarget()));
    EXPECT_TRUE(fullscreen);
    lowerAnswer = eventNotHandledErr;
    SendEventToEventTarget(click, GetApplicationEventTarget());
    EXPECT_FALSE(fullscreen);
    ReleaseEvent(click);

    RemoveEventHandler(ours);
    RemoveEventHandler(lowerKeys);
    RemoveEventHandler(ourApp);
    RemoveEventHandler(lowerMouse);
}

TEST_F(HandlerTest, WindowEventsTakeTheirWindowAndFollowIt) {
    WindowRef main = window;
    SizeWindow(window, 320, 200, true);
    EXPECT_EQ(eventNotHandledErr,
              Call(windowEventHandler, WindowEvent(kEventWindowBoundsChanged, window)));
    EXPECT_EQ(320, resolution.h);
    EXPECT_EQ(200, resolution.v);

    // An event without a window parameter leaves the main window as it is.
    Call(windowEventHandler, NewEvent(kEventClassWindow, kEventWindowActivated));
    EXPECT_EQ(main, window);
    Rect bounds = {0, 0, 10, 10};
    WindowRef other = nullptr;
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &bounds, &other));
    Call(windowEventHandler, WindowEvent(kEventWindowDrawContent, other));
    EXPECT_EQ(other, window);
    window = main;
    DisposeWindow(other);
}

TEST_F(HandlerTest, CollapsingCopiesTheUprightPictureIntoThePort) {
    // Top half red, bottom half blue in the GL picture.
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 1, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glEnable(GL_SCISSOR_TEST);
    glScissor(0, 240, 640, 240);
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    glDisable(GL_SCISSOR_TEST);

    EXPECT_EQ(noErr, Call(windowEventHandler, WindowEvent(kEventWindowCollapsing, window)));

    // Read the port back through an offscreen world of our own.
    std::vector<UInt32> pixels(640 * 480);
    Rect b = {0, 0, 480, 640};
    GWorldPtr world = nullptr;
    ASSERT_EQ(noErr, NewGWorldFromPtr(&world, k32ARGBPixelFormat, &b, nullptr, nullptr, 0,
                                      (Ptr)pixels.data(), 640 * 4));
    CopyBits(GetPortBitMapForCopyBits(GetWindowPort(window)), GetPortBitMapForCopyBits(world), &b,
             &b, srcCopy, nullptr);
    DisposeGWorld(world);
    EXPECT_EQ(0x00ff0000u, pixels[0] & 0x00ffffffu);         // top row: red
    EXPECT_EQ(0x000000ffu, pixels[640 * 479] & 0x00ffffffu); // bottom row: blue
}

} // namespace
