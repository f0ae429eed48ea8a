#!/usr/bin/env python3
"""The score and the steady figure over result files, grouped by surface: each run's score,
steady figure with its uncertainty, the drift check, and per surface the ranges against the
median and how many steady figures lie within twice their uncertainty of the median.
Usage: steady_runs.py RESULT.json...
       steady_runs.py --pairs OUT/SURFACE N: climb i against quick i (OUT/SURFACE-climb-i and
       -quick-i, as perf/steady_runs.sh leaves them), for i from 1 to N."""
import json
import math
import statistics as st
import sys
from collections import defaultdict


def pairs(prefix, n):
    def fig(kind, i):
        r = json.load(open(f"{prefix}-{kind}-{i}/Kelvane result.json"))["runs"][0]
        return r["steady_score"], r["steady_uncertainty"]
    both = [(fig("climb", i), fig("quick", i)) for i in range(1, n + 1)]
    both = [(c, q) for c, q in both if c[0] is not None and q[0] is not None]
    for (c, cu), (q, qu) in both:
        print(f"climb {c:.0f} ± {cu:.0f}, quick {q:.0f} ± {qu:.0f}: {100 * (q / c - 1):+.1f} %")
    if both:
        ratio = st.median(q / c for (c, _), (q, _) in both)
        near = sum(abs(q - c) <= 2 * math.hypot(cu, qu) for (c, cu), (q, qu) in both)
        print(f"median quick / climb: {100 * (ratio - 1):+.1f} %; within twice the two "
              f"uncertainties: {near} of {len(both)}")


if sys.argv[1:2] == ["--pairs"]:
    pairs(sys.argv[2], int(sys.argv[3]))
    sys.exit(0)

groups = defaultdict(list)
for path in sys.argv[1:]:
    doc = json.load(open(path))
    size = f"{doc['surface']['width']}x{doc['surface']['height']}"
    for run in doc["runs"]:
        groups[size].append(run)

for size, runs in groups.items():
    print(f"## {size}")
    print("| started | score | steady ± uncertainty | reference grid | change | drifted | disturbed |")
    print("|---|---|---|---|---|---|---|")
    for r in runs:
        d = r.get("drift") or {}
        v = r.get("interference") or {}
        steady = f"{r['steady_score']:.0f} ± {r['steady_uncertainty']:.0f}" \
            if r.get("steady_score") is not None else "none"
        change = f"{100 * d['change']:+.1f} %" if d else "-"
        print(f"| {r['started']} | {r['score']} | {steady} | {d.get('grid', '-')} | {change} | "
              f"{d.get('drifted', '-')} | {v.get('disturbed', '-')} |")
    scores = [r["score"] for r in runs if r.get("score")]
    steady = [(r["steady_score"], r["steady_uncertainty"]) for r in runs
              if r.get("steady_score") is not None]
    if scores:
        m = st.median(scores)
        print(f"scores: median {m:g}, range {max(scores) - min(scores)} "
              f"({100 * (max(scores) - min(scores)) / m:.0f} % of the median)")
    if steady:
        m = st.median(s for s, _ in steady)
        rng = max(s for s, _ in steady) - min(s for s, _ in steady)
        within = sum(abs(s - m) <= 2 * u for s, u in steady)
        print(f"steady figures: median {m:.0f}, range {rng:.0f} ({100 * rng / m:.0f} % of the "
              f"median); within twice their uncertainty of the median: {within} of {len(steady)}")
        if scores:
            print(f"steady range / score range: "
                  f"{rng / (max(scores) - min(scores)) if max(scores) > min(scores) else float('nan'):.2f}")
    print()
