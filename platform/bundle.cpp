#include "platform/bundle.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

// URLs and strings are both plain heap paths here; CFRelease frees either.
struct OpaqueCFType {
    char *text;
};

static int mainBundleToken;
static char *bundlePathOverride;

CFBundleRef CFBundleGetMainBundle(void) {
    return (CFBundleRef)&mainBundleToken;
}

void SetMainBundlePath(const char *path) {
    free(bundlePathOverride);
    bundlePathOverride = path ? strdup(path) : NULL;
}

static CFTypeRef MakeText(const char *text, size_t length) {
    OpaqueCFType *t = (OpaqueCFType *)malloc(sizeof *t);
    char *copy = (char *)malloc(length + 1);
    if (!t || !copy) {
        free(t);
        free(copy);
        return NULL;
    }
    memcpy(copy, text, length);
    copy[length] = 0;
    t->text = copy;
    return t;
}

// Cuts the last path component (and the slash before it) off path in place; false when
// nothing is left to cut.
static bool DropLast(char *path) {
    char *slash = strrchr(path, '/');
    if (!slash || slash == path) return false;
    *slash = 0;
    return true;
}

static const char *LastName(const char *path) {
    const char *slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
    if (bundle != CFBundleGetMainBundle()) return NULL;
    if (bundlePathOverride)
        return (CFURLRef)MakeText(bundlePathOverride, strlen(bundlePathOverride));

    // <bundle>/Contents/<platform>/<executable>: a program outside such a tree has no bundle.
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0 || (size_t)n >= sizeof path - 1) return NULL;
    path[n] = 0;
    if (!DropLast(path) || !DropLast(path) || strcmp(LastName(path), "Contents") != 0 ||
        !DropLast(path))
        return NULL;
    return (CFURLRef)MakeText(path, strlen(path));
}

CFStringRef CFURLCopyFileSystemPath(CFURLRef url, int pathStyle) {
    if (!url || pathStyle != kCFURLPOSIXPathStyle) return NULL;
    const char *text = ((const OpaqueCFType *)url)->text;
    return (CFStringRef)MakeText(text, strlen(text));
}

CFStringEncoding CFStringGetSystemEncoding(void) {
    return kCFStringEncodingUTF8;
}

Boolean CFStringGetCString(CFStringRef s, char *buffer, CFIndex bufferSize, CFStringEncoding) {
    if (!s || !buffer || bufferSize <= 0) return false;
    const char *text = ((const OpaqueCFType *)s)->text;
    size_t length = strlen(text);
    if (length >= (size_t)bufferSize) {
        buffer[0] = 0;
        return false;
    }
    memcpy(buffer, text, length + 1);
    return true;
}

void CFRelease(CFTypeRef object) {
    if (!object) return;
    free(((OpaqueCFType *)object)->text);
    free((void *)object);
}
