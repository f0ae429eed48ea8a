#!/usr/bin/env python3
"""How a turn of a pair starts after its side has waited: pair results run with turns of
several frames (KELVANE_PAIR_TURN=0,400: four frames at 100 ms), each turn's first frame
(timed from the turn's start, so its wake-up included) over its second and third (the last
is left out: it includes the finish). Median and quartiles over all turns.
    perf/pair_warmup.py "Kelvane pair.json"...
"""
import json
import statistics
import sys

ratios = []
for path in sys.argv[1:]:
    for turn in json.load(open(path))["turns"]:
        f = turn["frame_ms"]
        if len(f) >= 4:
            ratios.append(f[0] / statistics.mean(f[1:3]))
q = statistics.quantiles(ratios, n=4)
print(f"first frame / the next two: median {statistics.median(ratios):.4f} "
      f"(quartiles {q[0]:.4f} to {q[2]:.4f}, {len(ratios)} turns)")
