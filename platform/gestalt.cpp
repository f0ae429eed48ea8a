#include "platform/gestalt.h"

void DecodeCpuSignature(UInt32 a, UInt32 *family, UInt32 *model) {
    UInt32 baseFamily = a >> 8 & 0xf, baseModel = a >> 4 & 0xf;
    *family = baseFamily == 0xf ? baseFamily + (a >> 20 & 0xff) : baseFamily;
    *model = baseFamily == 0x6 || baseFamily == 0xf ? (a >> 16 & 0xf) << 4 | baseModel : baseModel;
}

#if defined(__i386__) || defined(__x86_64__)
#include <cpuid.h>

static bool CpuSignature(UInt32 *family, UInt32 *model) {
    unsigned a, b, c, d;
    if (!__get_cpuid(1, &a, &b, &c, &d)) return false;
    DecodeCpuSignature(a, family, model);
    return true;
}
#else
static bool CpuSignature(UInt32 *, UInt32 *) {
    return false;
}
#endif

OSErr Gestalt(OSType selector, SInt32 *response) {
    UInt32 family, model;
    if ((selector != gestaltNativeCPUfamily && selector != gestaltNativeCPUtype) || !response ||
        !CpuSignature(&family, &model))
        return gestaltUndefSelectorErr;
    *response = (SInt32)(selector == gestaltNativeCPUfamily ? family : model);
    return noErr;
}
