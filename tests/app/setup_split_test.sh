#!/usr/bin/env bash
# scripts/run.sh installs only what the program needs; the test tooling is scripts/test.sh's.
# Both run against a stand-in dpkg-query (every package installed) and cmake that write down
# what they were asked: nothing is installed or built.
set -euo pipefail
src=$1 work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
program=$(bash "$src/scripts/deps.sh" --list | sort)
everything=$(bash "$src/scripts/deps.sh" --list --tests | sort)
for p in libgtest-dev libgmock-dev libcpp-httplib-dev xvfb xdotool imagemagick python3-xlib; do
  grep -qx "$p" <<<"$program" && fail "$p is installed for the program"
  grep -qx "$p" <<<"$everything" || fail "$p is not installed for the tests"
done
[ -z "$(comm -23 <(echo "$program") <(echo "$everything"))" ] || fail "the tests lack program packages"
mkdir "$work/bin"
printf '#!/bin/sh\nfor p; do :; done; echo "$p" >>"$SR_LOG.dpkg"; printf "install ok installed"\n' \
  >"$work/bin/dpkg-query"
printf '#!/bin/sh\necho "$*" >>"$SR_LOG.cmake"\n' >"$work/bin/cmake"
printf '#!/bin/sh\n' >"$work/bin/ctest"
chmod +x "$work/bin/"*
for script in run test; do
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$work/bin:$PATH" SR_LOG="$work/$script" \
    BUILD_DIR="$work/build-$script" bash "$src/scripts/$script.sh" >/dev/null 2>&1 || true
done
[ "$(sort -u "$work/run.dpkg")" = "$program" ] || fail "run.sh asked for $(sort -u "$work/run.dpkg" | xargs)"
[ "$(sort -u "$work/test.dpkg")" = "$everything" ] || fail "test.sh asked for other packages"
grep -q -- '-DSR_BUILD_TESTS=OFF' "$work/run.cmake" || fail "run.sh configured the tests"
grep -q -- '--target siterambler ' "$work/run.cmake" || fail "run.sh did not build the program"
grep -q -- '-DSR_BUILD_TESTS=ON' "$work/test.cmake" || fail "test.sh left the tests out"
