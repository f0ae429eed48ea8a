// Host types and status codes shared by every layer that talks to the host.
#pragma once

#include <stddef.h>
#include <stdint.h>

typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef unsigned char Boolean;
typedef SInt32 OSStatus;
typedef SInt16 OSErr;
typedef UInt32 OSType;
typedef unsigned char Str255[256];
typedef const unsigned char *ConstStr255Param;

enum {
    noErr = 0,
    eventNotHandledErr = -9874,
    gestaltUndefSelectorErr = -5551,
    paramErr = -50,
    memFullErr = -108,
};

// A QuickDraw point: v is the vertical coordinate (height), h the horizontal one.
struct Point {
    SInt16 v;
    SInt16 h;
};

struct Rect {
    SInt16 top;
    SInt16 left;
    SInt16 bottom;
    SInt16 right;
};

// Four-character codes as the host spells them, e.g. FourCC('c','p','u','f').
constexpr OSType FourCC(char a, char b, char c, char d) {
    return (OSType)(UInt8)a << 24 | (OSType)(UInt8)b << 16 | (OSType)(UInt8)c << 8 | (UInt8)d;
}
