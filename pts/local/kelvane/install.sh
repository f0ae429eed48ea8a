#!/bin/sh
# Builds only the program, in a build of its own without tests, on every core.

# What the build needs is looked for first, and whatever is missing is named with the package
# that brings it: in the log, and as the message the suite shows. The profile's dependency
# names bring all of it but the JSON and SQLite headers, for which the suite has no name (it
# finds their packages itself where apt-file is installed). tests/install_needs_test.sh keeps
# this table beside what CMakeLists.txt requires.
rm -f ~/install-message
missing=
# lack WHAT DEBIAN-PACKAGE [PKG-CONFIG-MODULE]
lack() {
  hint="install $2 (Debian, Ubuntu)${3:+, pkg-config module $3}"
  echo "$1 not found: $hint"
  missing="$missing${missing:+; }$1: $hint"
}
command -v c++ >/dev/null 2>&1 || lack "a C++ compiler" build-essential
command -v cmake >/dev/null 2>&1 || lack CMake cmake
if command -v pkg-config >/dev/null 2>&1; then
  while read -r module package what; do
    pkg-config --exists "$module" || lack "$what" "$package" "$module"
  done <<'NEEDS'
sdl2 libsdl2-dev SDL 2
freetype2 libfreetype-dev FreeType
fontconfig libfontconfig-dev fontconfig
cairo libcairo2-dev cairo
gl libgl-dev the OpenGL headers
opengl libopengl-dev libOpenGL
glx libglx-dev libGLX
glu libglu1-mesa-dev GLU
nlohmann_json nlohmann-json3-dev the JSON library nlohmann-json
sqlite3 libsqlite3-dev the SQLite headers
NEEDS
else
  lack pkg-config pkg-config
fi
if [ -n "$missing" ]; then
  echo "Kelvane cannot be built here. Missing: $missing" > ~/install-message
  echo 1 > ~/install-exit-status
  exit 1
fi

rm -rf kelvane-src
tar -xzf kelvane-src.tar.gz || { echo 1 > ~/install-exit-status; exit 1; }
cd kelvane-src
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF -DKELVANE_SANITIZE=OFF \
  -DKELVANE_FUZZ=OFF &&
  cmake --build build --target kelvane -j "${NUM_CPU_CORES:-$(nproc)}"
echo $? > ~/install-exit-status
cd ..

# One test of Kelvane's at the suite's resolution (--offscreen=WxH), or at its default
# surface without one: a climb, or with --quick the quick figure alone. The figures are
# read from Kelvane's own JSON result.
cat > kelvane <<'RUN'
#!/bin/sh
[ $# -eq 0 ] && set -- --offscreen
rm -rf results
mkdir results
./kelvane-src/build/Kelvane.app/Contents/Linux/kelvane --test "$@" --results results \
  > "$LOG_FILE" 2>&1
status=$?
php -r '
  $r = json_decode(file_get_contents("results/Kelvane result.json"), true);
  $run = $r["runs"][0];
  if (isset($run["score"])) echo "result score ", $run["score"], "\n";
  $name = ($run["protocol"] ?? "climb") == "quick" ? "quick" : "steady";
  if (isset($run["steady_score"])) echo "result $name ", $run["steady_score"], "\n";
' >> "$LOG_FILE"
echo $status > ~/test-exit-status
RUN
chmod +x kelvane
