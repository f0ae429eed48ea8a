// Host input through the real loop: SDL events pushed on the offscreen driver come out as
// the events and notifications the program's handlers are written against.
#include "platform/events.h"
#include "platform/keycodes.h"
#include "platform/notify.h"
#include "platform/port_internal.h"
#include "tests/platform_fixture.h"

#include <SDL.h>
#include <vector>

namespace {

struct Seen {
    UInt32 eventClass, kind;
    UInt32 key;    // key code, for keyboard events
    SInt32 delta;  // wheel delta, for wheel events
    WindowRef win; // the window the event names, if any
};
std::vector<Seen> seen;
int notifications;

OSStatus Record(EventHandlerCallRef, EventRef e, void *) {
    Seen s = {GetEventClass(e), GetEventKind(e), 0, 0, nullptr};
    GetEventParameter(e, kEventParamKeyCode, typeUInt32, nullptr, 4, nullptr, &s.key);
    GetEventParameter(e, kEventParamMouseWheelDelta, typeLongInteger, nullptr, 4, nullptr,
                      &s.delta);
    EventParamName name =
        s.eventClass == kEventClassWindow ? kEventParamDirectObject : kEventParamWindowRef;
    GetEventParameter(e, name, typeWindowRef, nullptr, sizeof s.win, nullptr, &s.win);
    seen.push_back(s);
    return noErr;
}

void Notified(void *, SInt16 message, void *) {
    if (message == kDMNotifyEvent) notifications++;
}

class InputTest : public PlatformTest {
  protected:
    void SetUp() override {
        PlatformTest::SetUp();
        main = NewWindow(64, 48);
        ShowWindow(main);
        const EventTypeSpec windowTypes[] = {{kEventClassKeyboard, kEventRawKeyDown},
                                             {kEventClassKeyboard, kEventRawKeyRepeat},
                                             {kEventClassKeyboard, kEventRawKeyUp},
                                             {kEventClassWindow, kEventWindowCollapsing},
                                             {kEventClassWindow, kEventWindowBoundsChanged}};
        const EventTypeSpec appTypes[] = {{kEventClassMouse, kEventMouseWheelMoved},
                                          {kEventClassMouse, kEventMouseDown},
                                          {kEventClassKeyboard, kEventRawKeyDown}};
        InstallEventHandler(GetWindowEventTarget(main), Record, 5, windowTypes, nullptr,
                            &windowHandler);
        InstallEventHandler(GetApplicationEventTarget(), Record, 3, appTypes, nullptr, &appHandler);
        seen.clear();
        notifications = 0;
        Drain(); // what showing the window produced
        seen.clear();
    }
    void TearDown() override {
        RemoveEventHandler(appHandler);
        PlatformTest::TearDown();
    }
    // Runs the real loop long enough for everything pushed to be translated and sent.
    static void Drain() {
        InstallEventLoopTimer(
            GetCurrentEventLoop(), 0.05, 0,
            [](EventLoopTimerRef, void *) { QuitApplicationEventLoop(); }, nullptr, nullptr);
        RunApplicationEventLoop();
    }
    Uint32 MainID() const { return SDL_GetWindowID(main->sdl); }
    void PushKey(Uint32 type, SDL_Scancode code, Uint8 repeat, Uint32 windowID) {
        SDL_Event ev = {};
        ev.type = type;
        ev.key.windowID = windowID;
        ev.key.repeat = repeat;
        ev.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
        ev.key.keysym.scancode = code;
        ASSERT_EQ(1, SDL_PushEvent(&ev));
    }
    void PushWheel(Sint32 y, Uint32 direction) {
        SDL_Event ev = {};
        ev.type = SDL_MOUSEWHEEL;
        ev.wheel.windowID = MainID();
        ev.wheel.y = y;
        ev.wheel.direction = direction;
        ASSERT_EQ(1, SDL_PushEvent(&ev));
    }
    void PushWindow(Uint8 what) {
        SDL_Event ev = {};
        ev.type = SDL_WINDOWEVENT;
        ev.window.windowID = MainID();
        ev.window.event = what;
        ASSERT_EQ(1, SDL_PushEvent(&ev));
    }
    WindowRef main = nullptr;
    EventHandlerRef windowHandler = nullptr, appHandler = nullptr;
};

TEST_F(InputTest, KeysBecomeRawKeyEventsOfTheMainWindow) {
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_DOWN, 0, MainID());
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_UP, 1, MainID()); // held: a repeat
    PushKey(SDL_KEYUP, SDL_SCANCODE_UP, 0, MainID());
    // A key typed on the full-screen surface, which is no window of the program's.
    SDL_Window *surface = SDL_CreateWindow("", 0, 0, 8, 8, SDL_WINDOW_HIDDEN);
    ASSERT_NE(nullptr, surface);
    PushKey(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, 0, SDL_GetWindowID(surface));
    Drain();
    SDL_DestroyWindow(surface);
    ASSERT_EQ(4u, seen.size());
    const UInt32 kinds[] = {kEventRawKeyDown, kEventRawKeyRepeat, kEventRawKeyUp, kEventRawKeyDown};
    const UInt32 keys[] = {kVK_DownArrow, kVK_UpArrow, kVK_UpArrow, kVK_Escape};
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ((UInt32)kEventClassKeyboard, seen[i].eventClass) << i;
        EXPECT_EQ(kinds[i], seen[i].kind) << i;
        EXPECT_EQ(keys[i], seen[i].key) << i;
        EXPECT_EQ(main, seen[i].win) << i; // the main window's target heard them all
    }
}

