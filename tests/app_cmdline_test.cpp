#include "app/cmdline.h"
#include "app/folders.h"
#include "self/version.h"
#include "platform/bundle.h"
#include "tests/support/temp_dir.h"

#include <gtest/gtest.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "pair/pair.h"
#include "protocol/pairside.h"

namespace {

// Runs the parser on the words; out and err catch what it prints.
struct Parse {
    int run = 0, status = -1;
    std::string out, err;
};

std::string Slurp(FILE *f) {
    std::string s;
    rewind(f);
    int c;
    while ((c = fgetc(f)) != EOF)
        s += (char)c;
    fclose(f);
    return s;
}

Parse ParseWords(std::vector<std::string> given) {
    // Kept until the next parse: commandLine points into the words and into argv (--import's
    // files), as into a real argv.
    static std::vector<std::string> words;
    words = given;
    words.insert(words.begin(), "kelvane");
    static std::vector<char *> argv;
    argv.clear();
    for (std::string &w : words)
        argv.push_back(&w[0]);
    argv.push_back(nullptr);
    FILE *out = tmpfile(), *err = tmpfile();
    Parse p;
    p.run = ParseCommandLine((int)words.size(), argv.data(), out, err, &p.status);
    p.out = Slurp(out);
    p.err = Slurp(err);
    return p;
}

void ExpectRefused(const std::vector<std::string> &words) {
    Parse p = ParseWords(words);
    EXPECT_EQ(0, p.run) << words.back();
    EXPECT_EQ(kExitUsage, p.status) << words.back();
    EXPECT_NE(std::string::npos, p.err.find("Try 'kelvane --help'")) << words.back();
    EXPECT_EQ(std::string::npos, p.err.find("Usage:")) << p.err; // the reason, not buried
    EXPECT_EQ("", p.out) << words.back();
}

class CommandLineTest : public ::testing::Test {
  protected:
    void TearDown() override { results_folder[0] = results_pending[0] = 0; }
};

TEST_F(CommandLineTest, NoOptionsIsTheProgramInItsWindow) {
    Parse p = ParseWords({});
    EXPECT_EQ(1, p.run);
    EXPECT_FALSE(commandLine.test);
    EXPECT_FALSE(commandLine.offscreen);
    EXPECT_FALSE(Unattended());
    EXPECT_EQ(-1, commandLine.device);
    EXPECT_EQ(nullptr, commandLine.results);
    EXPECT_EQ("", p.out + p.err);
}

TEST_F(CommandLineTest, HelpAndVersionPrintOnStandardOutputAndEndWithZero) {
    for (const char *help : {"--help", "-h"}) {
        Parse p = ParseWords({"--test", help});
        EXPECT_EQ(0, p.run);
        EXPECT_EQ(0, p.status);
        EXPECT_EQ(0u, p.out.find("Usage: kelvane")) << help;
        EXPECT_EQ("", p.err);
    }
    Parse v = ParseWords({"--version"});
    EXPECT_EQ(0, v.run);
    EXPECT_EQ(0, v.status);
    EXPECT_EQ(std::string("kelvane ") + kVersion + "\n", v.out);
}

TEST_F(CommandLineTest, TestAndOffscreenTakeTheirDefaultsAndSizes) {
    Parse p = ParseWords({"--test", "--offscreen"});
    EXPECT_EQ(1, p.run);
    EXPECT_TRUE(commandLine.test && commandLine.offscreen && Unattended());
    EXPECT_EQ(1920, commandLine.offscreenWidth);
    EXPECT_EQ(1080, commandLine.offscreenHeight);
    ParseWords({"--offscreen=1x16384", "--test", "--device", "2"});
    EXPECT_EQ(1, commandLine.offscreenWidth);
    EXPECT_EQ(16384, commandLine.offscreenHeight);
    EXPECT_EQ(2, commandLine.device);
    // A later parse starts again from nothing.
    ParseWords({"--test"});
    EXPECT_FALSE(commandLine.offscreen);
    EXPECT_EQ(-1, commandLine.device);
}

TEST_F(CommandLineTest, ValidateRunsAloneInAWindowOrOffscreen) {
    Parse p = ParseWords({"--validate"});
    EXPECT_EQ(1, p.run);
    EXPECT_TRUE(commandLine.validate && Unattended());
    EXPECT_FALSE(commandLine.test);
    p = ParseWords({"--offscreen=640x480", "--validate", "--device", "0"});
    EXPECT_EQ(1, p.run);
    EXPECT_TRUE(commandLine.validate && commandLine.offscreen);
    ExpectRefused({"--test", "--validate"}); // the test validates by itself
    EXPECT_EQ(0u, ParseWords({"--help"}).out.find("Usage: kelvane"));
    EXPECT_NE(std::string::npos, ParseWords({"--help"}).out.find("--validate"));
}

TEST_F(CommandLineTest, BadOptionsAndValuesAreRefusedWithTheirReason) {
    // The word as typed, and the option meant where one is a slip away.
    for (auto [words, said] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"--tset"}, "unknown option --tset (did you mean --test?)\n"},
             {{"--test", "--histroy=3"}, "unknown option --histroy (did you mean --history?)"},
             {{"--resluts", "x"}, "unknown option --resluts (did you mean --results?)"},
             {{"--bogus"}, "unknown option --bogus\n"},
             {{"--ts"}, "unknown option --ts\n"},           // as many edits as letters: no guess
             {{"--testxyz"}, "unknown option --testxyz\n"}, // three edits: another word
             {{"--pair-sid"}, "--pair-side is the pair's own"},
             {{"--h"}, "ambiguous option --h: --history, --help"},
             {{"-x"}, "unknown option -x"},
             {{"--test", "-xh"}, "unknown option -x"},
             {{"--test=1"}, "--test takes no value"},
             {{"--help=1"}, "--help takes no value"},
             {{"--test", "--results"}, "--results wants a value"}}) {
        ExpectRefused(words);
        EXPECT_NE(std::string::npos, ParseWords(words).err.find("kelvane: " + said))
            << ParseWords(words).err;
    }
    ExpectRefused({"--test", "stray"});
    ExpectRefused({"--offscreen"}); // nothing would end it
    ExpectRefused({"--test", "--device", "0"});
    ExpectRefused({"--test", "--offscreen", "--device"});
    ExpectRefused({"--quick"}); // the quick figure is a test's, not the window's
    ExpectRefused({"--list-devices", "--test"});
    ExpectRefused({"--list-devices", "--pair", "a", "b"}); // not a pair left unrun
    for (auto words :
         std::vector<std::vector<std::string>>{{"--compare", "a", "b"}, {"--history"}}) {
        words.insert(words.end(), {"--results", "/nonexistent/made"}); // neither made nor said
        std::string err = ParseWords(words).err;
        EXPECT_EQ("kelvane: --results is where tests and pairs write: --compare, --history and "
                  "--list-devices write nothing there\n",
                  err.substr(0, err.find('\n') + 1));
    }
    ExpectRefused({"--test", "--fail-if-slower", "5"}); // a gate needs a comparison
    ExpectRefused({"--compare", "a", "b", "--fail-if-slower", "-1"});
    ExpectRefused({"--compare", "a", "b", "--fail-if-slower", "101"});
    ExpectRefused({"--validate", "--quick"});
    for (const char *size :
         {"0x600", "800x0", "800x", "x600", "800", "800x600x", "-1x5", "+8x6", " 8x6", "8x 6",
          "16385x10", "99999999999x1", "123456789x1", "12345678x1", "8X6", ""})
        ExpectRefused({"--test", std::string("--offscreen=") + size});
    for (const char *device : {"-1", "abc", "1e3", "", "1025", " 1"})
        ExpectRefused({"--test", "--offscreen", "--device", device});
}

