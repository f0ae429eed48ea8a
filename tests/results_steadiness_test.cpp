#include "bench/frametimes.h"
#include "bench/hold.h"
#include "bench/state.h"
#include "watch/frametimes.h"
#include "watch/interference.h"
#include "watch/quiet.h"
#include "watch/loadwatch.h"
#include "protocol/progress.h"
#include "protocol/quick.h"
#include "app/results.h"
#include "record/record.h"
#include "watch/steady.h"
#include "watch/trust.h"
#include "report/summary.h"

#include <gtest/gtest.h>
#include <algorithm>
#include <math.h>
#include <signal.h>
#include <string.h>
#include <sys/wait.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

double Seconds(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec / 1e9;
}

TEST(FrameTimeFigures, PercentilesInterpolateBetweenRanks) {
    const double four[] = {1, 2, 3, 4};
    EXPECT_DOUBLE_EQ(2.5, SortedQuantile(four, 4, 0.5));
    EXPECT_DOUBLE_EQ(1.3, SortedQuantile(four, 4, 0.1));
    EXPECT_DOUBLE_EQ(3.7, SortedQuantile(four, 4, 0.9));
    EXPECT_DOUBLE_EQ(1, SortedQuantile(four, 4, 0));
    EXPECT_DOUBLE_EQ(4, SortedQuantile(four, 4, 1));
    const double one[] = {7};
    EXPECT_DOUBLE_EQ(7, SortedQuantile(one, 1, 0.9));
    EXPECT_EQ(0, SortedQuantile(nullptr, 0, 0.5));

    // Durations in microseconds, in the order frames come: 1 ms to 10 ms, shuffled.
    const uint32_t us[] = {7000, 2000, 10000, 1000, 5000, 9000, 3000, 6000, 8000, 4000};
    StepFrameTimes f = FrameTimeFigures(us, 10);
    EXPECT_EQ(10, f.timed);
    EXPECT_DOUBLE_EQ(1.9, f.p10Ms);
    EXPECT_DOUBLE_EQ(5.5, f.medianMs);
    EXPECT_DOUBLE_EQ(9.1, f.p90Ms);
    const uint32_t odd[] = {100123, 99877, 250000}; // a slow frame moves p90, not the median
    f = FrameTimeFigures(odd, 3);
    EXPECT_DOUBLE_EQ(100.123, f.medianMs);
    EXPECT_DOUBLE_EQ(99.877 + 0.2 * 0.246, f.p10Ms);
    EXPECT_DOUBLE_EQ(100.123 + 0.8 * 149.877, f.p90Ms);
}

TEST(FrameTimeFigures, StepsOfTheRecordedTest) {
    ASSERT_TRUE(ReserveFrameTimes());
    const uint32_t us[] = {30000, 10000, 20000, 40000, 50000};
    for (int i = 0; i < 5; i++)
        frameTimes[i] = us[i];
    timedSteps[0] = {0, 2, 2};
    timedSteps[1] = {2, 3, 4}; // 4 frames counted, 3 timed
    timedStepCount = 2;
    StepFrameTimes f;
    ASSERT_TRUE(FrameTimesOfStep(1, &f));
    EXPECT_EQ(4, f.frames);
    EXPECT_EQ(3, f.timed);
    EXPECT_DOUBLE_EQ(40, f.medianMs);
    ASSERT_TRUE(FrameTimesOfStep(0, &f));
    EXPECT_DOUBLE_EQ(20, f.medianMs);
    EXPECT_FALSE(FrameTimesOfStep(2, &f));
    EXPECT_EQ(0, f.frames);
    EXPECT_FALSE(FrameTimesOfStep(-1, &f));
    ReleaseFrameTimes();
    EXPECT_FALSE(FrameTimesOfStep(0, &f));
}

// /proc/stat as a 2-processor machine writes it, counters in clock ticks.
const char kStatBefore[] = "cpu  1000 50 300 8000 100 7 3 40 0 0\n"
                           "cpu0 500 25 150 4000 50 4 2 20 0 0\n"
                           "intr 123456 0 0\n";
// One second later (200 ticks): user +90, nice +5, system +10, irq +3, softirq +2 (busy
// 110); idle +60, iowait +20; steal +10.
const char kStatAfter[] = "cpu  1090 55 310 8060 120 10 5 50 0 0\n";
// This process's stat: a command name with blanks and parentheses, utime 400, stime 100.
const char kSelfBefore[] = "4242 (a (b) c) R 1 2 3 4 5 4194304 10 0 0 0 400 100 0 0 20 0 9\n";
const char kSelfAfter[] = "4242 (a (b) c) S 1 2 3 4 5 4194304 10 0 0 0 470 120 0 0 20 0 9\n";

TEST(Interference, SharesOfOthersAndStealBetweenTwoSnapshots) {
    CpuSnapshot a = {}, b = {};
    ASSERT_TRUE(ParseProcStat(kStatBefore, &a));
    ASSERT_TRUE(ParseSelfStat(kSelfBefore, &a));
    ASSERT_TRUE(ParseProcStat(kStatAfter, &b));
    ASSERT_TRUE(ParseSelfStat(kSelfAfter, &b));
    EXPECT_EQ(1360u, a.busy);
    EXPECT_EQ(8100u, a.idle);
    EXPECT_EQ(40u, a.steal);
    EXPECT_EQ(500u, a.self);
    CpuShare c = ShareBetween(a, b);
    EXPECT_EQ(200u, c.total);
    EXPECT_EQ(20u, c.others); // busy 110, of which this process's threads 90
    EXPECT_EQ(10u, c.steal);
    EXPECT_EQ(90u, c.self);
    EXPECT_DOUBLE_EQ(0.10, OthersShare(c));
    EXPECT_DOUBLE_EQ(0.05, StealShare(c));
    // Without the threads' waits all of others' time counts as taken.
    EXPECT_FALSE(c.waitKnown);
    EXPECT_DOUBLE_EQ(0.15, TakenShare(c));
    EXPECT_DOUBLE_EQ(0.15, UsedShare(c));

    // The threads waited 6 ticks (100 a second): others can have taken no more than that.
    ThreadWaits t = {};
    const ThreadWait before[] = {{7, 9990000000}, {8, 10000000}},
                     after[] = {{7, 10020000000}, {8, 40000000}};
    ASSERT_TRUE(NoteThreadWaits(&t, before, 2, 100, &a) && NoteThreadWaits(&t, after, 2, 100, &b));
    EXPECT_EQ(1000u, a.wait);
    c = ShareBetween(a, b);
    EXPECT_EQ(6u, c.wait);
    EXPECT_DOUBLE_EQ(0.03, ContestedShare(c));
    EXPECT_DOUBLE_EQ(0.08, TakenShare(c));
    EXPECT_DOUBLE_EQ(0.15, UsedShare(c));
    // Waiting longer than others ran: their time, no more (the rest was its own threads').
    b.wait = 1100;
    EXPECT_DOUBLE_EQ(0.15, TakenShare(ShareBetween(a, b)));
    EXPECT_DOUBLE_EQ(0.5, WaitShare(ShareBetween(a, b)));
    // One snapshot without waits: none for the interval.
    b.waitKnown = 0;
    EXPECT_FALSE(ShareBetween(a, b).waitKnown);
    // Then thread 8 ended and 9 began: 8's wait up to its last reading stays, and 10 ms more
    // of 7 and 20 ms of 9 count. Then 9's wait went back: its number is a new thread's, whose 10
    // ms count. A reading of more threads than the table holds is left out.
    const ThreadWait ended[] = {{7, 10030000000}, {9, 20000000}},
                     reused[] = {{7, 10030000000}, {9, 10000000}};
    std::vector<ThreadWait> many(kThreadWaitsMax + 1, ThreadWait{10, 0});
    CpuSnapshot d = b, e = b;
    ASSERT_TRUE(NoteThreadWaits(&t, ended, 2, 100, &d));
    EXPECT_EQ(6u + 3, ShareBetween(a, d).wait);
    EXPECT_FALSE(NoteThreadWaits(&t, many.data(), (int)many.size(), 100, &e) || e.waitKnown);
    ASSERT_TRUE(NoteThreadWaits(&t, reused, 2, 100, &e));
    EXPECT_EQ(1u, ShareBetween(d, e).wait);
    b.wait = a.wait, b.waitKnown = a.waitKnown = 0;

    // This process read a tick ahead of the machine: nobody else, not less than nobody.
    b.self = a.self + 111;
    EXPECT_EQ(0u, ShareBetween(a, b).others);
    // Counters that go back stand still; no time, no share.
    CpuShare none = ShareBetween(b, a);
    EXPECT_EQ(0u, none.total);
    EXPECT_EQ(0, TakenShare(none));
}

