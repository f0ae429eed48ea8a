#include "record/environment.h"

#include <iterator>
#include <string.h>

enum { kNameMost = 255 };

// Whole families: Mesa, its Gallium drivers, the GL libraries, NVIDIA's driver, the Vulkan
// loader and layers under zink, zink itself.
static const char *const kPrefixes[] = {"MESA_", "GALLIUM_", "LIBGL_", "__GL_", "VK_", "ZINK_"};
// Single variables: Mesa's in lower case, the dispatch's choice of vendor, the GPU chosen,
// and the libraries the loader takes before the system's.
static const char *const kNames[] = {"mesa_glthread",
                                     "vblank_mode",
                                     "__GLX_VENDOR_LIBRARY_NAME",
                                     "__EGL_VENDOR_LIBRARY_FILENAMES",
                                     "DRI_PRIME",
                                     "LD_PRELOAD",
                                     "LD_LIBRARY_PATH"};

static bool Shapes(const char *name, size_t length) {
    for (const char *p : kPrefixes)
        if (length >= strlen(p) && strncmp(name, p, strlen(p)) == 0) return true;
    for (const char *n : kNames)
        if (length == strlen(n) && strncmp(name, n, length) == 0) return true;
    return false;
}

ResultEnvironment GlEnvironmentOf(const char *const *env) {
    ResultEnvironment found;
    for (; env && *env; env++) {
        const char *eq = strchr(*env, '=');
        if (!eq || eq - *env > kNameMost || !Shapes(*env, (size_t)(eq - *env))) continue;
        // strnlen: a value of any size is read no further than it is kept.
        std::string value(eq + 1, strnlen(eq + 1, kEnvironmentValueMost));
        found.emplace(std::string(*env, eq), value);
        if (found.size() > kResultEnvironmentMost) found.erase(std::prev(found.end()));
    }
    return found;
}

// A control character is never sent to the terminal as it is.
static std::string Printable(std::string s) {
    for (char &c : s)
        if ((unsigned char)c < ' ' || c == 127) c = '?';
    return s;
}

std::string GlEnvironmentValue(const std::string &value) {
    static const char kBare[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                "_-./:,=+@%";
    if (!value.empty() && value.find_first_not_of(kBare) == std::string::npos) return value;
    std::string quoted = "'";
    for (char c : Printable(value))
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

std::string GlEnvironmentText(const ResultEnvironment &environment) {
    std::string text;
    for (const auto &[name, value] : environment)
        text += (text.empty() ? "" : " ") + Printable(name) + "=" + GlEnvironmentValue(value);
    return text;
}
