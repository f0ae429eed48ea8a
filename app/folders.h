// The application's choice of its folders (self/folders.h): from the bundle's location, or
// where results go instead.
#pragma once

#include "self/folders.h"

#include <stddef.h>
#include <stdio.h>

// Where results go instead of the bundle's folder (--results, or the user's data folder when
// the bundle's cannot be written), or empty for the bundle's folder.
extern char results_folder[kFolderSize];

// A results folder asked for (--results) and missing, by its absolute path with a trailing "/":
// made only once a run can start, so that one refused at its start leaves nothing behind.
extern char results_pending[kFolderSize];

// Fills both folders from the bundle's location; app_folder is results_folder when set. Paths that
// do not fit leave the folder empty, so files are then looked up under their bare names. Always 0.
int GetWorkingFolder(void);

// Checks that dir is a folder this process can write into and keeps its absolute path, with
// a trailing "/", in results_folder. A path that would not fit is refused, never cut. With
// pending, a missing dir that could be made (its nearest folder that exists can be written
// into) is kept in results_pending instead, and *pending says so. 0 on failure, with the
// reason in why.
int SetResultsFolder(const char *dir, char *why, size_t whySize, bool *pending);

// Makes results_pending, with its parents, and uses it as SetResultsFolder does, saying so on
// err. 1 when nothing was pending; 0 when it could not be made, with the reason said.
int MakePendingResultsFolder(FILE *err);

// Before a run that writes results: when none was given (--results), results go beside a build
// tree's bundle (one holding Contents/build-tree) where that folder can be written; else, as
// for any install, the user's data folder $XDG_DATA_HOME/kelvane/ (else
// ~/.local/share/kelvane/), made if missing, becomes results_folder. Fills app_folder as
// GetWorkingFolder does. 0 when no folder can be written, with the reasons in why; results
// are then never silently lost.
int ChooseResultsFolder(char *why, size_t whySize);

// For a side of a pair, which writes nothing: results go to a folder in which no file can be
// made, so that the log its test opens is skipped as an unwritable one is. The pair's
// coordinator needs no scratch folder for it then, which a SIGKILL would leave behind.
void WriteNowhere(void);
