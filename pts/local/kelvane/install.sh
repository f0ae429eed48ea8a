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
# The figures to the tenth the steady figure means, and the run's verdicts in the note the
# suite keeps beside the result (pts-footnote, one line). Every run writes its note: the suite
# keeps the last note it was given with the installed test and shows it beside later runs
# that give none.
php -r '
  $r = json_decode(file_get_contents("results/Kelvane result.json"), true);
  $run = $r["runs"][0] ?? null;
  if (isset($run["score"])) echo "result score ", $run["score"], "\n";
  $name = ($run["protocol"] ?? "climb") == "quick" ? "quick" : "steady";
  if (isset($run["steady_score"])) printf("result %s %.1f\n", $name, $run["steady_score"]);
  $said = [];
  $load = $run["interference"]["deciding"] ?? null;
  if (!empty($run["interference"]["disturbed"]))
    $said[] = sprintf("disturbed: others took %.0f%% of the CPU and the hypervisor %.0f%%",
                      100 * (($load["taken"] ?? 0) - ($load["steal"] ?? 0)), 100 * ($load["steal"] ?? 0));
  if (!empty($run["drift"]["drifted"]))
    $said[] = sprintf("drifted: %+.1f%% at grid %d after the stop", 100 * $run["drift"]["change"],
                      $run["drift"]["grid"]);
  if (!$run)
    $note = "Kelvane recorded no run";
  else if ($said)
    $note = "Kelvane " . implode("; ", $said) . ": not this machine\x27s best";
  else
    $note = "Kelvane: neither disturbed nor drifted";
  file_put_contents("pts-footnote", $note);
' >> "$LOG_FILE"
echo $status > ~/test-exit-status
RUN
chmod +x kelvane
