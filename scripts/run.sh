#!/usr/bin/env bash
# `make run`: with a display the program in its window; without one, a whole benchmark
# headless.
set -euo pipefail
build=${1:-build}
exe="$build/Kelvane.app/Contents/Linux/kelvane"
if [[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]]; then
  exec "$exe"
fi
exec bash "$(dirname "$0")/benchmark.sh" "$build"
