#!/usr/bin/env bash
# Builds the Debian package (build-deb/siterambler_*.deb), installing under /usr, lints it and its
# desktop entry and metainfo, and checks that the packaged programs start and find their data files.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh desktop-file-utils appstream lintian
if [ ! -f build-deb/build.ninja ]; then
  cmake -S . -B build-deb -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
        -DSR_BUILD_TESTS=OFF -DSR_BUILD_BENCH=OFF
fi
cmake --build build-deb -j"$(nproc)"
(cd build-deb && cpack -G DEB >/dev/null)
deb=$(ls -t build-deb/siterambler_*.deb | head -1)
echo "$deb"
root=$(mktemp -d); trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
for f in usr/bin/siterambler usr/bin/siterambler-crawl usr/share/siterambler/Init.dat \
         usr/share/siterambler/ReadMe.txt usr/share/siterambler/demo/index.html \
         usr/share/applications/org.example.siterambler.desktop \
         usr/share/metainfo/org.example.siterambler.metainfo.xml usr/share/man/man1/siterambler-crawl.1.gz \
         usr/share/icons/hicolor/scalable/apps/siterambler.svg \
         usr/share/icons/hicolor/48x48/apps/siterambler.png; do
  [ -e "$root/$f" ] || { echo "missing in the package: $f"; exit 1; }
done
# the linters: errors and warnings fail the package (hints and notes do not)
desktop=$root/usr/share/applications/org.example.siterambler.desktop
lint=$(desktop-file-validate "$desktop" 2>&1) && ! grep -qE 'error|warning' <<<"$lint" ||
  { echo "$lint"; echo "desktop-file-validate found faults"; exit 1; }
appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.siterambler.metainfo.xml"
lintian --fail-on error,warning "$deb"
"$root/usr/bin/siterambler-crawl" --version
# the packaged window starts and keeps running (it ends only through its close path)
set +e
HOME=$root/home XDG_CONFIG_HOME=$root/home/config QT_QPA_PLATFORM=offscreen \
  timeout 3 "$root/usr/bin/siterambler" >/dev/null 2>&1
rc=$?
set -e
[ "$rc" -eq 124 ] || { echo "the packaged program did not start (exit code $rc)"; exit 1; }
# the packaged command crawls the packaged demo site (its Init.dat names /usr/share/...: point
# it at the unpacked copy instead) and keeps its settings out of the package's folders
home=$(mktemp -d); mkdir -p "$home/dl"
HOME=$home XDG_CONFIG_HOME=$home/config "$root/usr/bin/siterambler-crawl" --quiet --max-pages 5 \
  "file://$root/usr/share/siterambler/demo/index.html" "$home/dl"
ls "$home/dl/SR0000" | grep -q '\.jpg$' || { echo "the packaged crawl stored no picture"; exit 1; }
[ ! -e "$root/usr/bin/Init.dat" ] || { echo "settings were written into the program folder"; exit 1; }
rm -rf "$home"
echo "package OK"
