#include "platform/events.h"
#include "platform/events_internal.h"

#include <gtest/gtest.h>
#include <string>
#include <time.h>

namespace {

std::string trail; // which handlers ran, in order

EventRef Make(UInt32 cls, UInt32 kind) {
    EventRef e = MakeEvent(cls, kind);
    EXPECT_NE(nullptr, e);
    return e;
}

OSStatus PassOn(EventHandlerCallRef next, EventRef e, void *name) {
    trail += (const char *)name;
    return CallNextEventHandler(next, e);
}
OSStatus Take(EventHandlerCallRef, EventRef, void *name) {
    trail += (const char *)name;
    return noErr;
}

const EventTypeSpec kMouseDown[] = {{kEventClassMouse, kEventMouseDown}};

TEST(HandlerChain, NewestFirstAndOnlyForRegisteredTypes) {
    EventTargetRef app = GetApplicationEventTarget();
    EventHandlerRef a, b, c;
    const EventTypeSpec up[] = {{kEventClassMouse, kEventMouseUp}};
    InstallEventHandler(app, Take, 1, kMouseDown, (void *)"a", &a);
    InstallEventHandler(app, PassOn, 1, up, (void *)"b", &b); // not for mouse-down
    InstallEventHandler(app, PassOn, 1, kMouseDown, (void *)"c", &c);
    trail.clear();
    EventRef e = Make(kEventClassMouse, kEventMouseDown);
    EXPECT_EQ(noErr, SendEventToEventTarget(e, app));
    EXPECT_EQ("ca", trail);
    RemoveEventHandler(a);
    trail.clear();
    EXPECT_EQ(eventNotHandledErr, SendEventToEventTarget(e, app)); // the end of the chain
    EXPECT_EQ("c", trail);
    ReleaseEvent(e);
    RemoveEventHandler(b);
    RemoveEventHandler(c);
    EXPECT_EQ(paramErr, RemoveEventHandler(nullptr));
}

OSStatus Pass(EventHandlerCallRef, EventRef, void *name) {
    trail += (const char *)name;
    return eventNotHandledErr;
}

TEST(HandlerChain, NotHandledGoesOnDownUnlessTheRestAlreadyRan) {
    EventTargetRef app = GetApplicationEventTarget();
    EventHandlerRef a, b, c;
    InstallEventHandler(app, Take, 1, kMouseDown, (void *)"a", &a);
    InstallEventHandler(app, Pass, 1, kMouseDown, (void *)"b", &b);
    InstallEventHandler(app, PassOn, 1, kMouseDown, (void *)"c", &c);
    trail.clear();
    EventRef e = Make(kEventClassMouse, kEventMouseDown);
    EXPECT_EQ(noErr, SendEventToEventTarget(e, app));
    EXPECT_EQ("cba", trail); // b passed it on by its answer alone
    RemoveEventHandler(c);
    InstallEventHandler(app, PassOn, 1, kMouseDown, (void *)"c", &c);
    RemoveEventHandler(a);
    trail.clear();
    // c ran the rest itself and heard "not handled": nothing runs twice.
    EXPECT_EQ(eventNotHandledErr, SendEventToEventTarget(e, app));
    EXPECT_EQ("cb", trail);
    ReleaseEvent(e);
    RemoveEventHandler(b);
    RemoveEventHandler(c);
}

TEST(Loop, OnlyAQuitEndsIt) {
    // Nothing pending and no timer: the loop waits rather than returning.
    SetEventLoopLimit(0.3);
    double start = 0;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    start = ts.tv_sec + ts.tv_nsec * 1e-9;
    RunApplicationEventLoop();
    clock_gettime(CLOCK_MONOTONIC, &ts);
    EXPECT_TRUE(EventLoopTimedOut());
    EXPECT_GE(ts.tv_sec + ts.tv_nsec * 1e-9 - start, 0.29);
    SetEventLoopLimit(0);
}

TEST(HandlerChain, NoChainBelowADirectCall) {
    EventRef e = Make(kEventClassMouse, kEventMouseDown);
    EXPECT_EQ(eventNotHandledErr, CallNextEventHandler(nullptr, e));
    ReleaseEvent(e);
}

TEST(Parameters, TypedCopiesCutToTheBuffer) {
    EventRef e = Make(kEventClassCommand, kEventCommandProcess);
    HICommand c = {};
    c.commandID = FourCC('t', 'e', 's', 't');
    ASSERT_EQ(noErr, SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c));
    HICommand back = {};
    UInt32 size = 0;
    EventParamType type = 0;
    EXPECT_EQ(noErr, GetEventParameter(e, kEventParamDirectObject, typeHICommand, &type,
                                       sizeof back, &size, &back));
    EXPECT_EQ(c.commandID, back.commandID);
    EXPECT_EQ(sizeof c, size);
    EXPECT_EQ((EventParamType)typeHICommand, type);
    // Another type, or a missing name, leaves the destination alone.
    UInt32 n = 7;
    EXPECT_EQ(eventParameterNotFoundErr,
              GetEventParameter(e, kEventParamDirectObject, typeUInt32, nullptr, 4, nullptr, &n));
    EXPECT_EQ(eventParameterNotFoundErr,
              GetEventParameter(e, kEventParamKeyCode, typeUInt32, nullptr, 4, nullptr, &n));
    EXPECT_EQ(7u, n);
    UInt16 small = 0; // never more than the buffer holds
    EXPECT_EQ(noErr, GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr,
                                       sizeof small, nullptr, &small));
    unsigned char big[64] = {};
    EXPECT_EQ(paramErr, SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof big, big));
    ReleaseEvent(e);
}

