#!/usr/bin/env python3
"""The pairs of perf/pair_goals.sh's folders judged again from their turns, two ways: the
rounds' median with the sign test's interval (the program's), and the median of their Walsh
averages with Wilcoxon's signed-rank interval (the program's before). For each, how many
intervals hold the truth (1 for A against A, the 2 ms's share for the accuracy pairs) and
their median half-width. A pair that ended on its precision is judged at 98 %, as the
program judges it.
    perf/pair_intervals.py OUT-DIR...
"""
import glob
import math
import os
import statistics
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pair_goals import cost_paid, pair  # noqa: E402


def round_values(doc):
    """Each round's mean over its blocks of the log ratio of A's frame time to B's."""
    turns = {}
    for t in doc["turns"]:
        turns.setdefault((t["round"], t["pair"]), {})[t["side"]] = t
    rounds = {}
    for (r, _), both in sorted(turns.items()):
        if len(both) == 2 and not both["A"]["dropped"] and not both["B"]["dropped"]:
            rounds.setdefault(r, []).append(math.log(both["A"]["mean_ms"] / both["B"]["mean_ms"]))
    values = []
    for logs in rounds.values():
        blocks = [(logs[k] + logs[k + 1]) / 2 for k in range(0, len(logs) - 1, 2)]
        if blocks:
            values.append(statistics.mean(blocks))
    return values


def sign_bound(n, tail):
    below, k = 0.0, 0
    while k <= n and below + math.comb(n, k) / 2**n <= tail:
        below += math.comb(n, k) / 2**n
        k += 1
    return k


def signed_rank_bound(n, tail):
    most = n * (n + 1) // 2
    p = [1.0] + [0.0] * most
    for r in range(1, n + 1):
        for t in range(most, -1, -1):
            p[t] = (p[t] + (p[t - r] if t >= r else 0)) / 2
    below, c = 0.0, 0
    while c <= most and below + p[c] <= tail:
        below += p[c]
        c += 1
    return c


def median_interval(v, tail):
    k = sign_bound(len(v), tail)
    s = sorted(v)
    return (statistics.median(s), s[k - 1], s[len(s) - k]) if k >= 1 else None


def walsh_interval(v, tail):
    c = signed_rank_bound(len(v), tail)
    w = sorted((v[i] + v[j]) / 2 for i in range(len(v)) for j in range(i, len(v)))
    return (statistics.median(w), w[c - 1], w[len(w) - c]) if c >= 1 else None


def main(roots):
    held = {"median": [], "walsh": []}
    for root in roots:
        for d in sorted(glob.glob(os.path.join(root, "*"))):
            doc = pair(d)
            part = os.path.basename(d).rsplit("-", 1)[0].replace("busy-", "")
            if not doc or not (part in ("same", "accuracy") or part.startswith("turns")):
                continue
            if part == "same":
                truth = 1.0
            else:
                a = statistics.median(t["mean_ms"] for t in doc["turns"]
                                      if t["side"] == "A" and not t["dropped"])
                truth = a / (a + cost_paid(d))
            v = round_values(doc)
            tail = 0.01 if doc["verdict"].get("precise") else 0.025
            line = f"{d}: {len(v)} rounds, truth {100 * (truth - 1):+.2f} %"
            for name, way in (("median", median_interval), ("walsh", walsh_interval)):
                got = way(v, tail) if len(v) >= 6 else None
                if not got:
                    continue
                est, low, high = (math.exp(x) for x in got)
                inside = low <= truth <= high
                held[name].append((inside, 50 * (high - low) / est))
                line += f"; {name} {100 * (low - 1):+.2f} to {100 * (high - 1):+.2f}"
                line += "" if inside else " (misses)"
            print(line)
    for name, rows in held.items():
        if rows:
            print(f"{name}: the truth inside {sum(r[0] for r in rows)} of {len(rows)}, "
                  f"median half-width ±{statistics.median(r[1] for r in rows):.2f} %")


if __name__ == "__main__":
    main(sys.argv[1:])
