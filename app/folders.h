// Where the application lives. Both are path prefixes ending in "/" (or empty),
// NUL-terminated, to which a file name is appended directly.
#pragma once

enum { kFolderSize = 256 };

extern char app_folder[kFolderSize]; // the folder that contains the application bundle
extern char res_folder[kFolderSize]; // the bundle's resource folder

// Fills both folders from the bundle's location. Paths that do not fit leave the
// folder empty, so files are then looked up under their bare names. Always 0.
int GetWorkingFolder(void);
