// Notifications after the display configuration has changed.
#pragma once

#include "platform/types.h"

struct ProcessSerialNumber {
    UInt32 highLongOfPSN;
    UInt32 lowLongOfPSN;
};
enum { kCurrentProcess = 2, kDMNotifyEvent = 2 };

typedef void (*DMExtendedNotificationProcPtr)(void *userData, SInt16 message, void *notifyData);
typedef DMExtendedNotificationProcPtr DMExtendedNotificationUPP;

DMExtendedNotificationUPP NewDMExtendedNotificationUPP(DMExtendedNotificationProcPtr proc);
void DisposeDMExtendedNotificationUPP(DMExtendedNotificationUPP upp);
// The procedure is called with kDMNotifyEvent from the event loop after a display is
// added, removed or changes mode.
OSErr DMRegisterExtendedNotifyProc(DMExtendedNotificationUPP proc, void *userData,
                                   UInt16 notifyFlags, const ProcessSerialNumber *whichPSN);
