#include "app/folders.h"

#include "platform/bundle.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

char app_folder[kFolderSize];
char res_folder[kFolderSize];
char results_folder[kFolderSize];

static CFBundleRef mainBundle;
static const char kResourcesSuffix[] = "/Contents/Resources/";

// The bundle's path into path (255 bytes with its NUL); false when there is none or
// it does not fit.
static bool BundlePath(char *path, CFIndex size) {
    CFURLRef url = CFBundleCopyBundleURL(mainBundle);
    if (!url) return false;
    CFStringRef s = CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle);
    bool ok = s && CFStringGetCString(s, path, size, CFStringGetSystemEncoding());
    if (s) CFRelease((CFTypeRef)s);
    CFRelease((CFTypeRef)url);
    return ok;
}

// Both fit: SetResultsFolder took only paths that do.
static void UseResultsFolder(void) {
    if (results_folder[0]) memcpy(app_folder, results_folder, sizeof app_folder);
}

int GetWorkingFolder(void) {
    if (!mainBundle) mainBundle = CFBundleGetMainBundle();
    app_folder[0] = 0;
    res_folder[0] = 0;

    char path[255];
    bool found = BundlePath(path, sizeof path);
    if (found) {
        const char *slash = strrchr(path, '/');
        size_t n = slash ? (size_t)(slash - path) + 1 : 0;
        memcpy(app_folder, path, n);
        app_folder[n] = 0;
    }
    UseResultsFolder();
    if (!found) return 0;
    // A resource folder that would not fit is left empty rather than cut.
    if (strlen(path) + sizeof kResourcesSuffix > sizeof res_folder) return 0;
    snprintf(res_folder, sizeof res_folder, "%s%s", path, kResourcesSuffix);
    return 0;
}

int SetResultsFolder(const char *dir, char *why, size_t whySize) {
    results_folder[0] = 0;
    char full[PATH_MAX];
    struct stat st;
    if (!realpath(dir, full) || stat(full, &st) != 0) {
        snprintf(why, whySize, "%s", strerror(errno));
        return 0;
    }
    if (!S_ISDIR(st.st_mode)) {
        snprintf(why, whySize, "not a folder");
        return 0;
    }
    // Writing a file needs both: a folder one may write but not enter takes nothing.
    if (access(full, W_OK | X_OK) != 0) {
        snprintf(why, whySize, "cannot write into it (%s)", strerror(errno));
        return 0;
    }
    bool root = strcmp(full, "/") == 0;
    if (strlen(full) + (root ? 0 : 1) >= sizeof results_folder) {
        snprintf(why, whySize, "its path is longer than %d bytes", (int)sizeof results_folder - 2);
        return 0;
    }
    snprintf(results_folder, sizeof results_folder, "%s%s", full, root ? "" : "/");
    return 1;
}
