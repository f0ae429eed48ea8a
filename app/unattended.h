// A test that nobody watches (--test): started as soon as the scene is built, through the
// same command as the menu's, and the program's end once it is over.
#pragma once

extern int exitStatus; // what the program ends with (app/cmdline.h); 1 for the window

// Posts the command `test`, as the menu item would.
void PostTestCommand(void);

// Tests still to start after the current one ends with a score and its screenshot: the
// rest of a --repeat series. A disturbed run (record/model.h) does not count: the series
// goes on without it, but starts no more than testsAllowed tests after the first (2K - 1
// for K, none for a single test), so that a machine that stays busy cannot keep it going.
extern int testsToRepeat;
extern int testsAllowed;

// A series of `repeat` tests (--repeat K), the first about to start.
void StartSeries(int repeat);

// Reads the test's state after a frame timer firing and, once the test is over, ends the
// event loop and sets exitStatus: kExitScore after a score and its screenshot, kExitAborted
// after an abort (which ends a series too), kExitNoScene when the scene could not be built.
// Non-zero when it ended it.
int EndWhenTestOver(void);
