#include "watch/nvml.h"

#include <dlfcn.h>
#include <string.h>

const char *gpuNvmlLibrary = "libnvidia-ml.so.1";

// The library's types as its reference gives them: a result 0 is NVML_SUCCESS; the clock
// NVML_CLOCK_GRAPHICS, the sensor NVML_TEMPERATURE_GPU and NVML_TEMPERATURE_THRESHOLD_SLOWDOWN
// are the values below.
typedef int Result;
typedef void *Device;
struct Utilization {
    unsigned gpu, memory;
};
enum { kSuccess = 0, kClockGraphics = 0, kTemperatureGpu = 0, kThresholdSlowdown = 1 };

static struct {
    void *library;
    Device device;
    Result (*shutdown)(void);
    Result (*clock)(Device, int, unsigned *);
    Result (*maxClock)(Device, int, unsigned *);
    Result (*utilization)(Device, Utilization *);
    Result (*temperature)(Device, int, unsigned *);
    Result (*threshold)(Device, int, unsigned *);
    Result (*power)(Device, unsigned *);
    Result (*reasons)(Device, unsigned long long *);
} nvml;

// NVML's reasons the clocks are held down (nvmlClocksThrottleReason*), as kGpuThrottleNames
// has them; its others (idle, application clocks, sync boost, display clock) are settings
// or rest, not limits.
static const struct {
    unsigned long long bit;
    const char *name;
} kNvmlReasons[] = {{0x04, "sw_power_cap"},
                    {0x08, "hw_slowdown"},
                    {0x20, "sw_thermal"},
                    {0x40, "hw_thermal"},
                    {0x80, "hw_power_brake"}};

template <typename F> static bool Find(const char *name, F *out) {
    *out = (F)dlsym(nvml.library, name);
    return *out != nullptr;
}

int OpenNvml(const char *busId) {
    CloseNvml();
    nvml.library = dlopen(gpuNvmlLibrary, RTLD_NOW | RTLD_LOCAL);
    if (!nvml.library) return 0;
    Result (*init)(void) = nullptr;
    Result (*byBus)(const char *, Device *) = nullptr;
    bool found = Find("nvmlInit_v2", &init) && Find("nvmlShutdown", &nvml.shutdown) &&
                 Find("nvmlDeviceGetHandleByPciBusId_v2", &byBus) &&
                 Find("nvmlDeviceGetClockInfo", &nvml.clock) &&
                 Find("nvmlDeviceGetMaxClockInfo", &nvml.maxClock) &&
                 Find("nvmlDeviceGetUtilizationRates", &nvml.utilization) &&
                 Find("nvmlDeviceGetTemperature", &nvml.temperature) &&
                 Find("nvmlDeviceGetTemperatureThreshold", &nvml.threshold) &&
                 Find("nvmlDeviceGetPowerUsage", &nvml.power) &&
                 Find("nvmlDeviceGetCurrentClocksThrottleReasons", &nvml.reasons);
    if (!found || init() != kSuccess) {
        nvml.shutdown = nullptr; // never initialized: nothing to shut down
        CloseNvml();
        return 0;
    }
    if (byBus(busId, &nvml.device) != kSuccess) {
        CloseNvml();
        return 0;
    }
    return 1;
}

void ReadNvml(GpuSample *s) {
    if (!nvml.library) return;
    unsigned v = 0, limit = 0;
    Utilization u = {};
    unsigned long long reasons = 0;
    if (nvml.clock(nvml.device, kClockGraphics, &v) == kSuccess) s->clockMhz = v;
    if (nvml.maxClock(nvml.device, kClockGraphics, &v) == kSuccess) s->maxClockMhz = v;
    if (nvml.utilization(nvml.device, &u) == kSuccess && u.gpu <= 100) s->busyPercent = u.gpu;
    if (nvml.temperature(nvml.device, kTemperatureGpu, &v) == kSuccess) {
        s->tempC = v;
        if (nvml.threshold(nvml.device, kThresholdSlowdown, &limit) == kSuccess && limit > 0)
            s->headroomC = (double)limit - v;
    }
    if (nvml.power(nvml.device, &v) == kSuccess) s->powerW = v / 1000.0;
    if (nvml.reasons(nvml.device, &reasons) == kSuccess)
        for (const auto &r : kNvmlReasons)
            for (int i = 0; i < kGpuThrottleReasons; i++)
                if ((reasons & r.bit) && !strcmp(kGpuThrottleNames[i], r.name))
                    s->throttle |= 1u << i;
}

void CloseNvml(void) {
    if (nvml.library) {
        if (nvml.shutdown) nvml.shutdown();
        dlclose(nvml.library);
    }
    nvml = {};
}
