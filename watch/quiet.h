// Whether this process's other threads have gone quiet: a renderer whose finish returns
// before its own threads are done (zink over lavapipe here) goes on working after a measured
// span has ended, into whatever is measured next. Read from /proc/self/task: each thread's
// state and its time on a processor; the arithmetic works on text, to be tested on made-up
// readings.
#pragma once

#include <stdint.h>

// A look at the other threads: whether any was running or ready to run, and their time on
// a processor so far, added up, in nanoseconds.
struct ThreadsLook {
    bool runnable;
    uint64_t ranNs;
};

// The state letter of a thread's stat text ("R", "S", ...), which follows the name in
// parentheses (itself able to hold blanks and parentheses). Non-zero on success.
int ParseThreadState(const char *statText, char *state);
// The time on a processor, nanoseconds, from a thread's schedstat text. Non-zero on success.
int ParseSchedstatRan(const char *text, uint64_t *ranNs);

// Two looks gapUs apart are quiet when neither saw a thread ready to run and their time grew
// by less than a tenth of the gap: a thread that wakes for a moment now and then is no work
// going on.
bool QuietBetween(const ThreadsLook &a, const ThreadsLook &b, double gapUs);

// Waits until the other threads are quiet, at most limitMs. Non-zero when they are (at once
// where there are none); *waitedMs is how long it took.
int WaitOthersQuiet(double limitMs, double *waitedMs);