TEST(Interference, ReadsWhatKernelsWriteAndRefusesTheRest) {
    CpuSnapshot s = {};
    // A kernel without iowait, irq, softirq and steal.
    ASSERT_TRUE(ParseProcStat("cpu 10 20 30 40\n", &s));
    EXPECT_EQ(60u, s.busy);
    EXPECT_EQ(40u, s.idle);
    EXPECT_EQ(0u, s.steal);
    for (const char *bad : {"", "cpu0 1 2 3 4\n", "cpu 1 2 3\n", "intr 1 2 3 4\n", "cpu x\n"})
        EXPECT_FALSE(ParseProcStat(bad, &s)) << bad;
    EXPECT_FALSE(ParseProcStat(nullptr, &s));
    for (const char *bad : {"", "4242 (x R 1 2", "4242 (x) R 1 2 3\n", "no parenthesis"})
        EXPECT_FALSE(ParseSelfStat(bad, &s)) << bad;
    uint64_t wait = 0;
    ASSERT_TRUE(ParseSchedstatWait("18446744073709551615 2419756108 16359\n", &wait));
    EXPECT_EQ(2419756108u, wait);
    for (const char *bad : {"", "12\n", "x 1 2\n"})
        EXPECT_FALSE(ParseSchedstatWait(bad, &wait)) << bad;
    EXPECT_FALSE(ParseSchedstatWait(nullptr, &wait));
    // A thread's state follows its name, which may hold blanks and parentheses; its time on a
    // processor leads its schedstat. Two looks are quiet with nothing ready to run and their
    // time grown by less than a tenth of the gap between them.
    char state = 0;
    ASSERT_TRUE(ParseThreadState("4242 (llvmpipe-0 (x) ) R 1 2\n", &state));
    EXPECT_EQ('R', state);
    for (const char *bad : {"", "4242 (x) ", "4242 (x)R 1", "4242 x R"})
        EXPECT_FALSE(ParseThreadState(bad, &state)) << bad;
    uint64_t ran = 0;
    ASSERT_TRUE(ParseSchedstatRan("2419756108 5 6\n", &ran));
    EXPECT_EQ(2419756108u, ran);
    EXPECT_FALSE(ParseSchedstatRan("x 1 2", &ran));
    const ThreadsLook idle = {false, 5000000}, ready = {true, 5000000};
    EXPECT_TRUE(QuietBetween(idle, {false, 5099999}, 1000));
    EXPECT_FALSE(QuietBetween(idle, {false, 5100000}, 1000));
    EXPECT_FALSE(QuietBetween(idle, ready, 1000));
    EXPECT_FALSE(QuietBetween(ready, idle, 1000));
    EXPECT_TRUE(QuietBetween(idle, {false, 0}, 1000)); // a thread gone with its time
    double waited = -1;
    EXPECT_TRUE(WaitOthersQuiet(1000, &waited)); // this test's process has no working threads
    EXPECT_GE(waited, 0.9);
    // A thread that works for a while and then stops is quiet once it has stopped, however
    // long it worked before: each look is weighed against the one before it.
    int release[2];
    ASSERT_EQ(0, pipe(release));
    std::thread worker([&] {
        for (double until = Seconds() + 0.3; Seconds() < until;) {
        }
        char c;
        (void)!read(release[0], &c, 1);
    });
    EXPECT_TRUE(WaitOthersQuiet(5000, &waited));
    EXPECT_LT(waited, 4000);
    (void)!write(release[1], "x", 1);
    worker.join();
    close(release[0]);
    close(release[1]);
}

std::vector<CpuShare> Steps(int n, double others) {
    return std::vector<CpuShare>(n, CpuShare{200, (uint64_t)lround(200 * others), 0, 0});
}

TEST(Interference, ARunIsDisturbedByWhatTookTheStepsThatDecidedItsScore) {
    // 16 steps: the last quarter, 4 steps, decides.
    std::vector<CpuShare> s = Steps(16, 0.02);
    EXPECT_FALSE(JudgeRun(s.data(), 16).disturbed);
    for (int i = 13; i < 16; i++)
        s[i].others = 36; // 18 % over the last three: 13.5 % over the deciding four
    RunLoad r = JudgeRun(s.data(), 16);
    EXPECT_TRUE(r.disturbed);
    EXPECT_EQ(4, r.decidingSteps);
    EXPECT_EQ(800u, r.deciding.total);
    EXPECT_EQ(4u + 3 * 36, r.deciding.others);
    EXPECT_EQ(0u, r.deciding.self);

    s = Steps(16, 0.5); // early steps loaded, the deciding ones quiet
    for (int i = 12; i < 16; i++)
        s[i] = CpuShare{200, 4, 0, 0};
    EXPECT_FALSE(JudgeRun(s.data(), 16).disturbed);

    // 40 steps: the last ten decide; steal counts with others.
    s = Steps(40, 0);
    for (int i = 30; i < 40; i++)
        s[i] = CpuShare{200, 10, 12, 0}; // 11 %
    EXPECT_TRUE(JudgeRun(s.data(), 40).disturbed);
    EXPECT_EQ(10, JudgeRun(s.data(), 40).decidingSteps);
    for (int i = 30; i < 40; i++)
        s[i] = CpuShare{200, 10, 10, 0}; // exactly 10 %: not more than the threshold
    EXPECT_FALSE(JudgeRun(s.data(), 40).disturbed);

    // The last window alone, which ended the test, taken by 25 %: disturbed, though the
    // deciding steps together stay under the threshold.
    s = Steps(40, 0);
    s[39].others = 50;
    r = JudgeRun(s.data(), 40);
    EXPECT_LT(TakenShare(r.deciding), kDisturbedShare);
    EXPECT_TRUE(r.disturbed);

    // Steps without figures are left out; a short run is judged on all its steps.
    s = Steps(3, 0.3);
    s[0].total = s[0].others = 0;
    r = JudgeRun(s.data(), 3);
    EXPECT_EQ(2, r.decidingSteps);
    EXPECT_TRUE(r.disturbed);
    EXPECT_FALSE(JudgeRun(nullptr, 0).disturbed);

    // A quick run's eight grids weigh alike: taken from its first four, it is disturbed
    // though its last four were quiet; taken from its last grid alone, which ended nothing,
    // it is not.
    s = Steps(8, 0.25);
    for (int i = 4; i < 8; i++)
        s[i].others = 0;
    EXPECT_FALSE(JudgeRun(s.data(), 8).disturbed);
    r = JudgeQuickRun(s.data(), 8);
    EXPECT_TRUE(r.disturbed);
    EXPECT_EQ(8, r.decidingSteps);
    s = Steps(8, 0);
    s[7].others = 50;
    EXPECT_TRUE(JudgeRun(s.data(), 8).disturbed);
    EXPECT_FALSE(JudgeQuickRun(s.data(), 8).disturbed);
}

// Two processors. A single-threaded renderer beside a busy process: the other processor was
// the busy one's, and its thread never waited. A renderer with more threads than processors,
// alone: its threads waited for each other. Neither had anything taken; a hog beside either
// took what its threads waited for.
TEST(Interference, OnlyTimeTheTestsThreadsWaitedForCountsAgainstIt) {
    auto step = [](uint64_t others, uint64_t wait) {
        CpuShare c = {200, others, 0, 200 - others, wait, 1};
        return std::vector<CpuShare>(8, c);
    };
    std::vector<CpuShare> beside = step(100, 2), alone = step(0, 60), hogged = step(90, 40);
    EXPECT_FALSE(JudgeRun(beside.data(), 8).disturbed);
    EXPECT_FALSE(JudgeRun(alone.data(), 8).disturbed);
    RunLoad r = JudgeRun(hogged.data(), 8);
    EXPECT_TRUE(r.disturbed);
    EXPECT_DOUBLE_EQ(0.2, TakenShare(r.deciding)); // 4 x 40 of 4 x 200: the wait, not 45 %
    EXPECT_TRUE(r.deciding.waitKnown);
    EXPECT_EQ(160u, r.deciding.wait);
    // A step whose waits are not known judges the sum by others' whole time.
    beside[7].waitKnown = 0;
    r = JudgeRun(beside.data(), 8);
    EXPECT_FALSE(r.deciding.waitKnown);
    EXPECT_TRUE(r.disturbed);
}

