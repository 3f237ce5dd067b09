#!/usr/bin/env bash
# Runs every test: native unit and batch tests, sanitizer and fuzz runs, both Windows builds, Wine tests.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/tools/setup.sh" || { echo "setup failed"; exit 1; }

passed=0
failed=0
failures=()
step() { echo; echo "=== $*"; }
# Adds the counts of a ctest log to the totals.
count_ctest() {
  local log=$1 label=$2
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -z "$line" ]; then
    failed=$((failed + 1)); failures+=("$label: ctest ran nothing")
  else
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad)); failed=$((failed + bad))
    [ "$bad" -gt 0 ] && failures+=("$label: $bad failed")
  fi
}
# Runs ctest in a build folder and adds its counts to the totals.
run_ctest() {
  local dir=$1 label=$2
  shift 2
  local log
  log=$(mktemp)
  ctest --test-dir "$dir" --output-on-failure --timeout 600 "$@" 2>&1 | tee "$log"
  count_ctest "$log" "$label"
  rm -f "$log"
}
build_or_fail() {
  local label=$1
  shift
  if ! "$@"; then failed=$((failed + 1)); failures+=("$label: build failed"); return 1; fi
}

step "native build and tests"
build_or_fail native tools/build.sh native && run_ctest build/native native

step "native build with AddressSanitizer and UndefinedBehaviorSanitizer"
build_or_fail asan tools/build.sh asan && run_ctest build/asan asan

step "batch mode under ThreadSanitizer (worker thread polled by the entry thread)"
build_or_fail tsan env TARN_BUILD_TARGET=tarn tools/build.sh tsan && run_ctest build/tsan tsan -R e2e

# The fuzzers run one core for their bounded time: the 32-bit build uses the other meanwhile.
fuzz_log=$(mktemp)
tests/fuzz/run.sh "$here/build/fuzz" >"$fuzz_log" 2>&1 &
fuzz_job=$!

step "32-bit Windows build (the shipped Tarn.exe)"
build_or_fail win32 tools/build.sh win32

step "fuzzing the header reader and the tokenizer"
if wait "$fuzz_job"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("fuzz"); fi
cat "$fuzz_log"
rm -f "$fuzz_log"

step "release package: the zip a user receives"
if tests/release/check.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("release package"); fi

# The emulated 32-bit suites are slow but mostly wait on themselves: they run on a display of their own beside
# the 64-bit ones, and report at the end.
win32_log=""
if [ -f build/win32/Tarn.exe ] && tools/win32-root.sh >/dev/null; then
  win32_log=$(mktemp)
  Xvfb :96 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb32=$!
  sleep 1
  DISPLAY=:96 ctest --test-dir build/win32 --output-on-failure --timeout 1800 \
    -R '^(unit|tarnrun_exit_code|message_dialog|e2e_batch_wine|e2e_large_wine|main_window)$' >"$win32_log" 2>&1 &
  win32_job=$!
elif [ -f build/win32/Tarn.exe ]; then
  failed=$((failed + 1)); failures+=("win32: no 32-bit runner")
fi

step "64-bit Windows build, tests under Wine"
if build_or_fail win64 tools/build.sh win64; then
  display=:97
  Xvfb $display -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb=$!
  export DISPLAY=$display
  sleep 1
  run_ctest build/win64 win64
  WINEPREFIX="$here/build/wineprefix" wineserver -k >/dev/null 2>&1 || true
  kill "$xvfb" 2>/dev/null || true
fi

step "the shipped 32-bit Tarn.exe under the emulated 32-bit Wine"
if [ -n "$win32_log" ]; then
  wait "$win32_job"
  cat "$win32_log"
  count_ctest "$win32_log" win32
  rm -f "$win32_log"
  tools/wine32-run.sh --kill >/dev/null 2>&1 || true
  kill "$xvfb32" 2>/dev/null || true
fi

echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
