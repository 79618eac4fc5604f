#!/usr/bin/env bash
# The crawl race: siterambler-crawl with 1 and with 6 connections, `wget -r` and `wget2` (its
# defaults) on generated sites, as the web is today and as it was:
#   http   a loopback nginx, HTTP/1.1                          (the large site)
#   h2     a loopback nginx, HTTPS + HTTP/2                    (the large site)
#   delay  delay_server, HTTP/1.1, 30 ms before every answer   (the small site)
#   h2del  nginx with HTTPS + HTTP/2 in front of delay_server  (the small site)
# The certificate is made here and trusted only by the crawls of the race (a mount namespace of
# their own). Everything is downloaded into tmpfs (/dev/shm) so that the disk does not decide.
# Each contender runs several turns, the order rotated each turn; every turn must store exactly
# the site's pictures (sorted SHA-256 lists compared). Prints, per leg, the medians of the wall
# time and of the processor time (user + sys, which the machine's other work disturbs less),
# their ratio to wget2, and the load average the leg ran under.
#
# Usage: bench/crawl-race/run.sh [path/to/siterambler-crawl] [path/to/delay_server]
#        (or `ninja crawl-race` in the build folder)
# Environment: RACE_TURNS       turns per contender behind the delays (default 3)
#              RACE_LOOP_TURNS  turns per contender on loopback (default 5: short, noisy)
#              RACE_PAGES, RACE_PICTURES  the large site (default 421 pages, 3368 pictures)
#              RACE_SMALL_PAGES, RACE_SMALL_PICTURES  the small site (default 61, 366)
#              RACE_DELAY_MS    the delaying server's wait (default 30)
#              RACE_LEGS        the legs run (default "http h2 delay h2del")
#              RACE_CONTENDERS  default "sr1 sr6 wget wget2"
#              RACE_SR_OPTIONS  more options for siterambler-crawl, e.g. --skip-similar
#              RACE_SR_BEFORE   another siterambler-crawl (an earlier build), raced as "sr6b"
#                               with 6 connections beside the first, in the same turns
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
crawl=$(realpath "${1:-$here/../../build/siterambler-crawl}")
server=$(realpath "${2:-$here/../../build/bench/delay_server}")
[ -x "$crawl" ] || { echo "build siterambler-crawl first (scripts/build.sh)"; exit 1; }
[ -x "$server" ] || { echo "build delay_server first (ninja -C build delay_server)"; exit 1; }
turns=${RACE_TURNS:-3}
loop_turns=${RACE_LOOP_TURNS:-5}
delay=${RACE_DELAY_MS:-30}
read -r -a legs <<<"${RACE_LEGS:-http h2 delay h2del}"
read -r -a contenders <<<"${RACE_CONTENDERS:-sr1 sr6 wget wget2}"
bash "$here/../../scripts/deps.sh" nginx wget wget2 bc curl openssl util-linux >/dev/null
# shellcheck source=../nginx.sh
source "$here/../nginx.sh"

shm=/dev/shm
[ -d "$shm" ] && [ -w "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d -p "$shm" crawl-race.XXXXXX)
NGINX_PID=""
delay_pid=""
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null
  [ -n "$delay_pid" ] && kill "$delay_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
python3 "$here/gensite.py" "$work/large" "${RACE_PAGES:-421}" "${RACE_PICTURES:-3368}"
python3 "$here/gensite.py" "$work/small" "${RACE_SMALL_PAGES:-61}" "${RACE_SMALL_PICTURES:-366}"
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }

"$server" "$work/small" "$delay" 256 >"$work/delay.out" 2>"$work/delay.err" &
delay_pid=$!
for _ in $(seq 100); do grep -q '^port ' "$work/delay.out" && break; sleep 0.05; done
delay_port=$(awk '/^port / {print $2}' "$work/delay.out")
[ -n "$delay_port" ] || { echo "delay_server did not start:"; cat "$work/delay.err"; exit 1; }
make_test_ca "$work/tls"
port=$(free_port) tls_port=$(free_port) proxy_port=$(free_port)
start_nginx "$work/large" "$port" "$work" \
  "$(tls_server "$work/large" "$tls_port" "$work/tls"; tls_proxy_server "$proxy_port" "$delay_port" "$work/tls")"
