// Borrowing a GL context for work done on its behalf (fonts, swap interval) without the
// caller's current context changing under it.
#pragma once

#include "platform/agl.h"

// Makes ctx current if it is not already; *previous receives what to give back. False
// when ctx is not a live context or cannot be made current.
bool AGLBorrow(AGLContext ctx, AGLContext *previous);
void AGLGiveBack(AGLContext ctx, AGLContext previous);
