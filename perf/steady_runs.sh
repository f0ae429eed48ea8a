#!/usr/bin/env bash
# Quiet runs of the whole test, one process each, for the README's figures: N runs at each
# surface given, in turn, every result kept; then perf/steady_runs.py over them.
#   perf/steady_runs.sh OUT-DIR [RUNS] [SURFACE...]   (default 5 runs, 1920x1080 640x480)
# Run it on a machine with nothing else running; the figures move with the machine.
set -uo pipefail
out=$1
runs=${2:-5}
shift 2 2>/dev/null || shift $#
surfaces=("${@:-1920x1080}")
[[ $# -eq 0 ]] && surfaces=(1920x1080 640x480)
here=$(cd "$(dirname "$0")/.." && pwd)
exe="$here/build/Kelvane.app/Contents/Linux/kelvane"
mkdir -p "$out"
for size in "${surfaces[@]}"; do
  for i in $(seq "$runs"); do
    dir="$out/$size-$i"
    mkdir -p "$dir"
    date -u +%FT%TZ >"$dir/when"
    XDG_DATA_HOME="$out/data" "$exe" --test --offscreen="$size" --results "$dir" \
      >"$dir/stdout" 2>"$dir/stderr"
  done
done
python3 "$here/perf/steady_runs.py" "$out"/*/"Kelvane result.json"
