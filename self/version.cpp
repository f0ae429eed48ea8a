#include "self/version.h"

const char kVersion[] = KELVANE_VERSION;