TEST_F(InputTest, WheelDeltaIsPositiveAwayFromTheUserWhateverTheSystemSays) {
    PushWheel(1, SDL_MOUSEWHEEL_NORMAL);
    PushWheel(-2, SDL_MOUSEWHEEL_NORMAL);
    PushWheel(1, SDL_MOUSEWHEEL_FLIPPED); // natural scrolling: SDL reports the reverse
    PushWheel(0, SDL_MOUSEWHEEL_NORMAL);  // a horizontal scroll: nothing
    Drain();
    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ(1, seen[0].delta);
    EXPECT_EQ(-2, seen[1].delta);
    EXPECT_EQ(-1, seen[2].delta);
    for (const Seen &s : seen) {
        EXPECT_EQ((UInt32)kEventClassMouse, s.eventClass);
        EXPECT_EQ((UInt32)kEventMouseWheelMoved, s.kind);
        EXPECT_EQ(main, s.win);
    }
}

TEST_F(InputTest, WindowChangesAndDisplayEventsReachTheirHandlers) {
    ProcessSerialNumber self = {0, kCurrentProcess};
    DMExtendedNotificationUPP upp = NewDMExtendedNotificationUPP(Notified);
    ASSERT_EQ(noErr, DMRegisterExtendedNotifyProc(upp, nullptr, 0, &self));
    PushWindow(SDL_WINDOWEVENT_MINIMIZED);
    PushWindow(SDL_WINDOWEVENT_SIZE_CHANGED);
    SDL_Event display = {};
    display.type = SDL_DISPLAYEVENT;
    display.display.event = SDL_DISPLAYEVENT_CONNECTED;
    ASSERT_EQ(1, SDL_PushEvent(&display));
    Drain();
    EXPECT_EQ(1, notifications);
    // Nothing changed afterwards: the loop's own look at the display mode stays quiet.
    Drain();
    EXPECT_EQ(1, notifications);
    DisposeDMExtendedNotificationUPP(upp);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ((UInt32)kEventWindowCollapsing, seen[0].kind);
    EXPECT_EQ((UInt32)kEventWindowBoundsChanged, seen[1].kind);
    for (const Seen &s : seen) {
        EXPECT_EQ((UInt32)kEventClassWindow, s.eventClass);
        EXPECT_EQ(main, s.win);
    }
}

} // namespace
