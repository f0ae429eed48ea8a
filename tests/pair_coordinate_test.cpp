#include "pair/pair.h"
#include "history/history.h"
#include "history/store.h"
#include "pair/sides.h"
#include "bench/hold.h"
#include "bench/state.h"
#include "protocol/pairside.h"
#include "record/pair_record.h"
#include "record/reader.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <math.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <deque>
#include <random>
#include <sched.h>
#include <signal.h>
#include <set>
#include <string>
#include <sys/stat.h>

namespace {

// Two stand-in sides on a clock of their own, driven by the coordinator in-process: each a
// renderer whose frame has a processor part and a GPU part per sphere, with one frame in
// flight (or as many as the model says). A stream's frame then takes the longer of the two;
// the first frames from an idle pipeline, the processor's part alone (their swaps wait for
// nothing); and its finish, the GPU's.
// The machine's speed wanders alike for both, and each turn has noise of its own.
struct Model {
    double cpuUs[2] = {20, 20}, gpuUs[2] = {100, 100}; // a sphere's, each side
    double frameMs = 1;                                // the program's own, a frame
    double others = 0.02;                              // of the machine, in every turn
    bool ranOn[2] = {false, false};
    int hangAfter[2] = {-1, -1};                  // turns answered before the side hangs; -1: never
    double clockMhz[2][2] = {{-1, -1}, {-1, -1}}; // each side's GPU clock as a turn begins, ends
    int slowFirst[2] = {0, 0}; // a side's first turns, four times slow (a process just started)
    int slowAfterStart[2] = {0, 0}; // and its first turns after every start, three times slow
    int inFlight[2] = {1, 1};       // frames each side keeps in flight
    double leadSlow = 0; // the side started first: its first three turns that much slower
    unsigned seed = 1;
    bool window = false;        // the sides in windows, which say the display's size
    bool plotBlocked = false;   // a folder where the plot goes
    double failIfSlower = -1;   // the gate's, or none
    bool folderRefused = false; // the results folder cannot be made once the sides are ready
};

Model model;
double clockS;
std::mt19937 rng;
double level; // the machine's speed, a log factor
std::deque<std::string> reports[2];
bool alive[2];
int turnsAnswered[2], sinceStart[2];
bool led[2];             // started while the other side was not running
std::set<int> cpusAsked; // the processors the words named (-1: none)

int Start(int s, const std::vector<std::string> &, const std::vector<std::string> &,
          std::string *) {
    clockS += 0.5;
    led[s] = !alive[1 - s];
    alive[s] = true;
    sinceStart[s] = 0;
    // As the side says it (its newline is the reader's to take off).
    std::string ready = ReadyLine("Stand-in", s ? "side B" : "side A", "4.5", 800, 600, "x11");
    reports[s] = {ready.substr(0, ready.size() - 1)};
    return 1;
}

int Send(int s, const std::string &word) {
    if (!alive[s]) return 0;
    PairTurnWord w;
    if (word == "end" || !ParseTurnWord(word.c_str(), &w)) {
        alive[s] = false;
        return 1;
    }
    cpusAsked.insert(w.cpu);
    if (model.hangAfter[s] >= 0 && turnsAnswered[s] >= model.hangAfter[s]) return 1;
    turnsAnswered[s]++;
    sinceStart[s]++;
    double spheres = (double)w.grid * w.grid;
    double cpu = model.frameMs + spheres * model.cpuUs[s] / 1000,
           gpu = spheres * model.gpuUs[s] / 1000;
    std::normal_distribution<double> walk(0, 0.01), noise(0, 0.02);
    level += walk(rng);
    double speed = exp(level + noise(rng)) * (turnsAnswered[s] <= model.slowFirst[s] ? 4 : 1) *
                   (sinceStart[s] <= model.slowAfterStart[s] ? 3 : 1) *
                   (led[s] && sinceStart[s] <= 3 ? 1 + model.leadSlow : 1);
    char head[128];
    auto mhz = [](double v) { return v < 0 ? std::string("-") : std::to_string(v); };
    snprintf(head, sizeof head, "turn %d %g 0 0.3 %g 0.1 %d %s %s", w.measure, model.others,
             model.others / 2, model.ranOn[s] ? 1 : 0, mhz(model.clockMhz[s][0]).c_str(),
             mhz(model.clockMhz[s][1]).c_str());
    std::string line = head;
    clockS += w.fill * cpu * speed / 1000;
    for (int k = 0; k < w.measure; k++) {
        double ms = (w.fill == 0 && k < model.inFlight[s] ? cpu : std::max(cpu, gpu)) * speed;
        line += " " + std::to_string(ms);
        clockS += ms / 1000;
    }
    clockS += gpu * speed / 1000; // the drain
    reports[s].push_back(line);
    return 1;
}

int Read(int s, double seconds, std::string *line, std::string *why) {
    if (!reports[s].empty()) {
        *line = reports[s].front();
        reports[s].pop_front();
        return 1;
    }
    if (!alive[s]) return *why = "it ended (exit status 0)", 0;
    clockS += seconds;
    *why = "no word from it in " + std::to_string((int)seconds) + " s";
    return 0;
}

const PairSides kStandIns = {Start,
                             Send,
                             Read,
                             [](int s) { alive[s] = false, reports[s].clear(); },
                             [](int) { return std::string(); },
                             [](int) { return std::string("exit status 0"); },
                             [] { return clockS; }};

// A pair run against the model: its outcome, what it said, and its result as written.
struct Ran {
    PairOutcome outcome;
    std::string out, err;
    PairResult result;
    double seconds; // on the stand-ins' clock
    // B's throughput over A's in a stream at the pair's grid, as the model has it.
    double truth;
};

// Whether both sides had said they were ready when the pair was told so; and how often.
bool readyWhenAsked;
int readyAsked;

int WhenReady(FILE *) {
    readyAsked++;
    readyWhenAsked = alive[0] && alive[1] && reports[0].empty() && reports[1].empty();
    return !model.folderRefused;
}

Ran RunModel(const Model &m, double timeLimitS = 60, double precision = 0.01) {
    model = m;
    clockS = 1000;
    level = 0;
    rng.seed(m.seed);
    turnsAnswered[0] = turnsAnswered[1] = 0;
    cpusAsked.clear();
    TempDir dir;
    readyAsked = 0;
    PairAsk ask = {
        {"", ""},       64,       48, m.window, precision, timeLimitS, dir.prefix().c_str(),
        m.failIfSlower, WhenReady};
    if (m.plotBlocked) mkdir(dir.path(kPairSvgName).c_str(), 0755); // a folder in its place
    char *out = nullptr, *err = nullptr;
    size_t outSize = 0, errSize = 0;
    FILE *o = open_memstream(&out, &outSize), *e = open_memstream(&err, &errSize);
    pairSides = &kStandIns;
    Ran r;
    r.outcome = RunPair(ask, o, e);
    pairSides = &kProcessSides;
    fclose(o);
    fclose(e);
    r.out = out;
    r.err = err;
    free(out);
    free(err);
    r.seconds = clockS - 1000;
    std::string text = ReadText(dir.path(kPairJsonName)), why;
    r.result = PairResult{};
    if (!text.empty())
        EXPECT_TRUE(ParsePairResult(text.data(), text.size(), &r.result, &why)) << why;
    double spheres = (double)r.result.grid * r.result.grid, period[2];
    for (int s = 0; s < 2; s++)
        period[s] = std::max(m.frameMs + spheres * m.cpuUs[s] / 1000, spheres * m.gpuUs[s] / 1000);
    r.truth = period[0] / period[1];
    return r;
}

std::string Said(const Ran &r) {
    return "\n--- out:\n" + r.out + "--- err:\n" + r.err;
}

// The pair's quantity is a stream's frame rate, in which the processor's work for one frame
// overlaps the GPU's for the frame before: differences hidden behind the other part are no
// differences; on a busy machine the verdict still comes; a side that runs on is named and
// left out.
TEST(PairCoordinator, JudgesTheStreamOfFramesOnABusyMachineToo) {
    struct Row {
        const char *what;
        Model m;
        bool differs; // a difference found
    } rows[] = {
        {"GPU-bound both; B's processor part three times A's", {{20, 60}, {100, 100}}, false},
        {"processor-bound both; B's GPU part three times A's", {{100, 100}, {20, 60}}, false},
        {"B's GPU part 10 % more", {{20, 20}, {100, 110}}, true},
        {"B's GPU part 10 % less", {{20, 20}, {110, 100}}, true},
        {"B's GPU part four times A's", {{20, 20}, {25, 100}}, true},
        {"others take 60 % of the machine in every turn", {{20, 20}, {100, 110}, 1, 0.6}, true},
        {"A against A, the side started first in a round half as slow again at first",
         [] {
             Model m;
             m.leadSlow = 0.5;
             return m;
         }(),
         false},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.what);
        Ran r = RunModel(row.m);
        ASSERT_EQ(kPairJudged, r.outcome) << Said(r);
        const PairJudgement &j = r.result.judgement;
        ASSERT_TRUE(j.known) << Said(r);
        EXPECT_LE(j.low, r.truth) << Said(r);
        EXPECT_GE(j.high, r.truth) << Said(r);
        EXPECT_EQ(row.differs, j.low > 1 || j.high < 1) << Said(r);
        for (const PairTurn &t : r.result.turns)
            EXPECT_TRUE(t.fill == 1 && !t.dropped && t.disturbed == (row.m.others > 0.1));
        // A round's pairs go AB, BA, ... led by A in even rounds and by B in odd ones; each
        // side's turn takes about the same time, however its frames differ.
        int inRound = 0, round = -1;
        for (size_t i = 0; i + 1 < r.result.turns.size(); i += 2) {
            const PairTurn &t = r.result.turns[i];
            inRound = t.round == round ? inRound + 1 : 0;
            round = t.round;
            ASSERT_EQ((round + inRound) % 2, t.side) << "pair " << t.pair << Said(r);
            const PairTurn &u = r.result.turns[i + 1];
            EXPECT_NEAR(0, log(t.frames * t.meanMs / (u.frames * u.meanMs)), log(2)) << Said(r);
        }
        // A's ramp reads each grid once where every look agrees with the line: only the
        // settling's first look repeats its last grid.
        int repeats = 0, lastGrid = -1, grid;
        for (size_t at = r.out.find("pair: probe: A at grid "); at != std::string::npos;
             at = r.out.find("pair: probe: ", at + 1)) {
            if (sscanf(r.out.c_str() + at, "pair: probe: A at grid %d", &grid) != 1) break;
            repeats += grid == lastGrid;
            lastGrid = grid;
        }
        EXPECT_EQ(1, repeats) << Said(r);
    }
}

