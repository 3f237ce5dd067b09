#!/usr/bin/env bash
# Builds the package handed to users: dist/Tarn-<version>.zip with the 32-bit Tarn.exe (stripped) and its help pages
# (ReadMe.htm in Chinese, ReadMe-en.htm in English).
# The program is the one the test run builds and links (build/win32), so what ships is what was tested.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/setup.sh" --no-win32 >&2
"$here/tools/build.sh" win32 >/dev/null
version=$(sed -nE 's/^const char kMainCaption\[\] = "Tarn ([0-9.]+)";/\1/p' "$here/src/ui/win32/mainwindow_win32.cpp")
[ -n "$version" ] || { echo "release: no version in the main window caption" >&2; exit 1; }
dist="$here/dist"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$here/build/win32/Tarn.exe" "$stage/Tarn.exe"
i686-w64-mingw32-strip "$stage/Tarn.exe"
cp "$here/res/ReadMe.htm" "$here/res/ReadMe-en.htm" "$stage/"
mkdir -p "$dist"
zip_path="$dist/Tarn-$version.zip"
rm -f "$zip_path"
(cd "$stage" && zip -q -X "$zip_path" Tarn.exe ReadMe.htm ReadMe-en.htm)
echo "$zip_path"