cert=$work/tls/cert.pem

declare -A url=([http]="http://127.0.0.1:$port/d0/p0.html" [h2]="https://127.0.0.1:$tls_port/d0/p0.html"
                [delay]="http://127.0.0.1:$delay_port/d0/p0.html"
                [h2del]="https://127.0.0.1:$proxy_port/d0/p0.html")
declare -A site=([http]=large [h2]=large [delay]=small [h2del]=small)
declare -A legname=([http]="HTTP/1.1, loopback nginx" [h2]="HTTPS + HTTP/2, loopback nginx"
                    [delay]="HTTP/1.1, $delay ms before every answer"
                    [h2del]="HTTPS + HTTP/2, $delay ms before every answer")
declare -A label=([sr1]="siterambler-crawl, 1 connection" [sr6]="siterambler-crawl, 6 connections" [sr6b]="the earlier build, 6 connections"
                  [wget]="wget -r" [wget2]="wget2 (defaults)")

pictures_list() {  # sorted checksums of every picture file under a folder
  find "$1" -type f \( -name '*.jpg' -o -name '*.png' -o -name '*.gif' \) -print0 |
    xargs -0 -r sha256sum | awk '{print $1}' | sort
}
for s in large small; do
  pictures_list "$work/$s" >"$work/$s.sums"
  echo "$s site: $(find "$work/$s" -name '*.html' | wc -l) pages, $(wc -l <"$work/$s.sums") pictures"
done
now() { date +%s.%N; }

