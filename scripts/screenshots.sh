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
ls -1 docs/*.png
