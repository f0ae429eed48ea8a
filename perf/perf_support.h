// Shared by the benchmarks: an offscreen main window and a clock.
#pragma once

#include <string>

double NowSeconds(void);
// Resident and peak resident memory of this process, in KiB.
long ResidentKiB(void);
// Selects SDL's offscreen driver, creates a w × h main window and points the resource
// folder at the source tree's resources/. Returns false when no window can be made.
bool OpenPerfWindow(int width, int height);
