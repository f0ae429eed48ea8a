// One side of a paired comparison (--pair, pair/): a test that neither climbs nor scores,
// told by the coordinator which grid to render and for how long, turn after turn. Between
// turns it renders nothing and waits for the next word, so that the other side has the
// machine to itself. A turn is timed by the side itself, not in the test's one-second
// windows: the machine's speed moves within a second here, and only turns as short as a
// frame or two fall on the same moment of it. The coordinator writes words on the side's
// standard input and reads its reports on kPairReportFd; every word and report is a line:
//   side -> "ready\t<vendor>\t<renderer>\t<version>\t<W>x<H>\t<driver>"   once its test has
//        started: the renderer's strings and the surface it draws on
//   coordinator -> "turn <grid> <fill> <measure> [<cpu>]"   a turn: the grid, fill frames drawn
//        unmeasured (as many as the renderer keeps in flight, so that the pipeline is full),
//        then measure frames measured, on the processor numbered cpu (the rendering thread
//        kept to it from then on); then the drain, unmeasured: the GL finished and the
//        side's own threads quiet, so that none of its work spills into the other's turn
//   side -> "turn <frames> <others> <steal> <self> <taken> <wait|-> <ran-on> <mhz|-> <mhz|->
//        <ms> <ms> ..."
//        the measured frames: how many, the shares of the machine taken meanwhile
//        (watch/interference.h), 1 when the side's threads were still at work kPairQuietMs
//        after its finish (0 otherwise), the watched GPU's clock as they began and as they
//        ended ("-": no GPU watched), and each frame's time in milliseconds, from the
//        return of the swap before (the fill's last; the word's arrival without a fill) to
//        the return of its own
//   coordinator -> "end", or its end of the pipe closed: the side ends at once, writing
//        nothing (its test never reaches a score)
// A word the side cannot read ends it with a line on standard error.
#pragma once

#include "watch/interference.h"

#include <stdint.h>
#include <string>
#include <vector>

enum { kPairReportFd = 3 };
// The longest a turn's drain waits for the side's own threads to go quiet, milliseconds.
enum { kPairQuietMs = 1000 };
// How a side ends other than by "end": a word it could not read; the coordinator gone.
enum { kPairSideBadWord = 2, kPairSideOrphaned = 3 };

extern bool pairSide; // this process is a side of a pair (--pair-side)

// After every frame of a test, outside it: says the side is ready, times the turn it was
// given, reports it, and waits for the next.
void DrivePairSide(void);
// Forgets the turns and the word that the side is ready, as a side that starts afresh.
void ResetPairSide(void);

// What a side does beyond its turns' bookkeeping, one table: the process's own, or a test's
// stand-ins driving DrivePairSide in-process.
struct PairSideIo {
    std::string (*hear)(void);            // the next word; "end" once the coordinator is gone
    void (*say)(const std::string &line); // a line to the coordinator, with its newline
    int (*drain)(void);        // the GL finished, then its threads: non-zero when they went quiet
    uint64_t (*nowUs)(void);   // on a clock that never goes back
    void (*leave)(int status); // the side ends: 0 at "end", kPairSideBadWord
};
extern const PairSideIo kPairSideProcess;
extern const PairSideIo *pairSideIo; // kPairSideProcess unless a test says

// The side's "ready" line, with its newline.
std::string ReadyLine(const char *vendor, const char *renderer, const char *version, int width,
                      int height, const char *driver);

// The report of a turn's measured frames (the "turn ..." line above): the shares of load,
// whether the side's threads ran on, the GPU's clock as they began and ended (-1: unknown)
// and each frame's end, in microseconds, the first timed from startUs.
std::string TurnReport(const CpuShare &load, bool ranOn, double clockFromMhz, double clockToMhz,
                       uint64_t startUs, const std::vector<uint64_t> &endsUs);

// A turn's word.
struct PairTurnWord {
    int grid, fill, measure; // frames
    int cpu;                 // the processor to render on, or -1 where it is
};
// Reads "turn G F M [C]"; non-zero when it is one (grid 1 to kPairWordMax, fill 0 or more
// and measure 1 or more frames, each at most kPairWordMax; C a processor's number, -1 when
// not given).
int ParseTurnWord(const char *line, PairTurnWord *word);
enum { kPairWordMax = 100000 };
