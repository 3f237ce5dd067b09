#!/usr/bin/env bash
# Installs, from Debian's packages, only what building and testing Tarn needs and the machine lacks.
set -euo pipefail
# --native: only what building and running the native tarn needs.
if [ "${1:-}" = "--native" ]; then
  packages=(cmake make g++)
else
packages=(cmake make g++ libgtest-dev googletest clang libclang-rt-14-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64
          wine wine64 xvfb xauth fonts-wqy-microhei imagemagick locales zip python3
          go-md2man dpkg-dev ccache par2 lintian)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}" >&2
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
[ "${1:-}" = "--native" ] && exit 0
# Wine's ANSI code page and interface language follow the locale: the tests need zh_CN.UTF-8 (code page 936), and
# the window tests in the user's language also en_US.UTF-8 and ja_JP.UTF-8.
for wanted in zh_CN en_US ja_JP; do
  locale -a 2>/dev/null | grep -qi "^$wanted\.utf8\$" && continue
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  $sudo_cmd sed -i "s/^# *$wanted.UTF-8 UTF-8/$wanted.UTF-8 UTF-8/" /etc/locale.gen
  grep -q "^$wanted.UTF-8 UTF-8" /etc/locale.gen || echo "$wanted.UTF-8 UTF-8" | $sudo_cmd tee -a /etc/locale.gen >/dev/null
  $sudo_cmd locale-gen >/dev/null
done

# The runner for the shipped 32-bit Tarn.exe (an i386 root with Wine under emulation): made once, then reused.
# --no-win32: for commands that never run the 32-bit program (running Tarn natively or 64-bit, the package).
if [ "${1:-}" != "--no-win32" ]; then
  "$(dirname "$0")/win32-root.sh" >/dev/null
fi