TEST(Interference, TheCountersOfThisMachine) {
    CpuSnapshot a, b;
    ASSERT_TRUE(ReadCpuSnapshot(&a));
    // 100 ms of this process's CPU time, whatever else the machine does.
    struct timespec t0, t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t0);
    do {
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    } while ((t.tv_sec - t0.tv_sec) * 1e3 + (t.tv_nsec - t0.tv_nsec) / 1e6 < 100);
    ASSERT_TRUE(ReadCpuSnapshot(&b));
    long tick = sysconf(_SC_CLK_TCK);
    ASSERT_GE(b.self - a.self, (uint64_t)(0.05 * tick)); // at least half of it
    EXPECT_GE(b.busy - a.busy, b.self - a.self - 2);
    EXPECT_TRUE(a.waitKnown && b.waitKnown); // this kernel keeps scheduler statistics
    EXPECT_GE(b.wait, a.wait);
}

// Busy children, one a processor, for as long as they live.
std::vector<pid_t> StartHogs(void) {
    std::vector<pid_t> hogs;
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    for (long i = 0; i < cores; i++) {
        pid_t pid = fork();
        if (pid == 0) {
            alarm(10); // never outlives a test that failed to end it
            for (volatile unsigned long n = 0;; n++) {
            }
        }
        if (pid > 0) hogs.push_back(pid);
    }
    return hogs;
}
void StopHogs(const std::vector<pid_t> &hogs) {
    for (pid_t pid : hogs) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

// Threads of this process's own, one a processor, alive through a whole watch as a
// renderer's are: busy, or blocked until told otherwise. Blocked, they want no processor
// however busy the machine is; a thread that woke now and then to look would wait for one
// each time.
struct Spinners {
    std::atomic<int> state{0}; // 0 blocked, 1 busy, 2 ended
    int blocked = 0;
    std::mutex m;
    std::condition_variable changed;
    std::vector<std::thread> threads;
    Spinners() {
        for (long i = 0; i < sysconf(_SC_NPROCESSORS_ONLN); i++)
            threads.emplace_back([this] {
                for (int s; (s = state) != 2;) {
                    if (s == 1) continue;
                    std::unique_lock<std::mutex> l(m);
                    blocked++;
                    changed.notify_all();
                    changed.wait(l, [this] { return state != 0; });
                    blocked--;
                }
            });
    }
    // Returns once they are as told: every one blocked, for 0.
    void Set(int s) {
        std::unique_lock<std::mutex> l(m);
        state = s;
        changed.notify_all();
        changed.wait(l, [this, s] { return s != 0 || blocked == (int)threads.size(); });
    }
    ~Spinners() {
        Set(2);
        for (std::thread &t : threads)
            t.join();
    }
};

// The watch of a test, its windows closed by hand: a hog on every processor during the
// second measured window, against this process's threads busy on every processor too; and
// during the third, with them blocked: the hog used the machine but took nothing from it.
TEST(Interference, TheWatchSeesAHogDuringAMeasuredWindowOnly) {
    ASSERT_TRUE(ReserveFrameTimes());
    auto closeWindow = [](bool measured) {
        fullscreen = true;
        FrameWindowClosed(measured, 10);
        fullscreen = false;
        WatchLoadAfterFrame();
    };
    Spinners spinners;
    closeWindow(true); // measured, but nothing was read before it: no figures
    usleep(300000);
    closeWindow(true);
    std::vector<pid_t> hogs = StartHogs();
    spinners.Set(1);
    usleep(400000);
    WatchLoadAfterFrame(); // a frame that closed no window reads nothing
    spinners.Set(0);
    closeWindow(true);
    usleep(400000); // the one time this process wakes in the window
    closeWindow(true);
    StopHogs(hogs);
    usleep(100000);
    closeWindow(false);
    CpuShare c;
    EXPECT_FALSE(LoadOfStep(0, &c));
    ASSERT_TRUE(LoadOfStep(1, &c));
    EXPECT_GT(c.total, 0u);
    long tick = sysconf(_SC_CLK_TCK);
    CpuShare hog;
    ASSERT_TRUE(LoadOfStep(2, &hog));
    EXPECT_GE(hog.total, (uint64_t)(0.2 * tick)); // the whole 0.4 s window
    ASSERT_TRUE(hog.waitKnown) << "this kernel keeps no scheduler statistics";
    // Twice as many busy threads as processors, more with others about: each ran half the
    // time at most.
    EXPECT_GT(TakenShare(hog), 0.25);
    // Blocked, its threads wanted a processor once, at the window's end, while the hog had
    // every one all the window: however busy the machine, less than half of that was taken
    // unless the wake-up waited longer than the window itself.
    CpuShare asleep;
    ASSERT_TRUE(LoadOfStep(3, &asleep));
    EXPECT_GT(UsedShare(asleep), 0.5);
    EXPECT_LT(ContestedShare(asleep), UsedShare(asleep) / 2);
    EXPECT_FALSE(LoadOfStep(4, &c));
    // A new test forgets the last one's figures and watches its own windows from the first:
    // its first window began with the test, not when the last test's last window closed.
    ASSERT_TRUE(ReserveFrameTimes());
    EXPECT_FALSE(LoadOfStep(1, &c));
    closeWindow(true);
    EXPECT_FALSE(LoadOfStep(0, &c));
    usleep(100000);
    closeWindow(true);
    EXPECT_TRUE(LoadOfStep(1, &c));
    ReleaseFrameTimes();
}

TEST(Interference, AGlanceBeforeATestSaysWhenOthersAreBusy) {
    char text[512] = "";
    FILE *out = fmemopen(text, sizeof text, "w");
    std::vector<pid_t> hogs = StartHogs();
    CpuShare c = GlanceAtMachine(0.3, out);
    StopHogs(hogs);
    fclose(out);
    EXPECT_GT(UsedShare(c), 0.5);
    EXPECT_NE(nullptr, strstr(text, "other processes use")) << text;
}

TEST(Interference, AGlanceBegunEarlyWaitsOnlyForWhatIsLeft) {
    double t0 = Seconds();
    BeginGlance();
    usleep(100000); // the scene's build, say
    CpuShare c = EndGlance(0.4, nullptr);
    EXPECT_GE(Seconds() - t0, 0.4);
    EXPECT_GT(c.total, 0u);
    BeginGlance();
    usleep(1050000); // longer than the look needs: no wait at its end
    double t1 = Seconds();
    EndGlance(1.0, nullptr);
    EXPECT_LT(Seconds() - t1, 0.5);
    EXPECT_EQ(0u, EndGlance(0.1, nullptr).total); // ended already
}

// Frame times of a line: 5 ms plus 1 ms for each thousand triangles, at grids 1 to 10.
std::vector<SteadyPoint> Line(void) {
    std::vector<SteadyPoint> p;
    for (int n = 1; n <= 10; n++)
        p.push_back({1152.0 * n * n, 5 + 1152.0 * n * n / 1000});
    return p;
}

TEST(Steady, ReadsTheLineWhereItReaches100Ms) {
    std::vector<SteadyPoint> p = Line();
    SteadyFigure f = FitSteady(p.data(), (int)p.size());
    ASSERT_TRUE(f.valid);
    EXPECT_EQ(6, f.points); // grids 5 to 10: 33.8 ms and more; grid 4 is 23.4 ms
    EXPECT_NEAR(95.0, f.score, 1e-9);
    EXPECT_NEAR(0.001, f.slope, 1e-12);
    EXPECT_NEAR(5.0, f.intercept, 1e-9);
    EXPECT_NEAR(0, f.uncertainty, 1e-9);

    // A disturbed step, and a fast one far from the stop: neither moves the figure.
    p[6].frameMs *= 2;
    p[0].frameMs = 1;
    f = FitSteady(p.data(), (int)p.size());
    ASSERT_TRUE(f.valid);
    EXPECT_NEAR(95.0, f.score, 1e-9);

    // Noise of up to 2 ms about the line: the figure stays near, with an uncertainty.
    p = Line();
    const double noise[] = {0, 0, 0, 0, 1.5, -0.7, 0.3, -1.9, 1.1, -0.4};
    for (size_t i = 0; i < p.size(); i++)
        p[i].frameMs += noise[i];
    f = FitSteady(p.data(), (int)p.size());
    ASSERT_TRUE(f.valid);
    // Worked apart from this code, from the 15 slopes and 6 levels of grids 5 to 10: the
    // median slope 0.000988086 ms a triangle, the median level 5.97255 ms; the residuals'
    // robust spread 1.4826 × 0.72 ms carried to the crossing.
    EXPECT_NEAR(95.161249, f.score, 1e-6);
    EXPECT_NEAR(0.848806, f.uncertainty, 1e-6);
    EXPECT_NEAR(95.0, f.score, f.uncertainty);
}

// Steps on the line through (cross, 100 ms) at 0.5 ms a thousand triangles.
std::vector<SteadyPoint> Crossing(double cross, double from, double to, int n) {
    std::vector<SteadyPoint> p;
    for (int i = 0; i < n; i++) {
        double x = from + (to - from) * i / (n - 1);
        p.push_back({x, 100 + (x - cross) * 0.0005});
    }
    return p;
}

TEST(Steady, NoFigureRatherThanAWrongOne) {
    std::vector<SteadyPoint> few = Line(); // only three steps near the stop
    few.resize(7);
    few[6].frameMs = 101;
    // A run that ended long before the stop (aborted at 60 ms).
    std::vector<SteadyPoint> aborted;
    for (int n = 20; n <= 27; n++)
        aborted.push_back({1000.0 * n, 40 + (n - 20) * 0.5});
    std::vector<SteadyPoint> falling = Line();
    for (SteadyPoint &s : falling)
        s.frameMs = 200 - s.frameMs;
    // A fixed frame cost just over 100 ms: the line crosses within a quarter of the steps'
    // range below the lowest, but below zero triangles.
    std::vector<SteadyPoint> fixedCost;
    for (int k = 1; k <= 8; k++)
        fixedCost.push_back({10000.0 * k, 100.5 + 1e-4 * 10000 * k});
    // A quick run's figure also needs a step from 50 up to 100 ms and one from 100 to 200.
    struct {
        const char *name;
        std::vector<SteadyPoint> steps;
        int why, quick; // the fit's, and a quick run's
    } rows[] = {
        {"three steps near the stop", few, kSteadyTooFewSteps, kSteadyTooFewSteps},
        {"no steps", {}, kSteadyTooFewSteps, kSteadyTooFewSteps},
        {"aborted far from the stop", aborted, kSteadyFarAway, kSteadyFarAway},
        {"falling frame times", falling, kSteadyNoGrowth, kSteadyNoGrowth},
        {"crossing below zero", fixedCost, kSteadyBelowZero, kSteadyBelowZero},
        {"a fifth of the range above", Crossing(220000, 100000, 200000, 5), kSteadyFitted,
         kSteadyNoneSlower},
        {"two fifths of the range above", Crossing(240000, 100000, 200000, 5), kSteadyFarAway,
         kSteadyFarAway},
        {"a fifth of the range below", Crossing(80000, 100000, 200000, 5), kSteadyFitted,
         kSteadyNoneFaster},
        {"two fifths of the range below", Crossing(60000, 100000, 200000, 5), kSteadyFarAway,
         kSteadyFarAway},
        {"within the range, 75 to 125 ms", Crossing(150000, 100000, 200000, 5), kSteadyFitted,
         kSteadyFitted},
    };
    for (const auto &r : rows) {
        SteadyFigure f = FitSteady(r.steps.data(), (int)r.steps.size());
        EXPECT_EQ(r.why, f.why) << r.name;
        EXPECT_EQ(r.why == kSteadyFitted, f.valid != 0) << r.name;
        if (f.valid) EXPECT_GT(f.score, 0) << r.name;
        f = Bracketed(f, r.steps.data(), (int)r.steps.size());
        EXPECT_EQ(r.quick, f.why) << r.name;
        EXPECT_EQ(r.quick == kSteadyFitted, f.valid != 0) << r.name;
        if (!f.valid) EXPECT_EQ(0, f.score + f.uncertainty) << r.name; // nothing to mistake
    }
    // The bands' ends, each step's frame times in turn.
    for (auto [times, side] :
         std::vector<std::pair<std::vector<double>, int>>{{{50, 100}, kSteadyFitted},
                                                          {{200, 99.9}, kSteadyFitted},
                                                          {{49.9, 100}, kSteadyNoneFaster},
                                                          {{30, 99.9, 200.1}, kSteadyNoneSlower},
                                                          {{}, kSteadyNoneFaster}}) {
        std::vector<SteadyPoint> p;
        for (double ms : times)
            p.push_back({1000.0 * (p.size() + 1), ms});
        EXPECT_EQ(side, UnbracketedSide(p.data(), (int)p.size())) << times.size();
    }
    std::vector<SteadyPoint> slow = Crossing(80000, 100000, 200000, 5);
    slow.push_back({1000, 30}); // far faster than the band: 110 ms is nearer
    EXPECT_EQ("no grid took from 50 up to 100 ms a frame; the nearest took 110 ms",
              SteadyRefusalWords(Bracketed(FitSteady(slow.data(), 6), slow.data(), 6)));
    SteadyFigure nothing = {};
    nothing.why = kSteadyNoneSlower; // no step at all, so none nearest
    EXPECT_EQ("no grid took from 100 up to 200 ms a frame", SteadyRefusalWords(nothing));
    EXPECT_EQ(3, FitSteady(few.data(), 7).points);
    EXPECT_EQ(kSteadyTooFewSteps, FitSteady(nullptr, 0).why);

    double x[] = {3, 3, 3}, y[] = {1, 2, 3}, m = 0, b = 0;
    EXPECT_FALSE(TheilSen(x, y, 3, &m, &b));
}

// Against the sorted middle, over counts odd and even and values in any order.
TEST(Steady, MedianOfAnyCount) {
    unsigned seed = 7;
    for (int n = 0; n <= 40; n++) {
        for (int trial = 0; trial < 20; trial++) {
            std::vector<double> v(n);
            for (double &d : v)
                d = (double)((seed = seed * 1103515245 + 12345) >> 16 & 1023);
            std::vector<double> sorted = v;
            std::sort(sorted.begin(), sorted.end());
            double want = n == 0       ? 0
                          : n % 2 == 1 ? sorted[n / 2]
                                       : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
            ASSERT_EQ(want, Median(v)) << n << " values, trial " << trial;
        }
    }
}

} // namespace