TEST_F(CommandLineTest, ResultsFolderBecomesAnAbsolutePrefixAndTheLogsHome) {
    TempDir dir;
    std::string sub = dir.path("out");
    ASSERT_EQ(0, mkdir(sub.c_str(), 0755));
    char cwd[4096];
    ASSERT_TRUE(getcwd(cwd, sizeof cwd));
    ASSERT_EQ(0, chdir(dir.prefix().c_str()));
    Parse p = ParseWords({"--results", "out"});
    ASSERT_EQ(0, chdir(cwd));
    ASSERT_EQ(1, p.run) << p.err;
    char real[4096];
    ASSERT_TRUE(realpath(sub.c_str(), real));
    EXPECT_EQ(std::string(real) + "/", results_folder);
    GetWorkingFolder();
    EXPECT_STREQ(results_folder, app_folder);
}

TEST_F(CommandLineTest, UnusableResultsFoldersEndWithStatusTwo) {
    TempDir dir;
    std::string file = dir.path("file");
    WriteBytes(file, {'x'});
    for (std::string bad : {file, file + "/below"}) {
        Parse p = ParseWords({"--test", "--results", bad});
        EXPECT_EQ(0, p.run) << bad;
        EXPECT_EQ(kExitUsage, p.status) << bad;
        EXPECT_NE(std::string::npos, p.err.find(bad)) << p.err;
        EXPECT_EQ('\0', results_folder[0]);
    }
    if (getuid() != 0) { // root may write anywhere
        std::string locked = dir.path("locked");
        ASSERT_EQ(0, mkdir(locked.c_str(), 0555));
        EXPECT_EQ(kExitUsage, ParseWords({"--results", locked}).status);
        Parse p = ParseWords({"--results", locked + "/new"});
        EXPECT_EQ(kExitUsage, p.status);
        EXPECT_NE(std::string::npos, p.err.find("cannot be made")) << p.err;
    }
}

