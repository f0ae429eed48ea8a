// The one GL context: in the main window, or covering the main display during a test.
#pragma once

#include "platform/agl.h"
#include "platform/types.h"

extern AGLContext aglContext;    // null when there is none
extern AGLPixelFormat aglPixFmt; // non-null only during a set-up or after a failed one
extern Point resolution;         // drawable size: v height, h width
extern SInt32 bpp;               // bits per pixel of the main display
extern UInt32 fontList;          // 256 lists of the 12-pixel plain font; 0 = none
extern UInt32 bigFontList;       // 256 lists of the 24-pixel bold font; 0 = none

// The renderer's identification from the last successful set-up, as our own bounded
// copies; null before the first one. They outlive the context that supplied them.
enum { kRendererStringSize = 256 };
extern const char *gl_vendor;
extern const char *gl_renderer;
extern const char *gl_version;

// The alert texts of a failed set-up.
extern const char kInitAlertTitle[];
extern const char kNoPixelFormatText[];
extern const char kNoContextText[];
extern const char kNoFullScreenText[];

// Creates the context in the mode `fullscreen` selects, sets the fixed render state and
// builds the fonts. Returns 1 when ready; 0 after a failure, which may leave the pixel
// format and context behind for the next teardown.
int StartOpenGL(void);
// Applies test_swap as the context's swap interval.
void SetSync(void);
// Waits until every command given so far is done: a measured span ends with its own work.
void FinishGL(void);
// Follows the drawable's size with viewport and projection.
void ResizeGL(void);
// The projection of a width × height drawable, the modelview reset and selected: what
// ResizeGL programs, for the validation frames too.
void SetProjection(int width, int height);
