#!/usr/bin/env bash
# Sets up what the program needs on a fresh Debian 12 machine (not the test tooling: that is
# scripts/test.sh's), builds the two programs, and starts Site Rambler.
set -euo pipefail
cd "$(dirname "$0")/.."
SR_WITH_TESTS=0 BUILD_TARGETS="siterambler siterambler-crawl" bash scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  cat >&2 <<'MSG'
Site Rambler is built (build/siterambler), but there is no display to show its window on:
neither DISPLAY nor WAYLAND_DISPLAY is set. Start it from a desktop session, or give it a
virtual X server (Debian's xvfb, which scripts/test.sh installs with the test tooling):

    xvfb-run -a scripts/run.sh
MSG
  exit 1
fi
exec ./build/siterambler
