#!/usr/bin/env bash
# End-to-end tests of the real program: its own Xvfb, Mesa's softpipe renderer, input
# through xdotool. Usage: e2e.sh CASE BUILD-DIR
set -uo pipefail
case_name=$1
build=$(cd "$2" && pwd)
closer="$build/tests/e2e/close_window"
work=$(mktemp -d /tmp/kelvane-e2e-XXXXXX)
bundle="$work/Kelvane.app"
log="$work/Kelvane result.txt"
shot="$work/Kelvane result.tga"
exe="$bundle/Contents/Linux/kelvane"
pids=()
sway_runtime_dirs=()

fail() { echo "FAIL ($case_name): $*" >&2; [[ -f "$log" ]] && sed 's/^/  log| /' "$log" >&2; exit 1; }
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null
  rm -rf "$work" "${sway_runtime_dirs[@]}"
}
trap cleanup EXIT

source "$(dirname "$0")/sway.sh"

# A private copy of the bundle, so that each case has its own log and may remove files.
cp -r "$build/Kelvane.app" "$bundle" || fail "no bundle in $build"

start_x() {
  local fdfile="$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fdfile" 2>/dev/null &
  pids+=($!)
  for _ in $(seq 100); do [[ -s "$fdfile" ]] && break; sleep 0.1; done
  [[ -s "$fdfile" ]] || fail "Xvfb did not start"
  export DISPLAY=":$(head -n1 "$fdfile")"
}

start_app() {
  GALLIUM_DRIVER=softpipe LIBGL_ALWAYS_SOFTWARE=1 "$exe" 2>"$work/stderr" &
  app=$!
  pids+=($app)
  wid=$(timeout 30 xdotool search --sync --onlyvisible --pid "$app" 2>/dev/null | head -n1)
  [[ -n "$wid" ]] || fail "the window did not appear"
  expect_focus "after start-up"
}

# The main window holds the keyboard focus, with no window manager to give it and no
# click: $1 says when.
expect_focus() {
  local focus=""
  for _ in $(seq 50); do
    focus=$(xdotool getwindowfocus 2>/dev/null)
    [[ "$focus" == "$wid" ]] && return 0
    sleep 0.1
  done
  fail "$1 the focus is on '$focus', not on the main window $wid"
}

# Waits for the program to end and checks its exit status.
expect_exit() {
  timeout 30 tail --pid="$app" -f /dev/null || fail "the program did not end"
  local status=0
  wait "$app"
  status=$?
  [[ $status -eq $1 ]] || fail "exit status $status, expected $1"
}

key() { xdotool key --clearmodifiers "$@"; }

# Waits up to $2 seconds for a line matching the pattern $1 in the log.
wait_log() {
  local deadline=$((SECONDS + $2))
  until grep -q -- "$1" "$log" 2>/dev/null; do
    ((SECONDS < deadline)) || fail "no line matching '$1' after $2 s"
    kill -0 "$app" 2>/dev/null || fail "the program ended early"
    sleep 0.2
  done
}

# Closes the window as a window manager would and checks the exit status.
close_and_expect_status_1() {
  "$closer" "$wid" || fail "could not send the close request"
  local status=0
  timeout 30 tail --pid="$app" -f /dev/null || fail "the program did not end after the close"
  wait "$app"
  status=$?
  [[ $status -eq 1 ]] || fail "exit status $status, expected 1"
}

