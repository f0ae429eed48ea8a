#include "platform/nib.h"

#include "platform/bundle.h"
#include "platform/events_internal.h"
#include "platform/keycodes.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum {
    kIBCarbonRuntimeCantFindNibFile = -10960,
    kIBCarbonRuntimeObjectNotOfRequestedType = -10961,
    kIBCarbonRuntimeCantFindObject = -10962,
    kNibMalformed = -10963, // a statement the description's format does not allow
};

enum { kNameSize = 64, kTextSize = 256, kMaxBars = 4, kMaxItems = 32, kMaxWindows = 8 };

struct NibItem {
    char label[kTextSize];
    UInt32 command;
    MenuKey key; // key.keyCode kNoKeyCode when the item has no key equivalent
};

struct NibMenuBar {
    char name[kNameSize];
    int itemCount;
    NibItem items[kMaxItems];
};

struct NibWindow {
    char name[kNameSize];
    char title[kTextSize];
    SInt16 width, height, minWidth, minHeight;
    bool resizable;
};

struct OpaqueIBNibRef {
    int barCount, windowCount;
    NibMenuBar bars[kMaxBars];
    NibWindow windows[kMaxWindows];
};

// ---- Reading one line into words

enum { kMaxWords = 8 };

struct Line {
    int count;
    char words[kMaxWords][kTextSize];
};

// Splits text into blank-separated words and double-quoted texts; false on an unclosed
// quote, too many words or a word too long.
static bool SplitLine(const char *text, Line *line) {
    line->count = 0;
    const char *p = text;
    for (;;) {
        while (*p == ' ' || *p == '\t' || *p == '\r' || *p == '\n')
            p++;
        if (!*p || *p == '#') return true;
        if (line->count == kMaxWords) return false;
        char *out = line->words[line->count++];
        size_t n = 0;
        if (*p == '"') {
            const char *end = strchr(++p, '"');
            if (!end || (size_t)(end - p) >= kTextSize) return false;
            n = (size_t)(end - p);
            memcpy(out, p, n);
            p = end + 1;
        } else {
            while (*p && *p != ' ' && *p != '\t' && *p != '\r' && *p != '\n') {
                if (n + 1 >= kTextSize) return false;
                out[n++] = *p++;
            }
        }
        out[n] = 0;
    }
}

// ---- Statements

static bool ParseSize(const char *text, SInt16 *value) {
    char *end;
    long v = strtol(text, &end, 10);
    if (*text == 0 || *end != 0 || v < 1 || v > 16384) return false;
    *value = (SInt16)v;
    return true;
}

static bool ParseCommand(const char *text, UInt32 *command) {
    size_t n = strlen(text);
    if (n < 1 || n > 4) return false;
    char c[4] = {' ', ' ', ' ', ' '};
    memcpy(c, text, n);
    *command = FourCC(c[0], c[1], c[2], c[3]);
    return true;
}

// "Ctrl+Shift+T": modifiers in any order, then one letter or digit.
static bool ParseKey(const char *text, MenuKey *key) {
    key->modifiers = 0;
    for (;;) {
        const char *plus = strchr(text, '+');
        if (!plus) break;
        size_t n = (size_t)(plus - text);
        if (n == 4 && strncmp(text, "Ctrl", 4) == 0)
            key->modifiers |= controlKey;
        else if (n == 5 && strncmp(text, "Shift", 5) == 0)
            key->modifiers |= shiftKey;
        else if (n == 3 && strncmp(text, "Alt", 3) == 0)
            key->modifiers |= optionKey;
        else
            return false;
        text = plus + 1;
    }
    if (strlen(text) != 1) return false;
    key->keyCode = KeyCodeForCharacter(text[0]);
    return key->keyCode != kNoKeyCode;
}

static bool CopyName(char *dst, size_t size, const char *src) {
    if (strlen(src) >= size) return false;
    strcpy(dst, src);
    return true;
}

struct ParseState {
    OpaqueIBNibRef *nib;
    NibMenuBar *bar;
    bool inMenu;
    NibWindow *window;
};

static bool ParseItem(ParseState *s, const Line *l) {
    if (!s->inMenu || s->bar->itemCount == kMaxItems || l->count < 4) return false;
    NibItem *item = &s->bar->items[s->bar->itemCount++];
    item->key.keyCode = kNoKeyCode;
    bool haveCommand = false;
    if (!CopyName(item->label, sizeof item->label, l->words[1])) return false;
    for (int i = 2; i < l->count; i += 2) {
        if (i + 1 >= l->count) return false; // a keyword without its value
        if (strcmp(l->words[i], "command") == 0)
            haveCommand = ParseCommand(l->words[i + 1], &item->command);
        else if (strcmp(l->words[i], "key") != 0 || !ParseKey(l->words[i + 1], &item->key))
            return false;
    }
    item->key.command = item->command;
    return haveCommand;
}

