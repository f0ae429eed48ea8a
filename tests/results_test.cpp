#include "app/folders.h"
#include "bench/log.h"
#include "bench/state.h"
#include "gfx/context.h"
#include "record/environment.h"
#include "record/json.h"
#include "validation/validation.h"
#include "record/machine.h"
#include "record/model.h"
#include "record/reader.h"
#include "app/results.h"
#include "record/record.h"
#include "report/compare.h"
#include "bench/frametimes.h"
#include "tests/support/result_runs.h"
#include "tests/support/bench_state.h"
#include "tests/support/temp_dir.h"

#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <iterator>
#include <nlohmann/json.hpp>
#include <stdio.h>
#include <stdlib.h>
#include <signal.h>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using nlohmann::json;

namespace {

// Every name in a folder.
std::vector<std::string> Names(const std::string &folder) {
    std::vector<std::string> names;
    DIR *d = opendir(folder.c_str());
    if (!d) return names;
    while (dirent *e = readdir(d))
        if (e->d_name[0] != '.') names.push_back(e->d_name);
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

class RecordTest : public RecordingTest {
  protected:
    // What a test writes, as the benchmark writes it.
    void LogTest(bool score) {
        Write(kLogStarted, true);
        WriteF(false, kLogSurface, 640, 480, 24);
        numCubes = 0;
        LogStep(412.0, 0);
        numCubes = 1;
        LogStep(9.5, 1152);
        if (score) LogScore(4);
        Write(kLogTestStopped, false);
    }
    json ReadJson() { return json::parse(ReadText(dir.path(kResultJsonName)), nullptr, false); }
};

TEST_F(RecordTest, StepsAndScoreComeFromTheLinesAsTheyAreWritten) {
    LogTest(true);
    ASSERT_EQ(1u, resultRuns.size());
    const ResultRun &run = resultRuns[0];
    ASSERT_EQ(2u, run.steps.size());
    EXPECT_EQ(0, run.steps[0].grid);
    EXPECT_EQ(0, run.steps[0].triangles);
    EXPECT_FLOAT_EQ(412.0f, run.steps[0].fps);
    EXPECT_EQ(1, run.steps[1].grid);
    EXPECT_EQ(1152, run.steps[1].triangles);
    EXPECT_FLOAT_EQ(9.5f, run.steps[1].fps);
    EXPECT_EQ(kRunScore, run.end);
    EXPECT_EQ(4, run.score);
    EXPECT_TRUE(resultsPending);
    // The text log keeps its lines exactly.
    EXPECT_EQ("Kelvane started...\n surface 640x480 24bpp\n FPS 412.0 0 triangles\n"
              " FPS 9.5 1152 triangles\n final score: 4\ntest stopped\n",
              ReadText(dir.path("Kelvane result.txt")));
}

TEST_F(RecordTest, OnlyTheLinesThemselvesCountAndEachTestStartsAfresh) {
    LogTest(true);
    Write(" FPS 1.0 0 triangles", false); // looks like a step, is none
    Write("test stopped", false);         // a copy of the text, not the line
    EXPECT_EQ(2u, resultRuns[0].steps.size());
    LogTest(false);
    ASSERT_EQ(1u, resultRuns.size());
    EXPECT_EQ(kRunAborted, resultRuns[0].end);
    EXPECT_EQ(0, resultRuns[0].score);
    EXPECT_EQ(2u, resultRuns[0].steps.size());
    EXPECT_TRUE(resultsPending);
}

TEST_F(RecordTest, TheFileIsWrittenAfterTheTestOnceAndHoldsIt) {
    setenv("mesa_glthread", "true", 1); // as the test starts, not as the file is written
    Write(kLogStarted, true);
    unsetenv("mesa_glthread");
    EXPECT_FALSE(resultsPending);
    EXPECT_EQ(1, WritePendingResults()); // nothing due during a test
    EXPECT_FALSE(FileExists(dir.path(kResultJsonName)));
    finalResX = 800;
    finalResY = 600;
    finalBPP = 24;
    numCubes = 3;
    LogStep(7.0, 10368);
    LogScore(18);
    Write(kLogTestStopped, false);
    ASSERT_EQ(1, WritePendingResults());
    EXPECT_FALSE(resultsPending);
    json doc = ReadJson();
    ASSERT_FALSE(doc.is_discarded());
    EXPECT_EQ(800, doc["surface"]["width"]);
    EXPECT_EQ(600, doc["surface"]["height"]);
    EXPECT_EQ(24, doc["surface"]["bits"]);
    EXPECT_EQ(true, doc["settings"]["textures"]);
    EXPECT_EQ(false, doc["settings"]["keep_in_sync"]);
    EXPECT_EQ("true", doc["environment"]["mesa_glthread"]);
    json run = doc["runs"][0];
    EXPECT_EQ("score", run["end"]);
    EXPECT_EQ(18, run["score"]);
    // No frame was timed, nobody read the machine, no GPU was watched: figures unknown, said
    // as null.
    EXPECT_EQ(json::parse(R"([{"grid":3,"triangles":10368,"fps":7.0,"frame_times":null,
        "load":null,"gpu":null}])"),
              run["steps"]);
    EXPECT_TRUE(run["interference"].is_null());
    EXPECT_TRUE(run["gpu"].is_null());
    EXPECT_TRUE(run["steady_score"].is_null());
    EXPECT_EQ(20u, run["started"].get<std::string>().size());
    EXPECT_GE(run["duration_seconds"].get<double>(), 0.0);
    EXPECT_EQ(std::vector<std::string>({"Kelvane result.json", "Kelvane result.png",
                                        "Kelvane result.svg", "Kelvane result.txt"}),
              Names(dir.prefix()));
}

