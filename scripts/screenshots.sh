#!/usr/bin/env bash
# Renders the program's windows into docs/*.png for the README (offscreen, real windows).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh >/dev/null
mkdir -p docs
export QT_QPA_PLATFORM=offscreen
for shot in build/tests/*/sr_screenshot_*; do
  [ -x "$shot" ] || continue
  name=$(basename "$shot"); name=${name#sr_screenshot_}
  "$shot" "docs/${name//_/-}.png" && echo "docs/${name//_/-}.png"
done
