#include "platform/quickdraw.h"

#include "platform/events.h"
#include "platform/port_internal.h"

#include <SDL.h>
#include <stdlib.h>
#include <string.h>

Ptr NewPtr(long size) {
    return size < 0 ? NULL : (Ptr)malloc(size ? (size_t)size : 1);
}
void DisposePtr(Ptr p) {
    free(p);
}

// An offscreen world is a port without a window whose pixels are the caller's.
OSStatus NewGWorldFromPtr(GWorldPtr *offscreen, UInt32 pixelFormat, const Rect *bounds, CTabHandle,
                          GDHandle, GWorldFlags, Ptr buffer, long rowBytes) {
    if (!offscreen) return paramErr;
    *offscreen = NULL;
    if (pixelFormat != k32ARGBPixelFormat || !bounds || !buffer) return paramErr;
    long width = bounds->right - bounds->left, height = bounds->bottom - bounds->top;
    if (width <= 0 || height <= 0 || rowBytes < width * 4) return paramErr;
    GWorldPtr world = (GWorldPtr)calloc(1, sizeof *world);
    if (!world) return memFullErr;
    world->pixels = (UInt8 *)buffer;
    world->width = (SInt32)width;
    world->height = (SInt32)height;
    world->rowBytes = (SInt32)rowBytes;
    *offscreen = world;
    return noErr;
}

void DisposeGWorld(GWorldPtr world) {
    if (world && !world->window) free(world);
}

const BitMap *GetPortBitMapForCopyBits(CGrafPtr port) {
    return (const BitMap *)port;
}

// The part of r that lies inside the port; false when nothing does.
static bool Inside(CGrafPtr port, const Rect *r, Rect *out) {
    *out = *r;
    if (out->left < 0) out->left = 0;
    if (out->top < 0) out->top = 0;
    if (out->right > port->width) out->right = (SInt16)port->width;
    if (out->bottom > port->height) out->bottom = (SInt16)port->height;
    return out->left < out->right && out->top < out->bottom;
}

void CopyBits(const BitMap *srcBits, const BitMap *dstBits, const Rect *srcRect,
              const Rect *dstRect, SInt16 mode, RgnHandle) {
    CGrafPtr src = (CGrafPtr)srcBits, dst = (CGrafPtr)dstBits;
    if (!src || !dst || !srcRect || !dstRect || mode != srcCopy) return;
    if (src->window) SyncPort(src);
    if (dst->window) SyncPort(dst);
    if (!src->pixels || !dst->pixels) return;
    // One to one: the destination takes the source rectangle's size at its own corner.
    Rect s, d;
    if (!Inside(src, srcRect, &s)) return;
    Rect want = {dstRect->top, dstRect->left, (SInt16)(dstRect->top + (s.bottom - s.top)),
                 (SInt16)(dstRect->left + (s.right - s.left))};
    if (!Inside(dst, &want, &d)) return;
    int rows = d.bottom - d.top, bytes = (d.right - d.left) * 4;
    int sx = s.left + (d.left - want.left), sy = s.top + (d.top - want.top);
    for (int y = 0; y < rows; y++)
        memmove(dst->pixels + (size_t)(d.top + y) * dst->rowBytes + (size_t)d.left * 4,
                src->pixels + (size_t)(sy + y) * src->rowBytes + (size_t)sx * 4, (size_t)bytes);
}

enum { kIconSide = 128 };

OSStatus UpdateCollapsedWindowDockTile(WindowRef window) {
    if (!IsValidWindowPtr(window)) return paramErr;
    CGrafPtr port = GetWindowPort(window);
    if (!port || !port->pixels) return noErr; // nothing to show yet
    SDL_Surface *picture = SDL_CreateRGBSurfaceWithFormatFrom(
        port->pixels, port->width, port->height, 32, port->rowBytes, SDL_PIXELFORMAT_ARGB8888);
    // Opaque: the GL picture's alpha is whatever the clear colour left there.
    SDL_Surface *icon =
        SDL_CreateRGBSurfaceWithFormat(0, kIconSide, kIconSide, 32, SDL_PIXELFORMAT_RGB888);
    OSStatus status = memFullErr;
    if (picture && icon) {
        SDL_SetSurfaceBlendMode(picture, SDL_BLENDMODE_NONE);
        if (SDL_BlitScaled(picture, NULL, icon, NULL) == 0) {
            SDL_SetWindowIcon(window->sdl, icon);
            status = noErr;
        }
    }
    SDL_FreeSurface(icon);
    SDL_FreeSurface(picture);
    return status;
}