// A climb as far as a fast GPU takes one: 1,000 steps up to grid 999, each timed, the
// steps near the stop at 1,024 frames each. The log, the JSON and the plot are written, the
// file reads back, validates and compares with itself; none of it grows with the frames.
TEST_F(RecordTest, AThousandStepsHoldThroughTheWholePath) {
    ASSERT_TRUE(ReserveFrameTimes());
    Write(kLogStarted, true);
    finalResX = 1920;
    finalResY = 1080;
    for (int g = 0; g < 1000; g++) {
        numCubes = g;
        double ms = 0.2 + 1e-7 * TrianglesFor(g); // 10 fps near grid 931
        LogStep((float)(1000 / ms), TrianglesFor(g));
        TimedStep &t = timedSteps[timedStepCount++];
        t = {frameTimesUsed, (SInt32)std::min(1024.0, 1000 / ms), (SInt32)(1000 / ms)};
        for (int i = 0; i < t.timed; i++)
            frameTimes[frameTimesUsed++] = (UInt32)(ms * 1000) + (i % 7) * 10;
    }
    LogScore(TrianglesFor(999) / 1000);
    Write(kLogTestStopped, false);
    ASSERT_EQ(1, WritePendingResults());
    ReleaseFrameTimes();
    json run = ReadJson()["runs"][0];
    ASSERT_EQ(1000u, run["steps"].size());
    EXPECT_EQ(999, run["steps"][999]["grid"]);
    // 100 ms at (100 - 0.2 - 0.03) / 1e-7 triangles: the frames' median is 30 µs over.
    EXPECT_NEAR(997700, run["steady_score"].get<double>(), 1000);
    ResultFile r;
    std::string why, path = dir.path(kResultJsonName);
    ASSERT_EQ(1, ReadResultFile(path.c_str(), &r, &why)) << why;
    EXPECT_EQ(1000u, r.runs[0].steps.size());
    char *text = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&text, &size);
    std::string plot = dir.path("both.png");
    EXPECT_EQ(1, CompareResults(path.c_str(), path.c_str(), plot.c_str(), out, stderr));
    fclose(out);
    std::string last = "   999   " + std::to_string(TrianglesFor(999));
    EXPECT_NE(nullptr, strstr(text, last.c_str())) << text; // the last grid, compared
    free(text);
    EXPECT_TRUE(FileExists(plot));
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py '";
    EXPECT_EQ(0, system((validate + path + "'").c_str()));
    std::string log = ReadText(dir.path("Kelvane result.txt"));
    size_t lines = 0;
    for (size_t at = log.find(" FPS "); at != std::string::npos; at = log.find(" FPS ", at + 1))
        lines++;
    EXPECT_EQ(1000u, lines);
}

