#include "perf/measure.h"

#include <stdio.h>
#include <string.h>
#include <time.h>

double NowSeconds(void) {
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec + ts.tv_nsec * 1e-9;
}

long StatusKiB(const char *field) {
    FILE *f = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    size_t n = strlen(field);
    while (f && fgets(line, sizeof line, f)) {
        if (strncmp(line, field, n) == 0 && line[n] == ':') {
            sscanf(line + n + 1, "%ld", &kib);
            break;
        }
    }
    if (f) fclose(f);
    return kib;
}
