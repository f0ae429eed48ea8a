// Shared by the benchmarks: an offscreen main window and a clock.
#pragma once

#include "perf/measure.h"

// Selects SDL's offscreen driver, creates a w × h main window and points the resource
// folder at the source tree's resources/. Returns false when no window can be made.
bool OpenPerfWindow(int width, int height);
