#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kelvane need.
# Only missing packages are installed; when everything is present it prints nothing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config make git
  libgl-dev libglu1-mesa-dev libgl1-mesa-dri libglx-mesa0 mesa-vulkan-drivers
  libsdl2-dev libfreetype-dev libfontconfig-dev fonts-dejavu-core
  libgtest-dev libgmock-dev libbenchmark-dev libstb-dev
  clang libclang-rt-14-dev
  libx11-dev xvfb xauth xdotool
  sway grim
  nlohmann-json3-dev libcairo2-dev libsqlite3-dev python3-jsonschema librsvg2-bin
  desktop-file-utils appstream man-db help2man dpkg-dev file php-cli php-xml php-sqlite3 curl
  iproute2
)

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
