// Modal alerts.
#pragma once

#include "platform/types.h"

typedef SInt16 AlertType;
enum { kAlertStopAlert = 0, kAlertNoteAlert = 1, kAlertCautionAlert = 2, kAlertPlainAlert = 3 };
struct AlertStdAlertParamRec;

// Shows a modal message box with the title (error) and text (explanation), both
// length-prefixed, and writes them to standard error. Returns when it is dismissed, or at
// once where no message box can be shown. *outItemHit receives 1.
OSErr StandardAlert(AlertType alertType, ConstStr255Param error, ConstStr255Param explanation,
                    const AlertStdAlertParamRec *param, SInt16 *outItemHit);

// Test seam: while set, StandardAlert calls this instead of showing anything.
typedef void (*AlertRecorder)(AlertType alertType, const char *title, const char *text);
void SetAlertRecorder(AlertRecorder recorder);
