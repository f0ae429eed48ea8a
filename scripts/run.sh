#!/usr/bin/env bash
# `make run`: the program in its window, or a whole headless benchmark without a display.
set -euo pipefail
build=${1:-build}
exe="$build/Kelvane.app/Contents/Linux/kelvane"
if [[ ! -x "$exe" ]]; then
  echo "Built the benchmark core, image files and their tests; the program itself is not there yet ($exe)."
  exit 0
fi
exec "$exe"
