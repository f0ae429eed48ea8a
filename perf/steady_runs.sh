#!/usr/bin/env bash
# Quiet runs of the whole test, one process each, for the figures of docs/method.md: N runs at each
# surface given, in turn, every result kept; then perf/steady_runs.py over them. With
# QUICK=1 each climb is followed by a quick run (--quick), and the pairs are compared too.
#   [QUICK=1] perf/steady_runs.sh OUT-DIR [RUNS] [SURFACE...]
#                                       (default 5 runs, 1920x1080 640x480)
# Run it on a machine with nothing else running; the figures move with the machine.
set -uo pipefail
out=$1
runs=${2:-5}
shift 2 2>/dev/null || shift $#
surfaces=("$@")
[[ $# -eq 0 ]] && surfaces=(1920x1080 640x480)
kinds=(climb)
[[ ${QUICK:-0} == 1 ]] && kinds=(climb quick)
here=$(cd "$(dirname "$0")/.." && pwd)
exe="$here/build/Kelvane.app/Contents/Linux/kelvane"
mkdir -p "$out"
for size in "${surfaces[@]}"; do
  for i in $(seq "$runs"); do
    for kind in "${kinds[@]}"; do
      dir="$out/$size-$kind-$i"
      mkdir -p "$dir"
      extra=()
      [[ $kind == quick ]] && extra=(--quick)
      start=$(date +%s.%N)
      XDG_DATA_HOME="$out/data" "$exe" --test "${extra[@]}" --offscreen="$size" \
        --results "$dir" >"$dir/stdout" 2>"$dir/stderr"
      echo "$(date +%s.%N) - $start" | bc >"$dir/seconds"
    done
  done
  for kind in "${kinds[@]}"; do
    echo "# $kind"
    python3 "$here/perf/steady_runs.py" "$out/$size-$kind"-*/"Kelvane result.json"
  done
  [[ ${#kinds[@]} -eq 2 ]] && python3 "$here/perf/steady_runs.py" --pairs "$out/$size" "$runs"
done
