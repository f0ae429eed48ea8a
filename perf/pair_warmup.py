#!/usr/bin/env python3
"""How a turn of a pair starts after its side has waited: pair results run with
KELVANE_PAIR_TURN=0,3 (three measured windows a turn, no settling), each turn's frames
split back into its one-second windows; prints the first window's mean frame time over the
later ones', the median and quartiles over all turns, and the same for the first frames.
    perf/pair_warmup.py "Kelvane pair.json"...
"""
import json
import statistics
import sys


def windows(frames):
    """Frame times split where a one-second window closes: at the first frame past 1000 ms."""
    out, cur, t = [], [], 0.0
    for ms in frames:
        cur.append(ms)
        t += ms
        if t > 1000:
            out.append(cur)
            cur, t = [], 0.0
    return out


def quartiles(v):
    q = statistics.quantiles(v, n=4)
    return f"median {statistics.median(v):.4f} (quartiles {q[0]:.4f} to {q[2]:.4f}, {len(v)} turns)"


first, head = [], []
for path in sys.argv[1:]:
    doc = json.load(open(path))
    for turn in doc["turns"]:
        w = windows(turn["frame_ms"])
        if len(w) < 3:
            continue
        later = statistics.mean(w[1] + w[2])
        first.append(statistics.mean(w[0]) / later)
        head.append(statistics.mean(w[0][:3]) / later)
print("first window / later windows:", quartiles(first))
print("first three frames / later windows:", quartiles(head))