# The log must consist of the header, FPS lines of growing grids, the score and the end.
check_full_log() {
  local -a lines
  mapfile -t lines <"$log"
  local i=0
  expect() { [[ "${lines[$i]:-}" =~ $1 ]] || fail "line $((i + 1)) '${lines[$i]:-}' is not /$1/"; i=$((i + 1)); }
  expect '^Kelvane started\.\.\.$'
  expect "^ workdfolder: $work/\$"
  expect "^ resources: $bundle/Contents/Resources/\$"
  expect '^hardware detected:$'
  if [[ $(uname -m) == x86_64 ]]; then
    expect '^ cpu family: 0x[1-9a-f][0-9a-f]*$'
    expect '^ cpu type: 0x(0|[1-9a-f][0-9a-f]*)$'
  fi
  expect '^ opengl vendor: .+$'
  expect '^ opengl renderer: .*softpipe.*$'
  expect '^ opengl version: [0-9].+$'
  expect '^test parms:$'
  expect '^ surface 1024x768 24bpp$'
  expect '^ textures: on $'
  expect '^ lighting: on $'
  expect '^ keep in sync: off$'
  expect '^test started$'
  local n=0
  while [[ "${lines[$i]:-}" =~ ^\ FPS\ [0-9]+\.[0-9]\ ([0-9]+)\ triangles$ ]]; do
    [[ ${BASH_REMATCH[1]} -eq $((n * n * 1152)) ]] || fail "line $((i + 1)): expected $((n * n * 1152)) triangles"
    n=$((n + 1))
    i=$((i + 1))
  done
  ((n > 0)) || fail "no FPS line"
  [[ "${lines[$((i - 1))]}" =~ ^\ FPS\ ([0-9]+)\.[0-9] ]] && ((BASH_REMATCH[1] < 10)) ||
    fail "the last measured window did not count fewer than 10 frames"
  expect "^ final score: $((n * n * 1152 / 1000))\$"
  expect '^test stopped$'
  ((i == ${#lines[@]})) || fail "unexpected lines after 'test stopped'"
}

check_screenshot() {
  [[ -f "$shot" ]] || fail "no screenshot"
  local size
  size=$(stat -c %s "$shot")
  # The score view in the window: its drawable size.
  read -r w h < <(xdotool getwindowgeometry "$wid" | awk '/Geometry/ { split($2, a, "x"); print a[1], a[2] }')
  [[ $size -eq $((18 + w * h * 3)) ]] || fail "screenshot of $size bytes for a ${w}x${h} window"
  local header expected
  header=$(head -c 18 "$shot" | od -An -tx1 -v | tr -d ' \n')
  expected=$(printf '000002000000000000000000%02x%02x%02x%02x1800' $((w & 255)) $((w >> 8)) $((h & 255)) $((h >> 8)))
  [[ $header == "$expected" ]] || fail "header $header, expected $expected"
  local colours
  colours=$(tail -c +19 "$shot" | od -An -tx1 -v -w3 | sort -u | head -n 5 | wc -l)
  ((colours > 1)) || fail "the screenshot is one flat colour"
}

case "$case_name" in
wayland_* | no_display) ;;
*) start_x ;;
esac

case "$case_name" in
no_display)
  # A display that names no server and no Wayland socket: a clear message, status 1 at once.
  export DISPLAY=:99999 XDG_RUNTIME_DIR=$work
  unset WAYLAND_DISPLAY SDL_VIDEODRIVER
  "$exe" 2>"$work/stderr" &
  app=$!
  pids+=($app)
  timeout 10 tail --pid="$app" -f /dev/null || fail "the program kept running without a display"
  status=0
  wait "$app" || status=$?
  [[ $status -eq 1 ]] || fail "exit status $status, expected 1"
  grep -q 'no display' "$work/stderr" || fail "standard error does not say so: $(cat "$work/stderr")"
  grep -qi 'x11' "$work/stderr" || fail "standard error does not give SDL's reason: $(cat "$work/stderr")"
  grep -q 'main\.ui' "$work/stderr" && fail "standard error blames main.ui: $(cat "$work/stderr")"
  ;;
