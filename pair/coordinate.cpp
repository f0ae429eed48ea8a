#include "pair/pair.h"
#include "report/gate.h"

#include "history/history.h"
#include "pair/judge.h"
#include "pair/sides.h"
#include "protocol/pairside.h"
#include "record/pair_record.h"
#include "watch/interference.h"

#include <sched.h>
#include <math.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

#include <algorithm>
#include <sstream>

static const char *const kSideName[2] = {"A", "B"};
static const double kWarmNear =
    1.5; // a round's turns begin once one reads within this of the probe

enum {
    kProbeTurnsMax = 8,  // turns the probe may take to find the grid
    kProbeSettleMax = 3, // and then to settle both sides on it
    kPairSettleMs = 500, // a look at both sides, in turn
    kWarmTurnsMax = 4,   // unmeasured turns that begin a round, at most
    kMaxPairGrid = 1365, // a result file's largest grid
    kReadySeconds = 300, // a side builds its scene and validates its renderer first
    kTurnSecondsSlack = 30,
    kProgressSeconds = 5, // between two lines of progress
    kOverSeconds = 10,    // past the time limit, the most a wait goes on: the sides' end
};

static PairResult result;
static double startedAt, timeLimitS;
static FILE *progressOut;
static double progressShown; // when progress was last said
static std::string doing;    // what the pair is doing, for its progress
static int droppedPairs;

static double Now(void) {
    return pairSides->now();
}

// What the pair is doing, every kProgressSeconds whatever it waits for, with its dropped
// pairs: a pair on a busy machine may take minutes for what takes seconds on a quiet one.
static void SayProgress(bool now) {
    if (!progressOut || (!now && Now() - progressShown < kProgressSeconds)) return;
    progressShown = Now();
    const PairJudgement &j = result.judgement;
    fprintf(progressOut, "pair: %s, %.0f s", doing.c_str(), Now() - startedAt);
    if (j.pairs) fprintf(progressOut, ", %d pairs", j.pairs);
    if (j.known)
        fprintf(progressOut, ": B/A %.4f (%.4f to %.4f), ±%.2f %%", j.ratio, j.low, j.high,
                50 * (j.high - j.low) / j.ratio);
    if (droppedPairs) fprintf(progressOut, ", %d dropped", droppedPairs);
    fprintf(progressOut, "\n");
    fflush(progressOut);
}

int GridForFrameTime(int gridA, double msA, int gridB, double msB, double targetMs, int maxGrid) {
    double ta = (double)gridA * gridA, tb = (double)gridB * gridB, t = 0;
    if (gridB > 0 && tb != ta && msA > 0 && msB > 0) {
        double slope = (msB - msA) / (tb - ta);
        if (slope > 0) t = ta + (targetMs - msA) / slope;
    }
    // No rising line: through the origin, from the point with the longer frame time.
    if (!(t > 0)) {
        bool useB = gridB > 0 && msB > msA;
        double ms = useB ? msB : msA, tri = useB ? tb : ta;
        t = ms > 0 ? tri * targetMs / ms : tri * 4;
    }
    double g = floor(sqrt(t) + 0.5);
    return (int)std::min(std::max(g, 1.0), (double)maxGrid);
}

// --- what is said ----------------------------------------------------------------------

static std::string SideLabel(int s) {
    const PairSide &side = result.sides[s];
    std::string setting = side.setting.empty() || side.setting == "-" ? "as it is" : side.setting;
    return std::string("side ") + kSideName[s] + " (" + setting + ")";
}

// A side went wrong: says which, what, and what it said itself.
static void SideFailed(int s, const std::string &what, FILE *err) {
    std::string said = pairSides->said(s);
    fprintf(err, "kelvane: %s %s%s%s\n", SideLabel(s).c_str(), what.c_str(),
            said.empty() ? "" : "; it said: ", said.c_str());
}

// --- the sides --------------------------------------------------------------------------

static void EndBoth(void) {
    for (int s = 0; s < 2; s++)
        pairSides->end(s);
}

static std::vector<std::string> SideArgs(const PairAsk &ask, int s) {
    std::vector<std::string> args = {"--test"};
    if (!ask.window)
        args.push_back("--offscreen=" + std::to_string(ask.width) + "x" +
                       std::to_string(ask.height));
    if (result.sides[s].device >= 0) {
        args.push_back("--device");
        args.push_back(std::to_string(result.sides[s].device));
    }
    args.push_back("--pair-side");
    return args;
}

