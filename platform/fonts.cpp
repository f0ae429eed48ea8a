#include "platform/fonts.h"
#include "platform/fonts_internal.h"

#include <fontconfig/fontconfig.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>

// Family numbers index the names asked for so far. Number 0 is the generic sans face:
// what an empty name, or any name once the table is full, stands for.
enum { kMaxFamilies = 32 };
static char familyNames[kMaxFamilies][256] = {"sans-serif"};
static int familyCount = 1;

void GetFNum(ConstStr255Param name, SInt16 *familyID) {
    if (!familyID) return;
    *familyID = 0;
    if (!name || !name[0]) return;
    char wanted[256];
    memcpy(wanted, name + 1, name[0]);
    wanted[name[0]] = '\0';
    // Family names are told apart without regard to case, as fontconfig does.
    for (int i = 0; i < familyCount; i++)
        if (strcasecmp(familyNames[i], wanted) == 0) {
            *familyID = (SInt16)i;
            return;
        }
    if (familyCount == kMaxFamilies) return;
    memcpy(familyNames[familyCount], wanted, sizeof wanted);
    *familyID = (SInt16)familyCount++;
}

bool FindFontFile(SInt16 familyID, bool bold, FontFile *out) {
    if (familyID < 0 || familyID >= familyCount || !out) return false;
    FcPattern *pattern = FcPatternCreate();
    if (!pattern) return false;
    // Listing the generic family after the name makes a name that is not installed fall
    // to the best sans face rather than to whatever fontconfig would rank first.
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8 *)familyNames[familyID]);
    FcPatternAddString(pattern, FC_FAMILY, (const FcChar8 *)"sans-serif");
    FcPatternAddInteger(pattern, FC_WEIGHT, bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result;
    FcPattern *match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8 *file = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file &&
                 strlen((const char *)file) < sizeof out->path;
    if (found) {
        snprintf(out->path, sizeof out->path, "%s", (const char *)file);
        int index = 0;
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        out->index = index;
        // fontconfig's own rules set this when bold was asked for and only a lighter face
        // matched.
        FcBool embolden = FcFalse;
        FcPatternGetBool(match, FC_EMBOLDEN, 0, &embolden);
        out->embolden = embolden == FcTrue;
    }
    FcPatternDestroy(match);
    return found;
}
