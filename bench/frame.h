// One frame: the sphere grid, the text overlay, the swap and the accounting.
#pragma once

extern const char kScreenshotName[]; // "Kelvane result.tga", beside the bundle

// Draws one frame while the scene is ready; does nothing at all otherwise.
void Render(void);
