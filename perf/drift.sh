#!/usr/bin/env bash
# What moves llvmpipe's speed between quiet runs: one grid held (grid 44 at 1920x1080, about
# 70 ms a frame here), with its median frame time each second and the machine's memory and
# processors timed every fifth second (perf/drift_perf.cpp):
#   - one process for 180 s: does the speed move within a process, with nothing changed?
#   - five fresh processes, 40 s each: does each process start at a level of its own?
#   - LP_NUM_THREADS 1 to 4, 25 s each: llvmpipe's rasterizer threads against two processors.
# Then per label: the median of the seconds' medians, their 10th and 90th percentiles, and
# the seconds more than 15 % slower than the label's median.
#   perf/drift.sh [BUILD-DIR] [OUT-FILE]      (default build, a temporary file)
# Run it with nothing else running; it takes about eight minutes.
set -uo pipefail
build=${1:-build}
out=${2:-$(mktemp)}
probe="$build/perf/perf_drift"
: >"$out"
"$probe" 1920 1080 44 180 long >>"$out"
for i in 1 2 3 4 5; do "$probe" 1920 1080 44 40 "process$i" >>"$out"; done
for t in 1 2 3 4; do LP_NUM_THREADS=$t "$probe" 1920 1080 44 25 "threads$t" >>"$out"; done
python3 - "$out" <<'PY'
import statistics as st, sys
from collections import defaultdict
ms, probes = defaultdict(list), defaultdict(list)
for line in open(sys.argv[1]):
    f = line.split()
    if not f or f[0] == "#":
        continue
    ms[f[0]].append(float(f[3]))
    if f[5] != "-":
        probes[f[0]].append([float(v) for v in f[4:10]])
print("| label | seconds | median ms | p10 ms | p90 ms | seconds >15 % slow | copy GB/s | cpu0 ms | cpu1 ms |")
print("|---|---|---|---|---|---|---|---|---|")
for label, v in ms.items():
    v = v[1:]  # the first second builds caches
    m = st.median(v)
    q = st.quantiles(v, n=10)
    p = probes[label]
    col = lambda i: f"{st.median(x[i] for x in p):.1f}" if p and len(p[0]) > i else "-"
    print(f"| {label} | {len(v)} | {m:.1f} | {q[0]:.1f} | {q[-1]:.1f} | "
          f"{sum(x > 1.15 * m for x in v)} | {col(0)} | {col(4)} | {col(5)} |")
PY