// A side whose threads work on past its turns is named and its pairs are left out; a side
// that hangs ends the pair within its time limit and a little more, saying so; progress comes
// every five seconds whatever the pair waits for.
TEST(PairCoordinator, WhatGoesWrongIsBoundedAndSaid) {
    Model ranOn;
    ranOn.ranOn[1] = true;
    ranOn.failIfSlower = 0.05; // under a gate: nothing it can judge
    Ran r = RunModel(ranOn);
    ASSERT_EQ(kPairUnjudged, r.outcome) << Said(r);
    EXPECT_EQ(1, readyAsked);
    EXPECT_TRUE(readyWhenAsked);
    EXPECT_FALSE(r.result.judgement.known);
    EXPECT_NE(std::string::npos, r.out.find("side B's threads were still at work")) << Said(r);
    for (const PairTurn &t : r.result.turns)
        EXPECT_TRUE(t.dropped);
    // A plot that cannot be written loses neither the verdict's file nor its history entry.
    TempDir data;
    std::string before = getenv("XDG_DATA_HOME") ? getenv("XDG_DATA_HOME") : "";
    setenv("XDG_DATA_HOME", data.prefix().c_str(), 1);
    Model blocked;
    blocked.plotBlocked = true;
    r = RunModel(blocked);
    std::vector<HistoryRun> listed;
    std::string why, path;
    EXPECT_TRUE(HistoryPath(&path, false, &why) && OpenHistory(path.c_str(), kHistoryRead, &why) &&
                ListHistory(&listed, &why))
        << why;
    CloseHistory();
    before.empty() ? unsetenv("XDG_DATA_HOME") : setenv("XDG_DATA_HOME", before.c_str(), 1);
    EXPECT_EQ(kPairNotWritten, r.outcome) << Said(r);
    EXPECT_NE(std::string::npos, r.err.find(std::string(kPairSvgName) + ": ")) << Said(r);
    EXPECT_TRUE(r.result.judgement.known) << Said(r); // its JSON, read back
    EXPECT_EQ(1u, listed.size());
    // A results folder that cannot be made, found once the sides are ready: nothing measured.
    Model refused;
    refused.folderRefused = true;
    r = RunModel(refused);
    EXPECT_EQ(kPairBadSetting, r.outcome) << Said(r);
    EXPECT_EQ(0u, r.result.turns.size()) << Said(r);
    EXPECT_EQ(std::string::npos, r.out.find("probe")) << Said(r);
    // In windows, the surface recorded is the one the sides drew on, the display's.
    Model windows;
    windows.window = true;
    r = RunModel(windows);
    EXPECT_EQ("x11 800x600", r.result.driver + " " + std::to_string(r.result.width) + "x" +
                                 std::to_string(r.result.height));
    for (int s = 0; s < 2; s++) // each side's strings where they belong
        EXPECT_EQ(std::string("Stand-in|side ") + "AB"[s] + "|4.5",
                  r.result.sides[s].vendor + "|" + r.result.sides[s].renderer + "|" +
                      r.result.sides[s].glVersion);
    // A side its own command line would refuse is refused before anything starts.
    PairAsk windowed = {{"--device 0", ""}, 64, 48, true, 0.01, 60, "/nonexistent/", -1, nullptr};
    FILE *err = tmpfile();
    EXPECT_EQ(kPairBadSetting, RunPair(windowed, err, err));
    fclose(err);

    // A GPU that lowers its clock while the other side renders: its turns begin on a clock
    // still rising, recorded and said; a steady clock is recorded and nothing is said.
    Model clocks;
    clocks.clockMhz[0][0] = clocks.clockMhz[0][1] = 2400;
    clocks.clockMhz[1][0] = 1200, clocks.clockMhz[1][1] = 2100;
    r = RunModel(clocks);
    ASSERT_EQ(kPairJudged, r.outcome) << Said(r);
    EXPECT_TRUE(r.result.clockRising);
    EXPECT_NE(std::string::npos, r.out.find("side B's GPU clock was still rising")) << Said(r);
    EXPECT_EQ(std::string::npos, r.out.find("side A's GPU clock")) << Said(r);
    for (const PairTurn &t : r.result.turns) {
        EXPECT_EQ(t.side ? 1200 : 2400, t.clockFromMhz);
        EXPECT_EQ(t.side ? 2100 : 2400, t.clockToMhz);
    }

    // Hung in the probe, where a turn's wait would outlast the time allowed; and in a round.
    const struct {
        int turns;
        double limitS;
        const char *why;
    } hangs[] = {{0, 30, "s, and the pair's time is up"}, {40, 60, "no word from it in 41 s"}};
    for (auto &row : hangs) {
        Model hangs;
        hangs.hangAfter[1] = row.turns;
        Ran h = RunModel(hangs, row.limitS);
        EXPECT_EQ(kPairSideFailed, h.outcome) << Said(h);
        EXPECT_LE(h.seconds, row.limitS + 10 + 1) << Said(h);
        EXPECT_NE(std::string::npos, h.err.find(row.why)) << Said(h);
        // Every line of progress within five seconds of the one before (a line that says no
        // time, such as the probe's, says something all the same), and no flood of them.
        double last = -1;
        int lines = 0;
        for (size_t at = h.out.find("pair: "); at != std::string::npos;
             at = h.out.find("pair: ", at + 1)) {
            double t;
            char after;
            size_t comma = h.out.find(", ", at);
            if (comma == std::string::npos ||
                sscanf(h.out.c_str() + comma, ", %lf s%c", &t, &after) != 2) {
                last = -1;
                continue;
            }
            if (last >= 0) EXPECT_LE(t - last, 5 + 1.5) << Said(h);
            last = t;
            lines++;
        }
        EXPECT_GT(last, h.seconds - 6) << Said(h);
        EXPECT_LE(lines, h.seconds / 2) << Said(h);
    }
}

