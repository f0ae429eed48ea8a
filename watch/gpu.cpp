#include "watch/gpu.h"

#include "watch/nvml.h"

#include <dirent.h>
#include <limits.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <sstream>

// A sysfs file's text (they are small), empty when it cannot be read.
static std::string ReadText(const std::string &path) {
    char text[1024];
    FILE *f = fopen(path.c_str(), "r");
    if (!f) return "";
    size_t n = fread(text, 1, sizeof text - 1, f);
    fclose(f);
    return std::string(text, n);
}

// A file holding one number and nothing else (a newline at most), times scale; -1 otherwise,
// and for a number no sysfs counter holds (past 64 bits, or beyond a double): a figure
// written as read there would make the result unreadable.
static double Number(const std::string &path, double scale = 1) {
    std::string s = ReadText(path);
    char *end = nullptr;
    double v = strtod(s.c_str(), &end);
    if (end == s.c_str() || (*end && strcmp(end, "\n") != 0) || !(v >= 0) || !(v < 0x1p64))
        return -1;
    return v * scale;
}

static bool IsFolder(const std::string &path) {
    DIR *d = opendir(path.c_str());
    if (d) closedir(d);
    return d != nullptr;
}

// The driver's name: the last part of where device/driver links to.
static std::string DriverOf(const std::string &card) {
    char target[PATH_MAX];
    ssize_t n = readlink((card + "/device/driver").c_str(), target, sizeof target - 1);
    if (n <= 0) return "";
    target[n] = 0;
    const char *slash = strrchr(target, '/');
    return slash ? slash + 1 : target;
}

// The entry of folder whose name begins with prefix (a device has one hwmon, one card);
// empty without one.
static std::string FirstEntry(const std::string &folder, const char *prefix) {
    std::string found;
    DIR *d = opendir(folder.c_str());
    if (!d) return "";
    while (struct dirent *e = readdir(d))
        if (!strncmp(e->d_name, prefix, strlen(prefix))) found = e->d_name;
    closedir(d);
    return found;
}

static std::string HwmonOf(const std::string &card) {
    std::string hwmon = FirstEntry(card + "/device/hwmon", "hwmon");
    return hwmon.empty() ? "" : card + "/device/hwmon/" + hwmon;
}

int GpuCardOfNode(const char *sysDrm, const char *node, std::string *card) {
    const char *dri = "/dev/dri/";
    if (strncmp(node, dri, strlen(dri)) != 0) return 0;
    const char *name = node + strlen(dri);
    if (strchr(name, '/') || !*name) return 0;
    std::string top = std::string(sysDrm) + "/";
    if (!strncmp(name, "card", 4)) {
        *card = top + name;
        return IsFolder(*card);
    }
    // The device's drm folder lists its nodes, its one card among them.
    std::string first = FirstEntry(top + name + "/device/drm", "card");
    if (first.empty()) return 0;
    *card = top + first;
    return 1;
}

int FindGpuFiles(const char *card, GpuFiles *f) {
    *f = GpuFiles();
    f->card = card;
    f->hwmon = HwmonOf(card);
    std::string driver = DriverOf(card);
    if (driver == "amdgpu") {
        f->driver = kGpuAmd;
    } else if (driver == "i915") {
        f->driver = kGpuI915;
        f->freq = f->card;
        if (IsFolder(f->card + "/gt/gt0")) f->throttle = f->card + "/gt/gt0/throttle_reason_";
    } else if (driver == "xe") {
        f->driver = kGpuXe;
        f->freq = f->card + "/device/tile0/gt0/freq0";
        if (IsFolder(f->freq + "/throttle")) f->throttle = f->freq + "/throttle/reason_";
    } else if (driver == "nvidia") {
        // The device folder is named by its PCI bus, as the library finds a device.
        char bus[PATH_MAX];
        f->driver = kGpuNvidia;
        if (!realpath((f->card + "/device").c_str(), bus)) return 0;
        return OpenNvml(strrchr(bus, '/') + 1);
    } else if (!f->hwmon.empty()) {
        f->driver = kGpuHwmonOnly;
    }
    return f->driver != kGpuNone;
}

// amdgpu's pp_dpm_sclk and pp_dpm_mclk: a line a level, "N: 1200Mhz", the current one
// marked with '*'; a clock asleep is the level "S:", below the others. The current level's
// clock into *current, the top level's into *top.
static void ReadDpmLevels(const std::string &path, double *current, double *top) {
    std::istringstream levels(ReadText(path));
    for (std::string line; std::getline(levels, line);) {
        double mhz = 0;
        char level[8] = "", unit[8] = "";
        if (sscanf(line.c_str(), "%7[0-9S]: %lf%7[A-Za-z]", level, &mhz, unit) != 3 ||
            strcasecmp(unit, "mhz") != 0 || !(mhz >= 0) || !(mhz < 0x1p64))
            continue;
        if (mhz > *top) *top = mhz;
        if (line.find('*') != std::string::npos) *current = mhz;
    }
}

