// Host input into toolbox events: keys, the mouse, window changes and display changes.
#include "platform/events_internal.h"
#include "platform/keycodes.h"
#include "platform/port_internal.h"
#include "platform/video_internal.h"

#include <SDL.h>

// Mac virtual key codes for the keys that are not letters or digits.
static UInt32 KeyCode(SDL_Scancode sc) {
    switch (sc) {
    case SDL_SCANCODE_ESCAPE:
        return kVK_Escape;
    case SDL_SCANCODE_LEFT:
        return kVK_LeftArrow;
    case SDL_SCANCODE_RIGHT:
        return kVK_RightArrow;
    case SDL_SCANCODE_DOWN:
        return kVK_DownArrow;
    case SDL_SCANCODE_UP:
        return kVK_UpArrow;
    case SDL_SCANCODE_RETURN:
        return 0x24;
    case SDL_SCANCODE_TAB:
        return 0x30;
    case SDL_SCANCODE_SPACE:
        return 0x31;
    case SDL_SCANCODE_BACKSPACE:
        return 0x33;
    default:
        break;
    }
    if (sc >= SDL_SCANCODE_A && sc <= SDL_SCANCODE_Z)
        return KeyCodeForCharacter((char)('a' + (sc - SDL_SCANCODE_A)));
    if (sc >= SDL_SCANCODE_1 && sc <= SDL_SCANCODE_9)
        return KeyCodeForCharacter((char)('1' + (sc - SDL_SCANCODE_1)));
    if (sc == SDL_SCANCODE_0) return KeyCodeForCharacter('0');
    return kNoKeyCode;
}

static UInt32 Modifiers(Uint16 mod) {
    UInt32 m = 0;
    if (mod & KMOD_CTRL) m |= controlKey;
    if (mod & KMOD_SHIFT) m |= shiftKey;
    if (mod & KMOD_ALT) m |= optionKey;
    if (mod & KMOD_GUI) m |= cmdKey;
    return m;
}

// Sends and releases a translated event.
static void Deliver(EventRef e) {
    if (!e) return;
    DispatchEvent(e);
    ReleaseEvent(e);
}

static void Key(const SDL_KeyboardEvent &k) {
    UInt32 code = KeyCode(k.keysym.scancode);
    if (code == kNoKeyCode) return;
    UInt32 kind = k.type == SDL_KEYUP ? kEventRawKeyUp
                  : k.repeat          ? kEventRawKeyRepeat
                                      : kEventRawKeyDown;
    EventRef e = MakeEvent(kEventClassKeyboard, kind);
    if (!e) return;
    // Keys typed on the full-screen surface belong to the main window all the same.
    WindowRef w = WindowFromSDL(k.windowID);
    if (!w) w = FrontWindow();
    UInt32 modifiers = Modifiers(k.keysym.mod);
    SetEventParameter(e, kEventParamKeyCode, typeUInt32, sizeof code, &code);
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    SetEventParameter(e, kEventParamWindowRef, typeWindowRef, sizeof w, &w);
    Deliver(e);
}

// A mouse event for the application; it names its window only when it came from one of
// the program's windows, not from the full-screen surface.
static EventRef MouseEvent(UInt32 kind, Uint32 windowID, int x, int y) {
    EventRef e = MakeEvent(kEventClassMouse, kind);
    if (!e) return NULL;
    WindowRef w = WindowFromSDL(windowID);
    if (w) SetEventParameter(e, kEventParamWindowRef, typeWindowRef, sizeof w, &w);
    HIPoint where = {(float)x, (float)y};
    SetEventParameter(e, kEventParamWindowMouseLocation, typeHIPoint, sizeof where, &where);
    UInt32 modifiers = Modifiers(SDL_GetModState());
    SetEventParameter(e, kEventParamKeyModifiers, typeUInt32, sizeof modifiers, &modifiers);
    return e;
}

static void Button(const SDL_MouseButtonEvent &b) {
    EventRef e = MouseEvent(b.type == SDL_MOUSEBUTTONDOWN ? kEventMouseDown : kEventMouseUp,
                            b.windowID, b.x, b.y);
    EventMouseButton button = b.button;
    if (e) SetEventParameter(e, kEventParamMouseButton, typeMouseButton, sizeof button, &button);
    Deliver(e);
}

static void Motion(const SDL_MouseMotionEvent &m) {
    if (m.state) // only drags; plain moves are not asked for
        Deliver(MouseEvent(kEventMouseDragged, m.windowID, m.x, m.y));
}

