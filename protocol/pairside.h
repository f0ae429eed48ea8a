// One side of a paired comparison (--pair, pair/): a test that neither climbs nor scores,
// told by the coordinator which grid to render and for how long, turn after turn. Between
// turns it renders nothing and waits for the next word, so that the other side has the
// machine to itself. The coordinator writes words on the side's standard input and reads its
// reports on kPairReportFd; every word and report is one line:
//   side -> "ready\t<vendor>\t<renderer>\t<version>"      once its test has started
//   coordinator -> "turn <grid> <settle> <measured>"      a turn: hold the grid, after the
//        window that the wait left open, for settle windows unmeasured, then measured ones
//   side -> "turn <frames> <others> <steal> <self> <taken> <wait|-> <ms> <ms> ..."
//        the measured windows together: frames counted, the shares of the machine taken
//        meanwhile (watch/interference.h) and every frame time kept, in milliseconds
//   coordinator -> "end", or its end of the pipe closed: the side ends at once, writing
//        nothing (its test never reaches a score)
// A word the side cannot read ends it with a line on standard error.
#pragma once

enum { kPairReportFd = 3 };
// How a side ends other than by "end": a word it could not read; the coordinator gone.
enum { kPairSideBadWord = 2, kPairSideOrphaned = 3 };

extern bool pairSide; // this process is a side of a pair (--pair-side)

// After every frame of a test, outside it: says the side is ready, runs the turn it was
// given, reports it, and waits for the next.
void DrivePairSide(void);

// The words above, for both ends.
struct PairTurnWord {
    int grid, settle, measured;
};
// Reads "turn G S M"; non-zero when it is one (grid 1 or more, settle 0 or more, measured 1
// or more, each at most kPairWordMax).
int ParseTurnWord(const char *line, PairTurnWord *word);
enum { kPairWordMax = 100000 };
