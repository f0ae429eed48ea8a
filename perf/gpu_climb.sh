#!/usr/bin/env bash
# One whole climb at the grids a fast GPU reaches, on the processor: the test preload
# (tests/e2e/sphere_cost.c) skips every sphere's display list and spends SPHERE_NS
# nanoseconds instead, so the frame holds only the work outside the spheres' drawing. At
# the default 700 ns the climb stops near grid 350, after about 25 minutes.
#   perf/gpu_climb.sh [BUILD-DIR] [OUT-DIR]    (SPHERE_NS, SIZE=640x480, PROFILE_AT=300)
# It reports the run's length and peak memory (GNU time), the result's last steps, and,
# once the progress line reaches grid PROFILE_AT, 20 s of samples (perf record) split by
# where the time went: the program's own code (the harness), the GL libraries, the preload.
# Run it on a machine with nothing else running.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$here/build}" && pwd)
out=${2:-$(mktemp -d /tmp/kelvane-gpu-climb-XXXXXX)}
mkdir -p "$out"
exe="$build/Kelvane.app/Contents/Linux/kelvane"
preload="$build/tests/e2e/libsphere_cost.so"
for f in "$exe" "$preload"; do
  [[ -e $f ]] || { echo "missing $f: build the project (with its tests) first" >&2; exit 1; }
done
command -v /usr/bin/time >/dev/null || { echo "needs GNU time (package time)" >&2; exit 1; }
at=${PROFILE_AT:-300}

start=$(date +%s.%N)
KELVANE_SPHERE_SKIP=1 KELVANE_SPHERE_NS=${SPHERE_NS:-700} LD_PRELOAD="$preload" \
  XDG_DATA_HOME="$out/data" /usr/bin/time -v -o "$out/time" \
  "$exe" --test --offscreen="${SIZE:-640x480}" --results "$out" >"$out/stdout" 2>"$out/stderr" &
timer=$!

# The progress line names the grid being climbed; the samples are taken once it is at `at`.
profiled=0
while kill -0 "$timer" 2>/dev/null; do
  sleep 2
  [[ $profiled == 0 ]] || continue
  grid=$(grep -o 'climbing: grid [0-9]*' "$out/stdout" | tail -n 1 | grep -o '[0-9]*$')
  [[ -n $grid && $grid -ge $at ]] || continue
  profiled=1
  pid=$(pgrep -f -n -- "--results $out") || continue
  if command -v perf >/dev/null; then
    perf record -q -F 499 -p "$pid" -o "$out/perf.data" -- sleep 20 >/dev/null 2>&1
    echo "samples taken at grid $grid" >"$out/profiled"
  fi
done
wait "$timer"
status=$?
echo "$(date +%s.%N) - $start" | bc >"$out/seconds"

echo "exit status $status; $(cat "$out/seconds") s"
grep -E 'Maximum resident|Elapsed' "$out/time"
tail -n 4 "$out/stdout" | tr '\r' '\n' | grep -v '^$' | tail -n 4
python3 - "$out/Kelvane result.json" <<'EOF'
import json, sys
run = json.load(open(sys.argv[1]))["runs"][0]
steps = run["steps"]
print(f"score {run['score']}, steady {run['steady_score']}, {len(steps)} steps")
for s in steps[-3:]:
    t = s["frame_times"] or {}
    print(f"  grid {s['grid']}: {s['fps']} fps, median frame {t.get('median_ms')} ms")
EOF
if [[ -f $out/perf.data ]]; then
  cat "$out/profiled"
  # Shares by library: kelvane is the harness (its loops, the accounting, the frame times),
  # libsphere_cost.so the stand-in for the GPU, the rest the GL driver and the C library.
  perf report -i "$out/perf.data" --sort dso --stdio 2>/dev/null | grep -E '^ +[0-9]' | head -n 12
  echo "the program's own functions:"
  perf report -i "$out/perf.data" --sort sym --dsos kelvane --stdio 2>/dev/null |
    grep -E '^ +[0-9]' | head -n 8
fi
echo "all in $out"
