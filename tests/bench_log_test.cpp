#include "bench/log.h"
#include "tests/bench_fixture.h"

#include <string.h>
#include <stdio.h>
#include <sys/stat.h>

namespace {

using LogTest = BenchTest;

TEST_F(LogTest, CreateTruncatesAndEveryOtherLineAppends) {
    Write("old test", true);
    Write("old line", false);
    Write(kLogStarted, true);
    Write(kLogHardware, false);
    EXPECT_EQ("Kelvane started...\nhardware detected:\n", Log());
}

TEST_F(LogTest, AppendCreatesAMissingLog) {
    Write(kLogTestStopped, false);
    EXPECT_EQ("test stopped\n", Log());
}

TEST_F(LogTest, FormattedLinesReadAsTheCatalogueSpellsThem) {
    WriteF(true, kLogCpuFamily, 0x0abcu);
    WriteF(false, kLogCpuType, 0xDEADBEEFu);
    WriteF(false, kLogSurface, 1024, 768, 24);
    WriteF(false, kLogTextures, kOnOff[1]);
    WriteF(false, kLogKeepInSync, kOnOff[0]);
    LogStep(9.96f, 1152);
    LogScore(115);
    EXPECT_EQ(" cpu family: 0xabc\n"
              " cpu type: 0xdeadbeef\n"
              " surface 1024x768 24bpp\n"
              " textures: on \n"
              " keep in sync: off\n"
              " FPS 10.0 1152 triangles\n"
              " final score: 115\n",
              Log());
}

TEST_F(LogTest, LongMessagesAreCutToTheLineLimit) {
    std::string huge(5000, 'x');
    Write(huge.c_str(), true);
    WriteF(false, kLogGlRenderer, huge.c_str());
    std::string log = Log();
    std::string first = std::string(253, 'x') + "\n";
    std::string second = " opengl renderer: " + std::string(253 - 18, 'x') + "\n";
    EXPECT_EQ(first + second, log);
}

TEST_F(LogTest, UnwritableFolderLosesLinesSilentlyAndRecovers) {
    // A plain file where the folder should be refuses the log even to root.
    std::string blocker = dir.path("blocker");
    WriteBytes(blocker, {'x'});
    snprintf(app_folder, sizeof app_folder, "%s/", blocker.c_str());
    Write(kLogStarted, true);
    Write(kLogHardware, false);
    ASSERT_EQ(0, remove(blocker.c_str()));
    ASSERT_EQ(0, mkdir(blocker.c_str(), 0700));
    Write(kLogTestStopped, false);
    EXPECT_EQ("test stopped\n", ReadText(blocker + "/Kelvane result.txt"));
}

TEST_F(LogTest, MissingFolderLosesLinesSilentlyAndRecovers) {
    std::string sub = dir.path("later/");
    snprintf(app_folder, sizeof app_folder, "%s", sub.c_str());
    Write(kLogStarted, true);
    Write(kLogHardware, false);
    ASSERT_EQ(0, mkdir(sub.c_str(), 0700));
    Write(kLogTestStopped, false);
    EXPECT_EQ("test stopped\n", ReadText(sub + "Kelvane result.txt"));
}

TEST_F(LogTest, LongestFolderStillGetsTheWholeFileName) {
    // Nest folders until the prefix fills app_folder; the log must still land in it
    // under its own name rather than under a cut path.
    std::string folder = dir.prefix();
    while (folder.size() + 41 < sizeof app_folder) {
        folder += std::string(40, 'd') + "/";
        ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    }
    folder += std::string(sizeof app_folder - 2 - folder.size(), 'e') + "/";
    ASSERT_EQ(0, mkdir(folder.c_str(), 0700));
    ASSERT_EQ(sizeof app_folder - 1, folder.size());
    memcpy(app_folder, folder.c_str(), folder.size() + 1);

    Write(kLogTestStarted, true);
    EXPECT_EQ("test started\n", ReadText(folder + "Kelvane result.txt"));
}

} // namespace