namespace {

// A recorded test of grids 1 to 10 whose median frame times lie on the line of Line(),
// three frames a step, and whose step at grid 7 was not timed: its count stands in.
TEST(Trust, StepsAndRunFromTheRecordedTest) {
    ASSERT_TRUE(ReserveFrameTimes());
    std::vector<ResultStep> steps;
    for (int n = 1; n <= 10; n++) {
        uint32_t median = 5000 + 1152 * n * n; // microseconds
        float fps = (float)(1000.0 / (median / 1000.0));
        steps.push_back({n, 1152 * n * n, fps});
        TimedStep &s = timedSteps[timedStepCount++];
        s = {frameTimesUsed, n == 7 ? 0 : 3, 3};
        for (int i = 0; i < s.timed; i++)
            frameTimes[frameTimesUsed++] = median + (i == 0 ? 500 : i == 1 ? 0 : -100);
    }
    // Grid 5, the first step near the stop, held again after it: 10 % slower.
    TimedStep &again = timedSteps[timedStepCount++];
    again = {frameTimesUsed, 3, 3};
    for (int i = 0; i < 3; i++)
        frameTimes[frameTimesUsed++] = (5000 + 1152 * 25) * 11 / 10;
    std::vector<StepTrust> t;
    RunTrust run;
    GatherTrust(steps, false, 4, 10, &t, &run);
    ASSERT_EQ(10u, t.size());
    EXPECT_DOUBLE_EQ(5 + 1.152 * 9, t[2].times.medianMs);
    EXPECT_DOUBLE_EQ(5 + 1.152 * 9 - 0.1 + 0.2 * 0.1, t[2].times.p10Ms);
    EXPECT_EQ(0, t[6].times.timed);
    EXPECT_EQ(0u, t[9].load.total); // nobody watched the machine
    EXPECT_EQ(0, run.load.decidingSteps);
    EXPECT_FALSE(run.load.disturbed);
    ASSERT_TRUE(run.steady.valid);
    EXPECT_EQ(6, run.steady.points);
    EXPECT_NEAR(95.0, run.steady.score, 1e-3);
    ASSERT_TRUE(run.drift.known);
    EXPECT_EQ(5, run.drift.grid);
    EXPECT_NEAR(0.1, run.drift.change, 1e-3);
    EXPECT_TRUE(run.drift.drifted);
    EXPECT_NEAR(9.5, run.steady.uncertainty, 0.02); // the fit's is 0: all of it drift's
    // Without grid 10 (120 ms) no step is slower than 100 ms: a climb's line still reads a
    // figure, a quick run has none.
    std::vector<ResultStep> nine(steps.begin(), steps.begin() + 9);
    RunTrust quick;
    GatherTrust(nine, true, -1, -1, &t, &quick);
    EXPECT_EQ(kSteadyNoneSlower, quick.steady.why);
    GatherTrust(nine, false, -1, -1, &t, &quick);
    EXPECT_TRUE(quick.steady.valid);

    // The same figures into the run the results hold.
    ResultRun r = {};
    r.steps = steps;
    r.end = kRunScore;
    GatherRunTrust(&r, nullptr);
    // How the run is said: in a series at once, as run i of K; alone, only in the headline.
    r.score = 115;
    for (auto [asked, n, first] : std::vector<std::tuple<int, int, std::string>>{
             {1, 1, "score: 115, the figure to quote\nsteady figure: 95 "},
             {3, 2, "run 2 of 3: score 115\nsteady figure: "},
             {3, 4, "run 4 (of 3 asked, in place of a disturbed or drifted one): score 115\n"}}) {
        resultSeriesAsked = asked;
        resultRuns.resize(n);
        char printed[4096] = "";
        FILE *o = fmemopen(printed, sizeof printed, "w");
        GatherRunTrust(&r, o);
        fclose(o);
        EXPECT_EQ(0u, lastRunText.find(first)) << lastRunText;
        EXPECT_EQ(asked > 1 ? lastRunText : "", std::string(printed));
    }
    resultSeriesAsked = 1;
    resultRuns.clear();
    EXPECT_EQ(3, r.steps[2].timed);
    EXPECT_DOUBLE_EQ(t[2].times.medianMs, r.steps[2].medianMs);
    EXPECT_DOUBLE_EQ(t[2].times.p10Ms, r.steps[2].p10Ms);
    EXPECT_DOUBLE_EQ(t[2].times.p90Ms, r.steps[2].p90Ms);
    EXPECT_EQ(0, r.steps[6].timed);
    EXPECT_FALSE(r.steps[9].load.known);
    EXPECT_FALSE(r.verdict.known); // no figures is not a quiet machine
    ASSERT_TRUE(r.steady.known);
    EXPECT_NEAR(95.0, r.steady.score, 1e-3);
    ReleaseFrameTimes();

    char text[2048] = "";
    FILE *out = fmemopen(text, sizeof text, "w");
    PrintTrust(out, run);
    run.load.disturbed = 1;
    run.load.decidingSteps = 5;
    run.load.deciding = CpuShare{1000, 250, 50, 0, 150, 1}; // its threads waited 15 %
    run.load.last = CpuShare{200, 80, 0, 0, 30, 1};         // used 40 %, took 15 %
    run.steady.valid = 0;
    run.steady.why = kSteadyBelowZero;
    PrintTrust(out, run);
    run.quick = true;
    run.drift.known = false;
    PrintTrust(out, run);
    fclose(out);
    EXPECT_STREQ("drifted: grid 5 took 33.8 ms a frame at its step and 37.2 ms after the stop "
                 "(+10%, more than the 5% this run's own noise allows); the machine's speed "
                 "moved during the run\n"
                 "steady figure: 95 ± 10 thousand triangles a frame at 10 frames a second "
                 "(fitted over 6 steps; not the score)\n"
                 "disturbed: other processes took 15% of the CPU from the test and the "
                 "hypervisor 5% over the last 5 steps, 15% and 0% in the last; the score is "
                 "not this machine's best\n"
                 "drifted: grid 5 took 33.8 ms a frame at its step and 37.2 ms after the stop "
                 "(+10%, more than the 5% this run's own noise allows); the machine's speed "
                 "moved during the run\n"
                 "steady figure: none (the fitted line reaches 100 ms at zero triangles or "
                 "below)\n"
                 "disturbed: other processes took 15% of the CPU from the test and the "
                 "hypervisor 5% over its 5 grids; its grids' frame rates are not this "
                 "machine's best\n"
                 "steady figure: none (the fitted line reaches 100 ms at zero triangles or "
                 "below)\n",
                 text);
    // A change just past its limit never prints as equal to it, either way.
    for (auto [change, allowed, said] : std::vector<std::tuple<double, double, std::string>>{
             {0.1704, 0.17, "(+17.04%, more than the 17.00%"},
             {-0.1749, 0.17, "(-17.5%, more than the 17.0%"},
             {-0.30, 0.05, "(-30%, more than the 5%"}}) {
        run.drift = ResultDrift{};
        run.drift.known = run.drift.drifted = true;
        run.drift.change = change, run.drift.allowed = allowed;
        out = fmemopen(text, sizeof text, "w");
        PrintTrust(out, run);
        fclose(out);
        EXPECT_NE(nullptr, strstr(text, said.c_str())) << text;
    }
}

// A reference grid's two measurements: drifted only past what a steady machine shows and
// past the two windows' own spread, either way.
// A single run's first line recommends its figure only when no verdict flagged it, names
// every flag that did, and a quick figure carries its uncertainty. Flags of verdicts that
// had no figures (bit 8) flag nothing.
TEST(Trust, TheFirstLineRecommendsOnlyAnUnflaggedFigure) {
    resultSeriesAsked = 1;
    for (int quick = 0; quick < 2; quick++)
        for (int bits = 0; bits < 16; bits++) {
            ResultRun r = {};
            r.end = quick ? kRunMeasured : kRunScore;
            r.score = quick ? 0 : 115;
            r.steady = {true, 95.4, 9.6};
            r.verdict.known = r.drift.known = r.held.known = !(bits & 8);
            r.verdict.disturbed = bits & 1, r.drift.drifted = bits & 2, r.held.heldBack = bits & 4;
            int flags = bits & 8 ? 0 : bits;
            char said[512] = "";
            FILE *o = fmemopen(said, sizeof said, "w");
            SayRun(o, r, 1);
            fclose(o);
            std::string line = said;
            EXPECT_EQ(0u, line.find(quick ? "quick run, no score: steady figure 95 ± 10, "
                                          : "score: 115, "))
                << line;
            EXPECT_EQ(flags == 0, line.find(", the figure to quote\n") != std::string::npos)
                << line;
            EXPECT_EQ(flags != 0, line.find("not a figure to quote or compare; run it again ") !=
                                      std::string::npos)
                << line;
            const char *names[] = {"disturbed", "drifted", "held back"};
            for (int i = 0; i < 3; i++)
                EXPECT_EQ((flags >> i & 1) != 0, line.find(names[i]) != std::string::npos) << line;
            EXPECT_EQ(flags == 4, line.find("once the GPU is cool") != std::string::npos) << line;
        }
}

TEST(Trust, DriftOfTheReferenceGrid) {
    auto times = [](double median, double spread, int timed) {
        return StepFrameTimes{timed, timed, median - spread, median, median + spread};
    };
    const StepFrameTimes first = times(40, 1, 40);
    struct {
        const char *name;
        StepFrameTimes again;
        bool known, drifted;
    } rows[] = {
        {"the same", times(40, 1, 40), true, false},
        {"4 % slower", times(41.6, 1, 40), true, false},
        {"6 % slower", times(42.4, 1, 40), true, true},
        {"6 % faster", times(37.6, 1, 40), true, true},
        // 12 ms between the percentiles over 5 frames: a median good to ±7 % or so.
        {"8 % slower, in a window too spread to tell", times(43.2, 12, 5), true, false},
        {"not timed again", StepFrameTimes{}, false, false},
        // 16 ms between the percentiles over 30 frames: each median good to ±3.6 %, whose
        // error shrinks with the root of the frames, not with their count.
        {"6 % slower, in a short window", times(42.4, 8, 30), true, false},
    };
    for (const auto &r : rows) {
        ResultDrift d = JudgeDrift(7, first, r.again);
        EXPECT_EQ(r.known, d.known) << r.name;
        EXPECT_EQ(r.drifted, d.drifted) << r.name;
        if (!d.known) continue;
        EXPECT_EQ(7, d.grid);
        EXPECT_NEAR(r.again.medianMs / 40 - 1, d.change, 1e-12) << r.name;
        EXPECT_GE(d.allowed, kDriftAllowed) << r.name;
    }
    // The drift joins the fit's own uncertainty; without a check it stays the fit's.
    SteadyFigure f = {1, kSteadyFitted, 100, 3, 0, 0, 0, 0};
    ResultDrift d = JudgeDrift(7, first, times(41.6, 1, 40));
    EXPECT_NEAR(5, WithDrift(f, d).uncertainty, 1e-9);
    EXPECT_EQ(3, WithDrift(f, ResultDrift{}).uncertainty);
}

} // namespace

