#!/usr/bin/env bash
# One whole benchmark through an X server: the program's --test on the display in DISPLAY,
# or, without one, on its own Xvfb of the given size. This is the path an X11 desktop takes
# (GLX, a window system's swaps); `make run` without a display renders offscreen instead,
# and this script is what that is compared against.
#   scripts/benchmark.sh [BUILD-DIR] [WIDTHxHEIGHT]    (default 1024x768)
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
size=${2:-1024x768}
exe="$build/Kelvane.app/Contents/Linux/kelvane"
[[ -x "$exe" ]] || { echo "benchmark: $exe is missing; build first (make run)" >&2; exit 1; }

xvfb=""
cleanup() { [[ -n "$xvfb" ]] && kill "$xvfb" 2>/dev/null || true; }
trap cleanup EXIT

if [[ -z "${DISPLAY:-}" ]]; then
  fdfile=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$fdfile" 2>/dev/null &
  xvfb=$!
  for _ in $(seq 100); do [[ -s "$fdfile" ]] && break; sleep 0.1; done
  [[ -s "$fdfile" ]] || { echo "benchmark: Xvfb did not start" >&2; exit 1; }
  export DISPLAY=":$(head -n1 "$fdfile")"
  rm -f "$fdfile"
  echo "benchmark: on Xvfb $DISPLAY (${size}x24)"
fi

status=0
SDL_VIDEODRIVER=x11 "$exe" --test || status=$?
echo "benchmark: program ended with status $status"
echo "---- $build/Kelvane result.txt"
cat "$build/Kelvane result.txt" 2>/dev/null || true
echo "----"
[[ $status -eq 0 ]] || exit "$status"
echo "screenshot: $build/Kelvane result.tga"
echo "result (JSON): $build/Kelvane result.json"
