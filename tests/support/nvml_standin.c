/* NVIDIA's management library as the tests need it: the calls the GPU watch makes, with the
   signatures of NVML's reference, answering for the one GPU on bus 0000:01:00.0. It draws at
   1,500 MHz, 99 % busy, at 83 of the 90 degrees where it slows itself, drawing 250 W, held
   down by its power cap; it will not say its highest clock (3: NVML_ERROR_NOT_SUPPORTED). A
   line a call reads best here. */
#include <string.h>

static int device;

/* clang-format off */
int nvmlInit_v2(void) { return 0; }
int nvmlShutdown(void) { return 0; }
int nvmlDeviceGetHandleByPciBusId_v2(const char *bus, void **d) { *d = &device; return strcmp(bus, "0000:01:00.0") ? 6 : 0; }
int nvmlDeviceGetClockInfo(void *d, int type, unsigned *mhz) { *mhz = 1500; return type != 0; }
int nvmlDeviceGetMaxClockInfo(void *d, int type, unsigned *mhz) { return 3; }
int nvmlDeviceGetUtilizationRates(void *d, unsigned rates[2]) { rates[0] = 99, rates[1] = 40; return 0; }
int nvmlDeviceGetTemperature(void *d, int sensor, unsigned *c) { *c = 83; return sensor != 0; }
int nvmlDeviceGetTemperatureThreshold(void *d, int which, unsigned *c) { *c = 90; return which != 1; }
int nvmlDeviceGetPowerUsage(void *d, unsigned *mw) { *mw = 250000; return 0; }
int nvmlDeviceGetCurrentClocksThrottleReasons(void *d, unsigned long long *r) { *r = 0x5; return 0; }
/* clang-format on */
