#!/usr/bin/env bash
# `make run`: with a display the program in its window; without one, a whole benchmark
# through the program's own command line (--test --offscreen): no window system at all, on
# the machine's GPU where EGL offers one.
#   scripts/run.sh [BUILD-DIR] [KELVANE-OPTION]...   e.g. --offscreen=1280x720 --device 1
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
shift || true
exe="$build/Kelvane.app/Contents/Linux/kelvane"
[[ -x "$exe" ]] || { echo "run: $exe is missing; build first (make run)" >&2; exit 1; }
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  # The program in its window ends with status 1; only another status means trouble.
  status=0
  "$exe" "$@" || status=$?
  [[ $status -eq 1 ]] && exit 0
  exit "$status"
fi

# Without --offscreen=WxH the test takes over a 1920x1080 surface.
has_offscreen=0
for a in "$@"; do [[ $a == --offscreen* ]] && has_offscreen=1; done
args=(--test)
((has_offscreen)) || args+=(--offscreen)
echo "run: no display; one test offscreen (make run RUN_ARGS=--quick for a figure in a minute)"
status=0
"$exe" "${args[@]}" "$@" || status=$?
# The program's own last lines say the figure, its verdicts and where its files are.
case $status in
0) ;;
3) echo "run: the test was aborted (status 3)" >&2 ;;
4) echo "run: the scene could not be built, nothing was drawn (status 4)" >&2 ;;
*) echo "run: the program ended with status $status" >&2 ;;
esac
exit "$status"
