#include "protocol/pairside.h"

#include "bench/hold.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "watch/interference.h"
#include "platform/uptime.h"
#include "platform/video.h"
#include "watch/loadwatch.h"
#include "watch/gpu.h"
#include "watch/quiet.h"

#include <errno.h>
#include <dirent.h>
#include <sched.h>
#include <sys/syscall.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <string>
#include <vector>
#include <unistd.h>

bool pairSide;

static bool ready;                 // the coordinator has been told
static bool left;                  // the side has ended (a test's stand-in returns from it)
static PairTurnWord turn;          // the turn going on
static int fillLeft;               // frames still to draw before measuring
static UInt64 startUs;             // when its measuring began
static std::vector<UInt64> endsUs; // each measured frame's end
static CpuSnapshot loadFrom;
static double clockFrom, clockTo; // the GPU's clock at the turn's measured start and end
static bool loadRead;
static bool pinRefused; // said once

static UInt64 NowUs(void) {
    return AbsoluteToNanoseconds(UpTime()) / 1000u;
}

int ParseTurnWord(const char *line, PairTurnWord *word) {
    char tail;
    int used = 0;
    word->cpu = -1;
    if (sscanf(line, "turn %d %d %d%n", &word->grid, &word->fill, &word->measure, &used) != 3)
        return 0;
    const char *rest = line + used;
    if (sscanf(rest, " %c", &tail) == 1 && sscanf(rest, "%d %c", &word->cpu, &tail) != 1) return 0;
    return word->grid >= 1 && word->cpu >= -1 && word->cpu < CPU_SETSIZE && word->fill >= 0 &&
           word->measure >= 1 && word->grid <= kPairWordMax && word->fill <= kPairWordMax &&
           word->measure <= kPairWordMax;
}

static void Say(const std::string &line) {
    const char *p = line.data();
    size_t left = line.size();
    while (left > 0) {
        ssize_t n = write(kPairReportFd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) _exit(kPairSideOrphaned); // the coordinator is gone: nobody to render for
        p += n;
        left -= (size_t)n;
    }
}

// A line from the coordinator, read a byte at a time: nothing of the next word may be read
// ahead, and a word comes once a turn.
static std::string Hear(void) {
    std::string line;
    char c;
    for (;;) {
        ssize_t n = read(0, &c, 1);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return "end"; // the coordinator has ended the pair
        if (c == '\n') return line;
        if (line.size() < 256) line += c;
    }
}

static const char *Or(const char *s) {
    return s ? s : "";
}

std::string ReadyLine(const char *vendor, const char *renderer, const char *version, int width,
                      int height, const char *driver) {
    return std::string("ready\t") + Or(vendor) + "\t" + Or(renderer) + "\t" + Or(version) + "\t" +
           std::to_string(width) + "x" + std::to_string(height) + "\t" + Or(driver) + "\n";
}

// The renderer's strings and the surface drawn on, as the test records them: a window's is
// the display's, which only the side can see.
static void SayReady(void) {
    pairSideIo->say(
        ReadyLine(gl_vendor, gl_renderer, gl_version, finalResX, finalResY, VideoDriverName()));
}

std::string TurnReport(const CpuShare &load, bool ranOn, double clockFromMhz, double clockToMhz,
                       uint64_t startUs, const std::vector<uint64_t> &endsUs) {
    char wait[32] = "-", began[32] = "-", ended[32] = "-";
    if (load.waitKnown) snprintf(wait, sizeof wait, "%.9g", WaitShare(load));
    if (clockFromMhz >= 0) snprintf(began, sizeof began, "%.9g", clockFromMhz);
    if (clockToMhz >= 0) snprintf(ended, sizeof ended, "%.9g", clockToMhz);
    char head[256];
    snprintf(head, sizeof head, "turn %d %.9g %.9g %.9g %.9g %s %d %s %s", (int)endsUs.size(),
             OthersShare(load), StealShare(load), load.total ? (double)load.self / load.total : 0.0,
             TakenShare(load), wait, ranOn ? 1 : 0, began, ended);
    std::string line = head;
    char num[32];
    uint64_t from = startUs;
    for (uint64_t end : endsUs) {
        snprintf(num, sizeof num, " %.3f", (end - from) / 1000.0);
        line += num;
        from = end;
    }
    return line;
}

// The measured frames of the turn, as one report: what others took while they were drawn,
// whether this side's own threads worked on past them, and each one's time.
static void Report(const CpuShare &load, bool ranOn) {
    pairSideIo->say(TurnReport(load, ranOn, clockFrom, clockTo, startUs, endsUs) + "\n");
}

