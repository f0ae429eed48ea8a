#!/usr/bin/env bash
# The headless `make run` (offscreen) against the Xvfb path at the same surface size, runs
# interleaved in one session: seconds from the command to the printed result, and the score.
#   perf/paths.sh [BUILD-DIR] [WIDTHxHEIGHT] [RUNS]     (default build 1024x768 3)
set -uo pipefail
build=${1:-build}
size=${2:-1024x768}
runs=${3:-3}
here=$(cd "$(dirname "$0")/.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
score() { grep -o 'final score: [0-9]*' "$1" | grep -o '[0-9]*$'; }
for i in $(seq "$runs"); do
  start=$(date +%s.%N)
  env -u DISPLAY -u WAYLAND_DISPLAY bash "$here/scripts/run.sh" "$build" "--offscreen=$size" \
    --results "$out" >"$out/run.out" 2>&1
  t=$(echo "$(date +%s.%N) - $start" | bc)
  echo "offscreen $size run $i: $t s, score $(score "$out/run.out")"
  start=$(date +%s.%N)
  env -u DISPLAY bash "$here/scripts/benchmark.sh" "$build" "$size" >"$out/xvfb.out" 2>&1
  t=$(echo "$(date +%s.%N) - $start" | bc)
  echo "xvfb      $size run $i: $t s, score $(score "$out/xvfb.out")"
done
