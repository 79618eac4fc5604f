#!/usr/bin/env bash
# The transfer, crawl and archive tests under ThreadSanitizer (the tsan preset).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh --tests
[ -f build-tsan/build.ninja ] || cmake --preset tsan
cmake --build --preset tsan -j"$(nproc)"
ctest --preset tsan -j"$(nproc)" --timeout 900
