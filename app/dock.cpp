#include "app/dock.h"

#include "app/startup.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "image/pixbuf.h"
#include "platform/quickdraw.h"

#include <GL/gl.h>

void MinimizeToDock(void) {
    if (!running) return;
    Rect r;
    GetWindowPortBounds(window, &r);
    int width = r.right - r.left;
    int height = r.bottom - r.top;
    if (width <= 0 || height <= 0) return;
    Rect b = {0, 0, (SInt16)height, (SInt16)width};
    long rowBytes = (long)width * 4;

    Ptr buffer = NewPtr(rowBytes * height);
    if (!buffer) return;
    aglSetCurrentContext(aglContext);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, buffer);
    util_flip((unsigned char *)buffer, width, height, 4);

    GWorldPtr world = NULL;
    if (NewGWorldFromPtr(&world, k32ARGBPixelFormat, &b, NULL, NULL, 0, buffer, rowBytes) !=
        noErr) {
        DisposePtr(buffer);
        return;
    }
    SetPort(GetWindowPort(window));
    CopyBits(GetPortBitMapForCopyBits(world), GetPortBitMapForCopyBits(GetWindowPort(window)), &b,
             &r, srcCopy, NULL);
    DisposeGWorld(world);
    DisposePtr(buffer);
}
