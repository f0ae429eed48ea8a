// Starting SDL's video subsystem and making GL-capable windows: shared by windows, the
// display queries and the GL contexts, which may each be the first to need video.
#pragma once

struct SDL_Window;

// Makes the event loop translate SDL's input (platform/input.cpp).
void InstallHostPump(void);

// Starts video once, on first need; later calls only report whether it runs.
bool StartVideo(void);

// A window GL can draw into, created with the pixel format every context uses; flags
// are added to SDL_WINDOW_OPENGL. Null when video cannot start or SDL refuses.
SDL_Window *CreateGLWindow(const char *title, int x, int y, int w, int h, unsigned flags);

// The main display's desktop mode as last seen. SDL tells of displays coming and going but
// not of a change of size or depth, so the event pump compares the mode now and then:
// NoteDisplayMode takes it as it is; CheckDisplayMode sends the display notification when
// it has changed since (and takes the new one). Both cost one copy of SDL's cached mode.
void NoteDisplayMode(void);
void CheckDisplayMode(void);
