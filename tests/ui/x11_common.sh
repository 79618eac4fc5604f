# Shared by the X11 tests of the main window; sourced after `work` and `pids` are set.
# Starts an Xvfb display of its own (exit 77 when none can start) and offers:
#   wait_window PATTERN   the id of a visible window whose name matches, or failure
#   key WINDOW KEY        focuses the window, then types the key through XTEST
start_xvfb() {
  local n xpid
  for n in $(seq 90 140); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xpid=$!
    sleep 0.5
    if kill -0 "$xpid" 2>/dev/null; then pids+=("$xpid"); export DISPLAY=":$n"; return 0; fi
  done
  echo "SKIP: Xvfb could not start"
  exit 77
}
wait_window() {
  local id=""
  for _ in $(seq 1 150); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
# There is no window manager: focus the window, then type as a keyboard would.
key() { xdotool windowfocus --sync "$1" >/dev/null 2>&1 || true; sleep 0.2; xdotool key "$2"; }
