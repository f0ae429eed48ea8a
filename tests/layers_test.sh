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
# Floors count from 0; an include beside its own floor runs up as one above it does; and
# nothing inside may include tests/.
mkdir "$house/side"
echo '#include "low/c.h" // up: a reason' >"$house/side/d.cpp"
out=$(python3 "$tool" "$house")
grep -q '^    0  low/ ' <<<"$out" && grep -q '^    1  high/ ' <<<"$out" &&
  grep -q ', 0 run up without a reason, 2 with one$' <<<"$out" || { echo "wrong floors: $out"; exit 1; }
mkdir "$house/tests" && echo '#include "tests/x.h"' >>"$house/side/d.cpp"
python3 "$tool" "$house" >/dev/null && { echo "an include of tests/ passed"; exit 1; }
python3 "$tool" "$1"