// A side whose first looks read four times slow moves neither the grid from where the slower
// side's frame takes about 100 ms nor the two sides' turns apart; one whose first turns after
// every start run slow does not tilt the verdict; both sides' turns fill alike, the more
// frames of the two.
TEST(PairCoordinator, SlowMomentsMoveNeitherTheGridNorTheVerdict) {
    for (int s = 0; s < 2; s++) {
        Model m = {{20, 20}, {100, 103}};
        m.slowFirst[s] = s ? 3 : 5;
        m.slowAfterStart[s] = 3;
        m.inFlight[1 - s] = 2;
        Ran r = RunModel(m);
        for (const PairTurn &t : r.result.turns)
            EXPECT_EQ(2, t.fill);
        ASSERT_EQ(kPairJudged, r.outcome) << Said(r);
        double spheres = (double)r.result.grid * r.result.grid;
        EXPECT_NEAR(1, spheres * std::max(m.gpuUs[0], m.gpuUs[1]) / 1000 / kPairGridFrameMs, 0.2)
            << Said(r);
        const PairTurn &last = r.result.turns.back();
        EXPECT_EQ(r.result.turns[r.result.turns.size() - 2].frames, last.frames) << Said(r);
        EXPECT_LE(r.result.judgement.low, r.truth) << Said(r);
        EXPECT_GE(r.result.judgement.high, r.truth) << Said(r);
    }
}

