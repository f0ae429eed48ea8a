#!/bin/bash
# The house stands: tools/layers.py on a small house of its own (an include up fails it until
# it gives its reason), then on the project's.
set -u
tool=$(dirname "$0")/../tools/layers.py
house=$(mktemp -d)
trap 'rm -rf "$house"' EXIT
mkdir "$house/low" "$house/high"
printf '#include "low/a.h"\n#include "low/c.h"\n' >"$house/high/b.cpp"
echo '#include "high/b.h"' >"$house/low/a.cpp"
out=$(python3 "$tool" "$house") && { echo "an include up passed: $out"; exit 1; }
grep -q '^  low/a.cpp:1 ' <<<"$out" || { echo "the include up is not named: $out"; exit 1; }
echo '#include "high/b.h" // up: a reason' >"$house/low/a.cpp"
python3 "$tool" "$house" >/dev/null || { echo "an include up with its reason failed"; exit 1; }
python3 "$tool" "$1"
