#include "app/version.h"

const char kVersion[] = KELVANE_VERSION;