wayland_display_change)
  # During a test the output changes its mode: the full screen is rebuilt at the new size
  # and the test goes on.
  start_sway 1024x768
  probe="$build/tests/e2e/display_probe"
  GALLIUM_DRIVER=llvmpipe SDL_VIDEODRIVER=wayland "$probe" "$bundle" 8 >"$work/probe" 2>"$work/stderr" &
  app=$!
  pids+=($app)
  deadline=$((SECONDS + 20))
  until grep -q 'fullscreen 1 running 1 resolution 1024x768 drawable 1024x768' "$work/probe"; do
    ((SECONDS < deadline)) || fail "no full screen at 1024x768: $(cat "$work/probe" "$work/stderr")"
    kill -0 "$app" 2>/dev/null || fail "the probe ended early: $(cat "$work/stderr")"
    sleep 0.2
  done
  before=$(grep -c . "$work/probe")
  swaymsg_ output HEADLESS-1 mode 800x600
  wait "$app" || fail "the probe failed: $(cat "$work/stderr")"
  tail -n +"$before" "$work/probe" | grep -q '^notified 1 fullscreen 1 running 1 resolution 800x600 drawable 800x600$' ||
    fail "no rebuild at 800x600 after the mode change: $(cat "$work/probe")"
  [[ $(tail -n1 "$work/probe") == 'notified 1 fullscreen 1 running 1 resolution 800x600 drawable 800x600' ]] ||
    fail "the test did not go on at 800x600 with one notification: $(cat "$work/probe")"
  grep -q '^test stopped$' "$log" && fail "the display change stopped the test"
  ;;
full_test)
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  wait_log '^test stopped$' 150
  for _ in $(seq 50); do [[ -f "$shot" ]] && break; sleep 0.2; done
  check_full_log
  check_screenshot
  expect_focus "after the test"
  close_and_expect_status_1
  ;;
quit_key)
  start_app
  key ctrl+q
  expect_exit 1
  ;;
quit_key_during_test)
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 1
  key ctrl+q
  expect_exit 1
  ;;
test_again_after_abort)
  # Keys reach the program after a test without anyone clicking the window.
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 1
  key Escape
  wait_log '^test stopped$' 20
  expect_focus "after an aborted test"
  key ctrl+t
  wait_log '^test started$' 20
  key Escape
  wait_log '^test stopped$' 20
  close_and_expect_status_1
  ;;
escape_aborts)
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 1.5
  key Escape
  wait_log '^test stopped$' 20
  sleep 2
  grep -q 'final score' "$log" && fail "an aborted test has a score"
  [[ $(tail -n1 "$log") == "test stopped" ]] || fail "the log does not end with 'test stopped'"
  [[ -f "$shot" ]] && fail "an aborted test wrote a screenshot"
  close_and_expect_status_1
  ;;
click_aborts)
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 1.5
  xdotool mousemove 512 384 click 1 # on the full-screen surface
  wait_log '^test stopped$' 20
  grep -q 'final score' "$log" && fail "an aborted test has a score"
  close_and_expect_status_1
  ;;
up_arrow_grows)
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 0.5
  key Up Up Up
  wait_log '^ FPS ' 30
  first=$(grep -m1 '^ FPS ' "$log")
  [[ $first =~ \ ([0-9]+)\ triangles$ ]] || fail "odd FPS line '$first'"
  [[ ${BASH_REMATCH[1]} -eq 10368 ]] || fail "first measured grid has ${BASH_REMATCH[1]} triangles, expected 3x3 = 10368"
  key Escape
  wait_log '^test stopped$' 20
  close_and_expect_status_1
  ;;
close_window)
  start_app
  sleep 1
  close_and_expect_status_1
  ;;
missing_texture)
  rm "$bundle/Contents/Resources/default.tga"
  start_app
  key ctrl+t
  wait_log '^test started$' 20
  sleep 6 # a drawing scene would have logged its first grid by now
  grep -q '^ FPS ' "$log" && fail "frames were counted without a texture"
  kill -0 "$app" || fail "the program ended without its texture"
  key Escape
  wait_log '^test stopped$' 20
  close_and_expect_status_1
  ;;
missing_interface)
  rm "$bundle/Contents/Resources/main.ui"
  GALLIUM_DRIVER=softpipe "$exe" 2>"$work/stderr" &
  app=$!
  status=0
  timeout 20 tail --pid="$app" -f /dev/null || fail "the program kept running without its interface"
  wait "$app"
  status=$?
  [[ $status -eq 1 ]] || fail "exit status $status, expected 1"
  grep -q 'main\.ui' "$work/stderr" || fail "standard error does not name main.ui: $(cat "$work/stderr")"
  ;;
*)
  fail "unknown case"
  ;;
esac
echo "PASS ($case_name)"
