// Windows and their ports. A port is the window's own CPU picture, the size of the
// window's drawable in pixels; its bounds are (0, 0, height, width).
#pragma once

#include "platform/types.h"

typedef struct OpaqueWindowPtr *WindowRef;
typedef struct OpaqueGrafPort *CGrafPtr;
typedef CGrafPtr GrafPtr;

typedef UInt32 WindowClass;
typedef UInt32 WindowAttributes;
enum { kDocumentWindowClass = 6 };
enum {
    kWindowNoAttributes = 0,
    kWindowCloseBoxAttribute = 1u << 0,
    kWindowCollapseBoxAttribute = 1u << 3,
    kWindowResizableAttribute = 1u << 4,
    kWindowStandardHandlerAttribute = 1u << 25,
};

// Creates a hidden window whose content is bounds' size (right − left by bottom − top).
OSStatus CreateNewWindow(WindowClass windowClass, WindowAttributes attributes, const Rect *bounds,
                         WindowRef *outWindow);
void DisposeWindow(WindowRef window);
// True while window names a window that has not been disposed of.
Boolean IsValidWindowPtr(WindowRef window);
void ShowWindow(WindowRef window);
void HideWindow(WindowRef window);
// Resizes the window's content area (width, height in pixels).
void SizeWindow(WindowRef window, SInt16 width, SInt16 height, Boolean update);
void SetWindowTitle(WindowRef window, const char *title);
// The smallest content size the user may give the window.
void SetWindowMinimumSize(WindowRef window, SInt16 width, SInt16 height);

CGrafPtr GetWindowPort(WindowRef window);
// The port's bounds in drawable pixels: (0, 0, height, width). Returns bounds.
Rect *GetWindowPortBounds(WindowRef window, Rect *bounds);
void SetPort(GrafPtr port);
void GetPort(GrafPtr *port);
// The window a port belongs to.
WindowRef GetWindowFromPort(CGrafPtr port);

WindowRef FrontWindow(void);
OSStatus SetUserFocusWindow(WindowRef window);
