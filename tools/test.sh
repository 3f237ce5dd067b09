#!/usr/bin/env bash
# Runs every test: native unit and batch tests, sanitizer and fuzz runs, both Windows builds, Wine tests.
set -uo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
"$here/tools/setup.sh" --no-win32 || { echo "setup failed"; exit 1; }
# The runner of the 32-bit Tarn.exe (minutes of emulated package installs on a fresh machine, a quick check after)
# is made beside the builds; its suite waits for it.
root_log=$(mktemp)
"$here/tools/win32-root.sh" >"$root_log" 2>&1 &
root_job=$!

passed=0
failed=0
failures=()
started=$SECONDS
step() { echo; echo "=== $* (at $((SECONDS - started)) s)"; }
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
# Two at a time: the cases that share tarn's single-instance lock are marked to run alone.
build_or_fail native tools/build.sh native && run_ctest build/native native -j2

step "native build with AddressSanitizer and UndefinedBehaviorSanitizer"
build_or_fail asan tools/build.sh asan && run_ctest build/asan asan -j2

step "threads under ThreadSanitizer (the batch mode's worker, the commands' runs of pieces)"
build_or_fail tsan env TARN_BUILD_TARGET="tarn tarn_cli_unit" tools/build.sh tsan &&
  run_ctest build/tsan tsan -j2 -R '^(e2e_(batch|safety|commands(_runs|_reports)?_native)|ThreadedSet\.|Workers\.)'

# The Wine suites mostly wait on windows and timers: the two run side by side, each on a display of its own, once
# every build is done (a compile beside them slowed the window tests past their limits). Everything that runs the
# native tarn (whose single-instance lock the cross-build cases share) has run by now.
start_suite() {  # label, build folder, display, log, ctest arguments...
  local label=$1 dir=$2 display=$3 log=$4
  shift 4
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  echo $! >"$log.xvfb"
  sleep 1
  DISPLAY=$display ctest --test-dir "$dir" --output-on-failure --timeout 1800 "$@" >"$log" 2>&1 &
  echo $! >"$log.job"
}
finish_suite() {  # label, log
  local label=$1 log=$2
  step "$label"
  wait "$(cat "$log.job")"
  cat "$log"
  count_ctest "$log" "${label%% *}"
  kill "$(cat "$log.xvfb")" 2>/dev/null || true
  rm -f "$log" "$log.job" "$log.xvfb"
}

win64_log=""
step "64-bit Windows build"
win64_built=0
build_or_fail win64 tools/build.sh win64 && win64_built=1

step "32-bit Windows build, the shipped Tarn.exe"
win32_built=0
build_or_fail win32 tools/build.sh win32 && win32_built=1

step "fuzzing the header reader, the tokenizer, the parser and the volume reader"
if tests/fuzz/run.sh "$here/build/fuzz"; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("fuzz"); fi

step "release package: the zip a user receives"
if tests/release/check.sh; then passed=$((passed + 1)); else failed=$((failed + 1)); failures+=("release package"); fi

if [ "$win64_built" = 1 ]; then
  win64_log=$(mktemp)
  start_suite win64 build/win64 :97 "$win64_log"
fi
win32_log=""
if [ "$win32_built" = 1 ]; then
  if wait "$root_job"; then
    win32_log=$(mktemp)
    # One Wine session for the whole 32-bit suite: under emulation every start of one (Wine's boot, desktop and
    # services) costs seconds, and one has hung for good in its boot.
    (sleep 1; DISPLAY=:96 tools/wine32-run.sh build/win32/tests/win/keepsession.exe) >/dev/null 2>&1 &
    start_suite win32 build/win32 :96 "$win32_log" \
      -R '^(unit|tarnrun_exit_code|message_dialog|e2e_batch_wine|e2e_recovery_wine|e2e_large_wine|main_window|names_window|window_language_.*|person_driven_shortcuts_english)$'
  else
    cat "$root_log"
    failed=$((failed + 1)); failures+=("win32: no 32-bit runner")
  fi
fi

# The equivalence runs beside both suites from the start, in Wine prefixes of its own: the suites' prefixes hold
# Tarn.exe's single-instance lock.
same_log=""
if [ -n "$win32_log" ] && [ "$win64_built" = 1 ]; then
  same_log=$(mktemp)
  TARN_WINEPREFIX="$here/build/wineprefix-same" TARN_WIN32_PREFIX=/var/lib/tarn-win32-same \
    ctest --test-dir build/win32 --output-on-failure --timeout 1800 -R '^e2e_equivalence$' >"$same_log" 2>&1 &
  same_job=$!
fi
if [ -n "$win32_log" ]; then
  finish_suite "win32: the shipped 32-bit Tarn.exe under the emulated 32-bit Wine" "$win32_log"
  tools/wine32-run.sh --kill >/dev/null 2>&1 || true
fi
if [ -n "$win64_log" ]; then
  finish_suite "win64: the 64-bit Tarn.exe under Wine" "$win64_log"
  for prefix in "$here/build/wineprefix" "$here/build/wineprefix-headless"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
fi
if [ -n "$same_log" ]; then
  step "one engine: the same bytes from tarn split, tarn /i=, the 64- and the 32-bit Tarn.exe"
  wait "$same_job"
  cat "$same_log"
  count_ctest "$same_log" equivalence
  rm -f "$same_log"
  for prefix in "$here/build/wineprefix-same" "$here/build/wineprefix-same-headless"; do
    WINEPREFIX="$prefix" wineserver -k >/dev/null 2>&1 || true
  done
  TARN_WIN32_PREFIX=/var/lib/tarn-win32-same tools/wine32-run.sh --kill >/dev/null 2>&1 || true
fi

rm -f "$root_log"
echo
for f in "${failures[@]}"; do echo "FAILED: $f"; done
echo "$passed passed, $failed failed, in $((SECONDS - started)) s"
[ "$failed" -eq 0 ]