namespace {

// What others took, steps and run alike, into the results' shares.
TEST(Trust, VerdictAndSharesIntoTheRun) {
    ResultRun r = {};
    for (int n = 1; n <= 4; n++)
        r.steps.push_back({n, 1152 * n * n, 20.0f});
    std::vector<StepTrust> t(4);
    t[1].load = CpuShare{200, 50, 10, 100};
    t[3].load = CpuShare{400, 40, 0, 300, 20, 1}; // others took half of what they used
    const CpuShare loads[] = {t[0].load, t[1].load, t[2].load, t[3].load};
    RunTrust run = {};
    run.load = JudgeRun(loads, 4);
    t[2].load = CpuShare{100, 0, 10, 91}; // read a tick past what the machine had left
    TrustIntoRun(t, run, &r);
    EXPECT_FALSE(r.steps[0].load.known);
    EXPECT_DOUBLE_EQ(0.9, r.steps[2].load.self);
    ASSERT_TRUE(r.steps[1].load.known);
    EXPECT_DOUBLE_EQ(0.25, r.steps[1].load.others);
    EXPECT_DOUBLE_EQ(0.05, r.steps[1].load.steal);
    EXPECT_DOUBLE_EQ(0.5, r.steps[1].load.self);
    EXPECT_DOUBLE_EQ(0.3, r.steps[1].load.taken); // no waits: all of others' time
    EXPECT_FALSE(r.steps[1].load.waitKnown);
    EXPECT_DOUBLE_EQ(0.05, r.steps[3].load.taken);
    EXPECT_TRUE(r.steps[3].load.waitKnown);
    EXPECT_DOUBLE_EQ(0.05, r.steps[3].load.wait);
    ASSERT_TRUE(r.verdict.known);
    EXPECT_TRUE(r.verdict.disturbed); // 100 of 600 ticks others' and steal's
    EXPECT_EQ(2, r.verdict.steps);
    EXPECT_DOUBLE_EQ(0.15, r.verdict.over.others);
    EXPECT_FALSE(r.verdict.over.waitKnown); // one of the two steps had no waits
    EXPECT_DOUBLE_EQ(0.1, r.verdict.last.others);
    EXPECT_DOUBLE_EQ(0.05, r.verdict.last.taken);
    EXPECT_FALSE(r.steady.known);
}

// The GPU's verdict over the deciding steps (the last 4 of 8; all of a quick run's), and
// how it is said. A run's steps are written "B" for busy at 2,450 MHz, or MHZ/BUSY with a
// throttle mask and the headroom after them where they are not 0 and 20; "-" for none.
TEST(Trust, AGpuHeldBackAndOneThatWasNot) {
    auto steps = [](const std::string &text) {
        std::vector<ResultGpu> out;
        std::istringstream in(text);
        for (std::string s; in >> s;) {
            double mhz = 2450, busy = 0.97, headroom = 20;
            unsigned throttle = 0;
            if (s != "B") sscanf(s.c_str(), "%lf/%lf/%u/%lf", &mhz, &busy, &throttle, &headroom);
            out.push_back(s == "-" ? ResultGpu{}
                                   : ResultGpu{true, 10, mhz, mhz, 2450, busy, 95 - headroom,
                                               headroom, 150, throttle});
        }
        return out;
    };
    const struct {
        const char *name, *steps;
        bool quick, held;
        const char *said;
    } rows[] = {
        {"at its clock throughout", "B B B B B B B B", false, false,
         "gpu: not held back over the last 4 steps at 75 °C: its clock stayed at 2,450 MHz or "
         "more of the 2,450 it reached busy, no throttle reason was set, 20 °C below its "
         "critical temperature\n"},
        {"its clock falls while busy", "B B B B B 2000/.99 1820/.99/0/1 B", false, true,
         "held back: the GPU's clock fell from 2,450 to 1,820 MHz while it was busy at 94 °C "
         "over the last 4 steps; the score is not this GPU's best\n"},
        {"it falls while the GPU waits for the processor", "B B B B B 1200/.5 1100/.79 B", false,
         false, "its clock stayed at 2,450 MHz"},
        {"a fall of a tenth at most", "2000/1 2000/1 2000/1 2000/1 1800/.9 2000/1 2000/1 2000/1",
         false, false, "stayed at 1,800 MHz or more of the 2,000"},
        {"a fall just past a tenth, busy just enough", "B B B B 2204/.8 B B B", false, true,
         "fell from 2,450 to 2,204 MHz"},
        {"an idle step's higher clock is no top to fall from",
         "2450/.5 2000/1 2000/1 2000/1 2000/1 2000/1 2000/1 2000/1", false, false,
         "stayed at 2,000 MHz or more of the 2,000"},
        {"a fall before the deciding steps", "1000/1 B B B B B B B", false, false, "not held back"},
        {"the same fall decides a quick run", "1000/1 B B B B B B B", true, true,
         "fell from 2,450 to 1,000 MHz while it was busy at 75 °C over its 8 grids; its grids' "
         "frame rates are"}, // no steady figure to speak of
        {"a throttle reason, no load published", "B B B B B B 1300/-1/9 1300/-1", false, true,
         "held back: its driver held the clock down (pl1, thermal) at 75 °C"},
        {"a reason set before the deciding steps", "2450/1/8 B B B B B B B", false, false,
         "not held back"},
        {"a sensor at its critical level", "B B B B B B B 2450/1/0/0", false, true,
         "held back: it reached its critical temperature at 95 °C"},
        {"a clock with no load published",
         "2450/-1 2450/-1 2450/-1 2450/-1 900/-1 900/-1 900/-1 900/-1", false, false,
         "its driver publishes no load, so its clock is not judged, no throttle reason was set, "
         "20 °C below"},
        {"no GPU watched", "- - - - - - - -", false, false, ""},
    };
    for (const auto &r : rows) {
        std::vector<ResultGpu> gpu = steps(r.steps);
        ResultHeld h = JudgeGpu(gpu.data(), (int)gpu.size(), r.quick);
        EXPECT_EQ(*r.said != 0, h.known) << r.name;
        EXPECT_EQ(r.held, h.heldBack) << r.name;
        RunTrust run = {};
        run.held = h;
        run.quick = r.quick;
        run.steady.why = kSteadyBelowZero;
        char text[1024] = "";
        FILE *out = fmemopen(text, sizeof text, "w");
        PrintTrust(out, run);
        fclose(out);
        std::string said = text;
        said = said.substr(0, said.find("steady figure: none"));
        EXPECT_NE(std::string::npos, said.find(r.said)) << r.name << ": " << said;
        if (!*r.said) EXPECT_EQ("", said) << r.name;
        // Into the run, and a series counts it as it counts a disturbed one.
        ResultRun result = {};
        result.steps.resize(gpu.size());
        std::vector<StepTrust> t(gpu.size());
        for (size_t i = 0; i < t.size(); i++)
            t[i].gpu = gpu[i];
        TrustIntoRun(t, run, &result);
        EXPECT_EQ(gpu.back().medianMhz, result.steps.back().gpu.medianMhz) << r.name;
        result.end = kRunScore;
        result.score = 50;
        EXPECT_EQ((int)r.held, Summarize({result}).disturbed) << r.name;
    }
    EXPECT_EQ("2,450 1,000,000 900", Thousands(2450) + " " + Thousands(1e6) + " " + Thousands(900));
}

} // namespace

