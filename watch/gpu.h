// The GPU's own state, read from the files its kernel driver publishes under its DRM card
// (/sys/class/drm/cardN): the clock, the load, the temperature and its critical level, the
// power, and why the clock is held down. Each driver's files and units are the ones its
// kernel documentation gives: amdgpu's "GPU Power/Thermal Controls and Monitoring"
// (gpu_busy_percent, pp_dpm_sclk, and its hwmon), i915's gt_*_freq_mhz and
// gt/gt0/throttle_reason_* files, and xe's "GT Frequency Management" and "GT Throttle"
// (device/tile0/gt0/freq0/). Other drivers are read through their hwmon alone. A file that is
// missing or holds no number is unknown (-1), never guessed.
#pragma once

#include "record/model.h"

#include <math.h>
#include <stdio.h>
#include <string>

enum GpuDriver { kGpuNone, kGpuAmd, kGpuI915, kGpuXe, kGpuHwmonOnly, kGpuNvidia };

// Where a GPU's files are; FindGpuFiles fills it.
struct GpuFiles {
    GpuDriver driver = kGpuNone;
    std::string card;     // .../drm/cardN
    std::string hwmon;    // its device's hwmon folder, empty without one
    std::string freq;     // xe: device/tile0/gt0/freq0; i915: the card itself
    std::string throttle; // the folder of the throttle reasons, empty where there is none
};

// One look at the files. -1 for what is unknown.
struct GpuSample {
    double clockMhz = -1;    // the clock the GPU runs at now
    double maxClockMhz = -1; // the highest it may run at (amdgpu's top level, RP0 on Intel)
    double busyPercent = -1; // amdgpu only
    double tempC = -1;       // the hottest sensor
    double headroomC = NAN;  // the least a sensor has left below its critical level; NAN: none
    double powerW = -1;      // average power where the driver gives it, else instantaneous
    unsigned throttle = 0;   // bits of kGpuThrottleNames set now
    double memClockMhz = -1; // its memory's clock (amdgpu)
    double powerCapW = -1;   // the power it is allowed (hwmon's power1_cap)
    char hottest[16] = "";   // the hottest sensor's label (temp*_label), printable, or ""
};

// The DRM card folder, under sysDrm (/sys/class/drm), of the device a DRM node names: a
// primary node (/dev/dri/card1) is its own card; a render node (/dev/dri/renderD128) is the
// card its device also holds. 0 for anything else ("software", empty, a node sysfs lacks).
int GpuCardOfNode(const char *sysDrm, const char *node, std::string *card);
// The files of the GPU whose DRM card folder is card. 0 when its driver publishes nothing
// read here (no driver, or one without hwmon): there is no GPU to watch. NVIDIA's driver is
// read through its management library (watch/nvml.h), opened here for the card's PCI bus:
// 0, with driver kGpuNvidia, when that cannot be had.
int FindGpuFiles(const char *card, GpuFiles *f);
// Reads them into s. 0 when not one figure could be read (s is then all unknown).
int ReadGpuSample(const GpuFiles &f, GpuSample *s);

// The GPU this process renders on, once StartGpuWatch has found it; driver kGpuNone when
// there is none to watch.
extern GpuFiles gpuWatched;

// Finds the GPU behind the DRM node the renderer runs on (EGL's, "software", or "" when
// unknown), or the card folder `card` names outright where given (tests), and says once on
// out which GPU is watched or why none is. Non-zero when there is one.
int StartGpuWatch(const char *node, const char *card, FILE *out);