static int StartBoth(const PairAsk &ask, FILE *err, int lead) {
    for (int k = 0; k < 2; k++) {
        int s = k == 0 ? lead : 1 - lead;
        std::string why;
        if (!pairSides->start(s, SideArgs(ask, s), result.sides[s].env, &why)) {
            SideFailed(s, "could not start: " + why, err);
            return 0;
        }
    }
    return 1;
}

// The side's next report, within seconds and within the pair's time limit (and a little
// more, for the sides' end): saying progress meanwhile.
static int Await(int s, double seconds, std::string *line, std::string *why) {
    double start = Now(), until = std::min(start + seconds, startedAt + timeLimitS + kOverSeconds);
    for (;;) {
        double left = std::max(std::min(until - Now(), 1.0), 0.001); // a look at least
        if (pairSides->read(s, left, line, why)) return 1;
        if (pairInterrupted || why->rfind("no word from it", 0) != 0) return 0;
        SayProgress(false);
        if (Now() >= until) {
            *why = "no word from it in " + std::to_string((int)(Now() - start + 0.5)) + " s";
            if (until < start + seconds) *why += ", and the pair's time is up";
            return 0;
        }
    }
}

static int WaitReady(int s, FILE *err) {
    std::string line, why;
    if (!Await(s, kReadySeconds, &line, &why)) {
        if (!pairInterrupted) SideFailed(s, "could not start: " + why, err);
        return 0;
    }
    std::vector<std::string> f;
    std::stringstream in(line);
    std::string field;
    while (std::getline(in, field, '\t'))
        f.push_back(field);
    if ((f.size() != 4 && f.size() != 6) || f[0] != "ready") {
        SideFailed(s, "could not start: it said \"" + line.substr(0, 80) + "\"", err);
        return 0;
    }
    result.sides[s].vendor = f[1];
    result.sides[s].renderer = f[2];
    result.sides[s].glVersion = f[3];
    // In windows, the surface and the window system are the display's, as side A found them.
    int width = 0, height = 0;
    if (s == 0 && result.driver == "window" && f.size() == 6 &&
        sscanf(f[4].c_str(), "%dx%d", &width, &height) == 2 && width > 0 && height > 0 &&
        !f[5].empty()) {
        result.width = width;
        result.height = height;
        result.driver = f[5];
    }
    return 1;
}

int ParseTurnReport(const std::string &line, PairTurn *t) {
    std::istringstream in(line);
    std::string word, wait, clock[2];
    double others, steal, self, taken;
    int ranOn;
    if (!(in >> word >> t->frames >> others >> steal >> self >> taken >> wait >> ranOn >>
          clock[0] >> clock[1]) ||
        word != "turn" || (ranOn != 0 && ranOn != 1))
        return 0;
    t->ranOn = ranOn;
    // A clock that is no clock is unknown, as the GPU watch has it.
    double *mhz[2] = {&t->clockFromMhz, &t->clockToMhz};
    for (int k = 0; k < 2; k++) {
        double v = clock[k] == "-" ? -1 : atof(clock[k].c_str());
        *mhz[k] = isfinite(v) && v > 0 && v < 1e6 ? v : -1;
    }
    // Over a turn of a frame the kernel's tick counters are coarse, and the machine's and
    // this process's are read a moment apart: shares can pass the whole or round apart.
    // They are kept within what the shares can be (a result holds nothing else).
    auto share = [](double x) { return std::min(std::max(isfinite(x) ? x : 0, 0.0), 1.0); };
    others = share(others);
    steal = share(steal);
    self = std::min(share(self), 1 - std::min(others + steal, 1.0));
    if (others + steal > 1) others = 1 - steal;
    taken = std::min(share(taken), others + steal);
    double waited = wait != "-" ? atof(wait.c_str()) : 0;
    t->load = ResultLoad{true,
                         others,
                         steal,
                         self,
                         taken,
                         wait != "-",
                         std::min(std::max(isfinite(waited) ? waited : 0, 0.0), 4096.0)};
    double ms, sum = 0;
    t->frameMs.clear();
    while (in >> ms) {
        if (!(ms >= 0) || !isfinite(ms)) return 0;
        t->frameMs.push_back(ms);
        sum += ms;
    }
    if (!in.eof() || t->frameMs.empty() || t->frames < (int)t->frameMs.size()) return 0;
    t->meanMs = sum / t->frameMs.size();
    t->disturbed = taken > kDisturbedShare;
    return t->meanMs > 0;
}

