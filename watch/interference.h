// Interference: how much CPU time others took from a test while it measured, from the
// kernel's counters: /proc/stat for the machine, /proc/self/stat for this process, and each
// thread's scheduler statistics (/proc/self/task/*/schedstat) for the time its threads were
// ready to run and kept waiting. The arithmetic works on text and snapshots alone, so that
// it is tested on made-up ones.
#pragma once

#include <stdint.h>

// Cumulative CPU time in the kernel's clock ticks (USER_HZ, both files use them).
struct CpuSnapshot {
    uint64_t busy;  // user + nice + system + irq + softirq, over all processors
    uint64_t idle;  // idle + iowait: waiting for a disk is idle time to a renderer
    uint64_t steal; // taken by the hypervisor for other guests
    uint64_t self;  // this process's user + system time, every thread of it (the driver's)
    uint64_t wait;  // time its threads, living and ended, were ready to run but waited
    int waitKnown;  // the kernel keeps scheduler statistics (not every kernel does)
};

// CPU time of an interval, in clock ticks. Shares are of total.
struct CpuShare {
    uint64_t total;  // all processors' time
    uint64_t others; // busy time not this process's
    uint64_t steal;
    uint64_t self;     // this process's own
    uint64_t wait = 0; // its threads' time ready to run but waiting, added over the threads
    int waitKnown = 0;
};

// What others took from this process, as opposed to what they used: only time they ran
// while its threads waited for a processor can have been taken from it. A single-threaded
// renderer leaves the other processors to others at no cost; and a renderer with more
// threads than processors keeps its own threads waiting with nobody else about. So others'
// time counts up to the threads' wait, and all of it where the kernel keeps no waits.
// Steal is the hypervisor's, taken from whichever processor it was: all of it counts.
//
// Taken above this share of the machine disturbs a run. A share s of the CPU taken from a
// renderer that uses every core lowers its frame rate near the stop by about s; 10 % is
// the step from one grid size to the next near N = 20 ((21/20)² = 1.10), the most a
// disturbance can take before it can move the score by a grid step.
constexpr double kDisturbedShare = 0.10;
// Before a test, a share that is worth a word on standard output.
constexpr double kNoticeableShare = 0.10;

// Reads the "cpu" line of /proc/stat text into busy, idle and steal. Counters that an
// older kernel lacks count 0. Non-zero on success.
int ParseProcStat(const char *text, CpuSnapshot *s);
// Reads utime and stime of /proc/self/stat text into self. Non-zero on success.
int ParseSelfStat(const char *text, CpuSnapshot *s);
// Reads the run-queue wait, in nanoseconds, from one thread's schedstat text ("on-CPU
// wait slices"). Non-zero on success.
int ParseSchedstatWait(const char *text, uint64_t *waitNs);

// The waits of this process's threads, kept thread by thread: a thread that ends takes
// none of what it waited up to its last reading with it, so the process's wait never goes
// back. The table is fixed, so that a reading between frames allocates nothing.
enum { kThreadWaitsMax = 256 };
struct ThreadWait {
    int tid;
    uint64_t waitNs;
};
struct ThreadWaits {
    ThreadWait last[kThreadWaitsMax]; // every thread's at the last reading
    int count;
    uint64_t endedNs; // threads gone since they were read, at their last reading
};
// Takes a reading of every thread of the process (n of them) into the table, and the
// process's wait so far into s (clock ticks, hz a second). A thread whose number is gone,
// or whose wait went back (the number was given again to a new one), ended after its last
// reading. With more threads than the table holds, the reading is left out: s's waits are
// then unknown, and the next interval is measured from the last reading that fitted.
// Non-zero when s's waits are known.
int NoteThreadWaits(ThreadWaits *t, const ThreadWait *now, int n, long hz, CpuSnapshot *s);

// What others and the hypervisor took between two snapshots. Counters that went back
// (they never should) count as standing still.
CpuShare ShareBetween(const CpuSnapshot &from, const CpuSnapshot &to);
double OthersShare(const CpuShare &c); // others / total; 0 without time
double StealShare(const CpuShare &c);
double WaitShare(const CpuShare &c);      // this process's threads' wait / total; may pass 1
double ContestedShare(const CpuShare &c); // others' time while its threads waited
double TakenShare(const CpuShare &c);     // contested and steal together: judged
double UsedShare(const CpuShare &c);      // others and steal, taken or not: the machine's

// Adds b's time to a. The waits of the sum are known when every part's were.
void AddShare(CpuShare *a, const CpuShare &b);

// The verdict on a run from its steps' shares, in the log's order. The steps that decided
// the score are the last quarter of them, at least the last four (all of a shorter run):
// near the stop, where the frame rate creeps down towards 10 and any stolen time can end
// the test early. The run is disturbed when what was taken from it (TakenShare) passes
// kDisturbedShare over those steps together, or over its last step alone, whose window
// ended the test. Steps without figures (total 0) are left out.
struct RunLoad {
    int decidingSteps; // steps with figures among those that decided the score
    CpuShare deciding; // their time together
    CpuShare last;     // the last step's
    int disturbed;
};
RunLoad JudgeRun(const CpuShare *steps, int n);
// How many of a run's n steps decide it, the last of them: a quarter, at least four; all of a
// quick run's.
int DecidingSteps(int n, bool quick);
// The same for a quick run, whose grids were measured small and large in turn and weigh
// alike in its fit: every step decides, together, and no last step ends it.
RunLoad JudgeQuickRun(const CpuShare *steps, int n);
