#include "watch/interference.h"

#include <stdio.h>
#include <string.h>

int ParseProcStat(const char *text, CpuSnapshot *s) {
    if (!text || strncmp(text, "cpu ", 4) != 0) return 0;
    unsigned long long v[8] = {};
    int n = sscanf(text + 4, "%llu %llu %llu %llu %llu %llu %llu %llu", &v[0], &v[1], &v[2], &v[3],
                   &v[4], &v[5], &v[6], &v[7]);
    if (n < 4) return 0;
    // user nice system idle iowait irq softirq steal; guest time is inside user and nice.
    s->busy = v[0] + v[1] + v[2] + v[5] + v[6];
    s->idle = v[3] + v[4];
    s->steal = v[7];
    return 1;
}

int ParseSelfStat(const char *text, CpuSnapshot *s) {
    // The command name, in parentheses, may hold anything: the fields follow its last ')'.
    const char *p = text ? strrchr(text, ')') : nullptr;
    if (!p) return 0;
    unsigned long long utime = 0, stime = 0;
    // state ppid pgrp session tty_nr tpgid flags minflt cminflt majflt cmajflt utime stime
    if (sscanf(p + 1, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime, &stime) !=
        2)
        return 0;
    s->self = utime + stime;
    return 1;
}

int ParseSchedstatWait(const char *text, uint64_t *waitNs) {
    unsigned long long run = 0, wait = 0;
    if (!text || sscanf(text, "%llu %llu", &run, &wait) != 2) return 0;
    *waitNs = wait;
    return 1;
}

int NoteThreadWaits(ThreadWaits *t, const ThreadWait *now, int n, long hz, CpuSnapshot *s) {
    s->wait = 0;
    s->waitKnown = 0;
    if (n < 0 || n > kThreadWaitsMax || hz <= 0) return 0;
    uint64_t ended = t->endedNs, sum = 0;
    for (int i = 0; i < t->count; i++) {
        int j = 0;
        while (j < n && now[j].tid != t->last[i].tid)
            j++;
        if (j == n || now[j].waitNs < t->last[i].waitNs) ended += t->last[i].waitNs;
    }
    for (int j = 0; j < n; j++) {
        t->last[j] = now[j];
        sum += now[j].waitNs;
    }
    t->count = n;
    t->endedNs = ended;
    sum += ended;
    const uint64_t second = 1000000000;
    s->wait = sum / second * (uint64_t)hz + sum % second * (uint64_t)hz / second;
    s->waitKnown = 1;
    return 1;
}

static uint64_t Delta(uint64_t from, uint64_t to) {
    return to > from ? to - from : 0;
}

CpuShare ShareBetween(const CpuSnapshot &from, const CpuSnapshot &to) {
    CpuShare c = {};
    uint64_t busy = Delta(from.busy, to.busy);
    uint64_t self = Delta(from.self, to.self);
    c.steal = Delta(from.steal, to.steal);
    c.total = busy + Delta(from.idle, to.idle) + c.steal;
    // The two files are sampled a moment apart: this process may show a tick more than the
    // machine's busy time did.
    c.others = busy > self ? busy - self : 0;
    c.self = self;
    c.waitKnown = from.waitKnown && to.waitKnown;
    c.wait = c.waitKnown ? Delta(from.wait, to.wait) : 0;
    return c;
}

static double Share(uint64_t part, uint64_t total) {
    return total ? (double)part / (double)total : 0;
}
double OthersShare(const CpuShare &c) {
    return Share(c.others, c.total);
}
double StealShare(const CpuShare &c) {
    return Share(c.steal, c.total);
}
double WaitShare(const CpuShare &c) {
    return Share(c.wait, c.total);
}
static uint64_t Contested(const CpuShare &c) {
    return c.waitKnown && c.wait < c.others ? c.wait : c.others;
}
double ContestedShare(const CpuShare &c) {
    return Share(Contested(c), c.total);
}
double TakenShare(const CpuShare &c) {
    return Share(Contested(c) + c.steal, c.total);
}
double UsedShare(const CpuShare &c) {
    return Share(c.others + c.steal, c.total);
}

void AddShare(CpuShare *a, const CpuShare &b) {
    a->waitKnown = a->total ? a->waitKnown && b.waitKnown : b.waitKnown;
    a->wait += b.wait;
    a->total += b.total;
    a->others += b.others;
    a->steal += b.steal;
    a->self += b.self;
}

enum { kDecidingStepsMin = 4 };

// Over the last `deciding` steps together and, where the last window ended the run, over
// that one alone.
static RunLoad Judge(const CpuShare *steps, int n, int deciding, bool lastEnded) {
    RunLoad r = {};
    if (!steps || n <= 0) return r;
    for (int i = n - deciding; i < n; i++) {
        if (steps[i].total == 0) continue;
        AddShare(&r.deciding, steps[i]);
        r.decidingSteps++;
    }
    r.last = steps[n - 1];
    r.disturbed = TakenShare(r.deciding) > kDisturbedShare ||
                  (lastEnded && TakenShare(r.last) > kDisturbedShare);
    return r;
}

int DecidingSteps(int n, bool quick) {
    int deciding = (n + 3) / 4;
    if (quick) return n;
    if (deciding < kDecidingStepsMin) deciding = n < kDecidingStepsMin ? n : kDecidingStepsMin;
    return deciding;
}

RunLoad JudgeRun(const CpuShare *steps, int n) {
    return Judge(steps, n, DecidingSteps(n, false), true);
}

RunLoad JudgeQuickRun(const CpuShare *steps, int n) {
    return Judge(steps, n, n, false);
}
