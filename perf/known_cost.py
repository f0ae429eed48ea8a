#!/usr/bin/env python3
"""The steady figure against the truth: climbs and quick runs on a renderer whose frame time
is a known function of its spheres S (tests/e2e/sphere_cost.c: the spheres not drawn, and
each frame sleeping A + B * S^P microseconds), on which the machine's moves hardly count.
The true figure is where A + B * S^P plus what the program adds to a frame (measured in the
same run, from the preload's log) reaches 100 ms, in thousands of triangles (1152 a sphere).
Prints each run's figure over its truth, and per shape the medians and ranges of quick/true,
climb/true and quick/climb (the i-th quick run against the i-th climb).
Usage: known_cost.py OUT-DIR [RUNS] [CLIMBS] [SHAPE...]
         (default 5 quick runs, 3 climbs, both shapes: linear and power)
       known_cost.py --report OUT-DIR [SHAPE...]   (the runs already in OUT-DIR again)
       known_cost.py --truth FRAMES SHAPE  (the true figure of one run, from its preload's log)
       known_cost.py --overlap FRAMES CPU GPU  (the same, of a renderer whose processor and GPU
         parts, CPU and GPU µs a sphere, overlap: its frame takes the longer of the two)
Environment: KELVANE_BUILD, the build folder (default build/ beside this folder)."""
import json
import os
import statistics as st
import subprocess
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
BUILD = os.environ.get("KELVANE_BUILD", os.path.join(HERE, "..", "build"))
EXE = os.path.join(BUILD, "Kelvane.app/Contents/Linux/kelvane")
PRELOAD = os.path.join(BUILD, "tests/e2e/libsphere_cost.so")
TRIANGLES_PER_SPHERE = 1152
SIZE = "640x480"
# Both cross 100 ms near 300 spheres (grid 17.3): a climb stops after about 18 steps of four
# seconds. A is a frame's fixed cost, B a sphere's (µs), P the power of the spheres.
SHAPES = {
    "linear": (5000, 307, 1.0),
    "power": (5000, 56.2, 1.3),
}


def cost_us(shape, s):
    a, b, p = SHAPES[shape]
    return a + b * s ** p


def residual_us(frames, cost):
    # What the program adds, from the frames whose sleep was within 30 % of 100 ms: the
    # frame time there is what the crossing depends on.
    near = [r for s, r in frames if 70000 <= cost(s) <= 130000]
    return st.median(near) if near else st.median(r for _, r in frames)


def truth(frames, shape):
    r = residual_us(frames, lambda s: cost_us(shape, s))
    lo, hi = 0.0, 1e7
    for _ in range(200):
        mid = (lo + hi) / 2
        lo, hi = (mid, hi) if cost_us(shape, mid) + r < 100000 else (lo, mid)
    return lo * TRIANGLES_PER_SPHERE / 1000, r


def overlap_truth(frames, cpu, gpu):
    # What the program adds falls on the processor's part only.
    r = residual_us(frames, lambda s: max(cpu, gpu) * s)
    spheres = min(100000 / gpu if gpu > 0 else float("inf"),
                  (100000 - r) / cpu if cpu > 0 else float("inf"))
    return spheres * TRIANGLES_PER_SPHERE / 1000, r


def run(out, shape, kind, i):
    d = os.path.join(out, f"{shape}-{kind}-{i}")
    os.makedirs(d, exist_ok=True)
    a, b, p = SHAPES[shape]
    env = dict(os.environ, KELVANE_SPHERE_SKIP="1", KELVANE_FRAME_US=str(a),
               KELVANE_FRAME_SPHERE_US=str(b), KELVANE_FRAME_POWER=str(p),
               KELVANE_FRAME_LOG=os.path.join(d, "frames"), LD_PRELOAD=PRELOAD,
               XDG_DATA_HOME=os.path.join(out, "data"))
    args = [EXE, "--test", f"--offscreen={SIZE}", "--results", d]
    if kind == "quick":
        args.insert(2, "--quick")
    start = time.time()
    with open(os.path.join(d, "stdout"), "w") as o, open(os.path.join(d, "stderr"), "w") as e:
        subprocess.run(args, env=env, stdout=o, stderr=e)
    with open(os.path.join(d, "seconds"), "w") as f:
        f.write(f"{time.time() - start:.1f}\n")


def measured(out, shape, kind, i):
    d = os.path.join(out, f"{shape}-{kind}-{i}")
    try:
        r = json.load(open(os.path.join(d, "Kelvane result.json")))["runs"][0]
        frames = [tuple(map(float, line.split())) for line in open(os.path.join(d, "frames"))]
        seconds = float(open(os.path.join(d, "seconds")).read())
    except (OSError, ValueError, KeyError, IndexError):
        return None
    true, rest = truth(frames, shape)
    return {"figure": r["steady_score"], "u": r["steady_uncertainty"], "true": true,
            "rest": rest, "seconds": seconds, "steps": len(r["steps"])}


def spread(name, values):
    if not values:
        return f"{name}: none"
    pct = [100 * (v - 1) for v in values]
    return (f"{name}: median {st.median(pct):+.1f} %, range {min(pct):+.1f} to {max(pct):+.1f} %"
            f" ({len(pct)})")


def report(out, shape):
    print(f"## {shape}: {SHAPES[shape][0]} + {SHAPES[shape][1]} * S^{SHAPES[shape][2]} µs, "
          f"{SIZE}")
    got = {}
    for kind in ("climb", "quick"):
        got[kind] = []
        i = 1
        while os.path.isdir(os.path.join(out, f"{shape}-{kind}-{i}")):
            m = measured(out, shape, kind, i)
            got[kind].append(m)
            if m is None:
                print(f"{kind} {i}: no result")
            elif m["figure"] is None:
                print(f"{kind} {i}: no steady figure (true {m['true']:.1f})")
            else:
                print(f"{kind} {i}: {m['figure']:.1f} ± {m['u']:.1f}, true {m['true']:.1f} "
                      f"(program's own {m['rest'] / 1000:.2f} ms a frame): "
                      f"{100 * (m['figure'] / m['true'] - 1):+.1f} %, {m['steps']} steps, "
                      f"{m['seconds']:.0f} s")
            i += 1

    def ratios(kind):
        return [m["figure"] / m["true"] for m in got[kind] if m and m["figure"]]
    pairs = [q["figure"] / c["figure"] for c, q in zip(got["climb"], got["quick"])
             if c and q and c["figure"] and q["figure"]]
    print(spread("quick / true", ratios("quick")))
    print(spread("climb / true", ratios("climb")))
    print(spread("quick / climb", pairs))
    print()


def main(argv):
    if argv[:1] == ["--truth"]:
        frames = [tuple(map(float, line.split())) for line in open(argv[1])]
        print(f"{truth(frames, argv[2])[0]:.2f}")
        return
    if argv[:1] == ["--overlap"]:
        frames = [tuple(map(float, line.split())) for line in open(argv[1])]
        print(f"{overlap_truth(frames, float(argv[2]), float(argv[3]))[0]:.2f}")
        return
    if argv[:1] == ["--report"]:
        for shape in argv[2:] or SHAPES:
            report(argv[1], shape)
        return
    out = argv[0]
    runs = int(argv[1]) if len(argv) > 1 else 5
    climbs = int(argv[2]) if len(argv) > 2 else 3
    shapes = argv[3:] or list(SHAPES)
    for shape in shapes:
        for i in range(1, max(runs, climbs) + 1):
            if i <= climbs:
                run(out, shape, "climb", i)
            if i <= runs:
                run(out, shape, "quick", i)
        report(out, shape)


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    main(sys.argv[1:])
