// Offscreen pictures over a caller's buffer, copies into window ports, the Dock tile.
#pragma once

#include "platform/types.h"
#include "platform/window.h"

typedef char *Ptr;
typedef CGrafPtr GWorldPtr; // an offscreen world is a port of its own
typedef struct OpaqueBitMap BitMap;
typedef struct OpaqueCTab **CTabHandle;
typedef struct OpaqueRgn **RgnHandle;
typedef struct GDevice **GDHandle;
typedef UInt32 GWorldFlags;
enum { k32ARGBPixelFormat = 32, srcCopy = 0 };

Ptr NewPtr(long size); // null when it cannot be had
void DisposePtr(Ptr p);

// An offscreen picture over buffer: 32-bit words of alpha, red, green, blue from the
// most significant byte down, rows of rowBytes, top row first.
OSStatus NewGWorldFromPtr(GWorldPtr *offscreen, UInt32 pixelFormat, const Rect *bounds,
                          CTabHandle table, GDHandle device, GWorldFlags flags, Ptr buffer,
                          long rowBytes);
void DisposeGWorld(GWorldPtr world);
const BitMap *GetPortBitMapForCopyBits(CGrafPtr port);
// Copies srcRect of src into dstRect of dst (same size; srcCopy only).
void CopyBits(const BitMap *src, const BitMap *dst, const Rect *srcRect, const Rect *dstRect,
              SInt16 mode, RgnHandle mask);

// The window's icon (taskbar, dock, switcher) becomes a copy of its port.
OSStatus UpdateCollapsedWindowDockTile(WindowRef window);