// What a side says of its turn is what the coordinator reads: the clocks in their order,
// whether its threads ran on, each frame's time.
TEST(PairCoordinator, ATurnIsReadAsItsSideReportsIt) {
    const struct {
        bool ranOn;
        double from, to;
    } rows[] = {{false, 1200, 2100}, {true, 2100, 1200}, {false, -1, 1500}, {true, -1, -1}};
    for (auto &row : rows) {
        std::string line = TurnReport(CpuShare{}, row.ranOn, row.from, row.to, 1000,
                                      std::vector<uint64_t>{101000, 201500});
        PairTurn t = {};
        ASSERT_TRUE(ParseTurnReport(line, &t)) << line;
        EXPECT_TRUE(t.clockFromMhz == row.from && t.clockToMhz == row.to && t.ranOn == row.ranOn)
            << line;
        EXPECT_EQ((std::vector<double>{100, 100.5}), t.frameMs) << line;
    }
}

// The side's end, driven in-process: the words it hears, what it says, its clock.
std::deque<std::string> sideWords;
std::deque<int> sideQuiet;
std::vector<std::string> sideSaid;
uint64_t sideUs;
int sideLeft;
const PairSideIo kSideStandIn = {[] {
                                     std::string w = sideWords.empty() ? "end" : sideWords.front();
                                     if (!sideWords.empty()) sideWords.pop_front();
                                     return w;
                                 },
                                 [](const std::string &line) { sideSaid.push_back(line); },
                                 [] {
                                     int q = sideQuiet.front();
                                     sideQuiet.pop_front();
                                     return q;
                                 },
                                 [] { return sideUs; }, [](int status) { sideLeft = status; }};

