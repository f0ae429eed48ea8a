// The two sides of a pair as processes of this program's own (protocol/pairside.h): each
// started with its own environment and arguments, spoken to over pipes, and never left
// behind: a side dies with the coordinator (the kernel sees to it, whatever kills the
// coordinator), and the coordinator ends and reaps every side it started.
#pragma once

#include <sys/types.h>
#include <string>
#include <vector>

struct SideProcess {
    pid_t pid = 0;       // 0: not started, or reaped
    int words = -1;      // its standard input
    int reports = -1;    // its report pipe
    int output = -1;     // its standard output and error together
    std::string said;    // the end of what it wrote there, for a message
    std::string pending; // report text read past the last whole line
    bool ended = false;  // it has ended and been reaped
    int status = 0;      // then: its wait status
};

// Starts the program at path, named name, with args, with env's NAME=VALUE assignments added
// to this process's environment, in a process group of its own (a Ctrl+C is the
// coordinator's to pass on). Non-zero on success; otherwise *why.
int StartSide(SideProcess *p, const char *path, const char *name,
              const std::vector<std::string> &args, const std::vector<std::string> &env,
              std::string *why);

// Sends one line. Non-zero when written whole.
int SendWord(SideProcess *p, const std::string &line);

// Waits up to seconds for the side's next report line, keeping what it writes on its output
// meanwhile. 1 with *line; 0 when it ended, was interrupted (see pairInterrupted) or the time
// passed, with *why.
int ReadReport(SideProcess *p, double seconds, std::string *line, std::string *why);

// Ends the side, from any state: "end", then SIGTERM and SIGKILL to its group if it lingers;
// reaps it and closes the pipes.
void EndSide(SideProcess *p);

// The last lines of what the side said, in one line, at most about 300 characters.
std::string SideSaid(const SideProcess &p);
// How it ended, in words: "exit status 2", "killed by signal 9 (Killed)".
std::string SideEnding(const SideProcess &p);

// Set by SIGINT, SIGTERM and SIGHUP once CatchPairSignals has run: the pair is to end.
extern volatile int pairInterrupted;
void CatchPairSignals(void);

// The coordinator's two sides, whatever they are: processes of this program (kProcessSides),
// or a test's stand-ins driven in-process. What the coordinator does with them, one table;
// every call names the side, 0 (A) or 1 (B).
struct PairSides {
    // Starts side s afresh with a side's arguments (--test ... --pair-side) and its NAME=VALUE
    // assignments. Non-zero on success; otherwise *why.
    int (*start)(int s, const std::vector<std::string> &args, const std::vector<std::string> &env,
                 std::string *why);
    int (*send)(int s, const std::string &word);                             // as SendWord
    int (*read)(int s, double seconds, std::string *line, std::string *why); // as ReadReport
    void (*end)(int s);                                                      // as EndSide
    std::string (*said)(int s);                                              // as SideSaid
    std::string (*ending)(int s);                                            // as SideEnding
    double (*now)(void); // seconds, on a clock that never goes back
};
extern const PairSides kProcessSides;
extern const PairSides *pairSides; // what a pair runs with: kProcessSides unless a test says
