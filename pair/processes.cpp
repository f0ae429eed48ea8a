// A pair's sides as processes of this program, each started from the program that is
// running. A side writes nothing (app/folders.h, WriteNowhere), so nothing is left behind,
// whatever kills the coordinator.
#include "pair/sides.h"

#include <errno.h>
#include <limits.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static SideProcess procs[2];

// Started from the program that is running, not from the file of its name: a rebuild or an
// upgrade during a pair replaces that file, and a round's sides would be another program's.
// A child's /proc/self/exe is its parent's until it starts another.
static int Start(int s, const std::vector<std::string> &args, const std::vector<std::string> &env,
                 std::string *why) {
    char program[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", program, sizeof program - 1);
    if (n <= 0) {
        *why = std::string("cannot find this program: ") + strerror(errno);
        return 0;
    }
    program[n] = 0;
    return StartSide(&procs[s], "/proc/self/exe", program, args, env, why);
}

static int Send(int s, const std::string &word) {
    return SendWord(&procs[s], word);
}

static int Read(int s, double seconds, std::string *line, std::string *why) {
    return ReadReport(&procs[s], seconds, line, why);
}

static void End(int s) {
    EndSide(&procs[s]);
}

static std::string Said(int s) {
    return SideSaid(procs[s]);
}

static std::string Ending(int s) {
    return SideEnding(procs[s]);
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

const PairSides kProcessSides = {Start, Send, Read, End, Said, Ending, Now};
const PairSides *pairSides = &kProcessSides;