// One turn of side s at grid: fill frames unmeasured, then measure frames measured.
static int Turn(int s, int grid, int fill, int measure, PairTurn *t, FILE *err, int cpu = -1) {
    *t = PairTurn{};
    t->side = s;
    t->grid = grid;
    t->fill = fill;
    std::string line, why;
    char word[64];
    if (cpu >= 0)
        snprintf(word, sizeof word, "turn %d %d %d %d", grid, fill, measure, cpu);
    else
        snprintf(word, sizeof word, "turn %d %d %d", grid, fill, measure);
    // A frame takes at most a few seconds at any grid the probe chooses; the drain, one more.
    double seconds = kTurnSecondsSlack + 5.0 * (fill + measure) + kPairQuietMs / 1000.0;
    if (!pairSides->send(s, word)) {
        // Gone: how it ended is in its status.
        pairSides->end(s);
        why = "it ended (" + pairSides->ending(s) + ")";
    }
    if (!why.empty() || !Await(s, seconds, &line, &why)) {
        if (!pairInterrupted)
            SideFailed(s, "stopped part-way: " + (why.empty() ? "it took no word" : why), err);
        return 0;
    }
    if (!ParseTurnReport(line, t)) {
        SideFailed(s, "reported a turn that cannot be read: \"" + line.substr(0, 80) + "\"", err);
        return 0;
    }
    SayProgress(false);
    return 1;
}

// --- the grid ---------------------------------------------------------------------------

int TurnFrames(double frameMs, double turnMs) {
    if (!(frameMs > 0)) return 1;
    double n = floor(turnMs / frameMs + 0.5);
    return (int)std::min(std::max(n, 1.0), 1000.0);
}

int FramesInFlight(const double *frameMs, int n) {
    if (n < 2) return 1;
    std::vector<double> sorted(frameMs, frameMs + n);
    std::sort(sorted.begin(), sorted.end());
    double median = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    int lead = 0;
    while (lead < n - 1 && frameMs[lead] < 0.8 * median)
        lead++;
    return std::min(std::max(lead, 1), (int)kPairFillMax);
}

static int fillFrames[2]; // each side's frames in flight, the most its probe saw

// About lookMs of side s at grid, a stream from an idle pipeline, after a frame that says
// how many frames that is (itself after one unmeasured: the first at a new grid may carry
// the old one's work or none). The stream's leading frames say how many the renderer keeps
// in flight; the rest, its period.
static int Measure(int s, int grid, double *ms, FILE *out, FILE *err, int lookMs = kPairProbeMs) {
    PairTurn t;
    if (!Turn(s, grid, 1, 1, &t, err) ||
        !Turn(s, grid, 0, std::max(TurnFrames(t.meanMs, lookMs), 4), &t, err))
        return 0;
    int inFlight = FramesInFlight(t.frameMs.data(), (int)t.frameMs.size());
    fillFrames[s] = std::max(fillFrames[s], inFlight);
    double sum = 0;
    for (size_t i = inFlight; i < t.frameMs.size(); i++)
        sum += t.frameMs[i];
    *ms = sum / (t.frameMs.size() - inFlight);
    fprintf(out, "pair: probe: %s at grid %d: %.1f ms a frame, %d in flight\n", kSideName[s], grid,
            *ms, inFlight);
    fflush(out);
    progressShown = Now(); // a word of progress too
    return 1;
}

static bool Near(double ms) {
    return fabs(ms / kPairGridFrameMs - 1) < 0.2;
}

