// The program's version, from the build (CMake's project version).
#pragma once

extern const char kVersion[];
