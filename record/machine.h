// The machine a result was measured on, as Linux describes it.
#pragma once

#include "record/model.h"

// Fills the machine fields of setting: the CPU model from cpuinfo (a /proc/cpuinfo-like
// file), the logical cores online, the memory and the kernel release.
void ReadMachine(ResultSetting *setting, const char *cpuinfo);
