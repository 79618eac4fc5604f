#!/usr/bin/env bash
# Installs the Debian packages that are missing, with apt-get (through sudo when not root).
#   scripts/deps.sh [--tests] [PACKAGE...]   the program's packages (to build and run it); with
#                                            --tests the test tooling too; extra names (benchmarks,
#                                            fuzzing, packaging) the same way
#   scripts/deps.sh --list [--tests]         prints the names it would install, one a line, and
#                                            installs nothing
# A user who only builds and runs the program never waits for the test tooling: scripts/run.sh
# asks for the program's packages only, scripts/test.sh for both.
set -euo pipefail

# Building and running the program, one package a line.
PROGRAM_PKGS=(
  cmake
  ninja-build
  g++
  pkg-config
  qt6-base-dev
  qt6-image-formats-plugins
  libqt6svg6
  libcurl4-openssl-dev
  libgumbo-dev
  libavif-dev
  zlib1g-dev
  libsqlite3-dev
  libssl-dev
  fonts-noto-cjk
  chromium-headless-shell
)

# Building and running the tests and benchmarks, one package a line.
TEST_PKGS=(
  libgtest-dev
  libgmock-dev
  libcpp-httplib-dev
  xvfb
  xauth
  xdotool
  x11-apps
  x11-utils
  imagemagick
  python3
  python3-xlib
  openssl
  nodejs
)

list=0
tests=0
extra=()
for arg in "$@"; do
  case "$arg" in
    --list) list=1 ;;
    --tests) tests=1 ;;
    *) extra+=("$arg") ;;
  esac
done
PKGS=("${PROGRAM_PKGS[@]}")
((tests)) && PKGS+=("${TEST_PKGS[@]}")
((${#extra[@]})) && PKGS+=("${extra[@]}")
if ((list)); then
  printf '%s\n' "${PKGS[@]}"
  exit 0
fi

missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
