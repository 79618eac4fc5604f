#!/usr/bin/env bash
# The crawl race: on one generated site, times siterambler-crawl with 1 and with 6 connections,
# `wget -r` and `wget2` (its default of 5 threads), first served by a loopback nginx, then by
# delay_server, which answers every request only after 30 ms as a distant server does. Each
# contender runs several turns into a fresh folder; every turn must store exactly the site's
# pictures (sorted SHA-256 lists compared). Prints the medians and their ratio to wget.
#
# Usage: bench/crawl-race/run.sh [path/to/siterambler-crawl] [path/to/delay_server]
#        (or `ninja crawl-race` in the build folder)
# Environment: RACE_TURNS     turns per contender behind the delaying server (default 3)
#              RACE_LOOP_TURNS  turns per contender on loopback nginx (default 5: short, noisy)
#              RACE_PAGES     pages in the site (default 100)
#              RACE_PICTURES  pictures in the site (default 900)
#              RACE_DELAY_MS  the delaying server's wait (default 30)
#              RACE_SR_OPTIONS  more options for siterambler-crawl, e.g. --skip-similar
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
crawl=$(realpath "${1:-$here/../../build/siterambler-crawl}")
server=$(realpath "${2:-$here/../../build/bench/delay_server}")
[ -x "$crawl" ] || { echo "build siterambler-crawl first (scripts/build.sh)"; exit 1; }
[ -x "$server" ] || { echo "build delay_server first (ninja -C build delay_server)"; exit 1; }
turns=${RACE_TURNS:-3}
loop_turns=${RACE_LOOP_TURNS:-5}
delay=${RACE_DELAY_MS:-30}
bash "$here/../../scripts/deps.sh" nginx wget wget2 bc curl >/dev/null
# shellcheck source=../nginx.sh
source "$here/../nginx.sh"

work=$(mktemp -d)
NGINX_PID=""
delay_pid=""
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null
  [ -n "$delay_pid" ] && kill "$delay_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/gensite.py" "$work/site" "${RACE_PAGES:-100}" "${RACE_PICTURES:-900}"
files=$(find "$work/site" -type f | wc -l)

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
start_nginx "$work/site" "$port" "$work"
"$server" "$work/site" "$delay" 64 >"$work/delay.out" 2>"$work/delay.err" &
delay_pid=$!
for _ in $(seq 100); do grep -q '^port ' "$work/delay.out" && break; sleep 0.05; done
delay_port=$(awk '/^port / {print $2}' "$work/delay.out")
[ -n "$delay_port" ] || { echo "delay_server did not start:"; cat "$work/delay.err"; exit 1; }

contenders=(sr1 sr6 wget wget2)
declare -A label=([sr1]="siterambler-crawl, 1 connection" [sr6]="siterambler-crawl, 6 connections"
                  [wget]="wget -r" [wget2]="wget2 (5 threads)")
# read whole first: grep -q would close the pipe early, and pipefail count that as no match
if grep -q -- '--connections' <<<"$("$crawl" --help 2>&1)"; then
  one=(--connections 1); six=(--connections 6)
else
  one=(); six=()
  label[sr6]="siterambler-crawl, one at a time"
  echo "note: this siterambler-crawl has no --connections; both of its rows crawl one at a time"
fi

pictures_list() {  # sorted checksums of every picture file under a folder
  find "$1" -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.gif' \) -print0 |
    xargs -0 -r sha256sum | awk '{print $1}' | sort
}
pictures_list "$work/site" > "$work/site.sums"
now() { date +%s.%N; }

# fetch CONTENDER URL FOLDER: one whole crawl into FOLDER (wget's exit codes count 404s as errors;
# the picture check below is what decides whether a crawl worked)
fetch() {
  local who=$1 url=$2 out=$3
  case $who in
    sr1) "$crawl" "${one[@]}" ${RACE_SR_OPTIONS:-} --keep-pages --keep-all-images "$url" "$out" 2>"$work/$who.log" ;;
    sr6) "$crawl" --stats "${six[@]}" ${RACE_SR_OPTIONS:-} --keep-pages --keep-all-images "$url" "$out" 2>"$work/$who.log" ;;
    wget) (cd "$out" && wget -q -r -l inf -nd -A html,jpg,png,gif "$url") || true ;;
    wget2) (cd "$out" && wget2 -q -r -l inf -nd -A html,jpg,png,gif "$url") || true ;;
    wget2x16) (cd "$out" && wget2 -q --max-threads=16 -r -l inf -nd -A html,jpg,png,gif "$url") ||
      true ;;
    plain16) # every file of the site over 16 kept-alive connections, no crawl between them
      hostport=${url#http://127.0.0.1:}; hostport=${hostport%%/*}
      (cd "$work/site" && find . -type f -printf '%P\n') | python3 -c '
import http.client, os, sys, threading
port, out = int(sys.argv[1]), sys.argv[2]
paths, lock = iter(sys.stdin.read().split()), threading.Lock()
def work():
    conn = http.client.HTTPConnection("127.0.0.1", port)
    while True:
        with lock:
            path = next(paths, None)
        if path is None:
            return
        conn.request("GET", "/" + path)
        body = conn.getresponse().read()
        os.makedirs(os.path.dirname(os.path.join(out, path)), exist_ok=True)
        with open(os.path.join(out, path), "wb") as f:
            f.write(body)
workers = [threading.Thread(target=work) for _ in range(16)]
for w in workers: w.start()
for w in workers: w.join()' "$hostport" "$out" ;;
  esac
}

