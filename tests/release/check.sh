#!/usr/bin/env bash
# Builds the release zip and checks it is what a user can run: the 32-bit Tarn.exe, stripped, needing only
# system libraries, and the help pages in both languages.
set -euo pipefail
here=$(cd "$(dirname "$0")/../.." && pwd)
zip_path=$("$here/tools/release.sh" | tail -1)
fail() { echo "release check: $*" >&2; exit 1; }
[ -f "$zip_path" ] || fail "no zip at $zip_path"
names=$(unzip -Z1 "$zip_path" | LC_ALL=C sort | tr '\n' ' ')
[ "$names" = "ReadMe-en.htm ReadMe.htm Tarn.exe " ] || fail "zip holds: $names"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
unzip -q "$zip_path" -d "$work"
i686-w64-mingw32-objdump -f "$work/Tarn.exe" | grep -q 'file format pei-i386' || fail "Tarn.exe is not 32-bit"
if i686-w64-mingw32-objdump -h "$work/Tarn.exe" | grep -q '\.debug_'; then fail "Tarn.exe is not stripped"; fi
# Anything but the system's own libraries would have to ship beside the program.
system='^(advapi32|comctl32|comdlg32|gdi32|kernel32|msvcrt|ntdll|ole32|shell32|shlwapi|user32)\.dll$'
while read -r dll; do
  echo "$dll" | tr 'A-Z' 'a-z' | grep -Eq "$system" || fail "Tarn.exe needs $dll"
done < <(i686-w64-mingw32-objdump -p "$work/Tarn.exe" | sed -nE 's/.*DLL Name: (.*)/\1/p')
for page in ReadMe.htm ReadMe-en.htm; do
  cmp -s "$work/$page" "$here/res/$page" || fail "$page differs from res/$page"
done
echo "release check: $zip_path is complete"