// Frame k of a side takes k + 1 ms: each turn reports as many frames as asked, after as many
// unmeasured, each timed from the return before it (the fill's last, or the word's arrival
// without a fill), whether its threads went quiet, and nothing of the turn before; a word it
// cannot read ends it as "end" does, with a status of its own.
TEST(PairCoordinator, ASideTimesEachTurnFromItsOwnStart) {
    const struct {
        std::deque<std::string> words;
        std::deque<int> quiet;
        int leaves;
        std::vector<std::vector<double>> frameMs;
    } rows[] = {
        {{"turn 3 1 2", "turn 3 0 3", "turn 4 2 1", "turn 4 0 1"},
         {1, 0, 1, 1},
         0,
         {{3, 4}, {5, 6, 7}, {10}, {11}}},
        {{"turn 2 0 2", "turn 0 1 1"}, {0}, kPairSideBadWord, {{2, 3}}},
    };
    bool wasSide = pairSide, wasFull = fullscreen;
    pairSide = fullscreen = true;
    pairSideIo = &kSideStandIn;
    for (auto &row : rows) {
        ResetPairSide();
        sideWords = row.words, sideQuiet = row.quiet, sideSaid.clear();
        sideUs = 1000000, sideLeft = -1;
        for (int k = 0; k < 100 && sideLeft < 0; k++) {
            sideUs += (k + 1) * 1000;
            DrivePairSide();
        }
        EXPECT_EQ(row.leaves, sideLeft);
        ASSERT_EQ(row.frameMs.size() + 1, sideSaid.size());
        EXPECT_EQ(0u, sideSaid[0].find("ready\t"));
        for (size_t t = 0; t < row.frameMs.size(); t++) {
            PairTurn turn = {};
            ASSERT_TRUE(ParseTurnReport(sideSaid[t + 1], &turn)) << sideSaid[t + 1];
            EXPECT_EQ(row.frameMs[t], turn.frameMs) << sideSaid[t + 1];
            EXPECT_EQ((int)row.frameMs[t].size(), turn.frames);
            EXPECT_EQ(!row.quiet[t], turn.ranOn) << sideSaid[t + 1];
        }
    }
    EXPECT_EQ(2, holdGrid);
    ResetHold();
    ResetPairSide();
    pairSideIo = &kPairSideProcess;
    pairSide = wasSide, fullscreen = wasFull;
}

