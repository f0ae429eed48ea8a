// The GPU's files read from trees laid out as each driver's documentation gives them.
#include "bench/frametimes.h"
#include "bench/state.h"
#include "watch/gpu.h"
#include "watch/gpusteps.h"
#include "watch/nvml.h"
#include "support/gpu_tree.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string.h>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

static std::vector<double> Figures(const GpuSample &s) {
    return {s.clockMhz,
            s.maxClockMhz,
            s.busyPercent,
            s.tempC,
            std::isnan(s.headroomC) ? -1 : s.headroomC,
            s.powerW,
            (double)s.throttle,
            s.memClockMhz,
            s.powerCapW};
}

TEST(GpuFiles, EachDriverReadAsDocumentedAndNothingGuessed) {
    const std::string xe = "device/tile0/gt0/freq0/";
    const std::pair<std::string, std::vector<double>> rows[] = {
        {"driver=../../bus/pci/drivers/amdgpu|device/pp_dpm_sclk=0: 500Mhz\n1: 1200Mhz *\n2: "
         "2450Mhz\n"
         "|device/gpu_busy_percent=97|H/temp1_input=94000|H/temp1_crit=95000|H/temp2_input=65000"
         "|H/temp2_crit=100000|H/power1_average=180000000|H/temp1_label=junction\n"
         "|H/power1_cap=200000000|device/pp_dpm_mclk=0: 96Mhz\n1: 1000Mhz *\n2: 3000Mhz\n",
         {1200, 2450, 97, 94, 1, 180, 0, 1000, 200}},
        // No level marked, a garbage load: the hwmon's clock, in hertz; instantaneous power.
        {"driver=amdgpu|device/pp_dpm_sclk=0: 500Mhz|device/gpu_busy_percent=9x"
         "|H/freq1_input=1820000000|H/power1_input=5500000",
         {1820, 500, -1, -1, -1, 5.5, 0, -1, -1}},
        // Figures no driver can mean: a busy share past the whole, numbers past 64 bits.
        {"driver=amdgpu|device/pp_dpm_sclk=0: 500Mhz *\n1: 1e400Mhz|device/gpu_busy_percent=150"
         "|H/temp1_input=1e400|H/temp2_input=2e19|H/power1_input=inf",
         {500, 500, -1, -1, -1, -1, 0, -1, -1}},
        {"driver=amdgpu|device/pp_dpm_sclk=S: 19Mhz *\n0: 615Mhz\n1: 1000Mhz", // asleep
         {19, 1000, -1, -1, -1, -1, 0, -1, -1}},
        {"driver=i915|gt_act_freq_mhz=1300|gt_RP0_freq_mhz=2250|gt/gt0/throttle_reason_pl1=0"
         "|gt/gt0/throttle_reason_thermal=1",
         {1300, 2250, -1, -1, -1, -1, 1 << 3, -1, -1}},
        {"driver=xe|" + xe + "act_freq=900|" + xe + "rp0_freq=2050|" + xe +
             "throttle/reason_pl1=1|H/temp1_input=48000",
         {900, 2050, -1, 48, -1, -1, 1 << 0, -1, -1}},
        {"driver=nouveau|H/temp1_input=51000", {-1, -1, -1, 51, -1, -1, 0, -1, -1}},
        {"driver=nouveau", {}}, // no hwmon
        {"device/uevent=", {}}, // no driver: a software renderer's card
    };
    for (auto &[files, want] : rows) {
        TempDir dir;
        std::string card = dir.path("card1");
        Lay(card, files);
        GpuFiles f;
        GpuSample s;
        ASSERT_EQ(!want.empty(), FindGpuFiles(card.c_str(), &f)) << files;
        EXPECT_EQ(!want.empty(), ReadGpuSample(f, &s)) << files;
        EXPECT_EQ(want.empty() ? Figures(GpuSample()) : want, Figures(s)) << files;
        EXPECT_STREQ(want.size() > 7 && want[7] > 0 ? "junction" : "", s.hottest) << files;
        if (!want.empty()) // the busy share, of the whole
            EXPECT_EQ(want[2] < 0 ? -1 : want[2] / 100, GpuFigures(&s, 1).busy) << files;
        FILE *said = fopen("/dev/null", "w"); // a test's start: watched, or said why not
        EXPECT_EQ(!want.empty(), StartGpuWatch("", card.c_str(), said)) << files;
        EXPECT_EQ(f.driver, gpuWatched.driver);
        fclose(said);
        if (f.driver != kGpuXe) continue;
        // During a run: the clock falls, a reason clears, a file vanishes, one turns garbage.
        GpuSample looks[3] = {s};
        Lay(card, xe + "act_freq=700|" + xe + "throttle/reason_pl1=0|H/temp1_input=hot");
        unlink((card + "/" + xe + "rp0_freq").c_str());
        EXPECT_EQ(1, ReadGpuSample(f, &s));
        EXPECT_EQ(std::vector<double>({700, -1, -1, -1, -1, -1, 0, -1, -1}), Figures(s));
        // The window's figures: what any look knew, the reasons seen in any.
        looks[1] = looks[2] = s;
        looks[2].clockMhz = 650;
        ResultGpu w = GpuFigures(looks, 3);
        EXPECT_EQ(std::vector<double>({3, 700, 650, 2050, -1, 48, -1, 1}),
                  std::vector<double>({(double)w.samples, w.medianMhz, w.lowestMhz, w.maxMhz,
                                       w.busy, w.hottestC, w.powerW, (double)w.throttle}));
        EXPECT_EQ(800, GpuFigures(looks, 2).medianMhz);
        EXPECT_FALSE(GpuFigures(looks, 0).known);
    }
}

