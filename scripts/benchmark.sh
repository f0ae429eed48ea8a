#!/usr/bin/env bash
# Runs one whole benchmark: starts the program, issues `test` through its key equivalent
# (Ctrl+T), waits for "test stopped" in the result log, closes the window and prints the
# log. Without a display it brings its own Xvfb (1024 x 768 x 24).
#   scripts/benchmark.sh [BUILD-DIR] [TIME-LIMIT-SECONDS]
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
limit=${2:-600}
exe="$build/Kelvane.app/Contents/Linux/kelvane"
closer="$build/tests/e2e/close_window"
log="$build/Kelvane result.txt"
shot="$build/Kelvane result.tga"
for f in "$exe" "$closer"; do
  [[ -x "$f" ]] || { echo "benchmark: $f is missing; build first (make run)" >&2; exit 1; }
done

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; }
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [[ -s "$fdfile" ]] && break; sleep 0.1; done
  [[ -s "$fdfile" ]] || { echo "benchmark: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  echo "benchmark: headless, on Xvfb $DISPLAY (1024x768x24)"
fi

rm -f "$log" "$shot"
"$exe" &
app=$!
pids+=($app)
wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$app" 2>/dev/null | head -n1 || true)
[[ -n "$wid" ]] || { echo "benchmark: the program's window did not appear" >&2; exit 1; }
xdotool windowfocus --sync "$wid" 2>/dev/null || true
xdotool key --clearmodifiers ctrl+t
echo "benchmark: test started; the grid grows every ~4 s until the frame rate gives way"

deadline=$((SECONDS + limit))
until grep -q '^test stopped$' "$log" 2>/dev/null; do
  if ! kill -0 "$app" 2>/dev/null; then
    echo "benchmark: the program ended before the test did" >&2; exit 1
  fi
  if ((SECONDS > deadline)); then
    echo "benchmark: no \"test stopped\" in $log after ${limit} s; giving up" >&2; exit 1
  fi
  sleep 0.5
done
sleep 1 # the first frame after the test saves the screenshot
"$closer" "$wid"
status=0
wait "$app" || status=$?
echo "benchmark: program ended with status $status"
echo "---- $log"
cat "$log"
echo "----"
if [[ -f "$shot" ]]; then echo "screenshot: $shot"; else echo "no screenshot (the test was aborted)"; fi