// A sensor's label ("edge", "junction"), kept where it is short printable text.
static void Label(const std::string &path, char *out, size_t size) {
    std::string s = ReadText(path);
    if (!s.empty() && s.back() == '\n') s.pop_back();
    bool printable = s.size() < size;
    for (char c : s)
        printable = printable && c >= ' ' && c <= '~';
    snprintf(out, size, "%s", printable ? s.c_str() : "");
}

// The hottest of temp1..temp9 (millidegrees), and the least headroom below its critical
// level any of them has; the power in watts from microwatts.
static void ReadHwmon(const std::string &hwmon, GpuSample *s) {
    if (hwmon.empty()) return;
    for (int i = 1; i <= 9; i++) {
        std::string t = hwmon + "/temp" + std::to_string(i);
        double c = Number(t + "_input", 1e-3), crit = Number(t + "_crit", 1e-3);
        if (c < 0) continue;
        if (c > s->tempC) {
            s->tempC = c;
            Label(t + "_label", s->hottest, sizeof s->hottest);
        }
        if (crit > 0) s->headroomC = fmin(s->headroomC, crit - c); // fmin passes NAN over
    }
    s->powerW = Number(hwmon + "/power1_average", 1e-6);
    if (s->powerW < 0) s->powerW = Number(hwmon + "/power1_input", 1e-6);
    s->powerCapW = Number(hwmon + "/power1_cap", 1e-6);
}

int ReadGpuSample(const GpuFiles &f, GpuSample *s) {
    *s = GpuSample();
    switch (f.driver) {
    case kGpuAmd: {
        double top = -1; // the memory's top level is not needed
        ReadDpmLevels(f.card + "/device/pp_dpm_sclk", &s->clockMhz, &s->maxClockMhz);
        ReadDpmLevels(f.card + "/device/pp_dpm_mclk", &s->memClockMhz, &top);
        if (s->clockMhz < 0) s->clockMhz = Number(f.hwmon + "/freq1_input", 1e-6);
        s->busyPercent = Number(f.card + "/device/gpu_busy_percent");
        if (s->busyPercent > 100) s->busyPercent = -1; // a share cannot pass the whole
        break;
    }
    case kGpuI915:
        s->clockMhz = Number(f.freq + "/gt_act_freq_mhz");
        s->maxClockMhz = Number(f.freq + "/gt_RP0_freq_mhz");
        break;
    case kGpuXe:
        s->clockMhz = Number(f.freq + "/act_freq");
        s->maxClockMhz = Number(f.freq + "/rp0_freq");
        break;
    case kGpuNvidia:
        ReadNvml(s);
        break;
    default:
        break;
    }
    if (!f.throttle.empty())
        for (int i = 0; i < kGpuThrottleReasons; i++)
            if (Number(f.throttle + kGpuThrottleNames[i]) > 0) s->throttle |= 1u << i;
    ReadHwmon(f.hwmon, s);
    return s->clockMhz >= 0 || s->maxClockMhz >= 0 || s->busyPercent >= 0 || s->tempC >= 0 ||
           s->powerW >= 0 || s->throttle;
}

GpuFiles gpuWatched;

static const char *const kDriverNames[] = {"", "amdgpu", "i915", "xe", "hwmon", "nvidia"};

int StartGpuWatch(const char *node, const char *card, FILE *out) {
    gpuWatched = GpuFiles();
    std::string found;
    if (card && *card)
        found = card;
    else if (!GpuCardOfNode("/sys/class/drm", node, &found))
        found = "";
    GpuSample s;
    if (!found.empty() && FindGpuFiles(found.c_str(), &gpuWatched) &&
        ReadGpuSample(gpuWatched, &s)) {
        fprintf(out, "gpu: watching %s (%s)\n", found.c_str(), kDriverNames[gpuWatched.driver]);
        return 1;
    }
    bool nvidia = gpuWatched.driver == kGpuNvidia;
    gpuWatched = GpuFiles();
    CloseNvml();
    if (nvidia)
        fprintf(out,
                "gpu: no GPU to watch: %s runs NVIDIA's driver, whose state is read through its "
                "management library, and %s could not be loaded or does not know the card\n",
                found.c_str(), gpuNvmlLibrary);
    else if (!strcmp(node, "software"))
        fprintf(out, "gpu: no GPU to watch: the renderer is software\n");
    else if (found.empty())
        fprintf(out, "gpu: no GPU to watch: the renderer's device is not known%s%s\n",
                *node ? " " : "", node);
    else
        fprintf(out, "gpu: no GPU to watch: %s publishes no clock, temperature or power\n",
                found.c_str());
    return 0;
}
