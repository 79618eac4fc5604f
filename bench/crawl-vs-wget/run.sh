#!/usr/bin/env bash
# Times siterambler-crawl against wget on the same loopback site (nginx), three runs each,
# alternating, checks that both stored the same picture bytes, and prints the medians.
# Usage: bench/crawl-vs-wget/run.sh [path/to/siterambler-crawl]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
crawl=${1:-$here/../../build/siterambler-crawl}
[ -x "$crawl" ] || { echo "build siterambler-crawl first (scripts/build.sh)"; exit 1; }
bash "$here/../../scripts/deps.sh" nginx-light wget bc curl >/dev/null
# shellcheck source=../nginx.sh
source "$here/../nginx.sh"
work=$(mktemp -d)
NGINX_PID=""
cleanup() { [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
python3 "$here/gensite.py" "$work/site"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
start_nginx "$work/site" "$port" "$work"
url="http://127.0.0.1:$port/d0/p0.html"

pictures_digest() {  # sorted checksums of every picture file under a folder
  find "$1" -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.gif' \) -print0 |
    xargs -0 sha256sum | awk '{print $1}' | sort | sha256sum | awk '{print $1}'
}
now() { date +%s.%N; }
ours=(); theirs=(); gap=""
for round in 1 2 3; do
  rm -rf "$work/a" "$work/b"; mkdir -p "$work/a" "$work/b"
  t0=$(now)
  "$crawl" --keep-pages --keep-all-images "$url" "$work/a" 2>"$work/crawl.log" || { cat "$work/crawl.log"; exit 1; }
  t1=$(now)
  (cd "$work/b" && wget -q -r -l inf -nd -A html,jpg,png,gif "$url") || true
  t2=$(now)
  ours+=("$(echo "$t1 - $t0" | bc)"); theirs+=("$(echo "$t2 - $t1" | bc)")
  gap=$(grep -o 'servicing events: [0-9]* ms' "$work/crawl.log" | grep -o '[0-9]*' || echo "?")
  a=$(pictures_digest "$work/a"); b=$(pictures_digest "$work/b")
  na=$(find "$work/a" -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.gif' \) | wc -l)
  [ "$na" -gt 0 ] || { echo "round $round: nothing was stored"; cat "$work/crawl.log"; exit 1; }
  [ "$a" = "$b" ] || { echo "round $round: the stored pictures differ ($na from siterambler-crawl)"; exit 1; }
  echo "round $round: siterambler-crawl ${ours[-1]} s, wget ${theirs[-1]} s, $na pictures, same bytes"
done
median() { printf '%s\n' "$@" | sort -n | sed -n 2p; }
mo=$(median "${ours[@]}"); mt=$(median "${theirs[@]}")
echo "median: siterambler-crawl $mo s, wget $mt s, ratio $(echo "scale=2; $mo / $mt" | bc)"
echo "longest time without servicing events during a crawl: $gap ms"
