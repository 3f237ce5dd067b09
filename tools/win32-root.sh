#!/usr/bin/env bash
# Prepares, once, the runner for the shipped 32-bit Tarn.exe: an i386 Debian root with 32-bit Wine, run under
# qemu user-mode emulation (this kernel runs no 32-bit code). Kept outside the checkout and reused; a root that is
# half made or broken is detected and made again. Prints the root's path.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
root=${TARN_I386_ROOT:-/var/cache/tarn/i386-root}
tools=$(dirname "$root")
stamp="tarn-i386-root 3"   # what a finished root records; a change of the recipe below makes a new root
log=$tools/setup.log
mkdir -p "$tools"

say() { echo "win32 runner: $*" >&2; }

# The mirror this machine's apt uses for its own release: never a name written into the project.
codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
mirror() {
  local uri
  uri=$(awk -v want="$codename" '
    /^URIs:/ { uris = $2 }
    /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == want) { print uris; exit } }' \
    /etc/apt/sources.list.d/*.sources 2>/dev/null | head -1)
  if [ -z "$uri" ] && [ -f /etc/apt/sources.list ]; then
    uri=$(awk -v want="$codename" '$1 == "deb" && $3 == want { print $2; exit }' /etc/apt/sources.list)
  fi
  [ -n "$uri" ] || { say "no apt source for $codename found under /etc/apt"; exit 1; }
  echo "$uri"
}

# qemu from the backports suite of the same archive, unpacked only (the host's own qemu is older and its Wine
# desktop process keeps crashing); the host's packaged qemu when backports cannot be had.
qemu_binary() {
  local qemu=$tools/qemu-i386
  # A release's qemu taken as a fallback earlier is replaced once the backport can be had.
  if [ -x "$qemu" ] && "$qemu" --version >/dev/null 2>&1 && ! "$qemu" --version | grep -q 'version 7\.'; then
    echo "$qemu"
    return
  fi
  local work
  work=$(mktemp -d)
  mkdir -p "$work/lists/partial" "$work/archives/partial"
  echo "deb $(mirror) $codename-backports main" >"$work/sources.list"
  local opts=(-o Dir::Etc::SourceList="$work/sources.list" -o Dir::Etc::SourceParts=/dev/null
              -o Dir::State::Lists="$work/lists" -o Dir::Cache="$work" -o APT::Architecture=amd64)
  # From qemu 9 on, the package qemu-user holds the static emulators (qemu-user-static only links to them).
  if apt-get "${opts[@]}" update -qq >>"$log" 2>&1 &&
     (cd "$work" && apt-get "${opts[@]}" download -qq "qemu-user/$codename-backports" >>"$log" 2>&1); then
    dpkg-deb -x "$work"/qemu-user_*.deb "$work/unpacked"
    if [ -f "$work/unpacked/usr/bin/qemu-i386" ] && "$work/unpacked/usr/bin/qemu-i386" --version >/dev/null 2>&1; then
      cp "$work/unpacked/usr/bin/qemu-i386" "$qemu.new" && mv "$qemu.new" "$qemu"
    fi
  fi
  rm -rf "$work"
  if [ ! -x "$qemu" ]; then
    say "backports qemu not available; using the release's qemu-user-static"
    dpkg-query -W -f='${Status}' qemu-user-static 2>/dev/null | grep -q 'install ok installed' ||
      DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends qemu-user-static >>"$log" 2>&1
    cp /usr/bin/qemu-i386-static "$qemu.new" && mv "$qemu.new" "$qemu"
  fi
  echo "$qemu"
}

# i386 ELF files run through qemu; F opens the interpreter now, so it works inside the chroot too.
register_binfmt() {
  local qemu=$1
  [ -f /proc/sys/fs/binfmt_misc/register ] || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  # Registered afresh each time: F holds the file that was there then, and the emulator may have been replaced.
  local entry=/proc/sys/fs/binfmt_misc/tarn-i386
  if [ -f "$entry" ]; then echo -1 >"$entry"; fi
  # Another handler for the same files would run first if it was registered later: ours must be the one.
  for other in /proc/sys/fs/binfmt_misc/qemu-i386 /proc/sys/fs/binfmt_misc/qemu-i386-static; do
    if [ -f "$other" ]; then echo 0 >"$other"; fi
  done
  printf '%s' ':tarn-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' \
    >/proc/sys/fs/binfmt_misc/register
}

# The root works: its stamp is there, its prefix was made and its Wine answers (run as every program is run).
root_ready() {
  [ -f "$root/.tarn-ready" ] && [ "$(cat "$root/.tarn-ready")" = "$stamp" ] &&
    [ -f "$root/var/lib/tarn-win32-prefix/system.reg" ] &&
    "$here/tools/wine32-run.sh" --version >/dev/null 2>&1
}

build_root() {
  say "making the i386 root in $root (several minutes, once)"
  umount -R "$root" 2>/dev/null || true
  rm -rf "$root"
  dpkg-query -W -f='${Status}' debootstrap 2>/dev/null | grep -q 'install ok installed' ||
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap >>"$log" 2>&1
  debootstrap --arch=i386 --variant=minbase "$codename" "$root" "$(mirror)" >>"$log" 2>&1
  local packages=(wine wine32 wine32-preloader locales fonts-wqy-microhei libx11-6 libxext6 libxrender1 libxi6
                  libxrandr2 libxcursor1 libxfixes3 libxcomposite1 libxinerama1 libfreetype6 libfontconfig1
                  libgnutls30)
  unshare -m --propagation private bash -c '
    set -e
    mount -t proc proc "$1/proc"
    chroot "$1" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin DEBIAN_FRONTEND=noninteractive \
      apt-get install -y -qq --no-install-recommends "${@:2}"
    printf "%s.UTF-8 UTF-8\n" $LOCALES >"$1/etc/locale.gen"
    chroot "$1" /usr/sbin/locale-gen' x "$root" "${packages[@]}" >>"$log" 2>&1
  chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin apt-get clean >>"$log" 2>&1 || true
  # The prefix lives in the root: made once, under emulation.
  "$here/tools/wine32-run.sh" --init >>"$log" 2>&1
  echo "$stamp" >"$root/.tarn-ready"
}

# The windows are tested in a Chinese, a Western and a Japanese locale; a root made with fewer gets the rest.
add_locales() {
  local have
  have=$(chroot "$root" /usr/bin/env -i PATH=/usr/bin:/bin locale -a 2>/dev/null)
  for wanted in $LOCALES; do
    grep -qi "^$wanted\.utf8\$" <<<"$have" && continue
    say "adding the locales to the i386 root"
    printf "%s.UTF-8 UTF-8\n" $LOCALES >"$root/etc/locale.gen"
    chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin /usr/sbin/locale-gen >>"$log" 2>&1
    return
  done
}

export LOCALES="zh_CN en_US ja_JP"
qemu=$(qemu_binary)
register_binfmt "$qemu"
root_ready || build_root
root_ready || { say "the i386 root does not work; see $log"; exit 1; }
add_locales
echo "$root"
