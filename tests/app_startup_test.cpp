#include "app/folders.h"
#include "app/handlers.h"
#include "app/startup.h"
#include "bench/frame.h"
#include "bench/log.h"
#include "platform/bundle.h"
#include "platform/display.h"
#include "platform/events_internal.h"
#include "platform/quickdraw.h"
#include "tests/support/offscreen_gl.h"
#include "tests/support/scene_fixture.h"

#include <sys/stat.h>

namespace {

// A bundle of the test's own under the temporary folder, with the real resources.
class StartupTest : public ::testing::Test {
  protected:
    void SetUp() override {
        UseOffscreenVideo();
        SetAlertRecorder([](AlertType, const char *, const char *) {});
        bundle = dir.path("Kelvane.app");
        resources = bundle + "/Contents/Resources/";
        for (std::string d : {bundle, bundle + "/Contents", resources, bundle + "/Contents/Linux"})
            ASSERT_EQ(0, mkdir(d.c_str(), 0700));
        for (const char *name : {"main.ui", "default.tga"})
            WriteBytes(resources + name,
                       ReadBytes(std::string(KELVANE_SOURCE_DIR "/resources/") + name));
        SetMainBundlePath(bundle.c_str());
        numCubes = 1;
        fullscreen = false;
        frames = 0;
        rotate = 0;
    }
    void TearDown() override {
        PinLoadedLibraries();
        DeleteScene();
        SetMainBundlePath(nullptr);
        SetAlertRecorder(nullptr);
        app_folder[0] = res_folder[0] = 0;
    }
    TempDir dir;
    std::string bundle, resources;
};

void Quit(EventLoopTimerRef, void *) {
    QuitApplicationEventLoop();
}

// An event of the class and kind that names the window: as its direct object for window
// events, as its window otherwise (which sends key events to that window's handlers).
EventRef Event(UInt32 cls, UInt32 kind, WindowRef w) {
    EventRef e = nullptr;
    EXPECT_EQ(noErr, CreateEvent(nullptr, cls, kind, 0.0, kEventAttributeNone, &e));
    EventParamName name = cls == kEventClassWindow ? kEventParamDirectObject : kEventParamWindowRef;
    SetEventParameter(e, name, typeWindowRef, sizeof w, &w);
    return e;
}

// Through the real dispatch, as the event loop sends what it takes from the queue.
OSStatus Dispatch(EventRef e) {
    OSStatus status = DispatchEvent(e);
    ReleaseEvent(e);
    return status;
}

EventRef Key(UInt32 kind, UInt32 code, WindowRef w, UInt32 modifiers = 0) {
    EventRef e = Event(kEventClassKeyboard, kind, w);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    return e;
}

EventRef Command(UInt32 kind, UInt32 id) {
    EventRef e = Event(kEventClassCommand, kind, nullptr);
    HICommand c = {};
    c.commandID = id;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c);
    return e;
}

// The window's port, read through an offscreen world of our own, or filled from one.
std::vector<UInt32> PortPixels(WindowRef w, const std::vector<UInt32> *fill = nullptr) {
    Rect b;
    GetWindowPortBounds(w, &b);
    std::vector<UInt32> pixels(fill ? *fill : std::vector<UInt32>(b.right * b.bottom));
    GWorldPtr world = nullptr;
    EXPECT_EQ(noErr, NewGWorldFromPtr(&world, k32ARGBPixelFormat, &b, nullptr, nullptr, 0,
                                      (Ptr)pixels.data(), b.right * 4));
    if (fill)
        CopyBits(GetPortBitMapForCopyBits(world), GetPortBitMapForCopyBits(GetWindowPort(w)), &b,
                 &b, srcCopy, nullptr);
    else
        CopyBits(GetPortBitMapForCopyBits(GetWindowPort(w)), GetPortBitMapForCopyBits(world), &b,
                 &b, srcCopy, nullptr);
    DisposeGWorld(world);
    return pixels;
}

// What a new context leaves in the clear colour tells a rebuilt scene from one kept.
void MarkContext(void) {
    glClearColor(1, 0, 0, 1);
}
bool ContextMarked(void) {
    GLfloat c[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, c);
    return c[0] == 1.0f;
}