TEST_F(CommandLineTest, AMissingResultsFolderIsMadeWithItsParentsOnlyOnceTheRunCanStart) {
    TempDir dir;
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    ASSERT_EQ(0, chdir(dir.prefix().c_str()));
    std::string deep = dir.path("a/b/c");
    for (std::string asked : {deep, std::string("a/b/c/")}) { // absolute, and relative
        Parse p = ParseWords({"--test", "--results", asked});
        ASSERT_EQ(1, p.run) << p.err;
        EXPECT_EQ("", p.err) << asked; // a run refused at its start leaves nothing behind
        EXPECT_FALSE(FileExists(dir.path("a")));
        EXPECT_EQ(deep + "/", results_pending) << asked;
        char why[256];
        ASSERT_EQ(1, ChooseResultsFolder(why, sizeof why)) << why; // neither bundle nor data
        EXPECT_EQ('\0', results_folder[0]);
    }
    FILE *err = tmpfile();
    EXPECT_EQ(1, MakePendingResultsFolder(err));
    EXPECT_EQ("kelvane: made the results folder " + deep + "/\n", Slurp(err));
    EXPECT_EQ(deep + "/", results_folder);
    EXPECT_EQ(deep + "/", app_folder);
    EXPECT_EQ('\0', results_pending[0]);
    struct stat st;
    EXPECT_TRUE(stat(deep.c_str(), &st) == 0 && S_ISDIR(st.st_mode));
    EXPECT_EQ("", ParseWords({"--test", "--results", deep}).err); // there now: nothing to say
    EXPECT_EQ('\0', results_pending[0]);
    ASSERT_EQ(0, chdir(here));
}

// Folders nested under the temporary one until the path is exactly len bytes long.
std::string DeepFolder(const TempDir &dir, size_t len) {
    std::string path = dir.prefix().substr(0, dir.prefix().size() - 1);
    while (path.size() < len) {
        size_t part = std::min<size_t>(100, len - path.size() - 1);
        if (part == 0) part = 1, path.pop_back(); // never a trailing "/" alone
        path += "/" + std::string(part, 'd');
        mkdir(path.c_str(), 0755);
    }
    return path;
}

