#!/usr/bin/env python3
"""The paired comparison's goals from perf/pair_goals.sh's folder: accuracy (B is A with 2 ms
a frame more), A against A, the old way (two quick runs), the real drivers, mesa_glthread as
quick runs, and the pairs on a busy machine.
    perf/pair_goals.py OUT-DIR
"""
import glob
import json
import os
import statistics
import sys

COST_MS = 2.0


def pair(d):
    path = os.path.join(d, "Kelvane pair.json")
    if not os.path.exists(path):
        return None
    doc = json.load(open(path))
    status = open(os.path.join(d, "status")).read().split()
    doc["seconds"] = float(status[1])
    doc["dir"] = d
    return doc


def cost_paid(d):
    """The mean sleep B's processes paid a frame (perf/frame_cost.c's logs), in ms; the cost
    asked where a run kept no logs."""
    frames = slept = 0
    for path in glob.glob(os.path.join(d, "cost.B.*")):
        f, us = open(path).read().split()[:2]
        frames += int(f)
        slept += float(us)
    return slept / frames / 1000 if frames else COST_MS


def half_width(v):
    return 50 * (v["high"] - v["low"]) / v["ratio"]


def numbered(out, part):
    dirs = glob.glob(os.path.join(out, part + "-*"))
    return sorted(dirs, key=lambda d: int(d.rsplit("-", 1)[1]))


def accuracy(out, part="accuracy"):
    rows = [p for p in map(pair, numbered(out, part)) if p and p["verdict"]["known"]]
    if not rows:
        return
    covered = excluded = 0
    for p in rows:
        v = p["verdict"]
        a = statistics.median(t["mean_ms"] for t in p["turns"] if t["side"] == "A" and not t["dropped"])
        cost = cost_paid(p["dir"])
        true = a / (a + cost)
        covered += v["low"] <= true <= v["high"]
        excluded += v["high"] < 1
        print(f"  {part}: true {100 * (true - 1):+.2f} %, found {100 * (v['ratio'] - 1):+.2f} % "
              f"({100 * (v['low'] - 1):+.2f} to {100 * (v['high'] - 1):+.2f}), {v.get('rounds', 1)} rounds, "
              f"{p['seconds']:.0f} s, cost {cost:.3f} ms")
    n = len(rows)
    print(f"{part}: the true difference inside the interval in {covered} of {n}, zero outside it "
          f"in {excluded} of {n}; median half-width ±{statistics.median(half_width(p['verdict']) for p in rows):.2f} %, "
          f"median time {statistics.median(p['seconds'] for p in rows):.0f} s")


def same(out, part="same"):
    rows = [p for p in map(pair, numbered(out, part)) if p]
    known = [p for p in rows if p["verdict"]["known"]]
    if not rows:
        return
    none = sum(p["verdict"]["low"] <= 1 <= p["verdict"]["high"] for p in known)
    for p in known:
        v = p["verdict"]
        print(f"  A against A: {100 * (v['ratio'] - 1):+.2f} % ({100 * (v['low'] - 1):+.2f} to "
              f"{100 * (v['high'] - 1):+.2f}), {v.get('rounds', 1)} rounds, {p['seconds']:.0f} s")
    load = os.path.join(out, part.split("-")[0] + "-load")
    if os.path.exists(load):
        loads = [float(line.split()[0]) for line in open(load)]
        print(f"{part}: load (1 minute) {min(loads):.1f} to {max(loads):.1f}, median {statistics.median(loads):.1f}")
    print(f"{part}: A against A: no difference in {none} of {len(rows)} pairs; median half-width "
          f"±{statistics.median(half_width(p['verdict']) for p in known):.2f} %, median time "
          f"{statistics.median(p['seconds'] for p in rows):.0f} s, ±1 % reached in "
          f"{sum(p['verdict']['precise'] for p in known)}")


def figure(d):
    path = os.path.join(d, "Kelvane result.json")
    if not os.path.exists(path):
        return None
    return json.load(open(path))["runs"][0].get("steady_score")


def oldway(out, part="oldway"):
    ratios, figures = [], [[], []]
    for i in range(1, 1000):
        a, b = (figure(os.path.join(out, f"{part}-{i}-{s}")) for s in "AB")
        if a is None and b is None and not os.path.isdir(os.path.join(out, f"{part}-{i}-A")):
            break
        if a and b:
            ratios.append(b / a)
            figures[0].append(a)
            figures[1].append(b)
    if not ratios:
        return
    print(f"{part}: A's figures {figures[0]}, B's {figures[1]}; median B/A "
          f"{100 * (statistics.median(ratios) - 1):+.1f} %, B's median over A's "
          f"{100 * (statistics.median(figures[1]) / statistics.median(figures[0]) - 1):+.1f} %")
    right = sum(r < 1 for r in ratios)
    print(f"{part} (two --quick runs): B/A steady figures {', '.join(f'{100 * (r - 1):+.1f}' for r in ratios)} %; "
          f"the sign right in {right} of {len(ratios)}; spread {100 * (max(ratios) - min(ratios)):.1f} points, "
          f"standard deviation {100 * statistics.pstdev(ratios):.1f} %")


def drivers(out):
    names = ["softpipe", "zink", "glthread"]
    for part in ("busy-softpipe", "busy-glthread"):
        names += [os.path.basename(d) for d in numbered(out, part)]
    for name in names:
        p = pair(os.path.join(out, name))
        if p:
            v = p["verdict"]
            r = lambda x: f"{x:.4f}" if x is not None else "none"
            print(f"{name}: B/A {r(v['ratio'])} ({r(v['low'])} to {r(v['high'])}): {v['text']}; "
                  f"grid {p['grid']}, {p['seconds']:.0f} s")


out = sys.argv[1]
accuracy(out)
for d in sorted(glob.glob(os.path.join(out, "turns*-1")), key=lambda d: int(d.split("turns")[-1].split("-")[0])):
    accuracy(out, os.path.basename(d)[:-2])
same(out)
same(out, "busy-same")
oldway(out)
oldway(out, "glquick")
drivers(out)
