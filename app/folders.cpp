#include "app/folders.h"

#include "platform/bundle.h"

#include <errno.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

char results_folder[kFolderSize];
char results_pending[kFolderSize];

static CFBundleRef mainBundle;
static const char kResourcesSuffix[] = "/Contents/Resources/";
static const char kBuildTreeMark[] = "/Contents/build-tree";

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

// Whether dir, missing, could be made: the nearest of its folders that exists must take a
// new folder. Its absolute path, which must fit, goes into results_pending.
static int KeepPending(const char *dir, char *why, size_t whySize) {
    char full[PATH_MAX], cwd[PATH_MAX];
    if (dir[0] != '/' && !getcwd(cwd, sizeof cwd)) {
        snprintf(why, whySize, "%s", strerror(errno));
        return 0;
    }
    int n = dir[0] == '/' ? snprintf(full, sizeof full, "%s", dir)
                          : snprintf(full, sizeof full, "%s/%s", cwd, dir);
    if (n < 0 || n + 2 > (int)sizeof results_pending) {
        snprintf(why, whySize, "its path is longer than %d bytes", (int)sizeof results_pending - 2);
        return 0;
    }
    char up[PATH_MAX];
    memcpy(up, full, n + 1);
    struct stat st;
    int missing;
    while ((missing = stat(up, &st) != 0)) {
        char *slash = strrchr(up, '/');
        if (errno != ENOENT || !slash) break;
        slash == up ? (void)strcpy(up, "/") : (void)(*slash = 0);
    }
    int error = missing                   ? errno
                : !S_ISDIR(st.st_mode)    ? ENOTDIR
                : access(up, W_OK | X_OK) ? errno
                                          : 0;
    if (error) {
        snprintf(why, whySize, "it cannot be made (%s)", strerror(error));
        return 0;
    }
    snprintf(results_pending, sizeof results_pending, "%s%s", full, full[n - 1] == '/' ? "" : "/");
    return 1;
}

int SetResultsFolder(const char *dir, char *why, size_t whySize, bool *pending) {
    results_folder[0] = results_pending[0] = 0;
    char full[PATH_MAX];
    struct stat st;
    bool missing = pending && stat(dir, &st) != 0 && errno == ENOENT;
    if (pending) *pending = missing;
    if (missing) return KeepPending(dir, why, whySize);
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

// Writing a file needs both; an empty prefix means the current folder. 0 or the errno.
static int WriteError(const char *folder) {
    return access(folder[0] ? folder : ".", W_OK | X_OK) == 0 ? 0 : errno;
}

// Whether the bundle is a build's: the build puts this file into its bundle, and an install
// copies only the program and its resources. So any install, whoever runs it and whether or
// not they may write beside it (root, a prefix of one's own), keeps results out of the
// program's files, which removing the package would then leave behind.
static bool InBuildTree(void) {
    char path[255 + sizeof kBuildTreeMark];
    if (!BundlePath(path, 255)) return false;
    strcat(path, kBuildTreeMark);
    return access(path, F_OK) == 0;
}

int MakePendingResultsFolder(FILE *err) {
    if (!results_pending[0]) return 1;
    char dir[kFolderSize], why[160];
    memcpy(dir, results_pending, sizeof dir);
    results_pending[0] = 0;
    if (!MakeFolders(dir, 0777))
        snprintf(why, sizeof why, "it cannot be made (%s)", strerror(errno));
    else if (SetResultsFolder(dir, why, sizeof why, nullptr)) {
        GetWorkingFolder();
        fprintf(err, "kelvane: made the results folder %s\n", results_folder);
        return 1;
    }
    fprintf(err, "kelvane: results folder %s: %s\n", dir, why);
    return 0;
}

void WriteNowhere(void) {
    snprintf(results_folder, sizeof results_folder, "/dev/null/");
    GetWorkingFolder();
}

int ChooseResultsFolder(char *why, size_t whySize) {
    GetWorkingFolder();
    if (results_folder[0] || results_pending[0]) return 1;
    bool built = InBuildTree();
    int bundleError = built ? WriteError(app_folder) : 0;
    if (built && !bundleError) return 1;
    char data[PATH_MAX];
    char reason[160];
    if (!DataFolder(data, sizeof data))
        snprintf(reason, sizeof reason, "no home folder is known");
    else if (!MakeFolders(data, 0700)) // private, as the data folder's rules ask
        snprintf(reason, sizeof reason, "it cannot be made (%s)", strerror(errno));
    else if (SetResultsFolder(data, reason, sizeof reason, nullptr)) {
        GetWorkingFolder();
        return 1;
    }
    const char *place = DataFolder(data, sizeof data) ? data : "the user's data folder";
    if (built)
        snprintf(why, whySize, "the application's folder %s cannot be written (%s), nor %s: %s",
                 app_folder[0] ? app_folder : ".", strerror(bundleError), place, reason);
    else
        snprintf(why, whySize, "%s: %s", place, reason);
    return 0;
}
