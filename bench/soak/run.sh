#!/usr/bin/env bash
# Soak: crawls a generated site of 20,000 pages with link cycles (served by nginx on 127.0.0.1)
# until a time or page limit stops it with its queue saved, resumes from that queue, and
# reports resident memory and pages per second over time for both legs. Memory must level off:
# beyond the start-up size only the queues (at most one entry per page URL) may grow.
#
# Usage: bench/soak/run.sh [path/to/siterambler-crawl]
# Environment: SOAK_SECONDS  seconds per leg (default 120)
#              SOAK_PAGES    pages per leg instead of seconds
#              SOAK_SITE     pages in the site (default 20000)
#              SOAK_KEEP=1   keep the work folder (site, run folders, logs)
# Two legs of 150 s store about 400,000 pictures (3.5 GB) in the work folder under /tmp.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
crawl=$(realpath "${1:-$here/../../build/siterambler-crawl}")
[ -x "$crawl" ] || { echo "build siterambler-crawl first (scripts/build.sh)"; exit 1; }
seconds=${SOAK_SECONDS:-120}
pages=${SOAK_PAGES:-}
site_pages=${SOAK_SITE:-20000}

bash "$here/../../scripts/deps.sh" nginx curl time >/dev/null
# shellcheck source=../nginx.sh
source "$here/../nginx.sh"

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  if [ "${SOAK_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
base="http://127.0.0.1:$port"
python3 "$here/gensite.py" "$work/site" "$base" "$site_pages"

start_nginx "$work/site" "$port" "$work"
server_pid=$NGINX_PID
up=""
for _ in $(seq 100); do curl -sf "$base/d0/p0.html" >/dev/null && up=1 && break; sleep 0.1; done
[ -n "$up" ] || { echo "the loopback server does not answer"; exit 1; }
mkdir -p "$work/dl"

limit=(--max-seconds "$seconds"); [ -n "$pages" ] && limit=(--max-pages "$pages")

# Runs one leg with its arguments; samples the crawler's VmRSS every second into $work/$1.rss
# as "seconds rss_kib", its progress lines go to $work/$1.log, /usr/bin/time's to $work/$1.time.
leg() {
  local name=$1; shift
  /usr/bin/time -v -o "$work/$name.time" "$crawl" --stats "${limit[@]}" "$@" 2>"$work/$name.log" &
  local timer=$! child="" t0 now
  t0=$(date +%s.%N)
  : > "$work/$name.rss"
  while kill -0 "$timer" 2>/dev/null; do
    [ -z "$child" ] && child=$(pgrep -P "$timer" || true)
    if [ -n "$child" ] && [ -r "/proc/$child/status" ]; then
      now=$(date +%s.%N)
      awk -v t="$(echo "$now - $t0" | bc)" '/^VmRSS:/ {printf "%.0f %d\n", t, $2}' \
        "/proc/$child/status" >> "$work/$name.rss" 2>/dev/null || true
    fi
    sleep 1
  done
  wait "$timer" || { echo "leg $name failed:"; cat "$work/$name.log"; exit 1; }
}

# Progress lines joined with the memory samples: one row per report of the crawler.
report() {
  local name=$1
  echo "== $name"
  printf '%6s %8s %10s %10s %8s %8s %9s\n' "t s" pages "pages/s" "cum p/s" "links" images "RSS MiB"
  awk -v rssfile="$work/$name.rss" '
    BEGIN { while ((getline line < rssfile) > 0) { split(line, f, " "); rss[f[1]] = f[2]; last = f[1] } }
    /^pages [0-9]+, images kept/ {
      gsub(",", ""); p = $2; links = $7; imgs = $9; t = $(NF-1)
      r = ""; for (s = t; s >= 0; s--) if (s in rss) { r = rss[s]; break }
      rate = (t > pt) ? (p - pp) / (t - pt) : 0
      printf "%6d %8d %10.1f %10.1f %8d %8d %9.1f\n", t, p, rate, (t > 0 ? p / t : 0), links, imgs, r / 1024
      pp = p; pt = t
    }' "$work/$name.log"
  echo "peak resident: $(awk -F': ' '/Maximum resident/ {printf "%.1f MiB", $2 / 1024}' "$work/$name.time")," \
       "$(grep -o 'servicing events: [0-9]* ms' "$work/$name.log" | sed 's/servicing events/longest time without servicing events/')"
  grep -E 'stopping|queue saved' "$work/$name.log" | sed 's/^siterambler-crawl: /  /'
}

echo "site: $site_pages pages on $base, legs of ${pages:-$seconds s} ${pages:+pages}"
leg first --save-queue "$work/queue.srs" "$base/d0/p0.html" "$work/dl"
report first
leg resumed --save-queue "$work/queue2.srs" --resume "$work/queue.srs"
report resumed
echo "queue sizes saved: $(grep -c '^' "$work/queue.srs") and $(grep -c '^' "$work/queue2.srs") lines;" \
     "run folders: $(ls "$work/dl" | tr '\n' ' ')"
for d in "$work"/dl/SR*; do
  echo "  $(basename "$d"): $(find "$d" -type f | wc -l) files, $(du -sh "$d" | cut -f1)"
done
