// A pair's sides as processes of this program, each started from the program that is
// running, with a scratch folder of their own for whatever their tests leave behind.
#include "pair/sides.h"

#include <errno.h>
#include <ftw.h>
#include <limits.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static SideProcess procs[2];
static std::string scratch; // the sides' folder, until both have started or ended

static int RemoveEntry(const char *path, const struct stat *, int, struct FTW *) {
    remove(path);
    return 0;
}

static void RemoveScratch(void) {
    if (!scratch.empty()) nftw(scratch.c_str(), RemoveEntry, 16, FTW_DEPTH | FTW_PHYS);
    scratch.clear();
}

static int MakeScratch(std::string *why) {
    if (!scratch.empty()) return 1;
    const char *tmp = getenv("TMPDIR");
    std::string in = tmp && *tmp ? tmp : "/tmp", pattern = in + "/kelvane-pair-XXXXXX";
    std::vector<char> folder(pattern.begin(), pattern.end());
    folder.push_back(0);
    if (!mkdtemp(folder.data())) {
        *why = "no temporary folder for the sides in " + in + ": " + strerror(errno);
        return 0;
    }
    scratch = folder.data();
    return 1;
}

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
    if (!MakeScratch(why)) return 0;
    std::string dir = scratch + (s ? "/B" : "/A");
    if (mkdir(dir.c_str(), 0700) != 0) {
        *why = "cannot make " + dir + ": " + strerror(errno);
        return 0;
    }
    std::vector<std::string> all = args;
    all.push_back("--results");
    all.push_back(dir);
    return StartSide(&procs[s], "/proc/self/exe", program, all, env, why);
}

static int Send(int s, const std::string &word) {
    return SendWord(&procs[s], word);
}

static int Read(int s, double seconds, std::string *line, std::string *why) {
    return ReadReport(&procs[s], seconds, line, why);
}

static void End(int s) {
    EndSide(&procs[s]);
    if (!procs[1 - s].pid || procs[1 - s].ended) RemoveScratch();
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

const PairSides kProcessSides = {Start, RemoveScratch, Send, Read, End, Said, Ending, Now};
const PairSides *pairSides = &kProcessSides;