# fetch CONTENDER URL FOLDER: one whole crawl into FOLDER (wget's exit codes count 404s as errors;
# the picture check below is what decides whether a crawl worked)
fetch() {
  local who=$1 url=$2 out=$3
  case $who in
    sr1) trusting "$cert" "$crawl" --connections 1 ${RACE_SR_OPTIONS:-} --keep-pages --keep-all-images "$url" "$out" 2>"$work/$who.log" ;;
    sr6) trusting "$cert" "$crawl" --stats --connections 6 ${RACE_SR_OPTIONS:-} --keep-pages --keep-all-images "$url" "$out" 2>"$work/$who.log" ;;
    sr6b) trusting "$cert" "$RACE_SR_BEFORE" --connections 6 ${RACE_SR_OPTIONS:-} --keep-pages --keep-all-images "$url" "$out" 2>"$work/$who.log" ;;
    wget) (cd "$out" && trusting "$cert" wget -q -r -l inf -nd -A html,jpg,png,gif "$url") || true ;;
    wget2) (cd "$out" && trusting "$cert" wget2 -q -r -l inf -nd -A html,jpg,png,gif "$url") || true ;;
    wget2x16) (cd "$out" && wget2 -q --max-threads=16 -r -l inf -nd -A html,jpg,png,gif "$url") ||
      true ;;
    plain16) # every file of the site over 16 kept-alive connections, no crawl between them
      hostport=${url#http://127.0.0.1:}; hostport=${hostport%%/*}
      (cd "$work/small" && find . -type f -printf '%P\n') | python3 -c '
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

# timed CONTENDER URL SITE: one crawl into a fresh folder; sets took (wall seconds) and cpu (user
# + sys seconds of the crawl's processes); "bad" marks a crawl that stored other pictures. On
# tmpfs a folder is deleted at once: nothing there waits on the freed space.
declare -A bad=()
took="" cpu=""
crawls=0
timed() {
  local who=$1 url=$2 sums=$work/$3.sums out t0 t1 TIMEFORMAT='%3U %3S'
  crawls=$((crawls + 1)); out="$work/out$crawls"
  mkdir -p "$out"
  t0=$(now)
  { time fetch "$who" "$url" "$out" || { echo "$who failed:" >&2; cat "$work/$who.log" >&2; exit 1; }; } \
    2>"$work/cpu.txt"
  t1=$(now)
  if ! pictures_list "$out" | cmp -s - "$sums"; then
    bad[$who]=1
    echo "  $who stored other pictures: $(pictures_list "$out" | wc -l) of $(wc -l <"$sums")" >&2
  fi
  [ "$shm" = /dev/shm ] && rm -rf "$out"
  took=$(printf '%.3f' "$(echo "$t1 - $t0" | bc)")
  cpu=$(tail -1 "$work/cpu.txt" | awk '{printf "%.3f", $1 + $2}')
}

median() { printf '%s\n' "$@" | sort -n | awk '{v[NR]=$1} END {printf "%.3f", NR%2 ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }
load() { cut -d' ' -f1 /proc/loadavg; }

# race LEG TURNS: every contender TURNS times, the order rotated each turn; medians in med, cpus
declare -A med=() cpus=() gaps=() loads=()
race() {
  local leg=$1 turn i who l0
  declare -A times=() cputimes=()
  l0=$(load)
  for turn in $(seq "$2"); do
    for i in "${!contenders[@]}"; do
      who=${contenders[$(( (i + turn - 1) % ${#contenders[@]} ))]}
      timed "$who" "${url[$leg]}" "${site[$leg]}"
      times[$who]+="$took "
      cputimes[$who]+="$cpu "
    done
    echo "  turn $turn:$(for who in "${contenders[@]}"; do printf ' %s %s s,' "$who" "$(echo "${times[$who]}" | awk '{print $NF}')"; done)"
  done
  for who in "${contenders[@]}"; do
    # shellcheck disable=SC2086
    med[$leg,$who]=$(median ${times[$who]})
    # shellcheck disable=SC2086
    cpus[$leg,$who]=$(median ${cputimes[$who]})
  done
  loads[$leg]="$l0-$(load)"
  gaps[$leg]=$( (grep -o 'servicing events: [0-9]* ms' "$work/sr6.log" 2>/dev/null || true) | grep -o '[0-9]*' || echo "?")
}

echo "nginx on ports $port (HTTP/1.1), $tls_port (HTTPS + HTTP/2), $proxy_port (HTTPS + HTTP/2" \
     "before delay_server); delay_server ($delay ms) on port $delay_port; downloads into $shm"
for leg in "${legs[@]}"; do
  case $leg in http|h2) n=$loop_turns ;; *) n=$turns ;; esac
  echo "== ${legname[$leg]}, $n turns"
  race "$leg" "$n"
done

# The delaying server must not be what limits the race: with 16 threads wget2 should come near
# the bound of one round trip per request spread over 16 connections.
if [[ " ${legs[*]} " == *" delay "* ]]; then
  files=$(find "$work/small" -type f | wc -l)
  timed wget2x16 "${url[delay]}" small
  crawled=$took
  timed plain16 "${url[delay]}" small
  bound=$(printf '%.3f' "$(echo "scale=3; $files * $delay / 1000 / 16" | bc)")
  echo "server check, 16 connections: plain GET of every file $took s, wget2 --max-threads=16" \
       "$crawled s; round-trip bound $bound s ($files requests x $delay ms / 16)"
fi

ratio() { [ -n "${2:-}" ] && echo "scale=3; $1 / $2" | bc | awk '{printf "%.2f", $1}' || echo "-"; }
for leg in "${legs[@]}"; do
  echo
  echo "${legname[$leg]} (${site[$leg]} site; load average ${loads[$leg]})"
  printf '  %-34s %9s %8s %9s %8s\n' contender "wall s" "x wget2" "cpu s" "x wget2"
  for who in "${contenders[@]}"; do
    printf '  %-34s %9s %8s %9s %8s%s\n' "${label[$who]}" "${med[$leg,$who]}" \
      "$(ratio "${med[$leg,$who]}" "${med[$leg,wget2]:-}")" "${cpus[$leg,$who]}" \
      "$(ratio "${cpus[$leg,$who]}" "${cpus[$leg,wget2]:-}")" "${bad[$who]:+  OTHER PICTURES}"
  done
  echo "  longest time without servicing events (6 connections): ${gaps[$leg]} ms"
done
goal() { [ "$(echo "$1 <= $2" | bc)" = 1 ] && echo met || echo "not met"; }
if [[ " ${contenders[*]} " == *" sr6 "* && " ${contenders[*]} " == *" wget2 "* ]]; then
  echo
  echo "no slower than wget2 with 6 connections:$(for leg in "${legs[@]}"; do
    printf ' %s %s,' "$leg" "$(goal "${med[$leg,sr6]}" "${med[$leg,wget2]}")"; done)"
fi
[ ${#bad[@]} -eq 0 ] || { echo "some crawls stored other pictures than the site holds"; exit 1; }
