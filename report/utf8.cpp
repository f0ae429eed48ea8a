#include "report/utf8.h"

#include <string.h>

static const char kReplacement[] = "\xef\xbf\xbd"; // U+FFFD

static bool Allowed(uint32_t c) {
    return c <= 0x10ffff && (c < 0xd800 || c > 0xdfff) && (c < 0xfdd0 || c > 0xfdef) &&
           (c & 0xfffe) != 0xfffe;
}

// The length of the valid character at s, or 0 when s starts none.
static size_t CharacterLength(const unsigned char *s) {
    size_t n;
    uint32_t c, least;
    if (s[0] < 0x80) return 1;
    if (s[0] >= 0xc0 && s[0] < 0xe0) {
        n = 2, c = s[0] & 0x1f, least = 0x80;
    } else if (s[0] >= 0xe0 && s[0] < 0xf0) {
        n = 3, c = s[0] & 0x0f, least = 0x800;
    } else if (s[0] >= 0xf0 && s[0] < 0xf8) {
        n = 4, c = s[0] & 0x07, least = 0x10000;
    } else {
        return 0;
    }
    // A NUL ends the string and is no continuation byte, so this stops at the end.
    for (size_t i = 1; i < n; i++) {
        if ((s[i] & 0xc0) != 0x80) return 0;
        c = c << 6 | (s[i] & 0x3f);
    }
    return c >= least && Allowed(c) ? n : 0;
}

std::string ValidUtf8(const char *s, size_t maxBytes) {
    std::string out;
    const unsigned char *p = (const unsigned char *)s;
    while (*p) {
        size_t n = CharacterLength(p);
        const char *piece = n ? (const char *)p : kReplacement;
        size_t size = n ? n : strlen(kReplacement);
        if (size > maxBytes - out.size()) break;
        out.append(piece, size);
        p += n ? n : 1;
    }
    return out;
}
