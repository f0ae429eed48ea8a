// The picture of a window about to collapse.
#pragma once

// Copies what the GL context shows into the main window's port, upright, so that the
// Dock tile made from the port shows the spheres. Nothing without a ready scene.
void MinimizeToDock(void);
