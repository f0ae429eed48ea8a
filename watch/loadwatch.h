// Watching the machine during a test: the CPU counters read once per frame-rate window,
// after the frame that closed it, never inside a frame; and a look at the machine before a
// test starts.
#pragma once

#include "watch/interference.h"

#include <stdio.h>

// Reads /proc/stat and /proc/self/stat. Non-zero on success.
int ReadCpuSnapshot(CpuSnapshot *s);

// From the frame timer's action, after Render has returned: when the frame closed a window
// of a test, reads the counters; when that window was a measured one (a logged step), keeps
// what others took during it. Costs a comparison on any other frame. The window that ends
// a test is read after the test has rebuilt the window's scene (a tenth to a third of a
// second here): this process's own time, which thins others' share of that step a little
// and never adds to it. Steps past kTimedStepsMax have no figures.
void WatchLoadAfterFrame(void);

// What others took during the step-th logged step (0 first) of the test recorded last.
// 0 when there are no figures for it (out is then all zero).
int LoadOfStep(int step, CpuShare *out);

// Looks at the machine for `seconds` (this process idle) and says on out when others and
// steal already take a noticeable share. Returns what they took; total 0 when the counters
// could not be read.
CpuShare GlanceAtMachine(double seconds, FILE *out);
// The same look, begun before work of this process's own (building the scene, validating
// the renderer: its threads are not others') and ended once at least `seconds` have passed
// since it began, so that the look costs the start of a test nothing it does not need.
void BeginGlance(void);
CpuShare EndGlance(double seconds, FILE *out);