namespace {

// The quick run's grids from its probe: between 40 and 8 frames a second on the probe's
// line, small and large in turn, none beyond the largest grid; none without a rising line.
TEST(Quick, GridsBetween40And8FramesASecond) {
    // A renderer of 2 ms a frame and 1 ms for 20,000 triangles, probed from grid 1 doubling.
    auto linear = [](double fixedMs, double usPerKTri, int upTo) {
        std::vector<ProbePoint> p;
        for (int g = 1; g <= upTo; g *= 2)
            p.push_back({g, (float)(1000 / (fixedMs + usPerKTri * g * g * 1.152 / 1000))});
        return p;
    };
    struct {
        const char *name;
        std::vector<ProbePoint> probe;
        bool planned;
        int top;    // the largest grid planned, or 0 not to check it
        int bottom; // the smallest grid planned is at least this
    } rows[] = {
        {"llvmpipe-like", linear(2, 50, 64), true, 0, 1},
        {"a fast renderer, beyond the largest grid", linear(0.5, 0.001, 1024), true, 1365, 682},
        // Whole frame counts of 0.5 µs a sphere: 3 frames at grid 1024 say 333 ms, which is
        // 25 % too long, and would put 40 fps at grid 1.
        {"counts", {{64, 407}, {128, 104}, {256, 27}, {512, 8}, {1024, 3}}, true, 512, 190},
        // A line that starts above 25 ms, as when grid 32 was probed on a loaded moment:
        // it reaches 40 fps below zero triangles, and grid 1 would run at hundreds.
        {"a loaded point", {{16, 300}, {32, 30}, {45, 25}}, true, 0, 60},
        // 40 fps a sliver of a sphere past no triangles (a tenth of a sphere).
        {"a loaded point, nearly", {{16, 1000 / 49.99f}, {32, 1000 / 124.99f}}, true, 0, 8},
        {"one point", {{1, 5}}, false, 0, 0},
        {"no growth", {{1, 60}, {2, 60}}, false, 0, 0},
    };
    for (const auto &r : rows) {
        std::vector<SInt32> g = PlanQuickGrids(r.probe, 1365);
        ASSERT_EQ(r.planned ? (size_t)kQuickGrids : 0u, g.size()) << r.name;
        if (!r.planned) continue;
        if (r.top) EXPECT_EQ(r.top, *std::max_element(g.begin(), g.end())) << r.name;
        EXPECT_LE(r.bottom, *std::min_element(g.begin(), g.end())) << r.name;
        for (size_t i = 0; i + 1 < g.size(); i++)
            EXPECT_EQ(i % 2 == 0, g[i] < g[i + 1]) << r.name << ", grid " << i; // in turn
    }
    // On the llvmpipe-like line every grid lies between 40 and 8 frames a second, to a grid.
    std::vector<SInt32> g = PlanQuickGrids(linear(2, 50, 64), 1365);
    for (SInt32 n : g) {
        double ms = 2 + 50 * n * n * 1.152 / 1000;
        EXPECT_GT(ms, 1000 / kQuickHighFps * 0.85) << n;
        EXPECT_LT(ms, 1000 / kQuickLowFps * 1.15) << n;
    }
    // Frame time growing as the triangles to the power 1.3 (100 ms at grid 50): the probe's
    // line from grids 16 and 32 puts the largest grid at 173 ms; the warm-up's frame time at
    // its grid brings the plan back to where the rates lie.
    auto convex = [](SInt32 n) { return 2 + 98 * pow(n * n / 2500.0, 1.3); };
    std::vector<ProbePoint> probe;
    for (SInt32 n = 1; n <= 64; n *= 2)
        probe.push_back({n, (float)(1000 / convex(n))});
    g = PlanQuickGrids(probe, 1365);
    EXPECT_GT(convex(*std::max_element(g.begin(), g.end())), 1000 / kQuickLowFps * 1.3);
    SInt32 warm = g[kQuickGrids / 2];
    std::vector<SInt32> again = ReplanQuickGrids(probe, warm, convex(warm), 1365);
    ASSERT_EQ((size_t)kQuickGrids, again.size());
    double top = convex(*std::max_element(again.begin(), again.end()));
    double bottom = convex(*std::min_element(again.begin(), again.end()));
    EXPECT_NEAR(1000 / kQuickLowFps, top, 1000 / kQuickLowFps * 0.15);
    EXPECT_NEAR(1000 / kQuickHighFps, bottom, 1000 / kQuickHighFps * 0.15);
    // A warm-up at a grid the probe measured (32), slower than the probe saw it: the line
    // from the point below it, 16's, brings the grids down.
    again = ReplanQuickGrids(probe, 32, convex(32) * 1.3, 1365);
    ASSERT_EQ((size_t)kQuickGrids, again.size());
    EXPECT_LT(*std::max_element(again.begin(), again.end()), *std::max_element(g.begin(), g.end()));
    EXPECT_TRUE(ReplanQuickGrids(probe, 1, convex(1), 1365).empty()); // nothing below it
    // Grids that stopped short of 100 ms (the llvmpipe-like line to grid 36, 77 ms): the
    // next is where the line reaches 8 fps, grid 46; none once a step reached 100 ms, or at
    // the largest grid.
    std::vector<SteadyPoint> pts;
    std::vector<SInt32> grids;
    for (SInt32 n : {20, 24, 28, 32, 36, 44}) {
        grids.push_back(n);
        pts.push_back({1152.0 * n * n, 2 + 50 * n * n * 1.152 / 1000});
    }
    EXPECT_EQ(46, NextQuickGrid(pts.data(), grids.data(), 5, 1365));
    EXPECT_EQ(0, NextQuickGrid(pts.data(), grids.data(), 6, 1365)); // grid 44: 113 ms
    EXPECT_EQ(0, NextQuickGrid(pts.data(), grids.data(), 5, 36));
    // Steps on a line through 125 ms at grid 33 or 36.3, and the largest, grid 36, on a
    // faster moment under it: the next grid is still past the largest, never it again.
    for (double cross : {33.0, 36.3}) {
        pts.clear();
        grids = {20, 24, 28, 29, 36};
        for (SInt32 n : grids)
            pts.push_back({1152.0 * n * n, n == 36 ? 60 : 125 * n * n / (cross * cross)});
        EXPECT_EQ(37, NextQuickGrid(pts.data(), grids.data(), 5, 1365)) << cross;
    }
    // Grids 11 to 22 all slower than 150 ms (a renderer far slower than the plan thought):
    // the next is short of grid 11, where the line reaches 80 ms (60 ms + 0.818 ms × 24.4);
    // with a fixed cost of 90 ms the line never gets there, and the frame time taken as the
    // triangles from grid 11 (150.5 ms) puts it at grid 8; none below grid 1.
    for (auto [fixed, want] : {std::pair{60.0, 5}, {90.0, 8}}) {
        pts.clear();
        grids.clear();
        for (SInt32 n = 11; n <= 22; n++) {
            grids.push_back(n);
            pts.push_back({1152.0 * n * n, fixed + (fixed == 60 ? 0.818 : 0.5) * n * n});
        }
        EXPECT_EQ(want, NextQuickGrid(pts.data(), grids.data(), 12, 1365)) << fixed;
    }
    grids = {1};
    pts = {{1152, 300}};
    EXPECT_EQ(0, NextQuickGrid(pts.data(), grids.data(), 1, 1365));
}

// The quick run's planning, from the probe's whole frame counts to the fit, on renderers
// whose frame time is a + b·triangles^p: its figure lies near where the frame time truly
// reaches 100 ms, whether the frame time grows as the triangles or faster, at any scale.
// And on one that slows to a half or a quarter of its speed once the grids are planned: a
// figure only where the steps bracket 100 ms, near the slowed renderer's, or none.
TEST(Quick, TheFigureOfAKnownCurve) {
    for (double p : {1.0, 1.3, 1.6})
        for (double fixedMs : {0.0, 5.0, 20.0})
            for (double spheres : {150.0, 300.0, 1000.0, 10000.0, 50000.0})
                for (int slowed : {1, 2, 4}) {
                    // 100 ms at `spheres` spheres.
                    auto ms = [&](double g) {
                        return fixedMs + (100 - fixedMs) * pow(g * g / spheres, p);
                    };
                    std::vector<ProbePoint> probe;
                    for (SInt32 g = 1;; g = std::min(2 * g, (SInt32)kMaxQuickGrid)) {
                        probe.push_back({g, (float)floor(1000 / ms(g) + 1)}); // whole frames
                        if (probe.back().fps < kQuickLowFps || g == kMaxQuickGrid) break;
                    }
                    std::vector<SInt32> plan = PlanQuickGrids(probe, kMaxQuickGrid);
                    ASSERT_FALSE(plan.empty());
                    SInt32 warm = plan[kQuickGrids / 2];
                    std::vector<SInt32> again =
                        ReplanQuickGrids(probe, warm, ms(warm), kMaxQuickGrid);
                    if (!again.empty()) plan = again;
                    SInt32 look = *std::max_element(plan.begin(), plan.end());
                    again = LookQuickGrids(warm, ms(warm), look, ms(look), kMaxQuickGrid);
                    if (!again.empty()) plan = again;
                    std::vector<SteadyPoint> pts;
                    for (size_t i = 0; i < plan.size(); i++) {
                        pts.push_back({(double)plan[i] * plan[i] * kTrianglesPerSphere,
                                       slowed * ms(plan[i])});
                        if (i + 1 == plan.size() && plan.size() < kQuickGrids + kQuickExtraGrids)
                            if (SInt32 next = NextQuickGrid(pts.data(), plan.data(),
                                                            (int)pts.size(), kMaxQuickGrid))
                                plan.push_back(next);
                    }
                    SteadyFigure f = FitQuick(pts.data(), (int)pts.size());
                    std::string name = "power " + std::to_string(p) + ", " +
                                       std::to_string(fixedMs) + " ms, 100 ms at " +
                                       std::to_string(spheres) + " spheres, slowed " +
                                       std::to_string(slowed);
                    // Slowed by half, the extra grids find the figure again; by three
                    // quarters, most planned grids lie past 200 ms, and too few are left
                    // near it to fit: none, rather than a line bent by the far ones.
                    if (slowed < 4) ASSERT_TRUE(f.valid) << name;
                    if (!f.valid) continue;
                    // Where the slowed frame time reaches 100 ms.
                    double share = (100.0 / slowed - fixedMs) / (100 - fixedMs);
                    ASSERT_GT(share, 0) << name;
                    double truth = spheres * pow(share, 1 / p) * kTrianglesPerSphere / 1000;
                    EXPECT_NEAR(1, f.score / truth,
                                slowed > 1 ? 0.05
                                : p > 1.5  ? 0.02
                                           : 0.01)
                        << name;
                }
}

// What a step says, and how long a climb has left from its steps near the stop.
TEST(Progress, TheLineOfAStep) {
    for (auto [low, high, said] : std::vector<std::tuple<double, double, std::string>>{
             {-1, -1, ""},
             {44, 44, ", about 44 s left"},
             {30, 50, ", about 30 to 50 s left"},
             {60, 180, ", about 60 s to 3 min left"},
             {600, 780, ", about 10 to 13 min left"}})
        EXPECT_EQ("climbing: grid 30: 14 fps" + said,
                  ProgressText(false, "", 30, 14, TimeLeft{low >= 0, low, high}));
    EXPECT_EQ("quick (run 2 of 5): grid 7: 12 fps", ProgressText(true, "run 2 of 5", 7, 12, {}));
    // Steps of grids 11 to 15 whose frames take 100 ms at grid 19.5 and 111 at 20.6, time
    // growing as the triangles: the climb stops at grid 20 or 21, 5 or 6 steps of 4 s on.
    std::vector<double> x, y;
    for (int g = 11; g <= 15; g++) {
        x.push_back(1152.0 * g * g);
        y.push_back(100.0 * g * g / (19.5 * 19.5));
    }
    TimeLeft t = ClimbTimeLeft(x.data(), y.data(), 5, 15);
    EXPECT_TRUE(t.known && t.lowS == 20 && t.highS == 24) << t.lowS << " " << t.highS;
    EXPECT_FALSE(ClimbTimeLeft(x.data(), y.data(), 2, 15).known); // too few steps
    t = ClimbTimeLeft(x.data(), y.data(), 5, 21); // past the crossing: the step that stops it
    EXPECT_TRUE(t.known && t.lowS == 4 && t.highS == 4) << t.lowS << " " << t.highS;
    // Only the last steps count, the steepest for the soonest end and the shallowest for
    // the latest: an earlier step twice as slow a triangle changes nothing.
    y[1] *= 2, y[3] *= 1.1;
    t = ClimbTimeLeft(x.data(), y.data(), 5, 15);
    EXPECT_TRUE(t.known && t.lowS == 16 && t.highS == 24) << t.lowS << " " << t.highS;
}

// The lines of a series of two climbs, as a terminal-less output gets them: each climb's
// time left from its own steps, and none once its last step has scored.
TEST(Progress, EachClimbOfASeriesOnItsOwnSteps) {
    ReleaseFrameTimes(); // untimed steps: their frame counts stand in
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    // Grids 11 to 15 on lines that reach 1000/9 ms at grid 16.5, then at grid 22.5: each
    // climb's line says which run of the series it is.
    resultSeriesAsked = 2;
    for (double crossing : {16.5, 22.5}) {
        frameTimesTest++;
        resultRuns.push_back(ResultRun{});
        resultRuns.back().end = kRunGoing;
        for (int g = 11; g <= 15; g++) {
            double ms = 1000.0 / 9 * g * g / (crossing * crossing);
            resultRuns.back().steps.push_back({g, 1152 * g * g, (float)(1000 / ms)});
        }
        ShowProgress(out);
        resultRuns.back().steps.push_back({16, 1152 * 16 * 16, 9});
        resultRuns.back().score = 294;
        ShowProgress(out);
        resultRuns.back().end = kRunScore;
    }
    fclose(out);
    resultSeriesAsked = 1;
    EXPECT_EQ("climbing (run 1 of 2): grid 15: 11 fps, about 4 to 8 s left\n"
              "climbing (run 1 of 2): grid 16: 9 fps\n"
              "climbing (run 2 of 2): grid 15: 20 fps, about 28 to 32 s left\n"
              "climbing (run 2 of 2): grid 16: 9 fps\n",
              std::string(text, size));
    free(text);
    resultRuns.clear();
}

// Plays a quick run on a renderer of ms(grid) a frame, window by window as the accounting
// would, and gives the grids it measured.
std::vector<SInt32> QuickRunOn(double (*ms)(SInt32)) {
    frameTimesTest++;
    resultRuns.push_back(ResultRun{});
    resultRuns.back().end = kRunGoing;
    quickTests = fullscreen = true;
    ResetHold();
    DriveQuickTest();
    for (int holds = 0; holdGrid && holds < 100; holds++) {
        double frame = ms(holdGrid);
        for (SInt32 w = holdWindowsLeft; w > 0; w--) {
            holdWindowsLeft = w;
            for (int f = 0; f < std::max(1.0, 1000 / frame); f++) {
                lastFrameEndUs += (UInt64)(frame * 1000);
                DriveQuickTest();
            }
        }
        holdWindowsLeft = holdGrid = 0;
        holdMeasuredFps = (float)floor(1000 / frame);
        holdWaiting = true;
        DriveQuickTest();
    }
    resultRuns.back().end = kRunMeasured;
    std::vector<SInt32> grids;
    for (const ResultStep &s : resultRuns.back().steps)
        grids.push_back(s.grid);
    return grids;
}

// A run of a --repeat series plans from its own probe, as it would alone: here one whose
// probe counted 8 frames or more at grid 1 only, after a run on a much faster renderer.
TEST(Quick, ARunOfASeriesPlansFromItsOwnProbe) {
    auto slow = [](SInt32 n) { return 36 + 26.6 * n * n; }; // 15 fps at grid 1, 7 at 2
    auto fast = [](SInt32 n) { return 2 + 0.08 * 1.152 * n * n; };
    std::vector<SInt32> alone = QuickRunOn(slow);
    EXPECT_FALSE(alone.empty());
    EXPECT_FALSE(QuickRunOn(fast).empty());
    EXPECT_EQ(alone, QuickRunOn(slow));
    quickTests = fullscreen = false;
    ResetHold();
    resultRuns.clear();
}

// Renderers whose frame time jumps past a band: more grids, each nearer, until the extra
// ones run out; none measured again (where it read slower than a frame a second, its rate
// was 0 and it bounded nothing).
TEST(Quick, TheExtraGridsStopAtTheirCountAndRepeatNone) {
    struct Row {
        double (*ms)(SInt32);
        std::vector<SInt32> extra;
    } rows[] = {
        {[](SInt32 n) { return n <= 6 ? 30 + 0.5 * n * n : 400.0; }, {13, 12, 11, 10}},
        {[](SInt32 n) { return n <= 10 ? 55 + 0.01 * n * n : 300.0 + n * n; }, {46}},
    };
    for (const Row &r : rows) {
        std::vector<SInt32> grids = QuickRunOn(r.ms);
        ASSERT_EQ(kQuickGrids + r.extra.size(), grids.size());
        EXPECT_EQ(r.extra, std::vector<SInt32>(grids.begin() + kQuickGrids, grids.end()));
    }
    quickTests = fullscreen = false;
    ResetHold();
    resultRuns.clear();
}

} // namespace
