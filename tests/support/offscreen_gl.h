// A GL context for tests: SDL's offscreen video driver, rendered by Mesa.
#pragma once

// Opens a hidden width × height double-buffered window with a current context.
bool OpenOffscreenGL(int width, int height);
void CloseOffscreenGL(void);