// A grid where the slower side's frame time is near 100 ms: there a turn's throughput is
// what the steady figure reads. Each side's frame time there too, for its turns' frames.
static int Probe(int *grid, double frameMs[2], FILE *out, FILE *err) {
    int g = 8, prevGrid = 0, gridA = 0;
    double ms = 0, prevMs = 0;
    for (int i = 0; i < kProbeTurnsMax; i++) {
        if (!Measure(0, g, &ms, out, err)) return 0;
        // A bigger grid faster, or a smaller one slower, is a moment of the machine's, not
        // the renderer: read it again rather than aim from it.
        if (prevGrid && (g > prevGrid) != (ms > prevMs) && !Measure(0, g, &ms, out, err)) return 0;
        gridA = g;
        if (Near(ms) || (g == kMaxPairGrid && ms < kPairGridFrameMs)) break;
        // Far below, the frame's fixed costs bend the line: no more than 4 times the
        // triangles a step.
        int next = GridForFrameTime(prevGrid ? prevGrid : g, prevGrid ? prevMs : ms,
                                    prevGrid ? g : 0, ms, kPairGridFrameMs, kMaxPairGrid);
        next = std::min(next, 2 * g);
        prevGrid = g;
        prevMs = ms;
        if (next == g) break;
        g = next;
    }
    // Both sides at the grid, looked at in turn (A B B A), and the slower decides. A side's
    // look may read four times slow for a second or two (a process just started, a processor
    // its host has slowed), and a lone look would aim from that and leave the two sides' turns
    // unlike: of each side's two looks the quicker is kept, since such moments only slow it.
    g = gridA;
    for (int i = 0; i < kProbeSettleMax; i++) {
        double again[2];
        if (!Measure(0, g, &frameMs[0], out, err, kPairSettleMs) ||
            !Measure(1, g, &frameMs[1], out, err, kPairSettleMs) ||
            !Measure(1, g, &again[1], out, err, kPairSettleMs) ||
            !Measure(0, g, &again[0], out, err, kPairSettleMs))
            return 0;
        for (int s = 0; s < 2; s++)
            frameMs[s] = std::min(frameMs[s], again[s]);
        double slower = std::max(frameMs[0], frameMs[1]);
        int next =
            std::min(GridForFrameTime(g, slower, 0, 0, kPairGridFrameMs, kMaxPairGrid), 2 * g);
        if (Near(slower) || next == g || i == kProbeSettleMax - 1) break;
        g = next;
    }
    *grid = g;
    return 1;
}

// --- the turns --------------------------------------------------------------------------

static std::vector<TurnPair> KeptPairs(void) {
    std::vector<TurnPair> kept;
    for (size_t i = 0; i + 1 < result.turns.size(); i += 2) {
        const PairTurn &x = result.turns[i], &y = result.turns[i + 1];
        if (x.dropped) continue;
        const PairTurn &a = x.side == 0 ? x : y, &b = x.side == 0 ? y : x;
        kept.push_back({a.meanMs, b.meanMs, a.round});
    }
    return kept;
}

static void Judge(void) {
    std::vector<TurnPair> pairs = KeptPairs();
    result.judgement = JudgePairs(pairs.data(), (int)pairs.size());
}

// Each side's turn: its frames in flight filled, then the frames of kPairTurnMs; or, for
// the benchmark's study of turns, KELVANE_PAIR_TURN="FILL-FRAMES,TURN-MS".
static void TurnShapes(const double frameMs[2], PairTurnWord shape[2]) {
    int fill = -1, turnMs = kPairTurnMs, a, b;
    char tail;
    const char *e = getenv("KELVANE_PAIR_TURN");
    if (e && sscanf(e, "%d,%d%c", &a, &b, &tail) == 2 && a >= 0 && a <= 1000 && b >= 1 &&
        b <= 100000) {
        fill = a;
        turnMs = b;
    }
    // Both sides fill alike, as many as the more of them keeps in flight: a filled pipeline
    // takes no harm from a frame more, and on a busy machine a look reads one frame in flight
    // or two by chance. Of 20 pairs of a setting against itself there, the 9 whose sides filled
    // unlike leaned one way (7 of 9, by 3.9 % at the median), the 11 filled alike did not.
    if (fill < 0) fill = std::max({fillFrames[0], fillFrames[1], 1});
    for (int s = 0; s < 2; s++)
        shape[s] = {result.grid, fill, TurnFrames(frameMs[s], turnMs), -1};
}

