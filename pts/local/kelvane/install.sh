#!/bin/sh
# Builds only the program, in a build of its own without tests, on every core.
rm -rf kelvane-src
tar -xzf kelvane-src.tar.gz || { echo 1 > ~/install-exit-status; exit 1; }
cd kelvane-src
cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DKELVANE_TESTS=OFF -DKELVANE_SANITIZE=OFF \
  -DKELVANE_FUZZ=OFF &&
  cmake --build build --target kelvane -j "${NUM_CPU_CORES:-$(nproc)}"
echo $? > ~/install-exit-status
cd ..

# One test of Kelvane's at the suite's resolution (--offscreen=WxH), or at its default
# surface without one. The figures are read from Kelvane's own JSON result.
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
  if (isset($run["steady_score"])) echo "result steady ", $run["steady_score"], "\n";
' >> "$LOG_FILE"
echo $status > ~/test-exit-status
RUN
chmod +x kelvane