OSStatus Command(EventHandlerCallRef, EventRef e, void *) {
    HICommand c = {};
    GetEventParameter(e, kEventParamDirectObject, typeHICommand, nullptr, sizeof c, nullptr, &c);
    trail += std::string(1, (char)(c.commandID >> 24));
    return eventNotHandledErr;
}

TEST(StandardHandlers, MenuKeysBecomeCommandsAndQuitEndsTheLoop) {
    const MenuKey keys[] = {{controlKey, kVK_ANSI_T, FourCC('t', 'e', 's', 't')},
                            {controlKey, kVK_ANSI_Q, kHICommandQuit}};
    SetMenuKeys(keys, 2);
    const EventTypeSpec command[] = {{kEventClassCommand, kEventCommandProcess}};
    EventHandlerRef h;
    InstallEventHandler(GetApplicationEventTarget(), Command, 1, command, nullptr, &h);
    WindowRef fake = (WindowRef)&trail; // a window target needs no real window here
    EventTargetRef target = GetWindowEventTarget(fake);
    trail.clear();

    auto press = [&](UInt32 code, UInt32 mods) {
        EventRef e = Make(kEventClassKeyboard, kEventRawKeyDown);
        SetEventParameter(e, kEventParamKeyCode, typeUInt32, 4, &code);
        SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, 4, &mods);
        OSStatus s = SendEventToEventTarget(e, target);
        ReleaseEvent(e);
        return s;
    };
    EXPECT_EQ(eventNotHandledErr, press(kVK_ANSI_T, 0));
    EXPECT_EQ(eventNotHandledErr, press(kVK_ANSI_T, controlKey | shiftKey));
    EXPECT_EQ("", trail);
    EXPECT_EQ(noErr, press(kVK_ANSI_T, controlKey));
    EXPECT_EQ("t", trail);

    // Ctrl+Q reaches the application's standard handler, which ends the loop.
    auto quitSoon = [](EventLoopTimerRef, void *) {
        UInt32 code = kVK_ANSI_Q, mods = controlKey;
        EventRef e = MakeEvent(kEventClassKeyboard, kEventRawKeyDown);
        SetEventParameter(e, kEventParamKeyCode, typeUInt32, 4, &code);
        SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, 4, &mods);
        SendEventToEventTarget(e, GetWindowEventTarget((WindowRef)&trail));
        ReleaseEvent(e);
    };
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.01, 0, quitSoon, nullptr, nullptr);
    SetEventLoopLimit(5);
    RunApplicationEventLoop();
    SetEventLoopLimit(0);
    EXPECT_FALSE(EventLoopTimedOut()) << "Ctrl+Q did not end the loop";
    EXPECT_EQ("tq", trail);
    RemoveEventHandler(h);
    ReleaseWindowTarget(fake);
    SetMenuKeys(nullptr, 0);
}

OSStatus Record(EventHandlerCallRef, EventRef e, void *) {
    trail += std::to_string(GetEventKind(e));
    return noErr;
}

TEST(Queue, HigherPriorityFirstThenInOrder) {
    const EventTypeSpec kinds[] = {
        {kEventClassMouse, 1}, {kEventClassMouse, 2}, {kEventClassMouse, 5}, {kEventClassMouse, 6}};
    EventHandlerRef h;
    InstallEventHandler(GetApplicationEventTarget(), Record, 4, kinds, nullptr, &h);
    trail.clear();
    struct {
        UInt32 kind;
        EventPriority priority;
    } posts[] = {{1, kEventPriorityLow},
                 {2, kEventPriorityStandard},
                 {5, kEventPriorityHigh},
                 {6, kEventPriorityStandard}};
    for (auto p : posts) {
        EventRef e = Make(kEventClassMouse, p.kind);
        ASSERT_EQ(noErr, PostEventToQueue(GetCurrentEventQueue(), e, p.priority));
        ReleaseEvent(e); // the queue keeps its own reference
    }
    InstallEventLoopTimer(
        GetCurrentEventLoop(), 0.0, 0,
        [](EventLoopTimerRef, void *) { QuitApplicationEventLoop(); }, nullptr, nullptr);
    RunApplicationEventLoop();
    EXPECT_EQ("5261", trail);
    RemoveEventHandler(h);
}

int reposts; // how many more times Repost posts its event again

OSStatus Repost(EventHandlerCallRef, EventRef e, void *) {
    trail += std::to_string(GetEventKind(e));
    if (reposts > 0 && reposts--) PostEventToQueue(GetCurrentEventQueue(), e, kEventPriorityHigh);
    return noErr;
}

