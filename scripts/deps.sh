#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need, only when one is missing.
# Extra package names given as arguments (benchmarks, fuzzing) are installed the same way.
set -euo pipefail
PKGS=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins libcurl4-openssl-dev
      libgumbo-dev libavif-dev libqt6svg6 libgtest-dev libgmock-dev libcpp-httplib-dev zlib1g-dev libsqlite3-dev libssl-dev openssl nodejs fonts-noto-cjk
      chromium-headless-shell
      xvfb xauth xdotool x11-apps x11-utils imagemagick python3 python3-xlib "$@")
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
