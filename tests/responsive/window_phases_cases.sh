# The phases of window_phases.sh, one function each; sourced by it.

# A 5 MB one-line page: its scan, up to the first picture it asks for.
phase_scan() {
  : >"$work/http.log.mark"
  start_app "$base/big.html"
  probe_start "$main"
  start_crawl
  wait_log '/slow/0.jpg' 120 || fail "the scan of the big page did not end"
  probe_stop
  scanned=1
}

# Right after that fast scan, pictures that come 256 bytes every 50 ms.
phase_slowpics() {
  [ "${scanned:-0}" = 1 ] || { start_app "$base/big.html"; start_crawl; wait_log '/slow/0.jpg' 120; }
  scanned=0
  probe_start "$main"
  sleep 4
  probe_stop
}

# Ends a crawl with the cancel key and takes the closing box away.
cancel_crawl() {
  key "$main" F2
  local box; box=$(wait_window '^巡回の(中止|完了)$' 600) || fail "the crawl did not stop"
  probe_stop
  key "$box" Return
}

phase_bomb() {
  start_app "$base/bomb.html"
  probe_start "$main"
  start_crawl
  local box; box=$(wait_window '^巡回の完了$' 600) || fail "the gzip bomb crawl did not end"
  probe_stop
  key "$box" Return
}

phase_stall() {
  start_app "$base/stall.html"
  probe_start "$main"
  start_crawl
  sleep 3
  cancel_crawl
}

# 300,000 links appended to the list while it is on show, then the crawl is cancelled with the
# list left full for the settings-file phases.
phase_linklist() {
  start_app "$base/links.html"
  probe_start "$main"
  start_crawl
  wait_log '/l/0.html' 300 || fail "the scan of 300,000 links did not end"
  cancel_crawl
  listed=1
}
phase_idle() { start_app "$base/x.html"; probe_start "$main"; sleep 2; probe_stop; cat "$work/probe.out"; }
phase_stall2() { start_app "$base/stall.html"; probe_start "$main"; start_crawl; sleep 3; probe_stop; cat "$work/probe.out"; key "$main" F2; sleep 1; xdotool search --name . getwindowname %@ 2>/dev/null | grep 巡回; }