// A handler that posts an event while the queue is dispatched, as one that keeps a
// repeating task going does: what it posts waits for the next pass, so a due timer still
// fires in between and the loop is never held in one pass.
TEST(Queue, WhatAHandlerPostsWaitsForTheNextPass) {
    EventHandlerRef h;
    InstallEventHandler(GetApplicationEventTarget(), Repost, 1, kMouseDown, nullptr, &h);
    trail.clear();
    reposts = 50;
    EventRef e = Make(kEventClassMouse, kEventMouseDown);
    ASSERT_EQ(noErr, PostEventToQueue(GetCurrentEventQueue(), e, kEventPriorityStandard));
    ReleaseEvent(e);
    auto quit = [](EventLoopTimerRef, void *tag) {
        trail += (const char *)tag;
        QuitApplicationEventLoop();
    };
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0, quit, (void *)"T", nullptr);
    SetEventLoopLimit(5);
    RunApplicationEventLoop();
    EXPECT_FALSE(EventLoopTimedOut());
    EXPECT_EQ("1T", trail);
    // The event posted in that pass is still there for the next loop.
    reposts = 0;
    InstallEventLoopTimer(GetCurrentEventLoop(), 0.0, 0, quit, (void *)"Q", nullptr);
    RunApplicationEventLoop();
    SetEventLoopLimit(0);
    EXPECT_EQ("1T1Q", trail);
    RemoveEventHandler(h);
}

double Now() {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

// The timer test runs the loop in time of its own: a pump that passes exactly the time the
// loop asks it to wait, and a little for each pass, so that no load on the machine changes
// what it sees.
double simulated;
int waitsWhileDue; // waits asked for while a timer was due
double Simulated() {
    return simulated;
}
void SimulatedPump(int waitMillis) {
    double soonest = SoonestTimer();
    if (waitMillis != 0 && soonest >= 0 && soonest <= simulated) waitsWhileDue++;
    simulated += waitMillis > 0 ? waitMillis / 1000.0 : 1e-6;
}

int ticks;
double firstTick, lastTick;
EventLoopTimerRef fast;
const int kTicks = 500;
TEST(Timers, FireAfterTheirDelayThenAsFastAsAskedAndStopWhenRemoved) {
    simulated = 0;
    waitsWhileDue = 0;
    ticks = 0;
    SetLoopClockSource(Simulated);
    SetHostPump(SimulatedPump);
    InstallEventLoopTimer(
        GetCurrentEventLoop(), 0.05, 0.0001,
        [](EventLoopTimerRef, void *) {
            if (ticks++ == 0) firstTick = simulated;
            if (ticks < kTicks) return;
            lastTick = simulated;
            QuitApplicationEventLoop();
        },
        nullptr, &fast);
    SetEventLoopLimit(5);
    RunApplicationEventLoop();
    EXPECT_FALSE(EventLoopTimedOut());
    EXPECT_GE(firstTick, 0.05);
    EXPECT_GE(lastTick - firstTick, 499 * 0.0001);
    // The loop never sleeps while a timer is due: a 0.1 ms interval fires as fast as the loop
    // allows.
    EXPECT_EQ(0, waitsWhileDue);
    EXPECT_EQ(noErr, RemoveEventLoopTimer(fast));
    InstallEventLoopTimer(
        GetCurrentEventLoop(), 0.02, 0,
        [](EventLoopTimerRef, void *) { QuitApplicationEventLoop(); }, nullptr, nullptr);
    RunApplicationEventLoop();
    SetEventLoopLimit(0);
    SetHostPump(nullptr);
    SetLoopClockSource(nullptr);
    EXPECT_EQ(kTicks, ticks);
    EXPECT_EQ(paramErr, RemoveEventLoopTimer(fast));
}

// Timers due in an order other than the one they were installed in: the loop waits for the
// soonest, so each fires on time, however much later the others are due.
struct Shot {
    double due, firedAt;
};
int shotsLeft;
TEST(Timers, EachFiresOnTimeWhateverTheOrderOfInstalling) {
    simulated = 0;
    SetLoopClockSource(Simulated);
    SetHostPump(SimulatedPump);
    // Static: a timer that never fired would outlive the test.
    static Shot shots[] = {{0.3, -1}, {0.05, -1}, {0.2, -1}, {0.12, -1}, {0.01, -1}};
    shotsLeft = 5;
    for (Shot &s : shots)
        InstallEventLoopTimer(
            GetCurrentEventLoop(), s.due, 0,
            [](EventLoopTimerRef, void *shot) {
                ((Shot *)shot)->firedAt = simulated;
                if (--shotsLeft == 0) QuitApplicationEventLoop();
            },
            &s, nullptr);
    SetEventLoopLimit(5);
    RunApplicationEventLoop();
    SetEventLoopLimit(0);
    SetHostPump(nullptr);
    SetLoopClockSource(nullptr);
    EXPECT_FALSE(EventLoopTimedOut());
    for (const Shot &s : shots) {
        EXPECT_GE(s.firedAt, s.due) << s.due;
        EXPECT_LT(s.firedAt, s.due + 0.002) << s.due; // the loop waits whole milliseconds
    }
}

} // namespace
