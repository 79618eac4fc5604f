#!/usr/bin/env bash
# Installs what is missing, configures once, and builds (incrementally) into build/.
# BUILD_TARGETS names the targets to build (default: everything, tests and benchmarks included).
# SR_WITH_TESTS=0 installs only the program's packages and configures a new build without the
# tests and benchmarks (scripts/run.sh); an existing build keeps what it was configured with.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ "${SR_WITH_TESTS:-1}" = 0 ]; then
  bash scripts/deps.sh
  with=OFF
else
  bash scripts/deps.sh --tests
  with=ON
fi
cache="$BUILD_DIR/CMakeCache.txt"
if [ "$with" = OFF ]; then
  # A user's first build, made once from scratch: the tests' optimisation without the debug
  # information, the Qt headers precompiled and each library compiled in a few large units.
  type=(-DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" "-DCMAKE_CXX_FLAGS_RELEASE=-O2 -DNDEBUG"
    -DSR_PRECOMPILED_HEADERS=ON -DSR_UNITY_BUILD=ON)
else
  type=(-DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}")
fi
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja "${type[@]}" -DSR_BUILD_TESTS="$with" \
    -DSR_BUILD_BENCH="$with" "$@"
elif [ "$with" = ON ] && grep -q '^SR_BUILD_TESTS:BOOL=OFF' "$cache"; then
  # a build made by scripts/run.sh: the tests are wanted now
  cmake -S . -B "$BUILD_DIR" -DSR_BUILD_TESTS=ON -DSR_BUILD_BENCH=ON "$@"
fi
targets=()
for t in ${BUILD_TARGETS:-}; do targets+=(--target "$t"); done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${targets[@]}"
