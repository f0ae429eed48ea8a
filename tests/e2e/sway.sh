# A real Wayland compositor for end-to-end tests: sway's headless backend, run as an
# unprivileged user (sway refuses root) with a runtime folder of its own. Sourced by
# e2e.sh; start_sway WIDTHxHEIGHT [SCALE] exports WAYLAND_DISPLAY, XDG_RUNTIME_DIR and SWAYSOCK
# for the program under test and adds sway to the pids that the caller's cleanup kills.

sway_user=${KELVANE_SWAY_USER:-nobody}

# The command prefix that runs a command as the compositor's user. setpriv runs it in its
# own place, so a pid taken with $! is the command's own and killing it ends it.
sway_user_prefix() {
  sway_prefix=()
  [[ $(id -u) -eq 0 ]] &&
    sway_prefix=(setpriv --reuid="$sway_user" --regid="$(id -g "$sway_user")" --clear-groups)
}

# Runs a command as the compositor's user, with its environment.
as_sway_user() {
  sway_user_prefix
  local -a vars=(XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR")
  [[ -n "${SWAYSOCK:-}" ]] && vars+=(SWAYSOCK="$SWAYSOCK")
  "${sway_prefix[@]}" env -i PATH="$PATH" HOME=/ "${vars[@]}" "$@"
}

start_sway() {
  local mode=$1 scale=${2:-1}
  command -v sway >/dev/null || fail "sway is not installed (scripts/install-deps.sh)"
  export XDG_RUNTIME_DIR
  XDG_RUNTIME_DIR=$(mktemp -d /tmp/kelvane-sway-XXXXXX)
  chmod 700 "$XDG_RUNTIME_DIR"
  [[ $(id -u) -eq 0 ]] && chown "$sway_user" "$XDG_RUNTIME_DIR"
  printf 'output HEADLESS-1 mode %s scale %s\n' "$mode" "$scale" >"$XDG_RUNTIME_DIR/config"
  unset WAYLAND_DISPLAY SWAYSOCK DISPLAY
  sway_user_prefix
  # A simple command, so that $! is sway itself.
  "${sway_prefix[@]}" env -i PATH="$PATH" HOME=/ XDG_RUNTIME_DIR="$XDG_RUNTIME_DIR" \
    WLR_BACKENDS=headless WLR_RENDERER=pixman WLR_LIBINPUT_NO_DEVICES=1 \
    sway -c "$XDG_RUNTIME_DIR/config" >"$work/sway.log" 2>&1 &
  pids+=($!)
  sway_runtime_dirs+=("$XDG_RUNTIME_DIR")
  local sock=""
  for _ in $(seq 100); do
    sock=$(ls "$XDG_RUNTIME_DIR"/sway-ipc.*.sock 2>/dev/null | head -n1)
    [[ -n "$sock" && -S "$XDG_RUNTIME_DIR/wayland-1" ]] && break
    sleep 0.1
  done
  [[ -n "$sock" ]] || fail "sway did not start: $(tail -n3 "$work/sway.log")"
  export SWAYSOCK=$sock WAYLAND_DISPLAY=wayland-1
}

swaymsg_() { as_sway_user swaymsg "$@" >/dev/null; }