// Each file not written is named with why, and nothing is left in its place: a folder that
// is a file, and a full disk (each name a link to /dev/full, which stays).
TEST_F(RecordTest, AnUnwritableFolderIsReportedAndLeavesNothing) {
    const char *names[] = {kLogFileName, kResultJsonName, kResultSvgName, kResultPngName};
    std::string blocker = dir.path("blocker"), full = dir.path("full");
    WriteBytes(blocker, {'x'});
    ASSERT_EQ(0, mkdir(full.c_str(), 0755));
    for (const char *name : names)
        ASSERT_EQ(0, symlink("/dev/full", (full + "/" + name).c_str()));
    for (auto row : {std::make_pair(blocker, "Not a directory"),
                     std::make_pair(full, "No space left on device")}) {
        snprintf(app_folder, sizeof app_folder, "%s/", row.first.c_str());
        testing::internal::CaptureStderr();
        LogTest(true);
        EXPECT_EQ(0, WritePendingResults());
        std::string said = testing::internal::GetCapturedStderr();
        for (const char *name : names)
            EXPECT_NE(std::string::npos, said.find("kelvane: cannot write " + row.first + "/" +
                                                   name + ": " + row.second + "\n"))
                << said;
    }
    // The JSON alone unwritable: the plots beside it do not make the results written.
    std::string json = dir.path("json");
    ASSERT_EQ(0, mkdir(json.c_str(), 0755));
    ASSERT_EQ(0, symlink("/dev/full", (json + "/" + kResultJsonName).c_str()));
    snprintf(app_folder, sizeof app_folder, "%s/", json.c_str());
    testing::internal::CaptureStderr();
    LogTest(true);
    EXPECT_EQ(0, WritePendingResults());
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(kResultJsonName));
    EXPECT_EQ(std::vector<std::string>({"blocker", "full", "json"}), Names(dir.prefix()));
}

TEST(WriteWholeTest, ReplacesTheFileWholeOrLeavesItAlone) {
    TempDir dir;
    std::string path = dir.path("r.json");
    WriteBytes(path, {'o', 'l', 'd'});
    ASSERT_EQ(1, WriteWhole(path.c_str(), "new\n"));
    EXPECT_EQ("new\n", ReadText(path));
    struct stat st;
    ASSERT_EQ(0, stat(path.c_str(), &st));
    EXPECT_NE(0u, st.st_mode & S_IRGRP); // shared like the log, not mkstemp's private mode
    // A folder in the file's place cannot be replaced: the write fails and leaves no
    // temporary file behind.
    std::string taken = dir.path("taken");
    ASSERT_EQ(0, mkdir(taken.c_str(), 0755));
    WriteBytes(taken + "/inside", {'x'});
    EXPECT_EQ(0, WriteWhole(taken.c_str(), "new\n"));
    EXPECT_EQ(std::vector<std::string>({"r.json", "taken"}), Names(dir.prefix()));
    EXPECT_EQ(0, WriteWhole(dir.path("missing/r.json").c_str(), "x"));
}

// A name is followed, never replaced by a file of its own: a link's file (or the new file it
// names) is replaced, a pipe is written through.
TEST(WriteWholeTest, FollowsLinksAndWritesThroughWhatIsNoFile) {
    TempDir dir;
    WriteBytes(dir.path("real"), {'o'});
    ASSERT_EQ(0, symlink("real", dir.path("link").c_str()));
    ASSERT_EQ(0, symlink("new", dir.path("dangling").c_str()));
    ASSERT_EQ(0, mkfifo(dir.path("pipe").c_str(), 0600));
    int reader = open(dir.path("pipe").c_str(), O_RDWR | O_NONBLOCK);
    for (const char *name : {"link", "dangling", "pipe"})
        EXPECT_EQ(1, WriteWhole(dir.path(name).c_str(), name)) << name;
    char piped[8] = {};
    EXPECT_EQ(4, read(reader, piped, sizeof piped));
    close(reader);
    EXPECT_EQ("link", ReadText(dir.path("real")));
    EXPECT_EQ("dangling", ReadText(dir.path("new")));
    EXPECT_EQ(std::vector<std::string>({"dangling", "link", "new", "pipe", "real"}),
              Names(dir.prefix()));
}

