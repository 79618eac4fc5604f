#!/usr/bin/env bash
# Sets up everything on a fresh Debian 12 machine (the program's packages and the test tooling),
# builds, and runs the whole test suite.
#   scripts/test.sh          optimised build in build/
#   scripts/test.sh --asan   the same suite under AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail
cd "$(dirname "$0")/.."
if [ "${1:-}" = "--asan" ]; then
  bash scripts/deps.sh --tests
  [ -f build-asan/build.ninja ] || cmake --preset asan
  cmake --build --preset asan -j"$(nproc)"
  exec ctest --preset asan -j"$(nproc)" --timeout 900
fi
bash scripts/build.sh
cd "${BUILD_DIR:-build}"
export QT_QPA_PLATFORM=offscreen
ctest --output-on-failure -j"$(nproc)" --timeout 600
