#!/usr/bin/env bash
# On a real X server, while a crawl keeps the window busy: a click into the start-URL box
# followed at once by typing must keep every key. The typed text is read back from Init.dat,
# which the close path writes from the box.
# Usage: x11_focus_typing_test.sh PATH/TO/siterambler
set -euo pipefail
exe=$1
for tool in Xvfb xdotool xclock python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done; rm -rf "$work"; }
trap cleanup EXIT

# a page with many pictures that the server sends slowly: the crawl is busy for a long time
cat > "$work/server.py" <<'PY'
import http.server, sys, time
class H(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.0"
    def log_message(self, *a): pass
    def do_GET(self):
        if self.path == "/start.html":
            body = "".join('<img src="p%d.jpg">\n' % i for i in range(400)).encode()
            self.send_response(200); self.send_header("Content-Length", str(len(body)))
            self.end_headers(); self.wfile.write(body); return
        self.send_response(200); self.send_header("Content-Length", "4096"); self.end_headers()
        for _ in range(16):
            self.wfile.write(b"x" * 256); self.wfile.flush(); time.sleep(0.05)
http.server.ThreadingHTTPServer(("127.0.0.1", int(sys.argv[1])), H).serve_forever()
PY
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
python3 "$work/server.py" "$port" &
pids+=($!)
mkdir -p "$work/dl"
cp "$exe" "$work/siterambler"
printf '[Path]\nURL=http://127.0.0.1:%s/start.html\nDownload=%s\n' "$port" "$work/dl" > "$work/Init.dat"

. "$(dirname "$0")/x11_common.sh"
start_xvfb

QT_QPA_PLATFORM=xcb "$work/siterambler" >"$work/app.log" 2>&1 &
app=$!; pids+=("$app")
fail() { echo "FAIL: $*"; cat "$work/app.log"; exit 1; }

main=$(wait_window '^Site Rambler$') || fail "the main window did not appear"
key "$main" F1
box=$(wait_window '^巡回の開始の確認$') || fail "no confirmation box"
key "$box" Return
sleep 1.5
# the URL box lies 32 px below the menu bar, whose height is what the window has above its
# 390 px client area
eval "$(xdotool getwindowgeometry --shell "$main")"
y=$((HEIGHT - 390 + 32 + 9))
# another window takes the focus; the click that comes back activates the main window and
# reaches the box at once
xclock -geometry 100x100+900+600 >/dev/null 2>&1 &
pids+=($!)
other=$(wait_window 'xclock') || fail "no second window"
xdotool windowfocus --sync "$other" >/dev/null 2>&1 || true
sleep 0.5
xdotool windowfocus "$main" mousemove --window "$main" 120 "$y" click 1 type --delay 2 'http://abcdefgh'
sleep 1
key "$main" F2
box=$(wait_window '^巡回の中止$') || fail "no cancel box"
key "$box" Return
sleep 0.5
key "$main" Escape
for _ in $(seq 1 100); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "the program did not end on Escape"
grep -qxF 'URL=http://abcdefgh' "$work/Init.dat" || { grep '^URL=' "$work/Init.dat"; fail "typed keys were lost"; }
echo "PASS: every key typed right after the click was kept"
