#include "pair/pair.h"

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <sstream>

// A variable's name: a letter or underscore, then letters, digits and underscores.
static bool NameOk(const std::string &word, size_t eq) {
    if (eq == 0 || eq == std::string::npos) return false;
    if (!(isalpha((unsigned char)word[0]) || word[0] == '_')) return false;
    for (size_t i = 1; i < eq; i++)
        if (!(isalnum((unsigned char)word[i]) || word[i] == '_')) return false;
    return true;
}

static bool DeviceOk(const std::string &s, int *device) {
    if (s.empty() || s.size() > 4 || s.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *device = atoi(s.c_str());
    return *device <= 1024;
}

int ParseSideSetting(const char *text, PairSide *side, std::string *why) {
    *side = PairSide{};
    side->device = -1;
    side->setting = text ? text : "";
    if (side->setting == "-") return 1;
    std::istringstream words(side->setting);
    std::string word;
    while (words >> word) {
        if (word == "--device" || word.compare(0, 9, "--device=") == 0) {
            std::string n = word.size() > 8 ? word.substr(9) : "";
            if (word == "--device" && !(words >> n)) n = "";
            if (side->device >= 0) {
                *why = "--device given twice";
                return 0;
            }
            if (!DeviceOk(n, &side->device)) {
                *why = "--device wants an EGL device number from 0";
                return 0;
            }
            continue;
        }
        if (!NameOk(word, word.find('='))) {
            *why = "cannot read \"" + word + "\": give NAME=VALUE assignments and --device N";
            return 0;
        }
        side->env.push_back(word);
    }
    return 1;
}