# timed CONTENDER URL: one crawl; sets took to its seconds; "bad" marks a crawl with other pictures
# Every crawl writes into a folder of its own, and nothing is deleted until the race is over:
# on ext4 without a journal (as here) a file created within seconds of a mass deletion waits
# while the allocator passes over the inodes just freed, so whoever ran after a deletion paid
# for it, far more than for its own work.
declare -A bad=()
took=""
crawls=0
timed() {
  local who=$1 url=$2 out t0 t1
  crawls=$((crawls + 1)); out="$work/out$crawls"
  mkdir -p "$out"
  t0=$(now)
  fetch "$who" "$url" "$out" || { echo "$who failed:" >&2; cat "$work/$who.log" >&2; exit 1; }
  t1=$(now)
  if ! pictures_list "$out" | cmp -s - "$work/site.sums"; then
    bad[$who]=1
    echo "  $who stored other pictures: $(pictures_list "$out" | wc -l) of $(wc -l <"$work/site.sums")" >&2
  fi
  took=$(printf '%.3f' "$(echo "$t1 - $t0" | bc)")
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%.3f", NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# race LEG URL TURNS: every contender TURNS times, the order rotated each turn; medians in med
declare -A med=() gaps=()
race() {
  local leg=$1 url=$2 turn i who
  declare -A times=()
  for turn in $(seq "$3"); do
    for i in "${!contenders[@]}"; do
      who=${contenders[$(( (i + turn - 1) % ${#contenders[@]} ))]}
      timed "$who" "$url"
      times[$who]+="$took "
    done
    echo "  turn $turn:$(for who in "${contenders[@]}"; do printf ' %s %s s,' "$who" "$(echo "${times[$who]}" | awk '{print $NF}')"; done)"
  done
  for who in "${contenders[@]}"; do
    # shellcheck disable=SC2086
    med[$leg,$who]=$(median ${times[$who]})
  done
  gaps[$leg]=$(grep -o 'servicing events: [0-9]* ms' "$work/sr6.log" | grep -o '[0-9]*' || echo "?")
}

echo "site: $files files; loopback nginx on port $port, delay_server ($delay ms) on port $delay_port"
echo "== loopback nginx, $loop_turns turns"
race loop "http://127.0.0.1:$port/d0/p0.html" "$loop_turns"
echo "== $delay ms before every answer, $turns turns"
race delay "http://127.0.0.1:$delay_port/d0/p0.html" "$turns"

# The delaying server must not be what limits the race: with 16 threads wget2 should come near
# the bound of one round trip per request spread over 16 connections.
timed wget2x16 "http://127.0.0.1:$delay_port/d0/p0.html"
crawled=$took
timed plain16 "http://127.0.0.1:$delay_port/d0/p0.html"
bound=$(printf '%.3f' "$(echo "scale=3; $files * $delay / 1000 / 16" | bc)")
echo "server check, 16 connections: plain GET of every file $took s, wget2 --max-threads=16" \
     "$crawled s; round-trip bound $bound s ($files requests x $delay ms / 16)"

ratio() { echo "scale=3; $1 / $2" | bc | awk '{printf "%.2f", $1}'; }
echo
printf '%-34s %12s %7s %12s %7s\n' contender "loopback s" "x wget" "$delay ms s" "x wget"
for who in "${contenders[@]}"; do
  printf '%-34s %12s %7s %12s %7s%s\n' "${label[$who]}" "${med[loop,$who]}" \
    "$(ratio "${med[loop,$who]}" "${med[loop,wget]}")" "${med[delay,$who]}" \
    "$(ratio "${med[delay,$who]}" "${med[delay,wget]}")" "${bad[$who]:+  OTHER PICTURES}"
done
echo "longest time without servicing events (6 connections): ${gaps[loop]} ms on loopback," \
     "${gaps[delay]} ms with the delay"
goal() { [ "$(echo "$1 <= $2" | bc)" = 1 ] && echo met || echo "not met"; }
echo "goals for 6 connections: <= 0.5x wget on loopback $(goal "${med[loop,sr6]}" "$(echo "0.5 * ${med[loop,wget]}" | bc)")," \
     "<= 0.3x wget with the delay $(goal "${med[delay,sr6]}" "$(echo "0.3 * ${med[delay,wget]}" | bc)")," \
     "no slower than wget2: loopback $(goal "${med[loop,sr6]}" "${med[loop,wget2]}")," \
     "delay $(goal "${med[delay,sr6]}" "${med[delay,wget2]}")"
[ ${#bad[@]} -eq 0 ] || { echo "some crawls stored other pictures than the site holds"; exit 1; }
