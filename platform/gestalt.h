// Facts about the machine, asked by four-character selector.
#pragma once

#include "platform/types.h"

enum {
    gestaltNativeCPUfamily = FourCC('c', 'p', 'u', 'f'), // processor family code
    gestaltNativeCPUtype = FourCC('c', 'p', 'u', 't'),   // processor model code
};

// noErr with the answer in *response; gestaltUndefSelectorErr where the host cannot tell.
OSErr Gestalt(OSType selector, SInt32 *response);