static int DrainProcess(void) {
    FinishGL();
    double waitedMs;
    return WaitOthersQuiet(kPairQuietMs, &waitedMs);
}

static void LeaveProcess(int status) {
    _exit(status);
}

const PairSideIo kPairSideProcess = {Hear, Say, DrainProcess, NowUs, LeaveProcess};
const PairSideIo *pairSideIo = &kPairSideProcess;

// The clock the watched GPU runs at now; -1 where none is watched or it cannot be read.
static double GpuClock(void) {
    GpuSample s;
    if (gpuWatched.driver == kGpuNone || !ReadGpuSample(gpuWatched, &s)) return -1;
    return s.clockMhz;
}

static void StartMeasuring(UInt64 now) {
    endsUs.clear();
    clockFrom = GpuClock();
    loadRead = ReadCpuSnapshot(&loadFrom);
    startUs = now;
}

// The rendering thread on the processor the coordinator chose, and the renderer's own
// threads on the others. This machine's processors run at speeds of their own that move
// apart by several times for seconds at a time, so both turns of a pair must render on the
// same one; and left to the kernel, a process's helper threads settle beside its rendering
// thread or away from it, a habit of its own that made one process of a setting up to a
// fifth slower than another for a minute.
static void RenderOn(int cpu) {
    static cpu_set_t all; // as the side started, before any of this
    static bool allRead;
    if (!allRead && sched_getaffinity(0, sizeof all, &all) != 0) CPU_ZERO(&all);
    allRead = true;
    cpu_set_t one, rest;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    rest = all;
    CPU_CLR(cpu, &rest);
    if (CPU_COUNT(&rest) == 0) rest = one;
    pid_t self = (pid_t)syscall(SYS_gettid);
    bool kept = sched_setaffinity(0, sizeof one, &one) == 0;
    if (DIR *d = opendir("/proc/self/task")) {
        while (struct dirent *e = readdir(d)) {
            pid_t tid = (pid_t)atoi(e->d_name);
            if (tid > 0 && tid != self) sched_setaffinity(tid, sizeof rest, &rest);
        }
        closedir(d);
    }
    if (!kept && !pinRefused) {
        pinRefused = true;
        fprintf(stderr, "kelvane: a side of a pair cannot keep to processor %d: %s\n", cpu,
                strerror(errno));
    }
}

static void Leave(int status) {
    left = true;
    pairSideIo->leave(status);
}

// Waits for the next word and starts the turn it gives.
static void NextTurn(void) {
    std::string line = pairSideIo->hear();
    if (line == "end") return Leave(0);
    PairTurnWord word;
    if (!ParseTurnWord(line.c_str(), &word)) {
        fprintf(stderr, "kelvane: a side of a pair cannot read \"%s\"\n", line.c_str());
        return Leave(kPairSideBadWord);
    }
    turn = word;
    if (word.cpu >= 0) RenderOn(word.cpu);
    // Held for good: the test's windows go on closing, and none of them counts.
    if (holdGrid != word.grid) HoldGrid(word.grid, kPairWordMax * 100, false);
    fillLeft = word.fill;
    if (!fillLeft) StartMeasuring(pairSideIo->nowUs());
}

// The end of a turn's measured frames: what others took meanwhile, then the drain, unmeasured:
// the GL finished and the renderer's own threads quiet, so that none of this turn's work falls
// into the other side's.
static void EndTurn(void) {
    CpuShare load = {};
    CpuSnapshot to;
    if (loadRead && ReadCpuSnapshot(&to)) load = ShareBetween(loadFrom, to);
    clockTo = GpuClock();
    bool quiet = pairSideIo->drain() != 0;
    Report(load, !quiet);
    NextTurn();
}

// A frame's end is its swap's return: in a stream of frames, the swap waits while the
// renderer has as many frames in flight as it keeps, so the time between two returns is the
// stream's period, the processor's work for one frame overlapping the GPU's for the one
// before. The fill's last return starts the first measured frame.
void DrivePairSide(void) {
    if (!pairSide || !fullscreen || left) return;
    if (!ready) {
        ready = true;
        SayReady();
        NextTurn();
        return;
    }
    UInt64 now = pairSideIo->nowUs();
    if (fillLeft > 0) {
        if (--fillLeft == 0) StartMeasuring(now);
        return;
    }
    endsUs.push_back(now);
    if ((int)endsUs.size() >= turn.measure) EndTurn();
}

void ResetPairSide(void) {
    ready = left = false;
    turn = PairTurnWord{};
    fillLeft = 0;
    endsUs.clear();
}
