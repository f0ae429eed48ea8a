#!/usr/bin/env python3
"""A pair's side as the coordinator drives it, by hand: fresh processes, each given turns of
a fill frame and FRAMES measured at GRID, with a pause between turns as the other side's turn
would leave; per process, the page faults a frame and the median frame time. Each process
alternates between the allocator's defaults (as the program runs, the baseline) and its
thresholds fixed (GLIBC_TUNABLES, trim 256 MB, map 32 MB), so that both meet the same
moments of the machine.
  perf/pair_side_faults.py BUILD [PROCESSES] [GRID] [FRAMES]
With the defaults, what the renderer frees goes back to the kernel and the next frames fault
it in again: after a turn's finish, and at big grids in a stream too."""
import os, statistics, subprocess, sys, time

build = sys.argv[1]
processes = int(sys.argv[2]) if len(sys.argv) > 2 else 6
grid = int(sys.argv[3]) if len(sys.argv) > 3 else 10
frames = int(sys.argv[4]) if len(sys.argv) > 4 else 1
exe = os.path.join(build, "Kelvane.app/Contents/Linux/kelvane")


def minor_faults(pid):
    with open(f"/proc/{pid}/stat") as f:
        return int(f.read().rsplit(")", 1)[1].split()[7])


def side(defaults, turns=20):
    r, w = os.pipe()
    env = dict(os.environ, LIBGL_ALWAYS_SOFTWARE="1")
    env.pop("GLIBC_TUNABLES", None)
    if not defaults:
        env["GLIBC_TUNABLES"] = "glibc.malloc.trim_threshold=268435456:glibc.malloc.mmap_threshold=33554432"
    p = subprocess.Popen(["bash", "-c", f'exec "{exe}" --test --offscreen=640x480 --pair-side 3>&{w}'],
                         stdin=subprocess.PIPE, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                         pass_fds=(w,), env=env)
    os.close(w)
    reports = os.fdopen(r)
    reports.readline()  # ready
    seen = []
    for t in range(turns):
        time.sleep(float(os.environ.get("PAUSE", "0.05")))
        before = minor_faults(p.pid)
        p.stdin.write(f"turn {grid} 1 {frames}\n".encode())
        p.stdin.flush()
        words = reports.readline().split()
        ms = [float(x) for x in words[10:]]
        if t >= 2:  # the first turns build what the grid draws
            seen.append(((minor_faults(p.pid) - before) / (frames + 1), statistics.mean(ms)))
    p.stdin.write(b"end\n")
    p.stdin.flush()
    p.wait()
    return statistics.median(s[0] for s in seen), statistics.median(s[1] for s in seen)


rows = {True: [], False: []}
for i in range(processes):
    for defaults in (True, False):
        faults, ms = side(defaults)
        rows[defaults].append((faults, ms))
        print(f"{'defaults' if defaults else 'kept    '}  {faults:6.0f} faults a frame  {ms:6.1f} ms",
              flush=True)
for defaults in (True, False):
    f = [r[0] for r in rows[defaults]]
    m = [r[1] for r in rows[defaults]]
    print(f"{'defaults' if defaults else 'kept'}: faults a frame, median {statistics.median(f):.0f}; "
          f"frame ms, median {statistics.median(m):.1f}, {min(m):.1f} to {max(m):.1f}")
ratio = statistics.median(r[1] for r in rows[False]) / statistics.median(r[1] for r in rows[True])
print(f"frame time kept/defaults: {ratio:.3f}")