TEST_F(StartupTest, BuildsRunsFramesAndTearsDownCompletely) {
    ASSERT_EQ(1, NewScene());
    PinLoadedLibraries(); // before the teardown below can unload the driver
    EXPECT_NE(nullptr, nibRef);
    EXPECT_NE(nullptr, window);
    EXPECT_NE(nullptr, gWindowEventHandler);
    EXPECT_NE(nullptr, gAppEventHandler);
    EXPECT_NE(nullptr, gWindowEDMUPP);
    EXPECT_NE(nullptr, gConfigEDMUPP);
    EXPECT_NE(nullptr, theTimer);
    EXPECT_EQ(dir.prefix(), app_folder);
    EXPECT_EQ(resources, res_folder);
    EXPECT_EQ(1, running); // the texture was found on the first build

    EventLoopTimerRef stop = nullptr;
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.5, 0, NewEventLoopTimerUPP(Quit), nullptr,
                          &stop);
    RunApplicationEventLoop();
    EXPECT_GT(rotate, 0.0f); // frames were drawn

    EXPECT_EQ(0, DeleteScene());
    EXPECT_EQ(nullptr, theTimer);
    EXPECT_EQ(nullptr, gWindowEventHandler);
    EXPECT_EQ(nullptr, gAppEventHandler);
    EXPECT_EQ(nullptr, gWindowEDMUPP);
    EXPECT_EQ(nullptr, gConfigEDMUPP);
    EXPECT_EQ(nullptr, aglContext);
    EXPECT_EQ(0, running);
    EXPECT_EQ(0, DeleteScene()); // and again, on nothing
}

TEST_F(StartupTest, DisplayChangeRebuildsInTheCurrentMode) {
    ASSERT_EQ(1, NewScene());
    MarkContext();
    for (SInt16 message : {0, 1, 3, -1, 1000})
        handleWindowDMEvent(nullptr, message, nullptr);
    handleConfigDMEvent(nullptr, kDMNotifyEvent, nullptr);
    EXPECT_TRUE(ContextMarked());
    EXPECT_EQ(1, running);

    NotifyDisplayChanged(); // the registered procedures, with message 2
    EXPECT_FALSE(ContextMarked());
    EXPECT_EQ(1, running);
    EXPECT_FALSE(fullscreen);
    EXPECT_EQ(window, GetWindowFromPort(GetWindowPort(window)));
    FreeScene(); // a change after a failed build tries again
    handleWindowDMEvent(nullptr, kDMNotifyEvent, nullptr);
    EXPECT_EQ(1, running);
    EXPECT_FALSE(fullscreen);
}

TEST_F(StartupTest, DisplayChangeDuringATestRebuildsTheFullScreenAndTheTestGoesOn) {
    ASSERT_EQ(1, NewScene());
    Dispatch(Command(kEventCommandProcess, kCommandTest));
    ASSERT_TRUE(fullscreen);
    numCubes = 4;
    std::string log = ReadText(dir.path(kLogFileName));
    MarkContext();
    for (SInt16 message : {0, 1, 3, -1})
        handleWindowDMEvent(nullptr, message, nullptr);
    EXPECT_TRUE(ContextMarked());

    NotifyDisplayChanged();
    EXPECT_FALSE(ContextMarked());
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(1, running);
    EXPECT_EQ(4, numCubes);
    CurrentDrawable d = GetCurrentDrawable();
    EXPECT_TRUE(d.borderless);
    EXPECT_EQ(CGDisplayPixelsWide(CGMainDisplayID()), d.width);
    EXPECT_EQ(CGDisplayPixelsHigh(CGMainDisplayID()), d.height);
    Render();
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(log, ReadText(dir.path(kLogFileName))); // no "test stopped", no new header
}

