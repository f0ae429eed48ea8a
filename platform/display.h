// The main display: display 0 in its desktop mode.
#pragma once

#include "platform/types.h"

typedef UInt32 CGDirectDisplayID;
typedef struct GDevice **GDHandle;

CGDirectDisplayID CGMainDisplayID(void);
// Bits per pixel, width and height of the display's current mode (0 when unknown).
SInt32 CGDisplayBitsPerPixel(CGDirectDisplayID display);
SInt32 CGDisplayPixelsWide(CGDirectDisplayID display);
SInt32 CGDisplayPixelsHigh(CGDirectDisplayID display);

// The main graphics device: never null while the video system can be started.
GDHandle GetMainDevice(void);
