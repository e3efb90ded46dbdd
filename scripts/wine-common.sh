# Sourced by the scripts that run Windows programs under Wine: which Wine
# runs a program, in which prefix, and how the 32-bit one is started.
#
# 64-bit programs run under /usr/lib/wine/wine64 in $WINEPREFIX
# (build/wineprefix). This kind of machine's kernel runs no 32-bit code, so
# 32-bit programs run under Debian's 32-bit Wine started by the qemu-i386
# user-mode emulator ("direct mode": no binfmt_misc registration), in a
# WoW64 prefix of their own, $FROMSEL_WINEPREFIX32 (build/wineprefix32), made
# by scripts/wine-prefix.sh. Its wineserver and helper processes stay native.
#
# Wine starts every new 32-bit process by executing /usr/lib/wine/wine-preloader
# (or else /usr/lib/wine/wine), which this kernel refuses. So each 32-bit run
# gets a private mount namespace whose /usr/lib/wine is a copy of the real one
# plus a wine-preloader that hands the loader to the emulator; a test program
# that starts the test host then works as on Windows.

wine_build_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build
export WINEPREFIX=${WINEPREFIX:-$wine_build_dir/wineprefix}
export FROMSEL_WINEPREFIX32=${FROMSEL_WINEPREFIX32:-$wine_build_dir/wineprefix32}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}

wine64=/usr/lib/wine/wine64
[ -x "$wine64" ] || wine64=$(command -v wine64 || command -v wine)
wine32_loader=/usr/lib/wine/wine
wine_server=/usr/lib/wine/wineserver
qemu_i386=/usr/bin/qemu-i386
# The stand-in for /usr/lib/wine inside the 32-bit runs' mount namespace.
wine32_bin_dir=$FROMSEL_WINEPREFIX32-bin

# wine_arch FILE: i686 for a 32-bit x86 PE file, x86_64 for anything else
# (a 64-bit program, or a program name such as reg that Wine looks up).
# FROMSEL_WINE_ARCH overrides, for such names run in the 32-bit prefix.
wine_arch() {
  if [ -n "${FROMSEL_WINE_ARCH:-}" ]; then
    echo "$FROMSEL_WINE_ARCH"
    return
  fi
  local file=$1 header machine=""
  [ -f "$file" ] || file=$1.exe
  if [ -f "$file" ] && header=$(od -An -t u4 -j 60 -N 4 "$file" 2>/dev/null) &&
     [ -n "$header" ]; then
    machine=$(od -An -t x2 -j $((header + 4)) -N 2 "$file" 2>/dev/null | tr -d ' ')
  fi
  if [ "$machine" = 014c ]; then echo i686; else echo x86_64; fi
}

# wine32_bin_ready: the namespace's /usr/lib/wine is there and current.
wine32_bin_ready() {
  [ -x "$wine32_bin_dir/wine-preloader" ] && [ ! "$wine32_loader" -nt "$wine32_bin_dir/wine" ]
}

# make_wine32_bin_dir: copies /usr/lib/wine and adds the wine-preloader.
make_wine32_bin_dir() {
  rm -rf "$wine32_bin_dir"
  mkdir -p "$wine32_bin_dir"
  cp -p /usr/lib/wine/* "$wine32_bin_dir/"
  # $1 is the loader Wine meant to execute, the rest its arguments. 64-bit
  # programs never come here: their wine64-preloader is absent, so Wine
  # executes wine64 itself.
  printf '#!/bin/sh\nexec %s "$@"\n' "$qemu_i386" >"$wine32_bin_dir/wine-preloader"
  chmod +x "$wine32_bin_dir/wine-preloader"
}

# in_wine32_namespace COMMAND...: COMMAND with the 32-bit prefix and the
# emulating /usr/lib/wine. Needs root (a private mount namespace).
in_wine32_namespace() {
  WINEPREFIX=$FROMSEL_WINEPREFIX32 WINELOADERNOEXEC=1 \
    unshare --mount --propagation private -- \
    sh -c 'mount --bind "$0" /usr/lib/wine && exec "$@"' "$wine32_bin_dir" "$@"
}

# wine_exec PROGRAM ARGS...: runs a Windows program with the Wine of its
# kind, in its prefix; stdin, stdout and stderr as given.
wine_exec() {
  if [ "$(wine_arch "$1")" = i686 ]; then
    in_wine32_namespace "$qemu_i386" "$wine32_loader" "$@"
  else
    "$wine64" "$@"
  fi
}

# Wine's start-up chatter on stderr; the program's own lines pass.
wine_chatter='^(wine: |[0-9a-f]{4}:(err|fixme|warn):)'
