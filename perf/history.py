#!/usr/bin/env python3
"""The history at 10,000 runs: `kelvane --history` printing them all, and what recording one
more run costs (its import: open, one transaction, close), each as a whole process against
`kelvane --version`, the cost of starting the program at all. Median of RUNS.
   perf/history.py [BUILD-DIR] [RESULT.json] [RUNS]"""
import json, os, sqlite3, statistics, subprocess, sys, tempfile, time

build = sys.argv[1] if len(sys.argv) > 1 else "build"
here = os.path.dirname(os.path.abspath(__file__))
result = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "history_run.json")
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 9
exe = os.path.join(build, "Kelvane.app/Contents/Linux/kelvane")
total = 10000


def timed(args, env):
    t0 = time.monotonic()
    subprocess.run([exe, *args], env=env, stdout=subprocess.DEVNULL, check=True)
    return time.monotonic() - t0


def median_ms(args, env, before=None):
    times = []
    for _ in range(runs):
        if before:
            before()
        times.append(timed(args, env))
    return statistics.median(times) * 1000


with tempfile.TemporaryDirectory() as d:
    env = dict(os.environ, XDG_DATA_HOME=d)
    subprocess.run([exe, "--history", "--import", result], env=env, stdout=subprocess.DEVNULL,
                   check=True)
    db = os.path.join(d, "kelvane", "history.sqlite")
    c = sqlite3.connect(db)
    # The one real run, again and again, a minute apart: each its own digest.
    c.execute("""insert into runs (started, version, renderer, vendor, gl_version, kernel, cpu,
        driver, width, height, protocol, end_state, score, steady, steady_uncertainty, disturbed,
        validation, digest, document)
        select strftime('%Y-%m-%dT%H:%M:%SZ', '2020-01-01', '+' || n || ' minutes'), version,
        renderer, vendor, gl_version, kernel, cpu, driver, width, height, protocol, end_state,
        score + n % 50, steady, steady_uncertainty, disturbed, validation, digest || '-' || n,
        document from runs, (with recursive k(n) as (select 1 union all select n + 1 from k
        where n < ?) select n from k)""", (total - 1,))
    c.commit()
    c.close()
    listed = subprocess.run([exe, "--history"], env=env, capture_output=True, check=True)
    assert listed.stdout.count(b"\n") == total, listed.stdout[-200:]

    doc = json.load(open(result))
    fresh = os.path.join(d, "fresh.json")
    stamp = [0]

    def new_run():  # a run the history has not seen, as a test's end would bring
        stamp[0] += 1
        doc["runs"][0]["started"] = "2030-01-01T00:00:%02dZ" % stamp[0]
        json.dump(doc, open(fresh, "w"))

    start = median_ms(["--version"], env)
    listing = median_ms(["--history"], env)
    record = median_ms(["--history", "--import", fresh], env, new_run)
    print("start (--version):                  %6.1f ms" % start)
    print("--history, %d runs:              %6.1f ms (%.1fx the start)" % (total, listing, listing / start))
    print("recording one run into %d runs:  %6.1f ms (%.1fx the start)" % (total, record, record / start))
