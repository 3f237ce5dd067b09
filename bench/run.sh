#!/usr/bin/env bash
# Times the native tarn against coreutils: its commands and the compatible switches against split -b, cat and a
# plain read, recovery volumes against split -b with par2 create and a repairing join against par2 repair with cat,
# the 64-bit Tarn.exe under Wine against the commands, and a DVD-sized split of a sparse 6 GiB file with its peak memory. Each row alternates the two
# commands TARN_BENCH_ROUNDS times (default 5) and prints the medians and their ratio; TARN_BENCH_ONLY=TEXT runs
# only the rows whose label contains TEXT; TARN_BENCH_PAUSE (default 2) is the pause in seconds after each clean-up.
# Usage: bench/run.sh [size in MiB, default 1024]. TARN_BENCH_BUILD names a configured build folder to use.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-1024}
if [ -n "${TARN_BENCH_BUILD:-}" ]; then
  build=$(cd "$TARN_BENCH_BUILD" && pwd)
  cmake --build "$build" -j2 --target tarn >/dev/null
else
  build="$here/build/native-run"
  "$here/tools/build.sh" native-run >/dev/null
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tarn-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
# The 64-bit Tarn.exe, where it is built, is timed under Wine against the native commands too.
windows=()
if [ -x "$(command -v wine || true)" ] && [ -f "$here/build/win64/Tarn.exe" ]; then
  windows=("$here/build/win64/Tarn.exe" "$here/tools/wine-run.sh")
fi
python3 "$here/bench/bench.py" "$build/tarn" "$work" "$mib" "${windows[@]}"