// The card of the node EGL names; nothing for a software renderer's or a node sysfs lacks.
TEST(GpuFiles, TheCardOfANode) {
    TempDir dir;
    std::string drm = dir.path("drm"), card;
    mkdir(drm.c_str(), 0755);
    Lay(drm + "/card1", "uevent=|device/drm/card1/uevent=");
    Lay(drm + "/renderD128", "device/drm/renderD128/uevent=|device/drm/card1/uevent=");
    for (auto [node, want] : {std::pair("/dev/dri/card1", "card1"),
                              {"/dev/dri/renderD128", "card1"},
                              {"/dev/dri/card7", ""},
                              {"/dev/dri/card1/../card1", ""},
                              {"software", ""},
                              {"", ""}}) {
        card = "";
        EXPECT_EQ(*want != 0, GpuCardOfNode(drm.c_str(), node, &card)) << node;
        if (*want) EXPECT_EQ(drm + "/" + want, card) << node;
    }
}

// NVIDIA's driver through its management library (a stand-in here), found by the card's
// PCI bus; without the library, or for a bus it does not know, the watch says so.
TEST(GpuFiles, NvidiaThroughItsManagementLibrary) {
    TempDir dir;
    std::string card = dir.path("card1"), bus = dir.path("0000:01:00.0");
    mkdir(card.c_str(), 0755), mkdir(bus.c_str(), 0755);
    ASSERT_EQ(0, symlink("../nvidia", (bus + "/driver").c_str()));
    const char *was = gpuNvmlLibrary;
    for (auto [library, busName, want] :
         {std::tuple(KV_NVML_STANDIN, "0000:01:00.0",
                     std::vector<double>{1500, -1, 99, 83, 7, 250, 1 << 8, -1, -1}),
          {"libkelvane-no-such-library.so", "0000:01:00.0", {}},
          {KV_NVML_STANDIN, "0000:02:00.0", {}}}) {
        gpuNvmlLibrary = library;
        std::string other = dir.path(busName);
        if (other != bus) ASSERT_EQ(0, rename(bus.c_str(), other.c_str()));
        bus = other;
        unlink((card + "/device").c_str());
        ASSERT_EQ(0, symlink(bus.c_str(), (card + "/device").c_str()));
        GpuFiles f;
        GpuSample s;
        EXPECT_EQ(!want.empty(), FindGpuFiles(card.c_str(), &f)) << library << " " << busName;
        EXPECT_EQ(kGpuNvidia, f.driver);
        EXPECT_EQ(!want.empty(), ReadGpuSample(f, &s));
        EXPECT_EQ(want.empty() ? Figures(GpuSample()) : want, Figures(s)); // max refused: -1
        char said[512] = "";
        FILE *out = fmemopen(said, sizeof said, "w");
        EXPECT_EQ(!want.empty(), StartGpuWatch("", card.c_str(), out));
        fclose(out);
        EXPECT_NE(nullptr, strstr(said, want.empty() ? "runs NVIDIA's driver" : "(nvidia)"))
            << said;
    }
    gpuNvmlLibrary = was;
    CloseNvml();
}

// A measured window's looks become its step's figures, its own only; a new test forgets the
// last one's steps.
TEST(GpuFiles, EachMeasuredWindowGetsItsOwnLooks) {
    TempDir dir;
    std::string card = dir.path("card1"), xe = "device/tile0/gt0/freq0/";
    Lay(card, "driver=xe|" + xe + "act_freq=900");
    FILE *said = fopen("/dev/null", "w");
    ASSERT_EQ(1, StartGpuWatch("", card.c_str(), said));
    fclose(said);
    auto window = [&](const char *mhz, bool measured) {
        WriteBytes(card + "/" + xe + "act_freq", std::vector<unsigned char>(mhz, mhz + 3));
        fullscreen = true;
        FrameWindowClosed(measured, 10);
        fullscreen = false;
        WatchGpuAfterFrame(); // the frame that closed it looks as it closes
    };
    for (int test = 0; test < 2; test++) {
        ASSERT_TRUE(ReserveFrameTimes());
        window("900", true);
        window("700", false);
        window("500", true);
        if (test == 0) window("300", true);
    }
    EXPECT_EQ(900, GpuOfStep(0).medianMhz);
    EXPECT_EQ(std::vector<double>({500, 500}),
              std::vector<double>({GpuOfStep(1).medianMhz, GpuOfStep(1).lowestMhz}));
    EXPECT_FALSE(GpuOfStep(2).known); // the last test's third step
    ReleaseFrameTimes();
    gpuWatched = GpuFiles();
}
