#!/usr/bin/env bash
# The paired comparison's goals, measured on this machine (run it with nothing else
# running; docs/pair.md quotes its figures):
#   warmup     turns of four frames, whose first frame after the wait perf/pair_warmup.py
#              compares with the next two
#   accuracy   B is A with 2 ms added to every frame (perf/frame_cost.c): RUNS pairs
#   same       A against A: SAME pairs (2 x RUNS unless given)
#   oldway     the same 2 ms as two --quick runs one after the other: RUNS times
#   drivers    llvmpipe against softpipe, against zink, and mesa_glthread on against off
#   glquick    mesa_glthread off and on as --quick runs, RUNS of each, taken in turn (A B A B)
#   turns      the accuracy pairs again with turns of TURNS ms (default "100 300 1000"), RUNS
#              of each length, taken in turn
#   busy       with two busy loops and a build running (a compile of the JSON reader, again
#              and again, unless BUILDING=elsewhere says another build runs beside): A
#              against A (SAME pairs), llvmpipe against softpipe and mesa_glthread off
#              against on (RUNS pairs each)
# then perf/pair_goals.py over every result.
#   perf/pair_goals.sh OUT-DIR [RUNS] [PART...]   (default 10 runs, every part)
set -uo pipefail
out=$1
runs=${2:-10}
shift 2 2>/dev/null || shift $#
parts=("$@")
[[ $# -eq 0 ]] && parts=(warmup accuracy same oldway drivers)
same=${SAME:-$((2 * runs))}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD:-$here/build}
exe="$build/Kelvane.app/Contents/Linux/kelvane"
cost="$build/perf/libframe_cost.so"
size=${SIZE:-640x480}
export XDG_DATA_HOME="$out/data" LIBGL_ALWAYS_SOFTWARE=1
mkdir -p "$out"
[[ -x $exe && -f $cost ]] || { echo "build first: $exe, $cost" >&2; exit 2; }

# pair NAME A B: one pair into OUT/NAME, its output and time kept.
pair() {
  local dir="$out/$1"
  mkdir -p "$dir"
  local start
  start=$(date +%s.%N)
  "$exe" --pair "$2" "$3" --offscreen="$size" --results "$dir" >"$dir/stdout" 2>"$dir/stderr"
  echo "$? $(echo "$(date +%s.%N) - $start" | bc)" >"$dir/status"
  tail -1 "$dir/stdout"
}

# quick NAME [ENV...]: one quick run into OUT/NAME.
quick() {
  local dir="$out/$1"
  shift
  mkdir -p "$dir"
  env "$@" "$exe" --test --quick --offscreen="$size" --results "$dir" >"$dir/stdout" 2>"$dir/stderr"
  grep '^ *steady figure' "$dir/stdout"
}

base="LD_PRELOAD=$cost"
for part in "${parts[@]}"; do
  case $part in
  warmup)
    KELVANE_PAIR_TURN=0,400 pair warmup "$base" "$base"
    python3 "$here/perf/pair_warmup.py" "$out/warmup/Kelvane pair.json" ;;
  accuracy)
    for i in $(seq "$runs"); do
      log="KELVANE_FRAME_COST_LOG=$out/accuracy-$i/cost"
      pair "accuracy-$i" "$base $log.A" "$base $log.B KELVANE_FRAME_COST_US=2000"
    done ;;
  same)
    for i in $(seq "$same"); do pair "same-$i" "$base" "$base"; done ;;
  oldway)
    for i in $(seq "$runs"); do
      quick "oldway-$i-A" LD_PRELOAD="$cost"
      quick "oldway-$i-B" LD_PRELOAD="$cost" KELVANE_FRAME_COST_US=2000
    done ;;
  turns)
    for i in $(seq "$runs"); do
      for ms in ${TURNS:-100 300 1000}; do
        log="KELVANE_FRAME_COST_LOG=$out/turns$ms-$i/cost"
        KELVANE_PAIR_TURN=1,$ms pair "turns$ms-$i" "$base $log.A" "$base $log.B KELVANE_FRAME_COST_US=2000"
      done
    done ;;
  glquick)
    for i in $(seq "$runs"); do
      quick "glquick-$i-A" mesa_glthread=false
      quick "glquick-$i-B" mesa_glthread=true
    done ;;
  busy)
    load=()
    for _ in 1 2; do (while :; do :; done) & load+=($!); done
    if [[ ${BUILDING:-} != elsewhere ]]; then
      (while :; do clang++ -std=c++17 -O2 -I"$here" -c "$here/record/reader.cpp" -o /dev/null; done) &
      load+=($!)
    fi
    (while :; do cat /proc/loadavg; sleep 10; done) >"$out/busy-load" &
    load+=($!)
    for i in $(seq "$same"); do pair "busy-same-$i" "$base" "$base"; done
    for i in $(seq "$runs"); do
      pair "busy-softpipe-$i" GALLIUM_DRIVER=llvmpipe GALLIUM_DRIVER=softpipe
      pair "busy-glthread-$i" mesa_glthread=false mesa_glthread=true
    done
    kill "${load[@]}" 2>/dev/null
    pkill -f -- "-c $here/record/reader.cpp" 2>/dev/null ;;
  drivers)
    pair softpipe GALLIUM_DRIVER=llvmpipe GALLIUM_DRIVER=softpipe
    pair zink GALLIUM_DRIVER=llvmpipe GALLIUM_DRIVER=zink
    pair glthread mesa_glthread=false mesa_glthread=true ;;
  esac
done
python3 "$here/perf/pair_goals.py" "$out"
