// Virtual key codes of the ANSI layout, as the program's key handling expects them.
#pragma once

#include "platform/types.h"

enum { kNoKeyCode = 0xffffffffu };

// The code of a letter (either case) or digit; kNoKeyCode for anything else.
UInt32 KeyCodeForCharacter(char c);
