#!/usr/bin/env bash
# Configures and builds one of the three builds: native, win64 or win32 (into build/<name>).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
name=${1:?usage: build.sh native|win64|win32 [cmake options...]}
shift
case "$name" in
  native) opts=(-DTARN_TESTS=ON) ;;
  native-run) opts=(-DTARN_TESTS=OFF) ;;
  win64-run) opts=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" -DTARN_TESTS=OFF) ;;
  asan) opts=(-DTARN_SANITIZE=address,undefined -DTARN_TESTS=ON) ;;
  tsan) opts=(-DTARN_SANITIZE=thread -DTARN_TESTS=ON) ;;
  win64) opts=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tools/wine-run.sh") ;;
  win32) opts=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake"
               -DCMAKE_CROSSCOMPILING_EMULATOR="$here/tools/wine32-run.sh" -DTARN_WINE_RUNNER="$here/tools/wine32-run.sh") ;;
  win32-run) opts=(-DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-i686.cmake" -DTARN_TESTS=OFF) ;;
  *) echo "unknown build $name" >&2; exit 2 ;;
esac
. "$here/tools/compiler-cache.sh"
cmake -S "$here" -B "$here/build/$name" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${opts[@]}" "${compiler_cache_options[@]}" "$@" \
  >/dev/null
# TARN_BUILD_TARGET builds only the targets it names (the TSan run needs the program and the threaded units).
cmake --build "$here/build/$name" -j"$(nproc)" ${TARN_BUILD_TARGET:+--target $TARN_BUILD_TARGET}
