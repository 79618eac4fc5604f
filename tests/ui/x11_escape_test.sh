#!/usr/bin/env bash
# Starts the real program on a real X server (Xvfb, xcb platform), presses Escape with xdotool
# and checks that the close path wrote Init.dat with its five keys.
# Usage: x11_escape_test.sh PATH/TO/siterambler
set -euo pipefail
exe=$1
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
xpid=""
cleanup() { [ -n "$xpid" ] && kill "$xpid" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
# a copy beside its own Init.dat: the build tree's settings stay untouched
cp "$exe" "$work/siterambler"
printf '[Path]\nURL=http://127.0.0.1:9/start.html\nDownload=%s\n' "$work" > "$work/Init.dat"

for n in $(seq 90 140); do
  [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
  Xvfb ":$n" -screen 0 1280x800x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
  xpid=$!
  sleep 0.5
  if kill -0 "$xpid" 2>/dev/null; then display=":$n"; break; fi
  xpid=""
done
[ -n "$xpid" ] || { echo "SKIP: Xvfb could not start"; cat "$work/xvfb.log"; exit 77; }
export DISPLAY=$display
unset QT_QPA_PLATFORM
QT_QPA_PLATFORM=xcb "$work/siterambler" >"$work/app.log" 2>&1 &
app=$!
wid=""
for _ in $(seq 1 100); do
  wid=$(xdotool search --name '^Site Rambler$' 2>/dev/null | head -1 || true)
  [ -n "$wid" ] && break
  sleep 0.1
done
[ -n "$wid" ] || { echo "FAIL: the main window did not appear"; cat "$work/app.log"; exit 1; }
xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid" || true
sleep 0.3
xdotool key --window "$wid" Escape
for _ in $(seq 1 50); do
  kill -0 "$app" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$app" 2>/dev/null; then
  echo "FAIL: the program did not end on Escape"; kill "$app"; exit 1
fi
wait "$app" || { echo "FAIL: the program ended with an error"; cat "$work/app.log"; exit 1; }
for key in 'URL=http://127.0.0.1:9/start.html' "Download=$work" 'HTMLAutoDelete=' \
           'PictAutoDelete=' 'PictAutoDeleteSize=2'; do
  grep -qxF "$key" "$work/Init.dat" || { echo "FAIL: Init.dat lacks $key"; cat "$work/Init.dat"; exit 1; }
done
echo "PASS: the program ran on X, ended on Escape and saved its settings"
