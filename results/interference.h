// Interference: how much of the machine's CPU time others took while a test measured, from
// the kernel's counters (/proc/stat for the machine, /proc/self/stat for this process).
// The arithmetic works on text and snapshots alone, so that it is tested on made-up ones.
#pragma once

#include <stdint.h>

// Cumulative CPU time in the kernel's clock ticks (USER_HZ, both files use them).
struct CpuSnapshot {
    uint64_t busy;  // user + nice + system + irq + softirq, over all processors
    uint64_t idle;  // idle + iowait: waiting for a disk is idle time to a renderer
    uint64_t steal; // taken by the hypervisor for other guests
    uint64_t self;  // this process's user + system time, every thread of it (the driver's)
};

// CPU time of an interval, in clock ticks. Shares are of total.
struct CpuShare {
    uint64_t total;  // all processors' time
    uint64_t others; // busy time not this process's
    uint64_t steal;
    uint64_t self; // this process's own
};

// Others and steal together above this share of the machine disturb a run. A share s of
// the CPU taken from a renderer that uses every core lowers its frame rate near the stop by
// about s; 10 % is the step from one grid size to the next near N = 20 ((21/20)² = 1.10),
// the most a disturbance can take before it can move the score by a grid step.
constexpr double kDisturbedShare = 0.10;
// Before a test, a share that is worth a word on standard output.
constexpr double kNoticeableShare = 0.10;

// Reads the "cpu" line of /proc/stat text into busy, idle and steal. Counters that an
// older kernel lacks count 0. Non-zero on success.
int ParseProcStat(const char *text, CpuSnapshot *s);
// Reads utime and stime of /proc/self/stat text into self. Non-zero on success.
int ParseSelfStat(const char *text, CpuSnapshot *s);

// What others and the hypervisor took between two snapshots. Counters that went back
// (they never should) count as standing still.
CpuShare ShareBetween(const CpuSnapshot &from, const CpuSnapshot &to);
double OthersShare(const CpuShare &c); // others / total; 0 without time
double StealShare(const CpuShare &c);
double TakenShare(const CpuShare &c); // others and steal together

// Adds b's time to a.
void AddShare(CpuShare *a, const CpuShare &b);

// The verdict on a run from its steps' shares, in the log's order. The steps that decided
// the score are the last quarter of them, at least the last four (all of a shorter run):
// near the stop, where the frame rate creeps down towards 10 and any stolen time can end
// the test early. The run is disturbed when others and steal took more than
// kDisturbedShare over those steps together, or over its last step alone, whose window
// ended the test. Steps without figures (total 0) are left out.
struct RunLoad {
    int decidingSteps; // steps with figures among those that decided the score
    CpuShare deciding; // their time together
    CpuShare last;     // the last step's
    int disturbed;
};
RunLoad JudgeRun(const CpuShare *steps, int n);