// The processors both turns of a pair render on, one pair after another on each in turn,
// for the benchmark's study only (KELVANE_PAIR_PIN=1): keeping a renderer's threads apart
// from its rendering thread changes what a setting of threads measures (mesa_glthread's
// worker put beside llvmpipe's threads ran 74 % slower, where unkept it ran 28 %), and the
// verdict's quantity is the stream the program renders as a user runs it.
static std::vector<int> PairCpus(void) {
    std::vector<int> cpus;
    cpu_set_t set;
    const char *e = getenv("KELVANE_PAIR_PIN");
    if (!e || strcmp(e, "1") || sched_getaffinity(0, sizeof set, &set) != 0) return cpus;
    for (int c = 0; c < CPU_SETSIZE; c++)
        if (CPU_ISSET(c, &set)) cpus.push_back(c);
    if (cpus.size() < 2) cpus.clear();
    return cpus;
}

// Both sides ended and started afresh for another round, lead first.
static int Restart(const PairAsk &ask, FILE *err, int lead) {
    EndBoth();
    if (!StartBoth(ask, err, lead)) return 0;
    for (int s = 0; s < 2; s++)
        if (!WaitReady(s, err)) return 0;
    return 1;
}

double PairRoundSeconds(double timeLimitS) {
    return std::min(std::max(timeLimitS / 24, 3.0), 30.0);
}

// Rounds of pairs of turns, each round's in the order AB BA AB BA ... or, every other round,
// BA AB BA AB ..., the sides started afresh for each, until the interval over the rounds is
// as narrow as asked or the time is up. Which side leads a round (started, warmed and
// measured first) alternates: A against A here read B 0.8 % faster over 312 rounds that A
// led, 2.7 % in their first blocks, a lead a block cannot cancel. Others' load falls on both turns
// of a pair alike and is kept: it widens the interval and biases nothing. A pair whose side ran on
// past its turn, into its partner's, is kept in the record, left out of the judgement, and run
// again in the same order. Each round begins with a turn of each side unmeasured: a fresh side's
// first frame at the grid carries the building of what it draws.
static int RunTurns(const PairAsk &ask, const double frameMs[2], FILE *out, FILE *err) {
    PairTurnWord shape[2];
    TurnShapes(frameMs, shape);
    std::vector<int> cpus = PairCpus();
    double roundS = PairRoundSeconds(ask.timeLimitS);
    fprintf(out,
            "pair: turns of %d frame%s (A) and %d (B) at grid %d after %d filling the "
            "pipeline, in rounds of %.0f s with both sides started afresh, until ±%.1f %% or "
            "%.0f s in all\n",
            shape[0].measure, shape[0].measure == 1 ? "" : "s", shape[1].measure, result.grid,
            shape[0].fill, roundS, ask.precision * 100, ask.timeLimitS);
    fflush(out);
    int run = 0;
    double lastPairS = 0;
    for (int round = 0;; round++) {
        // The probe's sides too are ended unjudged: the side that tried several grids ran
        // slower than the other for seconds after.
        double roundStart = Now();
        int lead = round % 2;
        doing = "round " + std::to_string(round + 1) + ", starting the sides";
        if (!Restart(ask, err, lead)) return 0;
        double startS = Now() - roundStart;
        doing = "round " + std::to_string(round + 1);
        // Until a side's turn reads near what the probe found: a fresh side's first turns at
        // the grid carry the building of what it draws, and here now and then run three times
        // slow for a turn or two more.
        for (int s : {lead, 1 - lead}) {
            PairTurn warm;
            for (int k = 0; k < kWarmTurnsMax; k++) {
                if (!Turn(s, result.grid, shape[s].fill, shape[s].measure, &warm, err,
                          cpus.empty() ? -1 : cpus[0]))
                    return 0;
                if (warm.meanMs < kWarmNear * frameMs[s]) break;
            }
        }
        int kept = 0; // this round's
        double turnsStart = Now();
        while (Now() - turnsStart < roundS) {
            if (Now() - startedAt + lastPairS > ask.timeLimitS) return 1;
            double pairStart = Now();
            int first = kept % 2 == 0 ? lead : 1 - lead;
            int cpu = cpus.empty() ? -1 : cpus[run % cpus.size()];
            PairTurn t[2];
            for (int k = 0; k < 2; k++) {
                int s = k == 0 ? first : 1 - first;
                if (!Turn(s, result.grid, shape[s].fill, shape[s].measure, &t[k], err, cpu))
                    return 0;
                t[k].pair = run;
                t[k].round = round;
            }
            run++;
            lastPairS = Now() - pairStart;
            bool ranOn = t[0].ranOn || t[1].ranOn;
            t[0].dropped = t[1].dropped = ranOn;
            result.turns.push_back(t[0]);
            result.turns.push_back(t[1]);
            droppedPairs += ranOn;
            if (!ranOn && ++kept % 2 == 0) Judge();
            SayProgress(false);
        }
        Judge();
        if (PreciseEnough(result.judgement, ask.precision)) {
            std::vector<TurnPair> pairs = KeptPairs();
            result.judgement = JudgePairs(pairs.data(), (int)pairs.size(), kPairStoppedConfidence);
            result.precise = true;
            SayProgress(true);
            return 1;
        }
        // Another round only where its turns would have half their time.
        if (Now() - startedAt + startS + roundS / 2 > ask.timeLimitS) return 1;
    }
}

