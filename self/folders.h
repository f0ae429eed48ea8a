// Where the program's files are. Both folders are path prefixes ending in "/" (or empty),
// NUL-terminated, to which a file name is appended directly; the application fills them
// (app/folders.h), every room below reads them.
#pragma once

#include <stddef.h>
#include <sys/types.h>

enum { kFolderSize = 256 };

extern char app_folder[kFolderSize]; // the folder that contains the application bundle
extern char res_folder[kFolderSize]; // the bundle's resource folder

// $XDG_DATA_HOME/kelvane, or ~/.local/share/kelvane (a relative XDG_DATA_HOME counts as
// unset), into path without a trailing "/"; false when no home folder is known or it does
// not fit.
bool DataFolder(char *path, size_t size);

// Makes every missing folder of path, as mkdir -p does, with mode (less the umask).
bool MakeFolders(const char *path, mode_t mode);

// The user's data folder, $XDG_DATA_HOME/kelvane/ (else ~/.local/share/kelvane/), with a
// trailing "/", made (private to the user) if missing and make is set. 0 when it cannot be
// made (path still names it) or there is none (path empty), with why.
int UserDataFolder(char *path, size_t size, bool make, const char **why);
