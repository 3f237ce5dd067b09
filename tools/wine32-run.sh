#!/usr/bin/env bash
# Runs a Windows program under the emulated 32-bit Wine of the i386 root (tools/win32-root.sh), in its private
# win32 prefix with code page 936 (TARN_WINE_LOCALE names another locale, as for tools/wine-run.sh). The host's
# folders appear inside the root at the same places, so paths given as Z:\... or relative to the current folder
# name the user's own files. --init makes the prefix, --kill ends it.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${TARN_I386_ROOT:-/var/cache/tarn/i386-root}
# TARN_WIN32_PREFIX names another prefix inside the root, for a second run beside the first.
prefix=${TARN_WIN32_PREFIX:-/var/lib/tarn-win32-prefix}
case "$prefix" in /var/lib/tarn-win32-*) ;; *) echo "wine32-run: the prefix lives in /var/lib/tarn-win32-*" >&2; exit 2 ;; esac
case "${TARN_WINE_LOCALE:-zh_CN.UTF-8}" in *[!A-Za-z_.0-9-]*) echo "wine32-run: no such locale" >&2; exit 2 ;; esac
init=0
case "${1:-}" in
  --init) init=1; shift ;;
  --kill) init=2; shift ;;   # ends the prefix's wineserver and every process of it
esac
# A run without a display gets a prefix of its own (see tools/wine-run.sh); --init makes the display's, --kill
# ends both.
display_prefix=$prefix
[ -n "${DISPLAY:-}" ] || [ "$init" = 1 ] || prefix="$prefix-headless"
[ -x "$root/usr/bin/wine" ] || { echo "wine32-run: no 32-bit runner in $root (tools/win32-root.sh makes it)" >&2; exit 2; }

# Host folders that user files and the build live in, bound at their own paths; the root keeps its /usr.
binds=()
for folder in /tmp /home /root /work /mnt /media /srv "$here" "$PWD"; do
  [ -d "$folder" ] || continue
  case "$folder" in /usr|/usr/*|/etc|/etc/*|/var/cache/tarn*|/proc*|/dev*|/sys*|/) continue ;; esac
  binds+=("$folder")
done

# Wine's helper processes outlive the program and keep whatever output it was given: give them files, not the
# caller's pipes, and hand the program's output on when it ends.
BIND_LIST=$(IFS=:; echo "${binds[*]}")
export BIND_LIST
out=$(mktemp)
err=$(mktemp)
set +e
unshare -m --propagation private bash -c '
  root=$1; init=$2; shift 2
  IFS=: read -r -a binds <<<"$BIND_LIST"
  for folder in "${binds[@]}"; do
    mkdir -p "$root$folder"
    mount --rbind "$folder" "$root$folder"
  done
  mount -t proc proc "$root/proc"
  mount --rbind /dev "$root/dev"
  mount --rbind /sys "$root/sys" 2>/dev/null || true
  env=(PATH=/usr/bin:/bin HOME=/root WINEPREFIX='"$prefix"' WINEARCH=win32 WINEDEBUG=-all LC_ALL="'"${TARN_WINE_LOCALE:-zh_CN.UTF-8}"'"
       "WINEDLLOVERRIDES=mscoree,mshtml=")
  [ -n "${DISPLAY:-}" ] && env+=("DISPLAY=$DISPLAY")
  if [ "$init" = 1 ]; then
    exec chroot "$root" /usr/bin/env -i "${env[@]}" sh -c "wineboot -i && wineserver -w"
  fi
  if [ "$init" = 2 ]; then
    chroot "$root" /usr/bin/env -i "${env[@]}" WINEPREFIX='"$display_prefix-headless"' wineserver -k
    exec chroot "$root" /usr/bin/env -i "${env[@]}" WINEPREFIX='"$display_prefix"' wineserver -k
  fi
  exec chroot "$root" /usr/bin/env -i "${env[@]}" sh -c "cd \"\$0\" 2>/dev/null || cd /; if [ ! -d \"\$WINEPREFIX\" ]; then wineboot -i >/dev/null 2>&1; wineserver -w; fi; exec wine \"\$@\"" "$PWD" "$@"
' x "$root" "$init" "$@" >"$out" 2>"$err" </dev/null
code=$?
set -e
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit "$code"
