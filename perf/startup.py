#!/usr/bin/env python3
"""Start-up of a --test run: from exec until the test's log exists, which the program
creates right after the test's full-screen scene is built, just before its first frame.
Offscreen against Xvfb (its own, same size). Median of RUNS.
   perf/startup.py [BUILD-DIR] [WIDTHxHEIGHT] [RUNS]"""
import os, signal, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
size = sys.argv[2] if len(sys.argv) > 2 else "1024x768"
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 7
exe = os.path.join(build, "Kelvane.app/Contents/Linux/kelvane")


def once(args, env):
    with tempfile.TemporaryDirectory() as d:
        log = os.path.join(d, "Kelvane result.txt")
        t0 = time.monotonic()
        p = subprocess.Popen([exe, *args, "--results", d], env=env, stderr=subprocess.DEVNULL)
        while not os.path.exists(log):
            if p.poll() is not None or time.monotonic() - t0 > 30:
                raise SystemExit("no log: status %s" % p.returncode)
            time.sleep(0.0005)
        t = time.monotonic() - t0
        p.send_signal(signal.SIGKILL)
        p.wait()
        return t


def median_ms(args, env):
    return statistics.median(once(args, env) for _ in range(runs)) * 1000


base = {k: v for k, v in os.environ.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
print("offscreen %s: exec to the test's first frame, median of %d: %.0f ms"
      % (size, runs, median_ms(["--test", "--offscreen=" + size], base)))
r, w = os.pipe()
xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(w), "-screen", "0", size + "x24",
                         "-nolisten", "tcp"], pass_fds=[w], stderr=subprocess.DEVNULL)
display = os.read(r, 16).decode().strip()
try:
    env = dict(base, DISPLAY=":" + display, SDL_VIDEODRIVER="x11")
    print("Xvfb %s:      exec to the test's first frame, median of %d: %.0f ms"
          % (size, runs, median_ms(["--test"], env)))
finally:
    xvfb.kill()