// The program is stopped by a signal while it writes, over and over: whenever the signal
// lands, the folder holds the last whole file and no temporary one.
TEST(WriteWholeTest, ASignalLeavesNoTemporaryFile) {
    TempDir dir;
    std::string path = dir.path("r.json");
    std::string text(4 << 20, 'x');
    int ready[2];
    ASSERT_EQ(0, pipe(ready));
    pid_t child = fork();
    ASSERT_NE(-1, child);
    if (child == 0) {
        alarm(20); // a signal blocked for good still ends the child
        for (bool told = false;; told = true) {
            WriteWhole(path.c_str(), text);
            if (!told && write(ready[1], "w", 1) != 1) _exit(2);
        }
    }
    char c;
    ASSERT_EQ(1, read(ready[0], &c, 1));
    usleep(30000);
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(child, waitpid(child, &status, 0));
    close(ready[0]);
    close(ready[1]);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SIGTERM, WTERMSIG(status));
    EXPECT_EQ(std::vector<std::string>({"r.json"}), Names(dir.prefix()));
}

ResultSetting Setting(void) {
    ResultSetting s = {};
    s.version = "1.2.3";
    s.driver = "x11";
    s.eglDevice = -1;
    s.glVendor = "V";
    s.glRenderer = "R";
    s.glVersion = "2.1";
    s.width = 1024;
    s.height = 768;
    s.bits = 24;
    s.textures = s.lighting = true;
    s.cores = 2;
    return s;
}

