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
ls -1 docs/*.png
