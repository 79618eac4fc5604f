#!/usr/bin/env bash
# Renders the program's windows into docs/*.png for the README (offscreen, the real windows).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
mkdir -p docs
export QT_QPA_PLATFORM=offscreen
build/tests/ui/sr_screenshot_main docs/main.png
build/tests/viewer/sr_screenshot_viewer docs/viewer.png
build/tests/dialogs/about_option_shots docs
# the options dialog with its crawl details beside it, in one picture
convert docs/options.png \( docs/crawl_options.png -background '#d0d0d0' -splice 12x0 \) \
  -gravity North +append docs/options.png && rm docs/crawl_options.png
# The contact sheet on a run folder that a crawl of a small loopback site made.
shot=$(mktemp -d) server=""
trap '[ -n "$server" ] && kill $server 2>/dev/null; rm -rf "$shot"' EXIT
mkdir "$shot/dl"
build/tests/sheet/sr_screenshot_sheet site "$shot/site"
python3 - "$shot/site" "$shot/port" 2>/dev/null <<'PY' &
import functools, http.server, sys
handler = functools.partial(http.server.SimpleHTTPRequestHandler, directory=sys.argv[1])
server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
open(sys.argv[2], "w").write(str(server.server_port))
server.serve_forever()
PY
server=$!
for _ in $(seq 100); do [ -s "$shot/port" ] && break; sleep 0.1; done
build/siterambler-crawl -q --no-revisit --keep-all-images \
  "http://127.0.0.1:$(cat "$shot/port")/index.html" "$shot/dl"
build/tests/sheet/sr_screenshot_sheet shot "$shot/dl" docs/contact-sheet.png
ls -1 docs/*.png
