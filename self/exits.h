// The process's exit statuses, whichever room runs its command (--test, --history, --pair).
#pragma once

enum {
    kExitScore = 0,       // --test reached a score
    kExitInteractive = 1, // the program in its window, ended by its user
    kExitUsage = 2,       // a bad command line, or a results folder that cannot be used
    kExitAborted = 3,     // --test ended by the user (Escape, a click, the window closed)
    kExitNoScene = 4,     // --test could not build the scene or draw anything
    kExitInvalid = 5,     // --validate: a frame was not drawn as its reference
    kExitPairSide = 6,    // --pair: a side could not start, died or hung; nothing written
    kExitNotWritten = 7,  // --pair: the verdict was said but its result could not be written
    kExitSlower = 8,      // --fail-if-slower: B was slower than allowed
    kExitUnjudged = 9,    // --fail-if-slower: there was no figure with an interval to judge
};
