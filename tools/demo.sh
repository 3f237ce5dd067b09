#!/usr/bin/env bash
# A short demonstration of tarn on a sample it makes: a split with recovery volumes, info, verify, a piece lost,
# a join that rebuilds it, and the comparison. Usage: tools/demo.sh TARN [FOLDER] (default: build/demo).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
program=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
folder=${2:-$here/build/demo}
rm -rf "$folder"
mkdir -p "$folder"
cd "$folder"
tarn() { "$program" "$@"; }
show() {
  printf '\n$ %s\n' "$*"
  "$@"
}
# Three megabytes that compress to nothing would say little of a real file: these are random.
head -c 3000000 /dev/urandom > sample.bin
echo "A sample of 3,000,000 random bytes: $folder/sample.bin"
show tarn split sample.bin -s 600K --recovery 2
show tarn info sample/samp0001.trn
show tarn verify sample/samp0001.trn
show rm sample/samp0003.trn
show tarn verify sample/samp0001.trn || true
show tarn join sample/samp0001.trn -o joined
show cmp sample.bin joined/sample.bin
cat <<TEXT

joined/sample.bin is sample.bin, byte for byte, though piece 3 was lost: the recovery volumes rebuilt it.
Everything is in $folder: sample.bin, its pieces and volumes in sample/, the file joined again in joined/.
Next: tools/run.sh split YOUR-FILE (tools/run.sh --help lists the commands), or tools/run.sh --wine for Tarn.exe.
TEXT