static void Wheel(const SDL_MouseWheelEvent &w) {
    // Positive away from the user, whatever the system's scrolling preference.
    SInt32 delta = w.direction == SDL_MOUSEWHEEL_FLIPPED ? -w.y : w.y;
    if (delta == 0) return;
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    EventRef e = MouseEvent(kEventMouseWheelMoved, w.windowID, x, y);
    EventMouseWheelAxis axis = 1; // vertical
    if (e) {
        SetEventParameter(e, kEventParamMouseWheelDelta, typeLongInteger, sizeof delta, &delta);
        SetEventParameter(e, kEventParamMouseWheelAxis, typeMouseWheelAxis, sizeof axis, &axis);
    }
    Deliver(e);
}

static UInt32 WindowKind(Uint8 sdlEvent) {
    switch (sdlEvent) {
    case SDL_WINDOWEVENT_SHOWN:
        return kEventWindowShown;
    case SDL_WINDOWEVENT_SIZE_CHANGED:
        return kEventWindowBoundsChanged;
    case SDL_WINDOWEVENT_MINIMIZED:
        return kEventWindowCollapsing;
    case SDL_WINDOWEVENT_CLOSE:
        return kEventWindowClose;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        return kEventWindowActivated;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        return kEventWindowDeactivated;
    case SDL_WINDOWEVENT_EXPOSED:
        return kEventWindowDrawContent;
    case SDL_WINDOWEVENT_MAXIMIZED:
        return kEventWindowZoomed;
    }
    return 0;
}

static void Window(const SDL_WindowEvent &w) {
    // A new display mode shows first as windows being moved or resized to fit it.
    if (w.event == SDL_WINDOWEVENT_SIZE_CHANGED || w.event == SDL_WINDOWEVENT_RESIZED ||
        w.event == SDL_WINDOWEVENT_MOVED || w.event == SDL_WINDOWEVENT_DISPLAY_CHANGED)
        CheckDisplayMode();
    UInt32 kind = WindowKind(w.event);
    WindowRef window = WindowFromSDL(w.windowID);
    if (!kind || !window) return; // the full-screen surface has no window events of its own
    EventRef e = MakeEvent(kEventClassWindow, kind);
    if (e) SetEventParameter(e, kEventParamDirectObject, typeWindowRef, sizeof window, &window);
    Deliver(e);
}

static void Translate(const SDL_Event &ev) {
    switch (ev.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        Key(ev.key);
        break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        Button(ev.button);
        break;
    case SDL_MOUSEMOTION:
        Motion(ev.motion);
        break;
    case SDL_MOUSEWHEEL:
        Wheel(ev.wheel);
        break;
    case SDL_WINDOWEVENT:
        Window(ev.window);
        break;
    case SDL_DISPLAYEVENT:
        // Orientation, connection and disconnection all count as a new configuration.
        NotifyDisplayChanged();
        NoteDisplayMode();
        break;
    case SDL_QUIT: // an interrupt from the terminal
        QuitApplicationEventLoop();
        break;
    }
}

// How often the display mode is compared when no event has hinted at a change.
static const Uint64 kModeCheckMillis = 250;

// SDL's own blocking wait is not used: while it waits, SDL 2.26 wakes itself for each event
// it queues by sending a message on a second X connection to one of our windows. A test's
// end destroys the full screen on the first connection right after the key that ended it,
// the server may take the two in either order, and a message to a window already gone is an
// X error that Xlib ends the process for. Polling in short slices never sends one.
static const int kWaitSliceMillis = 1;

static int NextEvent(SDL_Event *ev, int timeoutMs) {
    Uint64 until = SDL_GetTicks64() + (Uint64)timeoutMs;
    for (;;) {
        if (SDL_PollEvent(ev)) return 1;
        if (SDL_GetTicks64() >= until) return 0;
        SDL_Delay(kWaitSliceMillis);
    }
}

// Waits only when told it may; a due timer means a wait of 0.
static void PumpHostEvents(int timeoutMs) {
    SDL_Event ev;
    int got = NextEvent(&ev, timeoutMs < 0 ? 250 : timeoutMs);
    while (got) {
        Translate(ev);
        got = SDL_PollEvent(&ev);
    }
    static Uint64 lastCheck;
    Uint64 now = SDL_GetTicks64();
    if (now - lastCheck >= kModeCheckMillis) {
        lastCheck = now;
        CheckDisplayMode();
    }
}

void InstallHostPump(void) {
    SetHostPump(PumpHostEvents);
}
