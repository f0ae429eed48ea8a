#include "bench/log.h"
#include "platform/gestalt.h"
#include "tests/bench_fixture.h"

#include <string.h>
#include <stdio.h>
#include <sys/stat.h>
#include <tuple>
#include <vector>

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

// The processor's family and model read whole from its signature: extended family and
// model fields where its base family says so.
TEST(CpuSignature, TheProcessorsFamilyIsReadWhole) {
    for (auto [eax, family, model] : std::vector<std::tuple<UInt32, UInt32, UInt32>>{
             {0x00B40F40, 0x1a, 0x44}, // base family 0xf, extended 0x0b
             {0x00A20F12, 0x19, 0x21},
             {0x000906EA, 0x6, 0x9e}, // extended model only
             {0x00000F29, 0xf, 0x2},
             {0x00030F41, 0xf, 0x34},
             {0x00000533, 0x5, 0x3}}) { // neither
        UInt32 f = 0, m = 0;
        DecodeCpuSignature(eax, &f, &m);
        EXPECT_EQ(family, f) << std::hex << eax;
        EXPECT_EQ(model, m) << std::hex << eax;
    }
}
