// Clocks and memory figures for the benchmarks.
#pragma once

double NowSeconds(void);
// A "kB" field of /proc/self/status, such as "VmRSS" (resident) or "VmHWM" (peak
// resident), in KiB; -1 when it cannot be read.
long StatusKiB(const char *field);
