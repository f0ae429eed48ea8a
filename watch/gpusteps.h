// The GPU watched through a test: a look at its files every kGpuLookSeconds, taken after a
// frame (never inside one), gathered per measured window into a step's figures. With no
// GPU to watch (a software renderer) it costs a comparison a frame.
#pragma once

#include "record/model.h"
#include "watch/gpu.h"

// Looks a second holds: the clock moves in tens of milliseconds, and each look reads a
// dozen small files (tens of microseconds: perf/ shows it costs the frame loop nothing).
constexpr double kGpuLookSeconds = 0.1;
// Looks one window keeps; a window is a second, or one frame when frames are slower.
enum { kGpuLooksPerWindow = 64 };

// From the frame timer's action, after Render has returned: takes a look when one is due,
// and, when the frame closed a window of a test, the window's looks become its step's
// figures when it was a measured one. Steps past kTimedStepsMax have no figures.
void WatchGpuAfterFrame(void);

// The step-th logged step's (0 first) figures of the test recorded last; known false when
// there are none.
ResultGpu GpuOfStep(int step);

// A window's looks (n of them) as a step's figures: the median and lowest clock, the mean
// busy share and power, the hottest sensor with its critical level, the reasons seen. A
// figure no look had is -1; known is false without a look.
ResultGpu GpuFigures(const GpuSample *looks, int n);