// Every event type of both registration lists, sent through the real dispatch after
// NewScene, reaches the program's handlers: each leaves its mark.
TEST_F(StartupTest, EveryRegisteredEventReachesItsHandler) {
    ASSERT_EQ(1, NewScene());
    WindowRef main = window;
    Rect small = {0, 0, 10, 10};
    WindowRef other = nullptr;
    ASSERT_EQ(noErr, CreateNewWindow(kDocumentWindowClass, 0, &small, &other));

    // Window events: each takes the window it names as the main window first.
    for (UInt32 kind : {kEventWindowShown, kEventWindowActivated, kEventWindowDeactivated,
                        kEventWindowDrawContent, kEventWindowDragStarted, kEventWindowZoomed,
                        kEventWindowZoom, kEventWindowBoundsChanged, kEventWindowCollapsing}) {
        window = other;
        Dispatch(Event(kEventClassWindow, kind, main));
        EXPECT_EQ(main, window) << kind;
    }
    SizeWindow(main, 400, 300, true);
    Dispatch(Event(kEventClassWindow, kEventWindowBoundsChanged, main));
    EXPECT_EQ(400, resolution.h);
    EXPECT_EQ(300, resolution.v);

    // Keys of the main window.
    numCubes = 2;
    Dispatch(Key(kEventRawKeyDown, kVK_UpArrow, main));
    Dispatch(Key(kEventRawKeyRepeat, kVK_UpArrow, main));
    EXPECT_EQ(4, numCubes);
    Dispatch(Key(kEventRawKeyUp, kVK_UpArrow, main));
    EXPECT_EQ(4, numCubes);

    // The application's commands and the mouse.
    EXPECT_EQ(noErr, Dispatch(Command(kEventCommandUpdateStatus, kCommandTest)));
    Dispatch(Command(kEventCommandProcess, kCommandTest));
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(0, numCubes);
    for (UInt32 kind : {kEventMouseUp, kEventMouseDragged}) {
        window = other;
        Dispatch(Event(kEventClassMouse, kind, main));
        EXPECT_EQ(main, window) << kind;
    }
    EventRef wheel = Event(kEventClassMouse, kEventMouseWheelMoved, main);
    SInt32 delta = -1;
    SetEventParameter(wheel, kEventParamMouseWheelDelta, typeLongInteger, sizeof delta, &delta);
    Dispatch(wheel);
    // At least one step: NewScene in an earlier test of this process left its handler on
    // the application target too, and each one below ours takes its own step.
    EXPECT_GE(numCubes, 1);
    EXPECT_TRUE(fullscreen);
    Dispatch(Event(kEventClassMouse, kEventMouseDown, main));
    EXPECT_FALSE(fullscreen);
    DisposeWindow(other);

    // Closing, last: it asks the running loop to end.
    EventRef close = Event(kEventClassWindow, kEventWindowClose, main);
    PostEventToQueue(GetCurrentEventQueue(), close, kEventPriorityStandard);
    ReleaseEvent(close);
    EventLoopTimerRef stop = nullptr;
    InstallEventLoopTimer(GetCurrentEventLoop(), 3.0, 0, NewEventLoopTimerUPP(Quit), nullptr,
                          &stop);
    RunApplicationEventLoop();
    EXPECT_EQ(noErr, RemoveEventLoopTimer(stop)) << "the loop ran until the safety timer";
}

TEST_F(StartupTest, CtrlTFromTheRealInterfaceDescriptionStartsATestAndAgainRestartsIt) {
    ASSERT_EQ(1, NewScene());
    Dispatch(Key(kEventRawKeyDown, kVK_ANSI_T, window)); // without Ctrl: no command
    EXPECT_FALSE(fullscreen);
    Dispatch(Key(kEventRawKeyDown, kVK_ANSI_T, window, controlKey));
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(0, numCubes);

    Dispatch(Key(kEventRawKeyDown, kVK_UpArrow, window));
    Dispatch(Key(kEventRawKeyDown, kVK_UpArrow, window));
    Write("a line of the first test", false);
    MarkContext();
    Dispatch(Key(kEventRawKeyDown, kVK_ANSI_T, window, controlKey)); // during the test
    EXPECT_TRUE(fullscreen);
    EXPECT_EQ(0, numCubes);
    EXPECT_FALSE(ContextMarked()); // the full screen was built anew
    std::string log = ReadText(dir.path(kLogFileName));
    EXPECT_EQ(0u, log.find("Kelvane started...\n"));
    EXPECT_EQ(std::string::npos, log.find("a line of the first test"));
    EXPECT_EQ(std::string::npos, log.find("test stopped"));
}

