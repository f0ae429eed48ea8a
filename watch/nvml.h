// NVIDIA's own driver publishes nothing of its GPU's state in sysfs; its management library
// does. It is loaded at run time where the driver installed it, never linked: a machine
// without it builds and runs the same, and says its GPU is not read. The calls and their
// units are those of NVIDIA's "NVML API Reference": the graphics clock and its maximum
// (MHz), the GPU's utilization (per cent), its temperature and the threshold where the
// hardware begins to slow down (degrees), the power drawn (milliwatts), and the reasons the
// clocks are held down.
#pragma once

#include "watch/gpu.h"

// The library loaded: NVIDIA's soname, or the stand-in a test names.
extern const char *gpuNvmlLibrary;

// Loads the library and finds the device on PCI bus busId ("0000:01:00.0"). Non-zero when
// both could be had; the library is let go otherwise.
int OpenNvml(const char *busId);
// One look at that device into s; what a call refuses stays unknown.
void ReadNvml(GpuSample *s);
// Lets the library go, from any state.
void CloseNvml(void);
