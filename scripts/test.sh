#!/usr/bin/env bash
# Sets up everything on a fresh Debian 12 machine, builds, and runs the whole test suite.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 600
