// The standard handlers, the last link of every chain: menu key equivalents and quit.
#include "platform/events.h"

#include "platform/events_internal.h"

#include <stdlib.h>
#include <string.h>

static MenuKey *menuKeys;
static int menuKeyCount;

void SetMenuKeys(const MenuKey *keys, int count) {
    free(menuKeys);
    menuKeys = NULL;
    menuKeyCount = 0;
    if (!keys || count <= 0) return;
    menuKeys = (MenuKey *)malloc((size_t)count * sizeof *menuKeys);
    if (!menuKeys) return;
    memcpy(menuKeys, keys, (size_t)count * sizeof *menuKeys);
    menuKeyCount = count;
}

static OSStatus SendCommand(UInt32 command) {
    EventRef e = MakeEvent(kEventClassCommand, kEventCommandProcess);
    if (!e) return memFullErr;
    HICommand c = {};
    c.commandID = command;
    SetEventParameter(e, kEventParamDirectObject, typeHICommand, sizeof c, &c);
    SendEventToEventTarget(e, GetApplicationEventTarget());
    ReleaseEvent(e);
    return noErr;
}

OSStatus StandardWindowHandler(EventRef event) {
    if (GetEventClass(event) != kEventClassKeyboard || GetEventKind(event) != kEventRawKeyDown)
        return eventNotHandledErr;
    UInt32 code = 0, modifiers = 0;
    if (GetEventParameter(event, kEventParamKeyCode, typeUInt32, NULL, sizeof code, NULL, &code))
        return eventNotHandledErr;
    GetEventParameter(event, kEventParamKeyModifiers, typeUInt32, NULL, sizeof modifiers, NULL,
                      &modifiers);
    modifiers &= controlKey | shiftKey | optionKey | cmdKey;
    for (int i = 0; i < menuKeyCount; i++)
        if (menuKeys[i].keyCode == code && menuKeys[i].modifiers == modifiers)
            return SendCommand(menuKeys[i].command);
    return eventNotHandledErr;
}

OSStatus StandardApplicationHandler(EventRef event) {
    if (GetEventClass(event) != kEventClassCommand || GetEventKind(event) != kEventCommandProcess)
        return eventNotHandledErr;
    HICommand c = {};
    if (GetEventParameter(event, kEventParamDirectObject, typeHICommand, NULL, sizeof c, NULL, &c))
        return eventNotHandledErr;
    if (c.commandID != kHICommandQuit) return eventNotHandledErr;
    QuitApplicationEventLoop();
    return noErr;
}
