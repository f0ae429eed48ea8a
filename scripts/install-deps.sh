#!/usr/bin/env bash
# Installs the Debian packages Kelvane needs: `install-deps.sh run` what building and running
# the program needs (make run), `install-deps.sh test` those and what the tests, the
# benchmarks and the package need (make test). Only missing packages are installed; when
# everything is present it prints nothing.
set -euo pipefail

# The program: its compiler and build tools, the libraries CMakeLists.txt requires, Mesa's
# GL drivers (llvmpipe where there is no GPU) and a font. pts/local/kelvane/install.sh names
# the same libraries to the benchmark suite (tests/install_needs_test.sh keeps them alike).
run=(
  build-essential clang cmake ninja-build pkg-config make
  libgl-dev libopengl-dev libglx-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  nlohmann-json3-dev libcairo2-dev libsqlite3-dev
)
# The tests: GoogleTest and the benchmarks' library, the sanitizers' and fuzzers' runtime,
# the X server, the Wayland compositor and their tools, zink's Vulkan driver, the JSON
# schema's checker, the package's and the manual's tools, and the benchmark suite's PHP.
test=(
  git libgtest-dev libgmock-dev libbenchmark-dev libstb-dev libclang-rt-14-dev
  libx11-dev xvfb xauth xdotool sway grim mesa-vulkan-drivers
  python3-jsonschema librsvg2-bin desktop-file-utils appstream man-db dpkg-dev file
  php-cli php-xml php-sqlite3 curl iproute2
)

case ${1:-test} in
run) packages=("${run[@]}") ;;
test) packages=("${run[@]}" "${test[@]}") ;;
*)
  echo "usage: install-deps.sh [run|test]" >&2
  exit 2
  ;;
esac

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

if [[ $(id -u) -eq 0 ]]; then
  sudo=()
elif command -v sudo >/dev/null 2>&1; then
  sudo=(sudo)
else
  echo "install-deps: missing packages (${missing[*]}) and neither root nor sudo to install them" >&2
  exit 1
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -qq
"${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
