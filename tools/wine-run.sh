#!/usr/bin/env bash
# Runs a Windows program under Wine in the build's private prefix, with code page 936 and a Chinese interface
# (TARN_WINE_LOCALE names another locale, e.g. en_US.UTF-8 for a Western system: its code page and language).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
export WINEPREFIX="${TARN_WINEPREFIX:-$here/build/wineprefix}"
# A run without a display gets a prefix of its own: Wine's desktop outlives a program by seconds and takes the
# display of the run that started it, so a display run right after a headless one could open no window at all.
[ -n "${DISPLAY:-}" ] || WINEPREFIX="$WINEPREFIX-headless"
export WINEDEBUG=-all
export LC_ALL="${TARN_WINE_LOCALE:-zh_CN.UTF-8}"
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w || true
fi
exec wine "$@"
