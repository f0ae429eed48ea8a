#include "record/machine.h"

#include <stdio.h>
#include <string.h>
#include <sys/utsname.h>
#include <unistd.h>

// The value of the first "key<blanks>: value" line for one of the keys; x86 says
// "model name", some ARM kernels only "Hardware" or "Processor".
static void CpuModel(const char *cpuinfo, char *out, size_t size) {
    static const char *const kKeys[] = {"model name", "Hardware", "Processor", "cpu model"};
    out[0] = 0;
    FILE *f = fopen(cpuinfo, "r");
    if (!f) return;
    char line[512];
    for (const char *key : kKeys) {
        rewind(f);
        while (fgets(line, sizeof line, f)) {
            size_t n = strlen(key);
            const char *colon = strchr(line, ':');
            if (strncmp(line, key, n) != 0 || !colon ||
                strspn(line + n, " \t") != (size_t)(colon - line - n))
                continue;
            const char *value = colon + 1 + strspn(colon + 1, " \t");
            snprintf(out, size, "%.*s", (int)strcspn(value, "\n"), value);
            fclose(f);
            return;
        }
    }
    fclose(f);
}

void ReadMachine(ResultSetting *setting, const char *cpuinfo) {
    CpuModel(cpuinfo, setting->cpu, sizeof setting->cpu);
    long cores = sysconf(_SC_NPROCESSORS_ONLN);
    setting->cores = cores > 0 ? (int)cores : 0;
    long pages = sysconf(_SC_PHYS_PAGES), pageSize = sysconf(_SC_PAGESIZE);
    setting->memoryBytes = pages > 0 && pageSize > 0 ? (int64_t)pages * pageSize : 0;
    struct utsname u;
    setting->kernel[0] = 0;
    if (uname(&u) == 0) snprintf(setting->kernel, sizeof setting->kernel, "%s", u.release);
}
