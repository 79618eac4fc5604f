#!/usr/bin/env bash
# Builds the libFuzzer targets (clang, AddressSanitizer + UndefinedBehaviorSanitizer) in
# build-fuzz and runs each for SECONDS (default 600), one after the other, starting from its
# seed corpus. Prints executions per second and coverage of each run; any finding is kept in
# build-fuzz/fuzz-artifacts/<target>/ and makes the script fail, as does a target that does not
# build.
#   scripts/fuzz.sh [SECONDS] [TARGET...]     targets: the tests/fuzz/fuzz_*.cpp (default: all)
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${SR_FUZZ_BUILD_DIR:-$ROOT/build-fuzz}"
SECONDS_EACH="${1:-600}"
[ $# -gt 0 ] && shift
# every target there is, so that a new one is never left out (one CMake does not know fails the
# build below)
ALL=()
for f in "$ROOT"/tests/fuzz/fuzz_*.cpp; do f="${f##*/fuzz_}"; ALL+=("${f%.cpp}"); done
TARGETS=("$@")
[ ${#TARGETS[@]} -gt 0 ] || TARGETS=("${ALL[@]}")

"$ROOT/scripts/deps.sh" clang-14 libclang-rt-14-dev lld-14

if [ ! -f "$BUILD/build.ninja" ]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER=clang++-14 -DSR_BUILD_FUZZ=ON -DSR_BUILD_TESTS=OFF -DSR_BUILD_BENCH=OFF
fi
names=()
for t in "${TARGETS[@]}"; do names+=("fuzz_${t#fuzz_}"); done
built=$SECONDS
ninja -C "$BUILD" -j"${SR_FUZZ_JOBS:-2}" "${names[@]}"
echo "== built in $((SECONDS - built)) s"

export ASAN_OPTIONS="${ASAN_OPTIONS:-abort_on_error=1:detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}"
export QT_QPA_PLATFORM=offscreen
failed=0
summary=()
for name in "${names[@]}"; do
  short="${name#fuzz_}"
  work="$BUILD/fuzz-corpus/$short"
  artifacts="$BUILD/fuzz-artifacts/$short"
  log="$BUILD/fuzz-logs/$short.log"
  mkdir -p "$work" "$artifacts" "$(dirname "$log")"
  echo "== $name: ${SECONDS_EACH}s (log: $log)"
  dict=()
  [ -f "$ROOT/tests/fuzz/$short.dict" ] && dict=(-dict="$ROOT/tests/fuzz/$short.dict")
  status=0
  "$BUILD/tests/fuzz/$name" "${dict[@]}" -max_total_time="$SECONDS_EACH" -print_final_stats=1 \
    -timeout=10 -rss_limit_mb=2048 -max_len=4096 -artifact_prefix="$artifacts/" \
    "$work" "$ROOT/tests/fuzz/corpus/$short" >"$log" 2>&1 || status=$?
  # libFuzzer's last status line: "#N DONE cov: C ft: F corp: ... exec/s: E rss: R"
  last="$(grep -E '^#[0-9]+' "$log" | tail -1 || true)"
  runs="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -1)"
  execs="$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -1)"
  cov="$(sed -n 's/.* cov: \([0-9]*\).*/\1/p' <<<"$last")"
  ft="$(sed -n 's/.* ft: \([0-9]*\).*/\1/p' <<<"$last")"
  corp="$(sed -n 's/.* corp: \([0-9]*\/[0-9A-Za-z]*\).*/\1/p' <<<"$last")"
  if [ "$status" -ne 0 ]; then
    failed=1
    result="FINDING (exit $status; see $artifacts)"
    tail -n 40 "$log"
  else
    result="clean"
  fi
  line="$short: ${runs:-?} runs, ${execs:-?} exec/s, cov: ${cov:-?} ft: ${ft:-?} corp: ${corp:-?} -> $result"
  echo "$line"
  summary+=("$line")
done
echo "== summary"
printf '%s\n' "${summary[@]}"
exit "$failed"
