// Text for cairo, which gives up on a whole drawing at the first string that is not valid
// UTF-8 as it judges it. Names of files and renderers can hold any bytes.
#pragma once

#include <stddef.h>
#include <stdint.h>
#include <string>

// s as UTF-8 that cairo takes, of at most maxBytes bytes: a byte that starts no valid
// character becomes U+FFFD, and the text ends before a character that would not fit whole.
// Valid means what cairo means: no overlong form, surrogate, noncharacter (U+FDD0 to U+FDEF,
// U+xFFFE, U+xFFFF) or code beyond U+10FFFF.
std::string ValidUtf8(const char *s, size_t maxBytes = SIZE_MAX);
