// The command line: how the program is asked to run without a person at the keyboard.
#pragma once

#include "self/exits.h"

#include <stdio.h>

enum { kDefaultOffscreenWidth = 1920, kDefaultOffscreenHeight = 1080, kMaxSurfaceSide = 16384 };

struct CommandLine {
    bool test;          // --test: start a test at once and end with it
    bool validate;      // --validate: compare fixed frames with the references, then end
    bool offscreen;     // --offscreen[=WxH]: SDL's offscreen driver, no window system
    int offscreenWidth; // the display the offscreen test takes over
    int offscreenHeight;
    int device;             // --device N: the EGL device, -1 for SDL's choice
    const char *results;    // --results DIR, or null for the bundle's folder
    int repeat;             // --repeat K: K tests in a row (1 without it)
    bool quick;             // --quick: with --test, the quick figure instead of a climb
    const char *compare[2]; // --compare A B: the two result files, or nulls
    const char *plot;       // --plot FILE: with --compare, the plot of both; with --history,
                            // of the history
    bool history;           // --history: list the runs recorded on this machine
    const char *exportRun;  // --history --export ID FILE: the run, or null
    const char *exportFile; // and the file it goes to
    char *const *imports;   // --history --import FILE...: the files, or null
    int importCount;
    const char *pair[2]; // --pair A B: the two sides' settings, or nulls
    double precision;    // --precision P: the pair's interval to reach, a share (0.01)
    double timeLimit;    // --time-limit S: the pair's seconds in all
    bool window;         // --window: with --pair, each side in a window, not offscreen
    bool pairSide;       // --pair-side: this process is a side of a pair, told what to do
    double failIfSlower; // --fail-if-slower P: the gate's allowed share (0.05), -1 for none
    bool listDevices;    // --list-devices: list the EGL devices and end
};

constexpr double kDefaultPairPrecision = 0.01, kDefaultPairSeconds = 120;

enum { kMaxRepeat = 100 };

extern CommandLine commandLine; // as parsed; all off without options

// Parses argv into commandLine. Returns 1 when the program is to run; 0 when it is to end at
// once with *status: 0 after --help (usage on out) or --version, kExitUsage after a bad option
// or value (the reason and the usage on err). Checks the results folder too.
int ParseCommandLine(int argc, char **argv, FILE *out, FILE *err, int *status);

// Whether nobody is expected at the keyboard: alerts then go to standard error only.
bool Unattended(void);

void PrintUsage(FILE *f);
