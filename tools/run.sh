#!/usr/bin/env bash
# Builds what is missing and runs Tarn: the native tarn with the given switches,
# or with --wine first, Tarn.exe (64-bit) under Wine with the same switches, or with --win32 first, the shipped
# 32-bit Tarn.exe under the emulated 32-bit Wine.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
if [ "${1:-}" = "--win32" ]; then "$here/tools/setup.sh" >&2; else "$here/tools/setup.sh" --no-win32 >&2; fi
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
exec "$here/build/native-run/tarn" "$@"
