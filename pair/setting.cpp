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
        // As a shell takes it: the last assignment to a name is the one that holds.
        std::string name = word.substr(0, word.find('=') + 1);
        for (size_t i = side->env.size(); i-- > 0;)
            if (side->env[i].compare(0, name.size(), name) == 0)
                side->env.erase(side->env.begin() + (long)i);
        side->env.push_back(word);
    }
    return 1;
}

// The variables that choose the renderer, its library, or what version it says it is.
static bool ChoosesRenderer(const std::string &name) {
    static const char *const exact[] = {"GALLIUM_DRIVER",
                                        "MESA_LOADER_DRIVER_OVERRIDE",
                                        "LIBGL_ALWAYS_SOFTWARE",
                                        "LIBGL_DRIVERS_PATH",
                                        "LD_LIBRARY_PATH",
                                        "__GLX_VENDOR_LIBRARY_NAME",
                                        "__EGL_VENDOR_LIBRARY_FILENAMES",
                                        "__EGL_VENDOR_LIBRARY_DIRS",
                                        "DRI_PRIME",
                                        "MESA_GL_VERSION_OVERRIDE",
                                        "MESA_VK_DEVICE_SELECT",
                                        "VK_ICD_FILENAMES",
                                        "VK_DRIVER_FILES",
                                        "__NV_PRIME_RENDER_OFFLOAD"};
    for (const char *e : exact)
        if (name == e) return true;
    return false;
}

// A variable's value in a side, or null where the side does not set it.
static const std::string *Value(const PairSide &side, const std::string &name) {
    for (const std::string &a : side.env)
        if (a.compare(0, name.size() + 1, name + "=") == 0) return &a;
    return nullptr;
}

bool SettingsNameRenderers(const PairSide &a, const PairSide &b) {
    if (a.device != b.device) return true;
    for (const PairSide *side : {&a, &b})
        for (const std::string &assignment : side->env) {
            std::string name = assignment.substr(0, assignment.find('='));
            const std::string *x = Value(a, name), *y = Value(b, name);
            if (ChoosesRenderer(name) && (!x || !y || *x != *y)) return true;
        }
    return false;
}
