// The result log, "Kelvane result.txt" beside the application bundle: one line per entry,
// rewritten from its first line by every test.
#pragma once

enum {
    kLogLineSize = 255,                // a line, its line feed and NUL included
    kLogMessageMax = kLogLineSize - 2, // longer messages are cut
};

extern const char kLogFileName[];

// The lines of a test, in the order a test writes them.
extern const char kLogStarted[];    // creates the log
extern const char kLogWorkFolder[]; // app_folder
extern const char kLogResources[];  // res_folder
extern const char kLogHardware[];
extern const char kLogCpuFamily[]; // only with kLogCpuType, when the host reports both
extern const char kLogCpuType[];
extern const char kLogGlVendor[];
extern const char kLogGlRenderer[];
extern const char kLogGlVersion[];
extern const char kLogTestParms[];
extern const char kLogSurface[];    // width, height, bits per pixel
extern const char kLogTextures[];   // kOnOff word
extern const char kLogLighting[];   // kOnOff word
extern const char kLogKeepInSync[]; // kOnOff word
extern const char kLogTestStarted[];
extern const char kLogFps[];         // fps, triangles: every fourth window of a test
extern const char kLogFinalScore[];  // when the stop rule ends the test
extern const char kLogTestStopped[]; // whenever a test ends

// A setting's word, indexed by its value: "off" or "on " (three letters each).
extern const char *const kOnOff[2];

// Who hears of a test's lines as numbers, for results kept beside the text log: told where
// the lines are written, so nothing is ever read back out of the text. Each member may be
// null. step and score come from inside a frame: they may store numbers, nothing more.
struct LogListener {
    void (*testStarted)(void);                        // the log is created
    void (*step)(int grid, int triangles, float fps); // an FPS line
    void (*score)(int score);                         // the final score line
    void (*testStopped)(void);                        // "test stopped"
};
extern const LogListener *logListener; // null: nobody listens

// Appends msg and a line feed to the log; create truncates the log first. A file that
// cannot be opened loses the line silently; the next line tries again.
void Write(const char *msg, bool create);

// Formats a line (cut to the line limit) and writes it.
void WriteF(bool create, const char *format, ...) __attribute__((format(printf, 2, 3)));

// The FPS line of the grid numCubes, and the final score line: written, and their numbers
// told to the listener as they are, never decoded from the text.
void LogStep(float fps, int triangles);
void LogScore(int score);
