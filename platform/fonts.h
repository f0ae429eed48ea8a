// Font families, found through fontconfig.
#pragma once

#include "platform/types.h"

// The family number for a name given as a length-prefixed string. A name that is not
// installed stands for the best sans-serif face available ("Geneva" normally does).
void GetFNum(ConstStr255Param name, SInt16 *familyID);
