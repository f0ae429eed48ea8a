#include "app/folders.h"

#include "platform/bundle.h"

#include <stdio.h>
#include <string.h>

char app_folder[kFolderSize];
char res_folder[kFolderSize];

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

int GetWorkingFolder(void) {
    if (!mainBundle) mainBundle = CFBundleGetMainBundle();
    app_folder[0] = 0;
    res_folder[0] = 0;

    char path[255];
    if (!BundlePath(path, sizeof path)) return 0;
    const char *slash = strrchr(path, '/');
    size_t n = slash ? (size_t)(slash - path) + 1 : 0;
    memcpy(app_folder, path, n);
    app_folder[n] = 0;
    // A resource folder that would not fit is left empty rather than cut.
    if (strlen(path) + sizeof kResourcesSuffix > sizeof res_folder) return 0;
    snprintf(res_folder, sizeof res_folder, "%s%s", path, kResourcesSuffix);
    return 0;
}
