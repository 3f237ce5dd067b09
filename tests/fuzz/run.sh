#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time (FUZZ_SECONDS, default 15).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build/fuzz}
seconds=${FUZZ_SECONDS:-15}
. "$root/tools/compiler-cache.sh"
cmake -S "$root" -B "$build" -DTARN_FUZZ=ON -DTARN_TESTS=OFF -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo "${compiler_cache_options[@]}" >/dev/null
cmake --build "$build" -j2 --target fuzz_header fuzz_tokenizer fuzz_options fuzz_volume
for name in header tokenizer options volume; do
  corpus="$build/corpus_$name"
  mkdir -p "$corpus"
  # Seeds kept in the repository start the fuzzer on inputs it would hardly make up (a rebuild script).
  seeds=()
  [ -d "$root/tests/fuzz/seeds_$name" ] && seeds=("$root/tests/fuzz/seeds_$name")
  echo "== fuzz_$name for ${seconds}s"
  # Stops at the first crash, leak or failed check and leaves the input in the build folder.
  "$build/tests/fuzz/fuzz_$name" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 \
    -artifact_prefix="$build/crash_${name}_" "$corpus" "${seeds[@]}"
done
echo "fuzzing passed"