TEST_F(StartupTest, CollapsingWithoutAReadySceneLeavesThePortAlone) {
    ASSERT_EQ(1, NewScene());
    Rect b;
    GetWindowPortBounds(window, &b);
    std::vector<UInt32> pattern(b.right * b.bottom);
    for (size_t i = 0; i < pattern.size(); i++)
        pattern[i] = 0xff000000u | (UInt32)(i * 2654435761u >> 8);

    // No scene at all, and no context.
    FreeScene();
    PortPixels(window, &pattern);
    EXPECT_EQ(noErr, Dispatch(Event(kEventClassWindow, kEventWindowCollapsing, window)));
    EXPECT_EQ(pattern, PortPixels(window));
    EXPECT_EQ(nullptr, aglGetCurrentContext());

    // A context without its texture: built partly, still not ready.
    remove((resources + "default.tga").c_str());
    handleWindowDMEvent(nullptr, kDMNotifyEvent, nullptr);
    ASSERT_EQ(0, running);
    ASSERT_NE(nullptr, aglContext);
    PortPixels(window, &pattern);
    EXPECT_EQ(noErr, Dispatch(Event(kEventClassWindow, kEventWindowCollapsing, window)));
    EXPECT_EQ(pattern, PortPixels(window));
}

TEST_F(StartupTest, MissingOrBrokenInterfaceDescriptionStopsEarly) {
    const char *broken[] = {
        nullptr, // no file at all
        "menubar MenuBar\n  menu \"M\"\n    item \"Run\" command test key Ctrl+T\n",
        "window MainWindow\n  size 100 100\n",
        "menubar MenuBar\nwindow MainWindow\n  size 100\n",
        "menubar MenuBar\nwidget MainWindow\n",
        "menubar MenuBar\n  menu \"M\"\n    item \"Run\" key Ctrl+T\nwindow MainWindow\n  size 9 "
        "9\n",
    };
    for (const char *text : broken) {
        std::string ui = resources + "main.ui";
        remove(ui.c_str());
        if (text) WriteBytes(ui, std::vector<unsigned char>(text, text + strlen(text)));
        testing::internal::CaptureStderr();
        EXPECT_EQ(0, NewScene()) << (text ? text : "(missing)");
        std::string said = testing::internal::GetCapturedStderr();
        EXPECT_NE(std::string::npos, said.find("main.ui")) << said;
        EXPECT_EQ(nullptr, theTimer);
        EXPECT_EQ(nullptr, gAppEventHandler);
        EXPECT_EQ(0, running);
        EXPECT_EQ(0, DeleteScene());
    }
}

TEST(WorkingFolder, CutsAtTheLastSlash) {
    SetMainBundlePath("/Example.app");
    GetWorkingFolder();
    EXPECT_STREQ("/", app_folder);
    EXPECT_STREQ("/Example.app/Contents/Resources/", res_folder);

    SetMainBundlePath("/a/b/c/Example.app");
    GetWorkingFolder();
    EXPECT_STREQ("/a/b/c/", app_folder);
    EXPECT_STREQ("/a/b/c/Example.app/Contents/Resources/", res_folder);
    SetMainBundlePath(nullptr);
}

TEST(WorkingFolder, LongPathsFitOrLeaveTheFolderEmpty) {
    std::string path = "/" + std::string(230, 'p') + ".app"; // 235 bytes
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_EQ(255u, strlen(res_folder));
    EXPECT_STREQ("/", app_folder);

    path = "/" + std::string(240, 'p') + ".app"; // resources would need 265
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", res_folder);
    EXPECT_STREQ("/", app_folder);

    path = "/" + std::string(231, 'p') + ".app"; // 236: one byte too many for resources
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", res_folder);
    EXPECT_STREQ("/", app_folder);

    // The path buffer holds 254 bytes and its NUL.
    std::string folder = "/" + std::string(243, 'f') + "/"; // 245 bytes
    path = folder + "Kelvane.app";                          // 256
    path.erase(1, 2);                                       // 254
    folder.erase(1, 2);
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_EQ(folder, app_folder);
    EXPECT_STREQ("", res_folder);
    path.insert(1, "f"); // 255: does not fit at all
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", app_folder);
    EXPECT_STREQ("", res_folder);

    path = "/" + std::string(300, 'p') + "/x.app"; // beyond the path buffer
    SetMainBundlePath(path.c_str());
    GetWorkingFolder();
    EXPECT_STREQ("", res_folder);
    EXPECT_STREQ("", app_folder);
    SetMainBundlePath(nullptr);
}

} // namespace
