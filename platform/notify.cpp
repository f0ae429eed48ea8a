#include "platform/notify.h"

#include "platform/events_internal.h"
#include "platform/video_internal.h"

enum { kMaxNotifyProcs = 8 };

struct Registration {
    DMExtendedNotificationUPP proc;
    void *userData;
};
static Registration registrations[kMaxNotifyProcs];

DMExtendedNotificationUPP NewDMExtendedNotificationUPP(DMExtendedNotificationProcPtr proc) {
    return proc;
}

// Releasing the reference also ends the registration: nothing may call a procedure whose
// reference is gone.
void DisposeDMExtendedNotificationUPP(DMExtendedNotificationUPP upp) {
    for (Registration &r : registrations)
        if (r.proc == upp) r.proc = nullptr;
}

OSErr DMRegisterExtendedNotifyProc(DMExtendedNotificationUPP proc, void *userData, UInt16,
                                   const ProcessSerialNumber *whichPSN) {
    if (!proc || !whichPSN || whichPSN->lowLongOfPSN != kCurrentProcess) return paramErr;
    for (Registration &r : registrations) {
        if (!r.proc) {
            r = {proc, userData};
            return noErr;
        }
    }
    return memFullErr;
}

// A rebuild in answer keeps the full-screen surface the window system has already fitted
// to the display.
void NotifyDisplayChanged(void) {
    HoldFullScreens(true);
    for (Registration &r : registrations)
        if (r.proc) r.proc(r.userData, kDMNotifyEvent, nullptr);
    HoldFullScreens(false);
}
