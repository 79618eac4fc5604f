#!/usr/bin/env bash
# Drives the windowed program on a real X server (Xvfb) through its slow phases while pinging its
# windows the way a window manager does (_NET_WM_PING every 20 ms), and prints for every phase
# the longest time a ping waited for its answer.
# Usage: window_phases.sh PATH/TO/siterambler [--limit MS] [PHASE...]
# With --limit (default 500) a phase whose worst answer took longer fails the run: the window
# froze. --limit 0 only reports (the benchmark). No phase given: all of them.
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exe=$1; shift
demo=$(dirname "$(realpath "$exe")")/demo  # the demo site beside the program
limit=500
if [ "${1:-}" = "--limit" ]; then limit=$2; shift 2; fi
phases=("$@")
[ ${#phases[@]} -gt 0 ] ||
  phases=(scan slowpics parsehtml rendered bomb stall linklist savefile openfile viewer chooser manual cycle1
          cycle6 small demo sheet)
py=/usr/bin/python3
for tool in Xvfb xdotool "$py"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
"$py" -c 'import Xlib' 2>/dev/null || { echo "SKIP: python3-xlib is not installed"; exit 77; }

work=$(mktemp -d /tmp/srpXXXXXX)
pids=(); app=""; probe=""
cleanup() {
  [ -n "$probe" ] && kill "$probe" 2>/dev/null
  [ -n "$app" ] && kill -9 "$app" 2>/dev/null
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done
  wait 2>/dev/null; rm -rf "$work"
}
trap cleanup EXIT
fail() {
  xdotool getmouselocation >/dev/null 2>&1 || { echo "SKIP: the X server went away ($*)"; exit 77; }
  echo "FAIL: $*"; [ -n "${SR_FAIL_SHOT:-}" ] && import -window root "$SR_FAIL_SHOT"; [ -f "$work/app.log" ] && tail -5 "$work/app.log"; exit 1; }

mkdir -p "$work/bin" "$work/dl"
cp "$exe" "$work/bin/siterambler"
"$py" "$here/phase_server.py" "$work/port" 2>"$work/http.log" &
pids+=($!)

xpid=""
start_x() {  # a display of its own; again if something outside this test ended it
  local n
  for n in $(seq 150 250); do
    { [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; } && continue
    Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
    xpid=$!
    for _ in $(seq 100); do  # up to 10 s on a busy machine before it takes clients
      DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1 && break
      kill -0 "$xpid" 2>/dev/null || break
      sleep 0.1
    done
    if DISPLAY=":$n" xdotool getmouselocation >/dev/null 2>&1; then
      export DISPLAY=":$n"; pids+=("$xpid"); return 0
    fi
    kill "$xpid" 2>/dev/null
  done
  return 1
}
start_x || { echo "SKIP: Xvfb could not start"; exit 77; }
for _ in $(seq 600); do [ -s "$work/port" ] && break; sleep 0.1; done
[ -s "$work/port" ] || fail "the test server did not start"
base="http://127.0.0.1:$(cat "$work/port")"

wait_window() {  # name pattern [tries of 0.1 s] -> window id
  local id="" tries=${2:-300}
  for _ in $(seq 1 "$tries"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}
key() { xdotool windowfocus --sync "$1" >/dev/null 2>&1; sleep 0.2; shift; xdotool key "$@"; }
type_text() { xdotool windowfocus --sync "$1" >/dev/null 2>&1; sleep 0.2; xdotool type --delay 30 "$2"; }
wait_log() {  # regex in the server's log [seconds]
  for _ in $(seq 1 $((${2:-60} * 10))); do grep -q "$1" "$work/http.log" && return 0; sleep 0.1; done
  return 1
}

# The program with its settings, started afresh for a phase.
start_app() {  # start URL [Init.dat lines after [Path], default: keep pages, delete small pictures]
  [ -n "$app" ] && { kill -9 "$app" 2>/dev/null; wait "$app" 2>/dev/null; }
  # Others on this machine have been seen to take the display's socket away: a display that no
  # longer takes new clients is replaced.
  if ! xdotool getmouselocation >/dev/null 2>&1; then
    kill "$xpid" 2>/dev/null
    start_x || { echo "SKIP: Xvfb could not start again"; exit 77; }
  fi
  printf '[Path]\nURL=%s\nDownload=%s\n%b' "$1" "$work/dl" \
    "${2:-[Option]\nHTMLAutoDelete=1\nPictAutoDelete=0\n}" >"$work/bin/Init.dat"
  # Under load the program has now and then failed to reach a display that takes other
  # clients; such a start is tried again.
  for _ in 1 2 3; do
    (cd "$work" && exec env QT_QPA_PLATFORM=xcb "$work/bin/siterambler" >"$work/app.log" 2>&1) &
    app=$!
    main=$(wait_window '^Site Rambler$' 150) && break
    kill -9 "$app" 2>/dev/null; wait "$app" 2>/dev/null; main=""
  done
  [ -n "$main" ] || fail "the main window did not appear"
  "$py" - "$main" <<'PY' || fail "the main window does not advertise _NET_WM_PING"
import sys
from Xlib import display
d = display.Display()
w = d.create_resource_object("window", int(sys.argv[1]))
sys.exit(0 if d.intern_atom("_NET_WM_PING") in (w.get_wm_protocols() or []) else 1)
PY
}
start_crawl() { key "$main" F1; local box; box=$(wait_window '^巡回の開始の確認$') || fail "no confirmation box"; key "$box" Return; }

probe_start() { "$py" "$here/ping_probe.py" "$work/probe.out" "$@" & probe=$!; sleep 0.3; }
worst=0
probe_stop() {  # adds the probe's worst answer to the phase's
  kill "$probe" 2>/dev/null; wait "$probe" 2>/dev/null; probe=""
  local w; w=$(cut -d' ' -f1 "$work/probe.out" 2>/dev/null)
  [ -n "$w" ] || fail "the probe reported nothing"
  [ "$w" -gt "$worst" ] && worst=$w
}

failed=()
report() {  # phase name
  printf '%-10s worst ping answer %5d ms\n' "$1" "$worst"
  [ "$limit" -gt 0 ] && [ "$worst" -gt "$limit" ] && failed+=("$1")
  worst=0
}

source "$here/window_phases_cases.sh"

for phase in "${phases[@]}"; do
  "phase_$phase"
  report "$phase"
done
[ -n "$app" ] && kill -9 "$app" 2>/dev/null
if [ ${#failed[@]} -gt 0 ]; then
  echo "FAIL: the window went unanswered for more than $limit ms in: ${failed[*]}"
  exit 1
fi
echo "PASS"