static bool ParseStatement(ParseState *s, const Line *l) {
    const char *verb = l->words[0];
    OpaqueIBNibRef *nib = s->nib;
    if (strcmp(verb, "menubar") == 0) {
        if (l->count != 2 || nib->barCount == kMaxBars) return false;
        s->bar = &nib->bars[nib->barCount++];
        s->inMenu = false;
        s->window = NULL;
        return CopyName(s->bar->name, sizeof s->bar->name, l->words[1]);
    }
    if (strcmp(verb, "menu") == 0) {
        s->inMenu = s->bar && !s->window && l->count == 2;
        return s->inMenu;
    }
    if (strcmp(verb, "item") == 0) return !s->window && ParseItem(s, l);
    if (strcmp(verb, "window") == 0) {
        if (l->count != 2 || nib->windowCount == kMaxWindows) return false;
        s->window = &nib->windows[nib->windowCount++];
        s->bar = NULL;
        s->inMenu = false;
        return CopyName(s->window->name, sizeof s->window->name, l->words[1]);
    }
    NibWindow *w = s->window;
    if (!w) return false;
    if (strcmp(verb, "title") == 0)
        return l->count == 2 && CopyName(w->title, sizeof w->title, l->words[1]);
    if (strcmp(verb, "size") == 0)
        return l->count == 3 && ParseSize(l->words[1], &w->width) &&
               ParseSize(l->words[2], &w->height);
    if (strcmp(verb, "minsize") == 0)
        return l->count == 3 && ParseSize(l->words[1], &w->minWidth) &&
               ParseSize(l->words[2], &w->minHeight);
    if (strcmp(verb, "resizable") == 0) {
        w->resizable = l->count == 2 && strcmp(l->words[1], "yes") == 0;
        return l->count == 2 && (w->resizable || strcmp(l->words[1], "no") == 0);
    }
    return false;
}

// Reads the whole description; false at the first fault, which is said on stderr.
static bool ParseNib(FILE *f, const char *path, OpaqueIBNibRef *nib) {
    ParseState s = {nib, NULL, false, NULL};
    char text[1024];
    static Line line; // large; one parse at a time on the main thread
    for (int number = 1; fgets(text, sizeof text, f); number++) {
        bool whole = strchr(text, '\n') || feof(f);
        if (!whole || !SplitLine(text, &line) || (line.count && !ParseStatement(&s, &line))) {
            fprintf(stderr, "%s:%d: not understood: %s%s", path, number, text,
                    whole ? "" : "...\n");
            return false;
        }
    }
    for (int i = 0; i < nib->windowCount; i++) {
        if (nib->windows[i].width == 0) {
            fprintf(stderr, "%s: window %s has no size\n", path, nib->windows[i].name);
            return false;
        }
    }
    return true;
}

OSStatus CreateNibReference(const char *name, IBNibRef *outNibRef) {
    if (!outNibRef || !name) return paramErr;
    *outNibRef = NULL;
    char bundle[1024] = "";
    CFURLRef url = CFBundleCopyBundleURL(CFBundleGetMainBundle());
    CFStringRef s = url ? CFURLCopyFileSystemPath(url, kCFURLPOSIXPathStyle) : NULL;
    bool found = s && CFStringGetCString(s, bundle, sizeof bundle, kCFStringEncodingUTF8);
    CFRelease((CFTypeRef)s);
    CFRelease((CFTypeRef)url);
    if (!found) return kIBCarbonRuntimeCantFindNibFile;

    char path[1200];
    snprintf(path, sizeof path, "%s/Contents/Resources/%s.ui", bundle, name);
    FILE *f = fopen(path, "r");
    if (!f) return kIBCarbonRuntimeCantFindNibFile;
    OpaqueIBNibRef *nib = (OpaqueIBNibRef *)calloc(1, sizeof *nib);
    bool ok = nib && ParseNib(f, path, nib);
    fclose(f);
    if (!ok) {
        free(nib);
        return nib ? kNibMalformed : memFullErr;
    }
    *outNibRef = nib;
    return noErr;
}

OSStatus SetMenuBarFromNib(IBNibRef nib, const char *menuBarName) {
    for (int i = 0; nib && menuBarName && i < nib->barCount; i++) {
        NibMenuBar *bar = &nib->bars[i];
        if (strcmp(bar->name, menuBarName) != 0) continue;
        MenuKey keys[kMaxItems];
        int n = 0;
        for (int k = 0; k < bar->itemCount; k++)
            if (bar->items[k].key.keyCode != kNoKeyCode) keys[n++] = bar->items[k].key;
        SetMenuKeys(keys, n);
        return noErr;
    }
    return kIBCarbonRuntimeCantFindObject;
}

OSStatus CreateWindowFromNib(IBNibRef nib, const char *windowName, WindowRef *outWindow) {
    if (!outWindow) return paramErr;
    for (int i = 0; nib && windowName && i < nib->windowCount; i++) {
        const NibWindow *w = &nib->windows[i];
        if (strcmp(w->name, windowName) != 0) continue;
        Rect bounds = {0, 0, w->height, w->width};
        WindowAttributes attributes = kWindowCloseBoxAttribute | kWindowCollapseBoxAttribute |
                                      kWindowStandardHandlerAttribute |
                                      (w->resizable ? kWindowResizableAttribute : 0);
        OSStatus status = CreateNewWindow(kDocumentWindowClass, attributes, &bounds, outWindow);
        if (status != noErr) return status;
        SetWindowTitle(*outWindow, w->title);
        if (w->minWidth) SetWindowMinimumSize(*outWindow, w->minWidth, w->minHeight);
        return noErr;
    }
    return kIBCarbonRuntimeCantFindObject;
}

void DisposeNibReference(IBNibRef nib) {
    free(nib);
}
