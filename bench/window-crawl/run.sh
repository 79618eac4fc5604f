#!/usr/bin/env bash
# The window against the headless command on one fast site: a loopback nginx serving a tree of
# small pages and pictures, crawled with the designed settings and 6 connections, turns
# alternating. The window's time runs from the answer to the start box to the closing box; the
# headless time is the whole command. Prints each turn, the medians and their ratio, and the
# worst ping answer of the window (_NET_WM_PING every 20 ms) during its crawls. The processor
# time of each (all threads, user and system) is given beside the wall time: on a machine that
# is not quiet it tells the window's own cost better than the wall time does.
#
# Usage: bench/window-crawl/run.sh [BUILD_FOLDER]   (or `ninja window-crawl` in the build folder)
# Environment: WC_TURNS (default 3), WC_PAGES (default 1500), WC_PICTURES (default 1500)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
build=$(realpath "${1:-$here/../../build}")
turns=${WC_TURNS:-3}
bash "$here/../../scripts/deps.sh" nginx curl bc >/dev/null
# shellcheck source=../nginx.sh
source "$here/../nginx.sh"

work=$(mktemp -d)
NGINX_PID=""; xpid=""; app=""; probe=""
cleanup() {
  for p in "$probe" "$app" "$NGINX_PID" "$xpid"; do [ -n "$p" ] && kill "$p" 2>/dev/null; done
  wait 2>/dev/null; rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/../crawl-race/gensite.py" "$work/site" "${WC_PAGES:-1500}" "${WC_PICTURES:-1500}"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
start_nginx "$work/site" "$port" "$work"
start="http://127.0.0.1:$port/d0/p0.html"

for n in $(seq 150 250); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & xpid=$!
  export DISPLAY=":$n"; break
done
for _ in $(seq 100); do xdotool getmouselocation >/dev/null 2>&1 && break; sleep 0.1; done

mkdir -p "$work/bin"
cp "$build/siterambler" "$work/bin/"
settings() {
  printf '[Path]\nURL=%s\nDownload=%s\n[Option]\nHTMLAutoDelete=0\nPictAutoDelete=0\n' "$start" "$1"
  printf 'PictAutoDeleteSize=2\n[Crawl]\nConnections=6\n'
}
now_ms() { echo $(($(date +%s%N) / 1000000)); }
find_window() {  # name pattern -> id, heard from the X server's map events
  /usr/bin/python3 "$here/map_wait.py" "$1" 600 | tail -1 | cut -d' ' -f1
}

cpu_ms() { awk '{print ($14 + $15) * 10}' "/proc/$1/stat"; }  # clock ticks of 10 ms
headless_turn() {
  local dl="$work/h$1"; mkdir "$dl"
  local t0; t0=$(now_ms)
  /usr/bin/time -f '%U %S' -o "$work/cpu" "$build/siterambler-crawl" -q --connections 6 \
    --delete-pages --min-image-kb 2 "$start" "$dl"
  echo "$(($(now_ms) - t0)) $(awk '{printf "%d", ($1 + $2) * 1000}' "$work/cpu")"
}
window_turn() {
  local dl="$work/w$1"; mkdir "$dl"
  settings "$dl" >"$work/bin/Init.dat"
  (cd "$work" && exec env QT_QPA_PLATFORM=xcb "$work/bin/siterambler" >/dev/null 2>&1) & app=$!
  local main box t0
  main=$(find_window '^Site Rambler$')
  /usr/bin/python3 "$here/../../tests/responsive/ping_probe.py" "$work/probe.out" "$main" & probe=$!
  sleep 0.3
  xdotool windowfocus --sync "$main" || true; sleep 0.2; xdotool key F1
  box=$(find_window '^巡回の開始の確認$')
  xdotool windowfocus --sync "$box" || true; sleep 0.2
  # the listener for the closing box is ready before the crawl starts, so that it costs nothing
  /usr/bin/python3 "$here/map_wait.py" '^巡回の完了$' 600 >"$work/done" & local waiter=$!
  until grep -q listening "$work/done" 2>/dev/null; do sleep 0.05; done
  local c0; c0=$(cpu_ms "$app")
  t0=$(now_ms); xdotool key Return
  wait "$waiter"
  local took=$(($(tail -1 "$work/done" | cut -d' ' -f2) - t0)) cpu=$(($(cpu_ms "$app") - c0))
  kill "$probe"; wait "$probe" 2>/dev/null || true; probe=""  # its last report is written
  cut -d' ' -f1 "$work/probe.out" >>"$work/pings"
  echo "$took $cpu $(cut -d' ' -f1 "$work/probe.out")"
  kill -9 "$app"; wait "$app" 2>/dev/null || true; app=""
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
: >"$work/headless"; : >"$work/window"; : >"$work/pings"
for t in $(seq "$turns"); do
  headless_turn "$t" >"$work/turn"; read -r h hc <"$work/turn"
  window_turn "$t" >"$work/turn"; read -r w wc wp <"$work/turn"
  files=$(find "$work/w$t" -type f | wc -l); hfiles=$(find "$work/h$t" -type f | wc -l)
  echo "turn $t: headless $h ms, $hc ms CPU ($hfiles files); window $w ms, $wc ms CPU ($files files), worst ping $wp ms"
  echo "$h $hc" >>"$work/headless"; echo "$w $wc" >>"$work/window"
done
col() { cut -d' ' -f"$1" "$2" | median; }
h=$(col 1 "$work/headless"); w=$(col 1 "$work/window")
hc=$(col 2 "$work/headless"); wc=$(col 2 "$work/window"); p=$(sort -n "$work/pings" | tail -1)
echo "median wall: headless $h ms, window $w ms, window/headless $(echo "scale=2; $w / $h" | bc)"
echo "median CPU:  headless $hc ms, window $wc ms, window/headless $(echo "scale=2; $wc / $hc" | bc)"
echo "worst ping answer during the window's crawls: $p ms"
