// One side of a paired comparison (--pair, pair/): a test that neither climbs nor scores,
// told by the coordinator which grid to render and for how long, turn after turn. Between
// turns it renders nothing and waits for the next word, so that the other side has the
// machine to itself. A turn is timed by the side itself, not in the test's one-second
// windows: the machine's speed moves within a second here, and only turns as short as a
// frame or two fall on the same moment of it. The coordinator writes words on the side's
// standard input and reads its reports on kPairReportFd; every word and report is a line:
//   side -> "ready\t<vendor>\t<renderer>\t<version>"   once its test has started
//   coordinator -> "turn <grid> <settle> <measure> [<cpu>]"   a turn: the grid, settle frames
//        drawn unmeasured, then measure frames measured on the processor numbered cpu
//        (the rendering thread kept to it from then on), the last finished (glFinish) so that none
//        of its work spills into the other's turn
//   side -> "turn <frames> <others> <steal> <self> <taken> <wait|-> <ms> <ms> ..."
//        the measured frames: how many, the shares of the machine taken meanwhile
//        (watch/interference.h) and each one's time in milliseconds, from the turn's start
//        (the first) or the frame before, to its end (the last: to the finish)
//   coordinator -> "end", or its end of the pipe closed: the side ends at once, writing
//        nothing (its test never reaches a score)
// A word the side cannot read ends it with a line on standard error.
#pragma once

enum { kPairReportFd = 3 };
// How a side ends other than by "end": a word it could not read; the coordinator gone.
enum { kPairSideBadWord = 2, kPairSideOrphaned = 3 };

extern bool pairSide; // this process is a side of a pair (--pair-side)

// After every frame of a test, outside it: says the side is ready, times the turn it was
// given, reports it, and waits for the next.
void DrivePairSide(void);

// A turn's word.
struct PairTurnWord {
    int grid, settle, measure; // frames
    int cpu;                   // the processor to render on, or -1 where it is
};
// Reads "turn G S M [C]"; non-zero when it is one (grid 1 to kPairWordMax, settle 0 or more
// and measure 1 or more frames, each at most kPairWordMax; C a processor's number, -1 when
// not given).
int ParseTurnWord(const char *line, PairTurnWord *word);
enum { kPairWordMax = 100000 };