TEST_F(CommandLineTest, ResultsFolderThatWouldNotFitIsRefusedNotCut) {
    TempDir dir;
    std::string fits = DeepFolder(dir, kFolderSize - 2); // with "/" and NUL: 256 bytes
    ASSERT_EQ(kFolderSize - 2, (int)fits.size());
    Parse p = ParseWords({"--results", fits});
    EXPECT_EQ(1, p.run) << p.err;
    EXPECT_EQ(fits + "/", results_folder);
    TempDir other; // one byte more: its "/" would leave no room for the NUL
    std::string longer = DeepFolder(other, kFolderSize - 1);
    ASSERT_EQ(kFolderSize - 1, (int)longer.size());
    for (std::string asked : {longer, fits + "/x"}) { // the second still to be made
        p = ParseWords({"--results", asked});
        EXPECT_EQ(0, p.run);
        EXPECT_EQ(kExitUsage, p.status);
        EXPECT_EQ('\0', results_folder[0]);
        EXPECT_EQ('\0', results_pending[0]);
        EXPECT_NE(std::string::npos, p.err.find("longer")) << p.err;
    }
}

TEST_F(CommandLineTest, RepeatCountsFromOneToAHundredAndOnlyWithATest) {
    EXPECT_EQ(1, ParseWords({"--test"}).run);
    EXPECT_EQ(1, commandLine.repeat); // one test without the option
    EXPECT_EQ(1, ParseWords({"--test", "--repeat", "100"}).run);
    EXPECT_EQ(100, commandLine.repeat);
    EXPECT_EQ(1, ParseWords({"--repeat=1", "--test"}).run);
    EXPECT_EQ(1, commandLine.repeat);
    for (const char *k : {"0", "101", "-2", "5x", "", "1e2"})
        ExpectRefused({"--test", "--repeat", k});
    ExpectRefused({"--repeat", "3"}); // a series of tests needs the tests
}

