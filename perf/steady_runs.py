#!/usr/bin/env python3
"""The score and the steady figure over result files, grouped by surface: each run's score,
steady figure with its uncertainty, the drift check, and per surface the ranges against the
median and how many steady figures lie within twice their uncertainty of the median.
Usage: steady_runs.py RESULT.json..."""
import json
import statistics as st
import sys
from collections import defaultdict

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
