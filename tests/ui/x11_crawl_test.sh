#!/usr/bin/env bash
# End to end on a real X server (Xvfb, xcb): the windowed program crawls a site on 127.0.0.1.
# F1, Enter (Yes), wait for the completion box, Enter, F3 (viewer), screenshot, Escape twice;
# then the run folder must hold exactly the expected files.
# Usage: x11_crawl_test.sh PATH/TO/siterambler SOURCE_DIR [SCREENSHOT.png]
set -euo pipefail
exe=$1; src=$2; shot=${3:-}
for tool in Xvfb xdotool python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

# the site: two pages, three pictures
mkdir -p "$work/site/sub" "$work/dl"
cp "$src/resources/demo/gallery/photos/sunset.jpg" "$work/site/a.jpg"
cp "$src/resources/demo/gallery/night/moon.png" "$work/site/b.png"
cp "$src/resources/demo/gallery/night/lantern.gif" "$work/site/sub/c.gif"
printf '<html><body>\n<img src="a.jpg"> <img src="b.png">\n<a href="sub/next.html">next</a>\n</body></html>\n' > "$work/site/index.html"
printf '<html><body><img src="c.gif"></body></html>\n' > "$work/site/sub/next.html"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 -m http.server "$port" --bind 127.0.0.1 --directory "$work/site" >"$work/http.log" 2>&1 &
pids+=($!)

cp "$exe" "$work/siterambler"
printf '[Path]\nURL=http://127.0.0.1:%s/index.html\nDownload=%s\n[Option]\nHTMLAutoDelete=1\nPictAutoDelete=1\nPictAutoDeleteSize=2\n' \
  "$port" "$work/dl" > "$work/Init.dat"

. "$(dirname "$0")/x11_common.sh"
start_xvfb
for _ in $(seq 50); do python3 -c "import urllib.request as u; u.urlopen('http://127.0.0.1:$port/index.html')" 2>/dev/null && break; sleep 0.1; done

QT_QPA_PLATFORM=xcb "$work/siterambler" >"$work/app.log" 2>&1 &
app=$!; pids+=("$app")
fail() { echo "FAIL: $*"; cat "$work/app.log"; exit 1; }

main=$(wait_window '^Site Rambler$') || fail "the main window did not appear"
key "$main" F1
# Enter takes the confirmation's default button, Yes
box=$(wait_window '^巡回の開始の確認$') || fail "no confirmation box"
key "$box" Return
box=$(wait_window '^巡回の完了$') || fail "no completion box"
key "$box" Return
sleep 0.5
key "$main" F3
viewer=$(wait_window 'Site Rambler - ') || { [ -n "$shot" ] && import -window root "$shot"; xdotool search --name . getwindowname %@ 2>/dev/null; fail "the viewer did not appear"; }
sleep 1
if [ -n "$shot" ] && command -v import >/dev/null; then
  import -window root "$shot" 2>/dev/null || true
fi
key "$viewer" Escape
sleep 0.5
key "$main" Escape
for _ in $(seq 1 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not end on Escape"

expected=$'000001.html\n000002.jpg\n000003.png\n000004.html\n000005.gif'
actual=$(ls -A "$work/dl/SR0000")
[ "$actual" = "$expected" ] || fail "the run folder holds: $actual"
cmp -s "$work/dl/SR0000/000002.jpg" "$work/site/a.jpg" || fail "000002.jpg differs from a.jpg"
cmp -s "$work/dl/SR0000/000005.gif" "$work/site/sub/c.gif" || fail "000005.gif differs from c.gif"
grep -q "^URL=http://127.0.0.1:$port/index.html" "$work/Init.dat" || fail "Init.dat was not saved"
echo "PASS: crawl, completion box, viewer and exit on a real X server"
