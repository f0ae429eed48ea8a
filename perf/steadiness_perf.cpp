// What timing every frame and watching the machine cost a test: frames per second of a
// test's frames as the frame timer draws them (Render, each frame timed, the CPU counters
// read after every frame that closes a window) against the same frames untimed and
// unwatched, alternating in one run at grid sizes 1 and 8; and the cost of each piece
// alone; and the same with the GPU looked at every tenth of a second (a GPU's files laid
// out as amdgpu's, the driver that has the most to read) against without. Run: make perf.
#include "bench/accounting.h"
#include "bench/frame.h"
#include "bench/frametimes.h"
#include "bench/state.h"
#include "gfx/scene.h"
#include "perf/perf_support.h"
#include "watch/gpu.h"
#include "watch/gpusteps.h"
#include "watch/loadwatch.h"

#include <algorithm>
#include <initializer_list>
#include <stdio.h>
#include <stdlib.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// Seconds for `count` test frames at grid n; the grid is held at n (no window is ever the
// measured fourth), so windows close every second and the watch reads the counters.
static bool lookAtGpu; // the timed runs also look at the GPU
static double Run(bool timed, int n, int count) {
    if (timed)
        ReserveFrameTimes();
    else
        ReleaseFrameTimes();
    fullscreen = true;
    numCubes = n;
    double start = NowSeconds();
    for (int i = 0; i < count; i++) {
        tCubes = 0;
        Render();
        if (timed) WatchLoadAfterFrame();
        if (timed && lookAtGpu) WatchGpuAfterFrame();
    }
    return NowSeconds() - start;
}

// A card whose files are amdgpu's, with a hwmon of three sensors; its folder.
static std::string FakeAmdCard(void) {
    char top[] = "/tmp/kelvane-gpu-XXXXXX";
    if (!mkdtemp(top)) return "";
    std::string card = std::string(top) + "/card1", hwmon = card + "/device/hwmon/hwmon0";
    for (std::string d :
         {card, card + "/device", card + "/device/hwmon", hwmon, std::string(top) + "/amdgpu"})
        mkdir(d.c_str(), 0755);
    if (symlink((std::string(top) + "/amdgpu").c_str(), (card + "/device/driver").c_str()))
        return "";
    auto put = [](const std::string &path, const char *text) {
        FILE *f = fopen(path.c_str(), "w");
        if (f) fputs(text, f), fclose(f);
    };
    put(card + "/device/pp_dpm_sclk", "0: 500Mhz\n1: 1200Mhz\n2: 2450Mhz *\n");
    put(card + "/device/gpu_busy_percent", "97\n");
    for (const char *t : {"temp1", "temp2", "temp3"}) {
        put(hwmon + "/" + t + "_input", "65000\n");
        put(hwmon + "/" + t + "_crit", "100000\n");
    }
    put(hwmon + "/power1_average", "180000000\n");
    return card;
}

// Frame rate with the GPU looked at over without, both timed and watched otherwise.
static void GpuRatio(int n) {
    double warm = Run(true, n, 20);
    int count = (int)(1.2 / (warm / 20)) + 1;
    std::vector<double> ratios;
    for (int round = 0; round < 12; round++) {
        double with = 0, without = 0;
        for (int half = 0; half < 2; half++) {
            lookAtGpu = (half == 0) == (round % 2 == 0);
            (lookAtGpu ? with : without) = Run(true, n, count);
        }
        ratios.push_back(without / with);
    }
    lookAtGpu = false;
    std::sort(ratios.begin(), ratios.end());
    printf("  N = %d: with the GPU looked at against without, median ratio %.3f (goal >= 0.99)\n",
           n, (ratios[5] + ratios[6]) / 2);
}

int main() {
    if (!OpenPerfWindow(640, 480) || !AllocScene()) {
        fprintf(stderr, "no scene\n");
        return 1;
    }
    printf("test frames timed and watched against untimed, 640x480 offscreen, "
           "12 pairs of ~1.2 s runs\n");
    for (int n : {1, 8}) {
        double warm = Run(false, n, 20);
        Run(true, n, 20);
        // Long enough that every timed run reads the counters at least once.
        int count = (int)(1.2 / (warm / 20)) + 1;
        std::vector<double> ratios;
        double timed = 0, plain = 0;
        for (int round = 0; round < 12; round++) {
            bool timedFirst = round % 2 == 0;
            double a = 0, b = 0;
            for (int half = 0; half < 2; half++) {
                if ((half == 0) == timedFirst)
                    a = Run(true, n, count);
                else
                    b = Run(false, n, count);
            }
            timed += a;
            plain += b;
            ratios.push_back(b / a); // frame rate timed over untimed
        }
        std::sort(ratios.begin(), ratios.end());
        printf("  N = %d: timed %7.1f fps, untimed %7.1f fps, median ratio %.3f (goal >= 0.99)\n",
               n, 12 * count / timed, 12 * count / plain, (ratios[5] + ratios[6]) / 2);
    }
    std::string card = FakeAmdCard();
    if (StartGpuWatch("", card.c_str(), stdout))
        for (int n : {1, 8})
            GpuRatio(n);
    FreeScene();
    fullscreen = false;

    // The pieces alone: a frame's timing, and a window's reading of the counters.
    ReserveFrameTimes();
    fullscreen = true;
    const int kFrames = 1000000;
    double t = NowSeconds();
    for (int i = 0; i < kFrames; i++) {
        TimeFrame();
        if (frameTimesUsed - frameWindowAt >= kTimedFramesPerWindow) FrameWindowClosed(false, 0);
    }
    double perFrame = (NowSeconds() - t) / kFrames;
    const int kReads = 2000;
    CpuSnapshot s;
    t = NowSeconds();
    for (int i = 0; i < kReads; i++)
        ReadCpuSnapshot(&s);
    double perWindow = (NowSeconds() - t) / kReads;
    printf("  a frame's timing: %.0f ns, %.4f%% of a 1000 fps frame\n", perFrame * 1e9,
           perFrame * 1e3 * 100);
    printf("  a window's counters: %.1f us, %.4f%% of the one-second window\n", perWindow * 1e6,
           perWindow * 100);
    GpuSample g;
    t = NowSeconds();
    for (int i = 0; i < kReads; i++)
        ReadGpuSample(gpuWatched, &g);
    double perLook = (NowSeconds() - t) / kReads;
    if (gpuWatched.driver != kGpuNone)
        printf("  a look at the GPU: %.1f us, %.4f%% of the tenth of a second between looks\n",
               perLook * 1e6, perLook / kGpuLookSeconds * 100);
    // Without a GPU to watch, the frame's whole cost is one comparison.
    gpuWatched = GpuFiles();
    t = NowSeconds();
    for (int i = 0; i < kFrames; i++)
        WatchGpuAfterFrame();
    printf("  no GPU to watch: %.1f ns a frame\n", (NowSeconds() - t) / kFrames * 1e9);
    if (!card.empty()) system(("rm -rf '" + card.substr(0, card.rfind('/')) + "'").c_str());
    fullscreen = false;
    ReleaseFrameTimes();
    return 0;
}
