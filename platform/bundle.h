// The application bundle: <bundle>/Contents/Linux/<executable>, so the bundle is two
// folders above the executable.
#pragma once

#include "platform/types.h"

typedef struct OpaqueCFBundle *CFBundleRef;
typedef const struct OpaqueCFType *CFTypeRef;
typedef const struct OpaqueCFURL *CFURLRef;
typedef const struct OpaqueCFString *CFStringRef;
typedef UInt32 CFStringEncoding;
typedef SInt32 CFIndex;
enum { kCFURLPOSIXPathStyle = 0, kCFStringEncodingUTF8 = 0x08000100 };

CFBundleRef CFBundleGetMainBundle(void);
// The bundle's location; null when it cannot be found.
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, int pathStyle);
CFStringEncoding CFStringGetSystemEncoding(void);
// Copies the string with its NUL into buffer; false (and nothing usable) when it does not fit.
Boolean CFStringGetCString(CFStringRef s, char *buffer, CFIndex bufferSize,
                           CFStringEncoding encoding);
void CFRelease(CFTypeRef object);

// Test seam: the bundle's path as if the executable lived inside it; null restores
// the real one.
void SetMainBundlePath(const char *path);
