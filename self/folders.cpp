#include "self/folders.h"

#include <errno.h>
#include <limits.h>
#include <pwd.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

char app_folder[kFolderSize];
char res_folder[kFolderSize];

bool MakeFolders(const char *path, mode_t mode) {
    char part[PATH_MAX];
    size_t n = strlen(path);
    if (n == 0 || n >= sizeof part) return false;
    memcpy(part, path, n + 1);
    for (size_t i = 1; i <= n; i++) {
        if (part[i] != '/' && part[i] != 0) continue;
        char keep = part[i];
        part[i] = 0;
        if (mkdir(part, mode) != 0 && errno != EEXIST) return false;
        part[i] = keep;
    }
    return true;
}

bool DataFolder(char *path, size_t size) {
    const char *xdg = getenv("XDG_DATA_HOME");
    if (xdg && xdg[0] == '/') return snprintf(path, size, "%s/kelvane", xdg) < (int)size;
    const char *home = getenv("HOME");
    if (!home || home[0] != '/') {
        const struct passwd *pw = getpwuid(getuid());
        home = pw ? pw->pw_dir : NULL;
    }
    if (!home || home[0] != '/') return false;
    return snprintf(path, size, "%s/.local/share/kelvane", home) < (int)size;
}

int UserDataFolder(char *path, size_t size, bool make, const char **why) {
    path[0] = 0;
    if (!DataFolder(path, size - 1)) {
        path[0] = 0;
        *why = "no home folder is known";
        return 0;
    }
    bool made = !make || MakeFolders(path, 0700);
    strcat(path, "/");
    if (!made) *why = strerror(errno);
    return made;
}
