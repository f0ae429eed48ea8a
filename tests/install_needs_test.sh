#!/usr/bin/env bash
# Every package that the program's build requires (find_package or pkg_check_modules with
# REQUIRED in CMakeLists.txt, outside the blocks that the profile's install turns off) has a
# row in the table of pts/local/kelvane/install.sh, so that a missing one is named to the
# suite before CMake stops on it. Usage: install_needs_test.sh SOURCE-DIR
set -uo pipefail
src=$1
install=$src/pts/local/kelvane/install.sh
[[ -r $install && -r $src/CMakeLists.txt ]] || { echo "FAIL: no install.sh or CMakeLists.txt in $src" >&2; exit 1; }

rows=" $(sed -n "/<<'NEEDS'/,/^NEEDS\$/{/NEEDS/d;p}" "$install" | awk '{printf "%s ", tolower($1)}')"
off=" $(grep -o -- '-D[A-Z_]*=OFF' "$install" | sed 's/^-D//; s/=OFF$//' | tr '\n' ' ')"
needs=$(awk -v off="$off" '
  skip && /^[ \t]*if[ \t]*\(/ { skip++; next }
  skip && /^[ \t]*endif[ \t]*\(/ { skip--; next }
  skip { next }
  match($0, /^[ \t]*if[ \t]*\([A-Z_]+\)/) {
    name = $0; sub(/^[ \t]*if[ \t]*\(/, "", name); sub(/\).*/, "", name)
    if (index(off, " " name " ")) skip = 1
    next
  }
  /^[ \t]*(find_package|pkg_check_modules)[ \t]*\(.*[ \t]REQUIRED[ \t)]/ {
    line = $0; sub(/^[ \t]*/, "", line); sub(/\).*/, "", line); gsub(/[(]/, " ", line)
    n = split(line, w, /[ \t]+/)
    print tolower(w[1] == "find_package" ? w[2] : w[n])
  }' "$src/CMakeLists.txt")
[[ -n $needs ]] || { echo "FAIL: no required package found in CMakeLists.txt" >&2; exit 1; }

status=0
for need in $needs; do
  case $need in
  threads) continue ;; # the C library's, which the compiler's row brings
  pkgconfig) grep -q 'lack pkg-config' "$install" && continue ;;
  *) [[ $rows == *" $need "* ]] && continue ;;
  esac
  echo "FAIL: CMakeLists.txt requires $need, which install.sh does not look for" >&2
  status=1
done
exit $status
