// Feeds arbitrary bytes to the interface-description reader as a bundle's main.ui.
#include "platform/bundle.h"
#include "platform/nib.h"

#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

static int fd = -1;
static std::string bundle;

static void RemoveBundle(void) {
    unlink((bundle + "/Contents/Resources/main.ui").c_str());
    rmdir((bundle + "/Contents/Resources").c_str());
    rmdir((bundle + "/Contents").c_str());
    rmdir(bundle.c_str());
    rmdir(bundle.substr(0, bundle.rfind('/')).c_str());
}

// A bundle whose main.ui is a link to a memory-backed file: no disk write per input.
extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    char folder[] = "/tmp/nib_fuzz.XXXXXX";
    if (!mkdtemp(folder)) abort();
    bundle = std::string(folder) + "/Kelvane.app";
    fd = memfd_create("ui", 0);
    if (fd < 0 || mkdir(bundle.c_str(), 0700) != 0 ||
        mkdir((bundle + "/Contents").c_str(), 0700) != 0 ||
        mkdir((bundle + "/Contents/Resources").c_str(), 0700) != 0)
        abort();
    std::string target = "/proc/" + std::to_string(getpid()) + "/fd/" + std::to_string(fd);
    if (symlink(target.c_str(), (bundle + "/Contents/Resources/main.ui").c_str()) != 0) abort();
    atexit(RemoveBundle);
    SetMainBundlePath(bundle.c_str());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != (ssize_t)size) abort();
    IBNibRef nib = NULL;
    OSStatus status = CreateNibReference("main", &nib);
    if ((status == noErr) != (nib != NULL)) abort();
    if (nib) {
        SetMenuBarFromNib(nib, "MenuBar");
        DisposeNibReference(nib);
    }
    return 0;
}
