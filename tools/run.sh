#!/usr/bin/env bash
# Builds what is missing and runs Tarn: alone, a short demonstration of the native tarn; else the native tarn with
# the given command or switches,
# or with --wine first, Tarn.exe (64-bit) under Wine with the same switches, or with --win32 first, the shipped
# 32-bit Tarn.exe under the emulated 32-bit Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# Only what the program asked for needs installing: the native tarn needs a compiler and cmake alone.
case "${1:-}" in
  --win32) "$here/tools/setup.sh" >&2 ;;
  --wine) "$here/tools/setup.sh" --no-win32 >&2 ;;
  *) "$here/tools/setup.sh" --native >&2 ;;
esac
if [ "${1:-}" = "--win32" ]; then
  # The shipped program: build/win32/Tarn.exe is what tools/release.sh strips and zips.
  shift
  "$here/tools/build.sh" win32 >/dev/null
  exec "$here/tools/wine32-run.sh" "$here/build/win32/Tarn.exe" "$@"
fi
if [ "${1:-}" = "--wine" ]; then
  shift
  "$here/tools/build.sh" win64-run >/dev/null
  exec "$here/tools/wine-run.sh" "$here/build/win64-run/Tarn.exe" "$@"
fi
"$here/tools/build.sh" native-run >/dev/null
# Alone, a short demonstration on a sample; tarn itself alone prints its help.
[ $# -eq 0 ] && exec "$here/tools/demo.sh" "$here/build/native-run/tarn"
exec "$here/build/native-run/tarn" "$@"