TEST(ResultJsonTest, AnythingADriverSaysStillGivesValidJson) {
    ResultSetting s = Setting();
    s.glRenderer = "bad \xff\xfe utf-8 \"quoted\"\n";
    s.glVendor = nullptr; // no context ever made
    ResultEnvironment environment = {{"MESA_\xfe", "\xff"}};
    s.environment = &environment;
    std::string text = ResultJson(s, {});
    json doc = json::parse(text, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << text;
    EXPECT_EQ("bad \xef\xbf\xbd\xef\xbf\xbd utf-8 \"quoted\"\n", doc["opengl"]["renderer"]);
    EXPECT_EQ(json::parse("{\"MESA_\xef\xbf\xbd\": \"\xef\xbf\xbd\"}"), doc["environment"]);
    EXPECT_TRUE(doc["opengl"]["vendor"].is_null());
    EXPECT_TRUE(doc["video"]["egl_device"].is_null());
    s.eglDevice = 0; // the first device is a device too
    snprintf(s.eglDeviceName, sizeof s.eglDeviceName, "/dev/dri/card0");
    doc = json::parse(ResultJson(s, {}));
    EXPECT_EQ(json::parse(R"({"index":0,"name":"/dev/dri/card0"})"), doc["video"]["egl_device"]);
}

TEST(ResultJsonTest, TimesAreUtcAndAnAbortHasNoScore) {
    ResultRun run = {};
    run.started = 86400 + 3600 + 61; // 1970-01-02 01:01:01 UTC
    run.durationMs = 61500;
    run.end = kRunAborted;
    run.score = 7; // left from somewhere: an abort still shows none
    json doc = json::parse(ResultJson(Setting(), {run}));
    EXPECT_EQ("1970-01-02T01:01:01Z", doc["runs"][0]["started"]);
    EXPECT_DOUBLE_EQ(61.5, doc["runs"][0]["duration_seconds"].get<double>());
    EXPECT_EQ("aborted", doc["runs"][0]["end"]);
    EXPECT_TRUE(doc["runs"][0]["score"].is_null());
}

// A validation outcome goes in as it was measured: the verdict, each frame's figures, and
// null for a frame that could not be drawn. With the schema's check below.
ValidationOutcome FailedValidation(void) {
    ValidationOutcome v = {};
    v.targetMade = 1;
    v.failed = 2;
    const char *names[] = {"grid 1", "grid 4", "grid 12"};
    for (int i = 0; i < kValidationFrameCount; i++) {
        snprintf(v.frames[i].name, sizeof v.frames[i].name, "%s", names[i]);
        v.frames[i].measured = i < 2;
        v.frames[i].passed = i == 0;
        v.frames[i].diff = {0.25 * i, 0.5 * i, 0.01 * i, 40 * i};
    }
    return v;
}

TEST(ResultJsonTest, ValidationIsRecordedFrameByFrame) {
    ResultSetting s = Setting();
    EXPECT_TRUE(json::parse(ResultJson(s, {}))["validation"].is_null());
    ValidationOutcome v = FailedValidation();
    s.validation = &v;
    json doc = json::parse(ResultJson(s, {}));
    EXPECT_EQ("failed", doc["validation"]["state"]);
    EXPECT_FALSE(doc["validation"]["passed"].get<bool>());
    ASSERT_EQ(3u, doc["validation"]["frames"].size());
    json second = doc["validation"]["frames"][1];
    EXPECT_EQ("grid 4", second["name"]);
    EXPECT_FALSE(second["passed"].get<bool>());
    EXPECT_DOUBLE_EQ(0.25, second["difference"]["mean"].get<double>());
    EXPECT_DOUBLE_EQ(0.5, second["difference"]["edge_outliers"].get<double>());
    EXPECT_DOUBLE_EQ(0.01, second["difference"]["other_outliers"].get<double>());
    EXPECT_EQ(40, second["difference"]["worst"]);
    EXPECT_TRUE(doc["validation"]["frames"][2]["difference"].is_null());
    v.failed = 0;
    doc = json::parse(ResultJson(s, {}));
    EXPECT_EQ("passed", doc["validation"]["state"]);
    EXPECT_TRUE(doc["validation"]["passed"].get<bool>());
}

// A renderer that could not draw the frames at all is neither passed nor failed, and has
// no frames to show.
TEST(ResultJsonTest, ARendererThatCouldNotBeValidatedSaysSo) {
    ResultSetting s = Setting();
    ValidationOutcome v = FailedValidation();
    v.targetMade = 0;
    v.failed = kValidationFrameCount;
    s.validation = &v;
    EXPECT_EQ(json::parse(R"({"state": "not_validated", "passed": null, "frames": []})"),
              json::parse(ResultJson(s, {}))["validation"]);
}

// Files as the program writes them pass the schema, and the schema does reject a fault.
TEST(ResultSchemaTest, WrittenResultsValidateAndFaultsDoNot) {
    TempDir dir;
    ResultRun scored = {};
    scored.started = 1700000000;
    scored.end = kRunScore;
    scored.score = 115;
    scored.steps = {{0, 0, 99.0f}, {1, 1152, 9.0f}};
    ResultRun aborted = scored;
    aborted.end = kRunAborted;
    ResultSetting s = Setting();
    s.driver = "offscreen";
    s.eglDevice = 0;
    // Every verdict: failed, passed, and a renderer that could not be validated.
    ValidationOutcome failed = FailedValidation(), passed = failed, notValidated = failed;
    passed.failed = 0;
    for (FrameVerdict &f : passed.frames)
        f.passed = f.measured = 1;
    notValidated.targetMade = 0;
    notValidated.failed = kValidationFrameCount;
    std::string validate = std::string("python3 ") + KELVANE_SOURCE_DIR + "/record/validate.py ";
    WriteBytes(dir.path("a.json"), {});
    ASSERT_EQ(1, WriteWhole(dir.path("a.json").c_str(), ResultJson(Setting(), {aborted})));
    std::string good = validate + dir.path("a.json");
    std::vector<json> docs;
    for (const ValidationOutcome *v : {&failed, &passed, &notValidated}) {
        s.validation = v;
        std::string text = ResultJson(s, {scored});
        std::string path = dir.path("v" + std::to_string(docs.size()) + ".json");
        ASSERT_EQ(1, WriteWhole(path.c_str(), text));
        good += " " + path;
        docs.push_back(json::parse(text));
    }
    EXPECT_EQ(0, system(good.c_str()));

    // Each fault alone: a score of the wrong type, a verdict its state or its frames deny.
    std::vector<json> bad = {docs[0], docs[0], docs[0], docs[1], docs[2], docs[2]};
    bad[0]["runs"][0]["score"] = "115";
    bad[1]["validation"]["passed"] = true;    // "failed" yet passed
    bad[2]["validation"]["state"] = "passed"; // with failing frames
    bad[2]["validation"]["passed"] = true;
    bad[3]["validation"]["state"] = "failed"; // with every frame passing
    bad[3]["validation"]["passed"] = false;
    bad[4]["validation"]["passed"] = false; // not validated is not a failure
    bad[5]["validation"]["frames"] = docs[0]["validation"]["frames"]; // nothing was drawn
    for (size_t i = 0; i < bad.size(); i++) {
        std::string path = dir.path("bad" + std::to_string(i) + ".json");
        ASSERT_EQ(1, WriteWhole(path.c_str(), bad[i].dump()));
        EXPECT_NE(0, system((validate + path + " 2>/dev/null").c_str())) << bad[i].dump();
    }
}

// What a driver reads, as getenv finds it (the first of a name), none of the program's own
// hooks (the words after the 12th); however many, the first 64 by name, values cut.
TEST(EnvironmentTest, TheDriversVariablesAsGetenvFindsThemAndNoMore) {
    std::istringstream words(
        "GALLIUM_DRIVER=softpipe LIBGL_A=1 __GL_S=0 VK_I=/i ZINK_D= mesa_glthread=true "
        "vblank_mode=0 __GLX_VENDOR_LIBRARY_NAME=m __EGL_VENDOR_LIBRARY_FILENAMES=/e DRI_PRIME=1 "
        "LD_PRELOAD=/a.so LD_LIBRARY_PATH=/o=x KELVANE_S=3 MESA=1 mesa_glthreads=1 XMESA_X=1 "
        "LD_PRELOAD_X=1 GALLIUM_DRIVER=zink MESA_NONE");
    std::vector<std::string> held{std::istream_iterator<std::string>(words), {}}, big;
    ResultEnvironment want;
    for (int i = 0; i < 12; i++)
        want[held[i].substr(0, held[i].find('='))] = held[i].substr(held[i].find('=') + 1);
    for (int i = 199; i >= 100; i--)
        big.push_back("MESA_V" + std::to_string(i) + "=" + std::string(i > 100 ? 1 : 1 << 20, 'x'));
    auto of = [](const std::vector<std::string> &v) {
        std::vector<const char *> env(v.size() + 1);
        for (size_t i = 0; i < v.size(); i++)
            env[i] = v[i].c_str();
        return GlEnvironmentOf(env.data());
    };
    EXPECT_EQ(want, of(held));
    EXPECT_EQ(64u, of(big).size());
    EXPECT_EQ("MESA_V163", of(big).rbegin()->first);
    EXPECT_EQ(4096u, of(big)["MESA_V100"].size());
}

TEST(MachineTest, CpuModelIsReadFromWhicheverLineTheSystemGives) {
    TempDir dir;
    std::string x86 = dir.path("x86");
    std::string text = "processor\t: 0\nmodel\t\t: 1\nmodel name\t: Some CPU @ 3.0GHz\n";
    WriteBytes(x86, std::vector<unsigned char>(text.begin(), text.end()));
    ResultSetting s = {};
    ReadMachine(&s, x86.c_str());
    EXPECT_STREQ("Some CPU @ 3.0GHz", s.cpu);
    std::string arm = dir.path("arm");
    text = "processor : 0\nBogoMIPS : 50\nHardware : Board X\n";
    WriteBytes(arm, std::vector<unsigned char>(text.begin(), text.end()));
    ReadMachine(&s, arm.c_str());
    EXPECT_STREQ("Board X", s.cpu);
    ReadMachine(&s, dir.path("none").c_str());
    EXPECT_STREQ("", s.cpu);
    EXPECT_GT(s.cores, 0);
    EXPECT_GT(s.memoryBytes, 0);
    EXPECT_NE('\0', s.kernel[0]);
}

} // namespace