TEST_F(CommandLineTest, CompareTakesTwoFilesWhereverTheOtherOptionsStand) {
    Parse p = ParseWords({"--compare", "a.json", "b.json"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_STREQ("a.json", commandLine.compare[0]);
    EXPECT_STREQ("b.json", commandLine.compare[1]);
    EXPECT_EQ(nullptr, commandLine.plot);
    EXPECT_FALSE(Unattended()); // no test, no window: main never opens one
    p = ParseWords({"--compare", "a.json", "--plot", "p.svg", "b.json"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_STREQ("b.json", commandLine.compare[1]);
    EXPECT_STREQ("p.svg", commandLine.plot);
    ExpectRefused({"--compare", "a.json"});
    ExpectRefused({"--compare", "a.json", "b.json", "c.json"});
    ExpectRefused({"--compare", "a.json", "b.json", "--test"});
    ExpectRefused({"--plot", "p.png"});
    ExpectRefused({"--test", "--plot", "p.png"});
    // The history's options: each of them alone, each with --history, nothing to run.
    p = ParseWords({"--import", "a.json", "--history", "b.json"});
    ASSERT_EQ(1, p.run) << p.err;
    ASSERT_EQ(2, commandLine.importCount);
    EXPECT_STREQ("b.json", commandLine.imports[1]);
    p = ParseWords({"--history", "--export", "@last", "x.json"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_STREQ("x.json", commandLine.exportFile);
    for (std::vector<std::string> bad : std::vector<std::vector<std::string>>{
             {"--history", "--import"},
             {"--history", "--export", "3"},
             {"--import", "a.json"},
             {"--history", "--plot", "p.png", "--export", "3", "x.json"},
             {"--history", "--test"},
             {"--history", "stray"}})
        ExpectRefused(bad);
}

TEST_F(CommandLineTest, PairTakesTwoSidesEvenWhenTheyLookLikeOptions) {
    Parse p = ParseWords({"--precision", "0.5", "--pair", "--device 1", "", "--offscreen=64x48"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_STREQ("--device 1", commandLine.pair[0]);
    EXPECT_STREQ("", commandLine.pair[1]);
    EXPECT_DOUBLE_EQ(0.005, commandLine.precision);
    EXPECT_EQ(64, commandLine.offscreenWidth);
    p = ParseWords({"--pair=A=1", "--device=2", "--time-limit", "30", "--window"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_STREQ("--device=2", commandLine.pair[1]);
    EXPECT_EQ(30, commandLine.timeLimit);
    EXPECT_TRUE(commandLine.window && !commandLine.offscreen);
    // Each option's lowest value is taken.
    p = ParseWords({"--pair", "a", "b", "--precision", "0.05", "--fail-if-slower", "0"});
    ASSERT_EQ(1, p.run) << p.err;
    EXPECT_DOUBLE_EQ(0.0005, commandLine.precision);
    EXPECT_EQ(0, commandLine.failIfSlower);
    for (std::vector<std::string> bad :
         std::vector<std::vector<std::string>>{{"--pair", "a"},
                                               {"--pair", "a", "b", "--pair", "c", "d"},
                                               {"--pair", "a", "b", "--test"},
                                               {"--pair", "a", "b", "--quick"},
                                               {"--pair", "a", "b", "--device", "1"},
                                               {"--pair", "a", "b", "--window", "--offscreen"},
                                               {"--pair", "a", "b", "--precision", "0"},
                                               {"--pair", "a", "b", "--precision", "1%"},
                                               {"--pair", "a", "b", "--time-limit", "29"},
                                               {"--precision", "1"},
                                               {"--window"},
                                               {"--pair-side"}})
        ExpectRefused(bad);
    // A side's own words: assignments and a device, nothing else.
    PairSide side;
    std::string why;
    ASSERT_TRUE(ParseSideSetting("GALLIUM_DRIVER=zink  --device 3 X_1=a=b", &side, &why)) << why;
    EXPECT_EQ((std::vector<std::string>{"GALLIUM_DRIVER=zink", "X_1=a=b"}), side.env);
    EXPECT_EQ(3, side.device);
    // A name given twice takes its last value, as a shell does.
    ASSERT_TRUE(ParseSideSetting("GALLIUM_DRIVER=llvmpipe X=1 XY=2 GALLIUM_DRIVER=softpipe X=3",
                                 &side, &why));
    EXPECT_EQ((std::vector<std::string>{"XY=2", "GALLIUM_DRIVER=softpipe", "X=3"}), side.env);
    // Only settings that choose the renderer make the same GL strings worth a word.
    struct {
        const char *a, *b;
        bool names;
    } kinds[] = {{"mesa_glthread=false", "mesa_glthread=true", false},
                 {"LD_PRELOAD=/x.so", "-", false},
                 {"X=1 GALLIUM_DRIVER=zink", "GALLIUM_DRIVER=zink", false},
                 {"GALLIUM_DRIVER=zink", "-", true},
                 {"-", "LD_LIBRARY_PATH=/opt/mesa", true},
                 {"LIBGL_ALWAYS_SOFTWARE=1", "LIBGL_ALWAYS_SOFTWARE=0", true},
                 {"--device 0", "--device 1", true}};
    for (auto &k : kinds) {
        PairSide a, b;
        ASSERT_TRUE(ParseSideSetting(k.a, &a, &why) && ParseSideSetting(k.b, &b, &why));
        EXPECT_EQ(k.names, SettingsNameRenderers(a, b)) << k.a << " | " << k.b;
        EXPECT_EQ(k.names, SettingsNameRenderers(b, a)) << k.b << " | " << k.a;
    }
    ASSERT_TRUE(ParseSideSetting("-", &side, &why));
    EXPECT_TRUE(side.env.empty() && side.device == -1);
    for (const char *bad : {"zink", "=x", "1A=b", "--device", "--device x", "--device=1 --device 2",
                            "--device 0 --device 1", "A-B=c", "--devices 1"})
        EXPECT_FALSE(ParseSideSetting(bad, &side, &why)) << bad;
    // The coordinator's word to a side.
    PairTurnWord w;
    ASSERT_TRUE(ParseTurnWord("turn 31 0 1", &w));
    EXPECT_TRUE(w.grid == 31 && w.fill == 0 && w.measure == 1 && w.cpu == -1);
    ASSERT_TRUE(ParseTurnWord("turn 31 2 1 1", &w));
    EXPECT_TRUE(w.fill == 2 && w.cpu == 1);
    for (const char *bad :
         {"turn 0 0 1", "turn 3 -1 1", "turn 3 0 0", "turn 3 0 1 x", "turn 3 0", "turns 3 0 1",
          "turn 100001 0 1", "turn 3 0 1 1 x", "turn 3 0 1 -2", "turn 3 0 1 1024"})
        EXPECT_FALSE(ParseTurnWord(bad, &w)) << bad;
    // The frames a renderer keeps in flight, from a stream timed from an idle pipeline.
    const struct {
        std::vector<double> ms;
        int inFlight;
    } streams[] = {{{20, 100, 101, 99, 100}, 1},     // one in flight: only the first is quick
                   {{20, 20, 60, 100, 100, 100}, 3}, // two: the third waits part of a frame
                   {{20, 80, 100, 100, 100}, 1},     // 0.8 of the median is no longer quick
                   {{100, 100, 100}, 1}, // bound by the processor: one filled all the same
                   {{5, 5, 5, 5, 5, 5, 100, 100, 100, 100, 100, 100, 100}, kPairFillMax},
                   {{20, 20, 100, 100}, 2},      // an even count's median between its middle two
                   {{20, 100, 30, 100, 100}, 1}, // a quick frame later on leads nothing
                   {{20}, 1}};
    for (auto &s : streams)
        EXPECT_EQ(s.inFlight, FramesInFlight(s.ms.data(), (int)s.ms.size())) << s.ms[0];
    // The grid whose frame takes 100 ms: on the line through two looks where it rises, else
    // in proportion from the look that took longer.
    const struct {
        int gridA;
        double msA;
        int gridB;
        double msB;
        int grid;
    } looks[] = {{10, 25, 20, 100, 20},  // the line: 75 ms over 300 more spheres
                 {10, 50, 20, 40, 14},   // falling: A's 50 ms on 100 spheres
                 {20, 40, 10, 50, 14},   // the same, the sides the other way round
                 {10, 50, 0, 0, 14},     // one look
                 {10, 0.01, 0, 0, 200}}; // at most the largest grid
    for (auto &l : looks)
        EXPECT_EQ(l.grid, GridForFrameTime(l.gridA, l.msA, l.gridB, l.msB, 100, 200)) << l.msA;
}

// Where results go without --results. Root may write anywhere, so an unwritable folder is
// one below a plain file: no one can make or write anything there.
class ResultsFallbackTest : public ::testing::Test {
  protected:
    TempDir dir;
    std::string file = dir.path("file");
    void SetUp() override {
        WriteBytes(file, {'x'});
        for (const char *name : {"XDG_DATA_HOME", "HOME"}) {
            const char *v = getenv(name);
            saved.push_back(v ? std::make_pair(true, std::string(v)) : std::make_pair(false, ""));
        }
    }
    void TearDown() override {
        const char *names[] = {"XDG_DATA_HOME", "HOME"};
        for (int i = 0; i < 2; i++)
            saved[i].first ? setenv(names[i], saved[i].second.c_str(), 1) : unsetenv(names[i]);
        SetMainBundlePath(nullptr);
        results_folder[0] = 0;
    }
    // A bundle whose folder is dir (writable) or below the plain file (not); a writable
    // one is a build tree's unless installed.
    void Bundle(bool writable, bool installed = false) {
        bundle = (writable ? dir.prefix() : file + "/") + "Kelvane.app";
        SetMainBundlePath(bundle.c_str());
        if (!writable || installed) return;
        ASSERT_EQ(0, mkdir(bundle.c_str(), 0755));
        ASSERT_EQ(0, mkdir((bundle + "/Contents").c_str(), 0755));
        WriteBytes(bundle + "/Contents/build-tree", {});
    }
    std::string Chosen(int expect = 1) {
        char why[1024] = "";
        EXPECT_EQ(expect, ChooseResultsFolder(why, sizeof why)) << why;
        this->why = why;
        return app_folder;
    }
    std::string bundle, why;
    std::vector<std::pair<bool, std::string>> saved;
};

TEST_F(ResultsFallbackTest, AWritableBuildTreeKeepsItsResultsAndMakesNoDataFolder) {
    Bundle(true);
    setenv("XDG_DATA_HOME", dir.path("data").c_str(), 1);
    EXPECT_EQ(dir.prefix(), Chosen());
    EXPECT_EQ('\0', results_folder[0]);
    EXPECT_FALSE(FileExists(dir.path("data")));
}

TEST_F(ResultsFallbackTest, AnInstallSendsThemToTheDataFolderEvenWhereItCouldWrite) {
    Bundle(true, true); // as root, or in a prefix of one's own
    setenv("XDG_DATA_HOME", dir.path("data").c_str(), 1);
    EXPECT_EQ(dir.path("data/kelvane/"), Chosen());
}

TEST_F(ResultsFallbackTest, AnUnwritableBundleFolderSendsThemToTheDataFolderMadeIfMissing) {
    Bundle(false);
    setenv("XDG_DATA_HOME", dir.path("data/deeper").c_str(), 1);
    std::string data = dir.path("data/deeper/kelvane/");
    EXPECT_EQ(data, Chosen());
    EXPECT_EQ(data, results_folder);
    struct stat st;
    ASSERT_EQ(0, stat(data.c_str(), &st));
    EXPECT_EQ(0700u, st.st_mode & 0777); // the user's own, as the data folder's rules ask
    GetWorkingFolder();                  // as each new scene does: the data folder stays
    EXPECT_EQ(data, app_folder);
    EXPECT_EQ(file + "/Kelvane.app/Contents/Resources/", res_folder); // resources stay put
    EXPECT_EQ(data, Chosen());                                        // a second run finds it made
}

TEST_F(ResultsFallbackTest, WithoutAnAbsoluteXdgDataHomeTheHomeFolderIsUsed) {
    Bundle(false);
    setenv("HOME", dir.path("home").c_str(), 1);
    // From inside dir, so that a relative folder made by mistake goes with it.
    char here[4096];
    ASSERT_TRUE(getcwd(here, sizeof here));
    ASSERT_EQ(0, chdir(dir.prefix().c_str()));
    for (const char *xdg : {(const char *)nullptr, "", "relative/data"}) {
        xdg ? setenv("XDG_DATA_HOME", xdg, 1) : unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(dir.path("home/.local/share/kelvane/"), Chosen()) << (xdg ? xdg : "unset");
        results_folder[0] = 0;
    }
    EXPECT_FALSE(FileExists(dir.path("relative")));
    ASSERT_EQ(0, chdir(here));
}

TEST_F(ResultsFallbackTest, AnUnwritableDataFolderIsSaidWithItsPlace) {
    Bundle(false);
    setenv("XDG_DATA_HOME", (file + "/data").c_str(), 1);
    Chosen(0);
    EXPECT_NE(std::string::npos, why.find(file + "/data/kelvane: ")) << why;
    EXPECT_EQ('\0', results_folder[0]);
}

TEST_F(ResultsFallbackTest, AResultsFolderGivenWinsOverBoth) {
    Bundle(true);
    setenv("XDG_DATA_HOME", dir.path("data").c_str(), 1);
    std::string out = dir.path("out");
    ASSERT_EQ(0, mkdir(out.c_str(), 0755));
    ASSERT_EQ(1, ParseWords({"--test", "--results", out}).run);
    char real[4096];
    ASSERT_TRUE(realpath(out.c_str(), real));
    EXPECT_EQ(std::string(real) + "/", Chosen());
    EXPECT_FALSE(FileExists(dir.path("data")));
}

} // namespace