// --- the end ----------------------------------------------------------------------------

// A GPU that waits through the other side's turns may lower its clock and raise it again
// only once its own turn has begun: its turns then measure a GPU still finding its speed.
static void SayClocks(FILE *out) {
    for (int s = 0; s < 2; s++) {
        ClockRise rise = TurnsOnARisingClock(result.turns, s);
        if (rise.rising)
            fprintf(out,
                    "pair: side %s's GPU clock was still rising in %d of its %d turns (from %.0f "
                    "to %.0f MHz at the median): it lowers its clock while the other side renders, "
                    "and its turns measured it finding its speed again\n",
                    kSideName[s], rise.rising, rise.turns, rise.fromMhz, rise.toMhz);
    }
}

// Which side ran on past its turns, and how others' load fell: it is kept, since it falls
// on both sides of a pair alike.
static void SayDropped(FILE *out) {
    int ranOn[2] = {0, 0}, disturbed = 0;
    for (const PairTurn &t : result.turns) {
        ranOn[t.side] += t.ranOn;
        disturbed += t.disturbed;
    }
    for (int s = 0; s < 2; s++)
        if (ranOn[s])
            fprintf(out,
                    "pair: side %s's threads were still at work %d ms after %d of its turns had "
                    "ended; those pairs were dropped and run again\n",
                    kSideName[s], (int)kPairQuietMs, ranOn[s]);
    if (disturbed)
        fprintf(out,
                "pair: others took more than %.0f %% of the machine in %d of %d turns; kept, "
                "since it falls on both turns of a pair alike and widens the interval\n",
                kDisturbedShare * 100, disturbed, (int)result.turns.size());
}

static void SayResult(const PairAsk &ask, FILE *out) {
    for (int s = 0; s < 2; s++)
        fprintf(out, "pair: %s: %s | %s | %s\n", SideLabel(s).c_str(),
                result.sides[s].renderer.c_str(), result.sides[s].vendor.c_str(),
                result.sides[s].glVersion.c_str());
    if (result.sameRenderer && SettingsNameRenderers(result.sides[0], result.sides[1]))
        fprintf(out, "pair: both sides report the same renderer, vendor and version although their "
                     "settings differ: did the setting take effect?\n");
    fprintf(out, "pair: grid %d (%d triangles a frame), %d pairs in %d rounds judged in %.0f s",
            result.grid, result.grid * result.grid * kResultTrianglesPerSphere,
            result.judgement.pairs, result.judgement.rounds, result.durationMs / 1000.0);
    if (droppedPairs) fprintf(out, ", %d pairs dropped and run again", droppedPairs);
    fprintf(out, "\n");
    SayDropped(out);
    SayClocks(out);
    if (!result.precise && result.judgement.known)
        fprintf(out, "pair: the time limit (%.0f s) came before ±%.1f %%\n", ask.timeLimitS,
                ask.precision * 100);
    if (result.precise)
        fprintf(out,
                "pair: ended on ±%.1f %%; the interval below is the %.0f %% one, since an end "
                "chosen where the spread looked small would make the %.0f %% one too narrow\n",
                ask.precision * 100, kPairStoppedConfidence * 100, kPairConfidence * 100);
    fprintf(out, "%s\n", result.verdict.c_str());
}

