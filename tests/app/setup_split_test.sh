#!/usr/bin/env bash
# scripts/run.sh installs only what the program needs; the test tooling is scripts/test.sh's.
# Both are run against a stand-in dpkg-query (every package installed) and cmake that write down
# what they were asked, so nothing is installed or built.
# Usage: setup_split_test.sh SOURCE_DIR
set -euo pipefail
src=$1
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

program=$(bash "$src/scripts/deps.sh" --list)
everything=$(bash "$src/scripts/deps.sh" --list --tests)
[ -n "$program" ] || fail "no program packages listed"
# test tooling a user of the program never needs
for p in libgtest-dev libgmock-dev libcpp-httplib-dev xvfb xauth xdotool x11-apps x11-utils \
         imagemagick python3-xlib; do
  grep -qx "$p" <<<"$program" && fail "$p is installed for the program"
  grep -qx "$p" <<<"$everything" || fail "$p is not installed for the tests"
done
# the tests build and run the program too
while read -r p; do
  grep -qx "$p" <<<"$everything" || fail "$p is missing from the test set-up"
done <<<"$program"
# what the package declares it needs at run time is installed for the program as well
depends=$(sed -n 's/.*CPACK_DEBIAN_PACKAGE_DEPENDS "\(.*\)").*/\1/p' "$src/CMakeLists.txt")
[ -n "$depends" ] || fail "the package's dependencies were not found"
for p in ${depends//,/ }; do
  grep -qx "$p" <<<"$program" || fail "$p, which the package depends on, is not installed by run.sh"
done

mkdir -p "$work/bin"
cat >"$work/bin/dpkg-query" <<'STUB'
#!/bin/sh
for last; do :; done
echo "$last" >>"$SR_LOG.dpkg"
printf 'install ok installed'
STUB
cat >"$work/bin/cmake" <<'STUB'
#!/bin/sh
echo "$*" >>"$SR_LOG.cmake"
STUB
printf '#!/bin/sh\n' >"$work/bin/ctest"
chmod +x "$work/bin/"*
run() {  # script, log name: what it asked dpkg-query and cmake
  local rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM PATH="$work/bin:$PATH" \
    SR_LOG="$work/$2" BUILD_DIR="$work/build-$2" bash "$src/scripts/$1" >"$work/$2.out" 2>&1 ||
    rc=$?
  echo "$rc"
}
rc=$(run run.sh run)
[ "$rc" = 1 ] || { cat "$work/run.out"; fail "run.sh without a display ended with $rc, not 1"; }
[ "$(sort -u "$work/run.dpkg")" = "$(sort -u <<<"$program")" ] ||
  fail "run.sh asked for other packages than the program's: $(sort -u "$work/run.dpkg" | xargs)"
grep -q -- '-DSR_BUILD_TESTS=OFF' "$work/run.cmake" || fail "run.sh configured the tests"
grep -q -- '--target siterambler ' "$work/run.cmake" || fail "run.sh did not build the program"

run test.sh test >/dev/null
[ "$(sort -u "$work/test.dpkg")" = "$(sort -u <<<"$everything")" ] ||
  fail "test.sh asked for other packages than the tests': $(sort -u "$work/test.dpkg" | xargs)"
grep -q -- '-DSR_BUILD_TESTS=ON' "$work/test.cmake" || fail "test.sh left the tests out"
echo "set-up split OK: $(wc -l <<<"$program") program packages, $(wc -l <<<"$everything") with the tests"
