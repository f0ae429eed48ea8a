// Facts about the machine, asked by four-character selector.
#pragma once

#include "platform/types.h"

enum {
    gestaltNativeCPUfamily = FourCC('c', 'p', 'u', 'f'), // processor family code
    gestaltNativeCPUtype = FourCC('c', 'p', 'u', 't'),   // processor model code
};

// noErr with the answer in *response; gestaltUndefSelectorErr where the host cannot tell.
OSErr Gestalt(OSType selector, SInt32 *response);

// Family and model as an x86 processor's signature (CPUID leaf 1's EAX) spells them,
// extended fields included: family 0xf plus the extended family, as 0x1a is.
void DecodeCpuSignature(UInt32 eax, UInt32 *family, UInt32 *model);
