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

# A 5 MB page of today's markup read as HTML (ParseHtml=1): its parse and scan, up to the first
# picture it asks for.
phase_parsehtml() {
  start_app "$base/today.html" '[Option]\nHTMLAutoDelete=1\nPictAutoDelete=0\n[Crawl]\nParseHtml=1\n'
  probe_start "$main"
  start_crawl
  wait_log '/slow/' 120 || fail "the page read as HTML did not end"
  probe_stop
  # a picture only the HTML reading finds: a largest candidate, or the unquoted CSS one
  wait_log '/slow/\([0-9]*-1600\.jpg\|[0-9]*-l\.webp\|hero\.jpg\)' 30 ||
    fail "the page was not read as HTML"
}

# A page shown by the headless browser (RenderPages=1) whose script runs for 3 s before it makes
# its picture, up to the request of that picture.
phase_rendered() {
  start_app "$base/busy.html" '[Option]\nHTMLAutoDelete=1\nPictAutoDelete=0\n[Crawl]\nRenderPages=1\n'
  probe_start "$main"
  start_crawl
  wait_log '/slow/busy.jpg' 120 || fail "the rendered page did not end"
  probe_stop
}

# Ends a crawl with the cancel key and takes the closing box away.
cancel_crawl() {
  key "$main" F2
  local box; box=$(wait_window '^巡回の(中止|完了)$' 600) || fail "the crawl did not stop"
  probe_stop
  key "$box" Return
}

# A gzip bomb as the start page: its transfer is cut short, and the crawl ends with its warning.
phase_bomb() {
  start_app "$base/bomb.html"
  probe_start "$main"
  start_crawl
  local box; box=$(wait_window '^巡回(の完了|エラー)$' 600) || fail "the gzip bomb crawl did not end"
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
# The dialogs' folder lists start in the program's working folder, the work folder here; the
# folder list is two tabs after the OK button, which has the focus.
save_or_open() {  # menu keys after the file menu opened, dialog title, keys that finish
  key "$main" alt; sleep 0.3; xdotool key Down $1 Return
  local dialog; dialog=$(wait_window "$2" 100) || fail "no dialog $2"
  probe_start "$main" "$dialog"
  key "$dialog" $3
  for _ in $(seq 600); do xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 || break; sleep 0.1; done
  probe_stop
  xdotool search --onlyvisible --name "$2" >/dev/null 2>&1 && fail "the dialog $2 did not finish"
}

# A crawl settings file of 300,000 links written from the list and read back into it.
phase_savefile() {
  [ "${listed:-0}" = 1 ] || { start_app "$base/links.html"; start_crawl; wait_log '/l/0.html' 300; key "$main" F2; key "$(wait_window '^巡回の中止$' 600)" Return; }
  save_or_open Down "巡回設定ファイルを保存する$" space
  [ -s "$work/無題.srs" ] || fail "the crawl settings file was not saved"
  listed=0
}

phase_openfile() {
  [ -s "$work/無題.srs" ] || phase_savefile
  save_or_open "" 'srs.*を開く$' "Tab Tab Tab Tab space Return"
}

# The viewer on a run folder of 100,000 files whose two pictures are 999,990 numbers apart.
phase_viewer() {
  local v="$work/viewfolder"
  mkdir -p "$v"
  "$py" -c "import sys; [open(f'{sys.argv[1]}/f{i:06d}.dat','w').close() for i in range(99998)]" "$v"
  printf '\xff\xd8\xff' >"$v/000001.jpg"; cp "$v/000001.jpg" "$v/999992.jpg"
  rm -rf "$work/dl" && mkdir "$work/dl"  # the small crawl's run folder is then SR0000
  start_app "$base/tiny.html"
  start_crawl
  local box; box=$(wait_window '^巡回の完了$' 300) || fail "the small crawl did not end"
  key "$box" Return
  mv "$work/dl/SR0000" "$work/dl/small" && mv "$v" "$work/dl/SR0000"
  probe_start "$main"
  key "$main" F3
  local viewer; viewer=$(wait_window '^Site Rambler - ' 300) || fail "the viewer did not appear"
  probe_stop
  probe_start "$main" "$viewer"
  for step in "" Next Prior; do
    local want=000001; [ "$step" = Next ] && want=999992
    [ -n "$step" ] && key "$viewer" "$step"
    for _ in $(seq 900); do xdotool getwindowname "$viewer" 2>/dev/null | grep -q "$want" && break; sleep 0.1; done
    xdotool getwindowname "$viewer" | grep -q "$want" || fail "the viewer did not reach $want"
  done
  probe_stop
}

# The download folder chooser opening a folder of 100,000 entries.
phase_chooser() {
  [ -d "$work/big" ] ||
    "$py" -c "import os,sys; os.mkdir(sys.argv[1]); [os.mkdir(f'{sys.argv[1]}/d{i:06d}') for i in range(100000)]" "$work/big"
  start_app "$base/tiny.html"
  key "$main" shift+Tab space
  local dialog; dialog=$(wait_window 'ダウンロード先指定$' 100) || fail "no folder chooser"
  key "$dialog" Tab
  probe_start "$main" "$dialog"
  type_text "$dialog" big; xdotool key Return
  sleep 3
  key "$dialog" End
  sleep 1
  probe_stop
}

# The manual window on a manual of 1,000,000 lines.
phase_manual() {
  "$py" -c "import sys; open(sys.argv[1],'w').write(''.join(f'line {i} of the manual\r\n' for i in range(1000000)))" "$work/bin/ReadMe.txt"
  start_app "$base/tiny.html"
  probe_start "$main"
  key "$main" alt; sleep 0.3; xdotool key Right Right Down Return
  local help; help=$(wait_window '説明書$' 300) || fail "the manual did not open"
  probe_stop
  probe_start "$main" "$help"
  key "$help" End; sleep 1; key "$help" Prior Prior Home; sleep 1
  probe_stop
  rm -f "$work/bin/ReadMe.txt"
}

# The contact sheet (File menu, third entry) filling with a run of 100,000 pictures, then jumping
# to its end and paging back while the thumbnails there are made. Thumbnails go to a cache of
# the test's own.
phase_sheet() {
  rm -rf "$work/dl" && mkdir -p "$work/dl/SR0000"
  "$py" - "$work/dl/SR0000" <<'PY'
import struct, sys, zlib
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
rows = b"".join(b"\0" + bytes([200, 120, 40]) * 8 for _ in range(8))  # 8 x 8, one colour
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", 8, 8, 8, 2, 0, 0, 0)) +
       chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))