// The result beside the other results, and in the history; after both sides have ended.
static int WriteAndRecord(const PairAsk &ask, FILE *out, FILE *err) {
    std::string why;
    bool json = false;
    writtenPairDocument.clear();
    int written = WritePairResult(result, ask.folder, &why, &json);
    if (json)
        fprintf(out, "pair: result in %s%s\n", *ask.folder ? ask.folder : "./", kPairJsonName);
    if (!written)
        fprintf(err, "kelvane: the pair's result could not be written: %s\n", why.c_str());
    // The history keeps every verdict reached, whatever became of the files beside it.
    if (!writtenPairDocument.empty()) RecordTestInHistory(writtenPairDocument, err);
    return written;
}

static bool SameRenderer(void) {
    const PairSide &a = result.sides[0], &b = result.sides[1];
    return a.vendor == b.vendor && a.renderer == b.renderer && a.glVersion == b.glVersion;
}

static PairOutcome Coordinate(const PairAsk &ask, FILE *out, FILE *err) {
    // The probe's first side leads; the rounds after take the lead in turn.
    if (!StartBoth(ask, err, 0)) return kPairSideFailed;
    for (int s = 0; s < 2; s++)
        if (!WaitReady(s, err)) return pairInterrupted ? kPairInterrupted : kPairSideFailed;
    if (ask.whenReady && !ask.whenReady(err)) return kPairBadSetting;
    result.sameRenderer = SameRenderer();
    for (int s = 0; s < 2; s++)
        fprintf(out, "pair: %s: %s\n", SideLabel(s).c_str(), result.sides[s].renderer.c_str());
    double frameMs[2];
    doing = "finding the grid";
    if (!Probe(&result.grid, frameMs, out, err))
        return pairInterrupted ? kPairInterrupted : kPairSideFailed;
    if (!RunTurns(ask, frameMs, out, err))
        return pairInterrupted ? kPairInterrupted : kPairSideFailed;
    if (!result.precise) Judge(); // the pairs since the last round's end count too
    return kPairJudged;
}

PairOutcome RunPair(const PairAsk &ask, FILE *out, FILE *err) {
    result = PairResult{};
    for (int s = 0; s < 2; s++) {
        std::string why;
        // What the side's own command line would refuse is refused here, as the user's.
        if (ParseSideSetting(ask.sides[s], &result.sides[s], &why) && ask.window &&
            result.sides[s].device >= 0)
            why = "--device picks an offscreen renderer; a window's is the display's";
        if (!why.empty()) {
            fprintf(err, "kelvane: side %s of --pair: %s\n", kSideName[s], why.c_str());
            return kPairBadSetting;
        }
    }
    result.started = time(nullptr);
    result.driver = ask.window ? "window" : "offscreen";
    result.width = ask.width;
    result.height = ask.height;
    result.precision = ask.precision;
    result.timeLimitS = ask.timeLimitS;
    startedAt = progressShown = Now();
    timeLimitS = ask.timeLimitS;
    progressOut = out;
    doing = "starting the sides";
    droppedPairs = 0;
    fillFrames[0] = fillFrames[1] = 0;
    CatchPairSignals();
    PairOutcome outcome = Coordinate(ask, out, err);
    // Both end before anything is written: a result is of a whole pair or none.
    EndBoth();
    if (outcome == kPairInterrupted || pairInterrupted) {
        fprintf(err, "kelvane: the pair was ended before its verdict; nothing written\n");
        return kPairInterrupted;
    }
    if (outcome != kPairJudged) return outcome;
    result.durationMs = (int64_t)((Now() - startedAt) * 1000);
    result.verdict = PairVerdict(result.judgement);
    result.clockRising = TurnsOnARisingClock(result.turns, 0).flagged ||
                         TurnsOnARisingClock(result.turns, 1).flagged;
    SayResult(ask, out);
    if (!WriteAndRecord(ask, out, err)) return kPairNotWritten;
    if (ask.failIfSlower < 0) return kPairJudged;
    const PairJudgement &j = result.judgement;
    GateFigures f = {j.known, "the pair has no verdict", j.ratio, j.low, j.high};
    switch (JudgeGate(f, ask.failIfSlower, out)) {
    case kGateSlower:
        return kPairSlower;
    case kGateUnjudged:
        return kPairUnjudged;
    case kGatePassed:
        break;
    }
    return kPairJudged;
}
