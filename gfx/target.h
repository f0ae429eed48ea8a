// A drawing target of a fixed size, apart from the window: a framebuffer object with
// 8-bit colour and a 16-bit depth buffer like the window's. Lives in the current context.
#pragma once

extern unsigned frameTarget;           // the framebuffer object; 0 when there is none
extern int frameTargetW, frameTargetH; // its size in pixels

// Creates the target and directs drawing and reading to it. Non-zero on success; on a
// failure nothing is left behind and drawing goes to the window as before.
int OpenFrameTarget(int width, int height);
// Releases the target and directs drawing back to the window. Safe without one.
void CloseFrameTarget(void);
// Reads the target's pixels: width × height × 3 bytes of red, green, blue, bottom row first.
void ReadFrameTarget(unsigned char *rgb);