for i in range(1, 100001):
    with open(f"{sys.argv[1]}/{i:06d}.png", "wb") as f:
        f.write(png)
PY
  XDG_CACHE_HOME="$work/cache" start_app "$base/tiny.html"
  probe_start "$main"
  key "$main" alt; sleep 0.3; xdotool key Down Down Down Return
  local sheet; sheet=$(wait_window '一覧' 300) || fail "the contact sheet did not open"
  probe_stop
  probe_start "$main" "$sheet"
  sleep 3
  key "$sheet" End; sleep 1; key "$sheet" Prior Prior Prior; sleep 1; key "$sheet" Home; sleep 1
  probe_stop
  [ -n "$(ls "$work/cache/thumbnails/normal" 2>/dev/null)" ] || fail "the contact sheet made no thumbnails"
}

# Fast sites, crawled with the designed settings until F2: small pages in a cycle answered at
# once, with one and with six connections; the same with every picture deleted as small; the
# demo site over file:.
readonly designed='[Option]\nHTMLAutoDelete=0\nPictAutoDelete=0\nPictAutoDeleteSize=2\n'
fast_crawl() {  # start URL, connections
  rm -rf "$work/dl" && mkdir "$work/dl"
  start_app "$1" "$designed[Crawl]\nConnections=$2\n"
  probe_start "$main"
  start_crawl
  sleep 4
}
phase_cycle1() { fast_crawl "$base/cycle/0.html" 1; cancel_crawl; }
phase_cycle6() { fast_crawl "$base/cycle/0.html" 6; cancel_crawl; }
phase_small() { fast_crawl "$base/tiny/0.html" 6; cancel_crawl; }
phase_demo() { fast_crawl "file://$demo/index.html" 6; cancel_crawl; }

# F2 during a fast crawl: the closing box within 2 s, and no file stored once it is shown.
phase_f2stop() {
  fast_crawl "$base/cycle/0.html" 6
  xdotool windowfocus --sync "$main" >/dev/null 2>&1; sleep 0.2
  local before t0 box shown later
  # every caption the window shows from now on, with the time it came
  LC_ALL=C.UTF-8 xprop -spy -id "$main" _NET_WM_NAME 2>/dev/null |
    while read -r line; do echo "$(date +%s%N) $line"; done >"$work/captions" &
  local spy=$!
  sleep 0.3
  # the run folder only: the archive's own files go once its close is done, behind the box
  before=$(find "$work/dl/SR0000" -type f | wc -l)
  t0=$(date +%s%N)
  xdotool key F2
  for _ in $(seq 400); do
    box=$(xdotool search --onlyvisible --name '^巡回の中止$' 2>/dev/null | head -1)
    [ -n "$box" ] && break
    sleep 0.005
  done
  local ms=$((($(date +%s%N) - t0) / 1000000))
  kill "$spy" 2>/dev/null; pkill -f "xprop -spy -id $main" 2>/dev/null
  [ -n "$box" ] || fail "no closing box after F2"
  # the caption says the cancel was taken
  local seen; seen=$(awk -v t0="$t0" '/キャンセル中/ {print int(($1 - t0) / 1000000); exit}' "$work/captions")
  shown=$(find "$work/dl/SR0000" -type f | wc -l)
  sleep 1
  later=$(find "$work/dl/SR0000" -type f | wc -l)
  probe_stop
  printf 'f2stop     F2 taken after %s ms, closing box after %d ms; files %d at F2, %d at the box, %d a second later\n' \
    "${seen:-?}" "$ms" "$before" "$shown" "$later"
  [ "$ms" -le 2000 ] || fail "the closing box came $ms ms after F2"
  [ "$later" -eq "$shown" ] || fail "files were stored after the closing box was shown"
  key "$box" Return
}
