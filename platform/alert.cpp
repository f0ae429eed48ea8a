#include "platform/alert.h"

#include <SDL.h>
#include <stdio.h>
#include <string.h>

static AlertRecorder alertRecorder;

void SetAlertRecorder(AlertRecorder recorder) {
    alertRecorder = recorder;
}

// out holds 256 bytes: a length byte can say at most 255.
static void PascalToC(ConstStr255Param p, char *out) {
    size_t n = p ? p[0] : 0;
    if (n) memcpy(out, p + 1, n);
    out[n] = '\0';
}

OSErr StandardAlert(AlertType alertType, ConstStr255Param error, ConstStr255Param explanation,
                    const AlertStdAlertParamRec *, SInt16 *outItemHit) {
    char title[256], text[256];
    PascalToC(error, title);
    PascalToC(explanation, text);
    if (outItemHit) *outItemHit = 1;
    if (alertRecorder) {
        alertRecorder(alertType, title, text);
        return noErr;
    }
    fprintf(stderr, "%s: %s\n", title, text);
    // Without a display SDL fails at once; the message is already on standard error.
    SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_INFORMATION, title, text, nullptr);
    return noErr;
}
