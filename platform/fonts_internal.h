// From a family number to the font file that draws it.
#pragma once

#include "platform/types.h"

#include <stddef.h>

struct FontFile {
    char path[1024];
    int index;     // face within the file
    bool embolden; // no bold face installed: bold must be made from the plain one
};

// The file fontconfig picks for a family number GetFNum gave out, plain or bold. False for
// any other number, or when fontconfig has nothing at all.
bool FindFontFile(SInt16 familyID, bool bold, FontFile *out);
