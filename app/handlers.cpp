#include "app/handlers.h"

#include "app/dock.h"
#include "app/startup.h"
#include "bench/state.h"
#include "bench/testrun.h"
#include "gfx/context.h"
#include "platform/quickdraw.h"

static void GrowGrid(void) {
    numCubes++;
}

static void ShrinkGrid(void) {
    if (numCubes > 1) numCubes--;
}

// Takes the event's window, when it names one, as the main window.
static void StoreWindow(EventRef event, EventParamName name) {
    WindowRef named = NULL;
    if (GetEventParameter(event, name, typeWindowRef, NULL, sizeof named, NULL, &named) == noErr &&
        named)
        window = named;
}

static OSStatus KeyEvent(EventHandlerCallRef next, EventRef event) {
    UInt32 kind = GetEventKind(event);
    if (kind != kEventRawKeyDown && kind != kEventRawKeyRepeat) return eventNotHandledErr;
    OSStatus status = CallNextEventHandler(next, event);
    if (status != eventNotHandledErr) return status;

    // A key code that cannot be read is no key.
    UInt32 key = 0xffffffff;
    GetEventParameter(event, kEventParamKeyCode, typeUInt32, NULL, sizeof key, NULL, &key);
    if (key == kVK_Escape)
        EndTest();
    else if (key == kVK_DownArrow)
        ShrinkGrid();
    else if (key == kVK_UpArrow)
        GrowGrid();
    return eventNotHandledErr;
}

static OSStatus WindowEvent(EventRef event) {
    StoreWindow(event, kEventParamDirectObject);
    switch (GetEventKind(event)) {
    case kEventWindowShown:
        if (FrontWindow() == window) SetUserFocusWindow(window);
        break;
    case kEventWindowBoundsChanged:
        ResizeGL();
        break;
    case kEventWindowClose:
        QuitApplicationEventLoop();
        break;
    case kEventWindowCollapsing:
        MinimizeToDock();
        return UpdateCollapsedWindowDockTile(window);
    }
    return eventNotHandledErr;
}

OSStatus windowEventHandler(EventHandlerCallRef next, EventRef event, void *) {
    switch (GetEventClass(event)) {
    case kEventClassKeyboard:
        return KeyEvent(next, event);
    case kEventClassWindow:
        return WindowEvent(event);
    }
    return eventNotHandledErr;
}

static OSStatus CommandEvent(EventRef event) {
    // A command that cannot be read is no command.
    HICommand command = {};
    OSStatus read = GetEventParameter(event, kEventParamDirectObject, typeHICommand, NULL,
                                      sizeof command, NULL, &command);
    switch (GetEventKind(event)) {
    case kEventCommandProcess:
        if (read == noErr && command.commandID == kCommandTest) StartTest();
        return eventNotHandledErr;
    case kEventCommandUpdateStatus:
        return noErr;
    }
    return eventNotHandledErr;
}

static OSStatus MouseEvent(EventHandlerCallRef next, EventRef event) {
    StoreWindow(event, kEventParamWindowRef);
    OSStatus status = CallNextEventHandler(next, event);
    if (status != eventNotHandledErr) return status;

    switch (GetEventKind(event)) {
    case kEventMouseDown:
        EndTest();
        break;
    case kEventMouseWheelMoved: {
        SInt32 delta = 0;
        GetEventParameter(event, kEventParamMouseWheelDelta, typeLongInteger, NULL, sizeof delta,
                          NULL, &delta);
        if (delta > 0)
            ShrinkGrid();
        else if (delta < 0)
            GrowGrid();
        break;
    }
    }
    return eventNotHandledErr;
}

OSStatus appEventHandler(EventHandlerCallRef next, EventRef event, void *) {
    switch (GetEventClass(event)) {
    case kEventClassCommand:
        return CommandEvent(event);
    case kEventClassMouse:
        return MouseEvent(next, event);
    }
    return eventNotHandledErr;
}
