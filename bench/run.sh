#!/usr/bin/env bash
# Times the native tarn against coreutils on one generated file: split, join, with and without checksum.
# Usage: bench/run.sh [size in MiB, default 1024]. Prints each time, the ratio to its peer, and peak memory.
# TARN_BENCH_BUILD names an already configured build folder to use instead of build/native-run.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
mib=${1:-1024}
if [ -n "${TARN_BENCH_BUILD:-}" ]; then
  build=$(cd "$TARN_BENCH_BUILD" && pwd)
  cmake --build "$build" -j2 >/dev/null
else
  build="$here/build/native-run"
  "$here/tools/build.sh" native-run >/dev/null
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/tarn-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/plain" "$work/crc"
cp "$build/tarn" "$work/plain/tarn"
cp "$build/tarn" "$work/crc/tarn"
settings() {  # checksum flag, then the other fields at their defaults (output folder named after the file)
  python3 -c "import struct,sys; sys.stdout.buffer.write(b'TARN1500'+struct.pack('<8I',0,0,2,$1,0,0,2,0)+bytes(18))" > "$2/dTarn.dat"
}
settings 0 "$work/plain"
settings 1 "$work/crc"
echo "generating $mib MiB"
head -c $((mib * 1048576)) /dev/urandom > "$work/source.bin"

# Seconds and peak resident KiB of one command.
measure() {
  /usr/bin/time -o "$work/time.txt" -f '%e %M' "$@" >/dev/null 2>&1
  tail -1 "$work/time.txt"
}
row() {  # label, tarn result, peer result
  read -r t m <<<"$2"
  read -r pt _ <<<"$3"
  python3 -c "print('%-38s %7.2f s  peer %7.2f s  ratio %5.2f  peak %7d KiB' % ('$1', $t, $pt, $t / max($pt, 0.01), $m))"
}

cat_read=$(measure cat "$work/source.bin")
echo "plain read (cat file >/dev/null): $(cut -d' ' -f1 <<<"$cat_read") s"
for preset in "电邮:899" "CD 74 (batch limit 100000 KiB):100000"; do
  label=${preset%%:*}
  kb=${preset##*:}
  for mode in plain crc; do
    rm -rf "$work/out" "$work/peer" "$work/joined"
    mkdir -p "$work/peer"
    t=$(measure "$work/$mode/tarn" "/i=$work/source.bin" "/o=$work/out" "/s=$kb" /q)
    p=$(cd "$work/peer" && measure split -b "${kb}k" "$work/source.bin" part)
    if [ $mode = crc ]; then
      # Peer plus one read pass, as the checksum reads the file once more.
      p=$(python3 -c "print('%.2f 0' % (${p%% *} + ${cat_read%% *}))")
    fi
    row "split $label, checksum $mode" "$t" "$p"
    t=$(measure "$work/$mode/tarn" "/i=$work/out/sour0001.trn" "/o=$work/joined" /q)
    p=$(measure bash -c "cat '$work'/peer/part* > '$work/peer/whole'")
    if [ $mode = crc ]; then p=$(python3 -c "print('%.2f 0' % (${p%% *} + ${cat_read%% *}))"); fi
    row "join  $label, checksum $mode" "$t" "$p"
    cmp -s "$work/joined/source.bin" "$work/source.bin" || { echo "rebuilt file differs"; exit 1; }
  done
done