// A side as a real process (a shell in its place): its report heard with the environment it
// was given, and however it ends, how it ended named in the words the pair prints.
TEST(PairCoordinator, ASideIsHeardAndItsEndingNamed) {
    const struct {
        const char *script;
        double waitS;
        bool heard;
        const char *words; // the line heard, or why none was; then how EndSide found it
        const char *ending;
    } rows[] = {
        {"echo \"ready $KV_SIDE\" >&3; read w; [ \"$w\" = end ] && exit 5", 30, true, "ready B",
         "exit status 5"},
        {"echo cannot draw >&2; exit 2", 30, false, "it ended (exit status 2)", "exit status 2"},
        {"kill -9 $$", 30, false, "it ended (killed by signal 9 (Killed))", "killed by signal 9"},
        {"read w; exit 4", 1, false, "no word from it in 1 s", "exit status 4"},
    };
    signal(SIGPIPE, SIG_IGN); // as the coordinator has it: a side gone is found otherwise
    for (auto &row : rows) {
        SideProcess p;
        std::string line, why;
        ASSERT_TRUE(StartSide(&p, "/bin/sh", "sh", {"-c", row.script}, {"KV_SIDE=B"}, &why)) << why;
        EXPECT_EQ(row.heard, ReadReport(&p, row.waitS, &line, &why) != 0) << row.script;
        EXPECT_EQ(row.words, row.heard ? line : why) << row.script;
        EndSide(&p);
        EXPECT_EQ(0u, SideEnding(p).find(row.ending)) << row.script;
        if (strstr(row.script, "draw")) EXPECT_EQ("cannot draw", SideSaid(p));
    }
}

// A side's threads are kept to processors only where the study asks for it with
// KELVANE_PAIR_PIN=1; otherwise the kernel places them, as it does for a user's run.
TEST(PairCoordinator, ThreadsAreKeptToProcessorsOnlyWhenAsked) {
    cpu_set_t set;
    bool several = sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 1;
    for (const char *pin : {(const char *)nullptr, "0", "yes", "1"}) {
        SCOPED_TRACE(pin ? pin : "unset");
        if (pin)
            setenv("KELVANE_PAIR_PIN", pin, 1);
        else
            unsetenv("KELVANE_PAIR_PIN");
        RunModel(Model{{20, 20}, {100, 103}}, 30);
        bool kept = pin && !strcmp(pin, "1") && several;
        EXPECT_EQ(kept, *cpusAsked.rbegin() >= 0); // the probe's looks keep to none
        if (kept) EXPECT_GE(cpusAsked.size(), 3u); // -1 and both processors in turn
    }
    unsetenv("KELVANE_PAIR_PIN");
}

// The same pair run five times gives intervals that all overlap.
TEST(PairCoordinator, RunsOfOnePairAgree) {
    double lowest = 2, highest = 0;
    for (unsigned seed = 1; seed <= 5; seed++) {
        Model m = {{20, 20}, {100, 103}};
        m.seed = seed;
        Ran r = RunModel(m);
        ASSERT_TRUE(r.result.judgement.known) << Said(r);
        lowest = std::min(lowest, r.result.judgement.high);
        highest = std::max(highest, r.result.judgement.low);
    }
    EXPECT_LE(highest, lowest);
    // One that stops on its precision widens its interval to the stricter confidence.
    Ran r = RunModel(Model{{20, 20}, {100, 103}}, 60, 0.05);
    EXPECT_TRUE(r.result.precise) << Said(r);
    EXPECT_EQ(kPairStoppedConfidence, r.result.judgement.confidence) << Said(r);
}

} // namespace
