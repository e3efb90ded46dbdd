#!/usr/bin/env bash
# Makes the throwaway Wine prefixes the Windows tests run in, once, and
# reuses them afterwards:
#
#   scripts/wine-prefix.sh [x86_64|i686]...   (default: both)
#
#   x86_64  $WINEPREFIX (build/wineprefix), for the win64 build
#   i686    $FROMSEL_WINEPREFIX32 (build/wineprefix32), for the win32 build:
#           a WoW64 prefix whose 32-bit half runs under the emulator
#
# Several test runs may ask at once; the first makes the prefix, the others
# wait for it.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"
# A mingw folder on WINEPATH makes wineboot load a wrong user32.dll and abort.
unset WINEPATH

# The DLLs that windows need: a prefix whose wineboot was cut short runs
# console programs, but creating a window fails there (error 1400).
window_dlls="user32.dll gdi32.dll comctl32.dll winex11.drv"

# complete PREFIX SYSTEM_FOLDER...: wineboot finished and the folders are full.
complete() {
  local prefix=$1 folder dll
  shift
  [ -f "$prefix/.fromsel-complete" ] || return 1
  for folder in "$@"; do
    for dll in $window_dlls; do
      [ -f "$prefix/drive_c/windows/$folder/$dll" ] || return 1
    done
  done
}

# boot PREFIX COMMAND...: a fresh prefix made by COMMAND (a wineboot), then
# the settings the tests rely on; the marker only once all of it is done.
boot() {
  local prefix=$1
  shift
  WINEPREFIX=$prefix "$wine_server" -k 2>/dev/null || true
  rm -rf "$prefix"
  mkdir -p "$prefix"
  "$@" >"$prefix.log" 2>&1 </dev/null || true
  # wineboot returns before the server has finished writing the prefix.
  WINEPREFIX=$prefix "$wine_server" -w
  # Without a window manager Wine waits about two seconds whenever a managed
  # window is shown or hidden; unmanaged windows make dialog tests fast.
  WINEPREFIX=$prefix "$wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    >>"$prefix.log" 2>&1 </dev/null || true
  WINEPREFIX=$prefix "$wine_server" -w
}

make_x86_64() {
  complete "$WINEPREFIX" system32 && return
  echo "wine-prefix: making $WINEPREFIX"
  boot "$WINEPREFIX" "$wine64" wineboot --init
  complete_or_fail "$WINEPREFIX" system32
}

# The 64-bit wineboot fills syswow64 and registers the 32-bit half itself
# when it finds the 32-bit DLLs (WINEDLLPATH) and can start the 32-bit
# rundll32.exe (the namespace's wine-preloader).
wineboot_wow64() {
  WINEDLLPATH=/usr/lib/i386-linux-gnu/wine in_wine32_namespace "$wine64" wineboot --init
}

make_i686() {
  wine32_bin_ready || make_wine32_bin_dir
  complete "$FROMSEL_WINEPREFIX32" system32 syswow64 && return
  echo "wine-prefix: making $FROMSEL_WINEPREFIX32 (32-bit programs under $qemu_i386)"
  boot "$FROMSEL_WINEPREFIX32" wineboot_wow64
  complete_or_fail "$FROMSEL_WINEPREFIX32" system32 syswow64
}

complete_or_fail() {
  local prefix=$1
  touch "$prefix/.fromsel-complete"
  if ! complete "$@"; then
    rm -f "$prefix/.fromsel-complete"
    echo "wine-prefix: $prefix is incomplete; see $prefix.log" >&2
    exit 1
  fi
}

[ $# -gt 0 ] || set -- x86_64 i686
mkdir -p "$wine_build_dir"
for arch in "$@"; do
  case $arch in
    x86_64|i686) ;;
    *) echo "usage: wine-prefix.sh [x86_64|i686]..." >&2; exit 2 ;;
  esac
  # One maker per prefix at a time; the others find it complete.
  (
    flock 9
    "make_$arch"
  ) 9>"$wine_build_dir/.wine-prefix-$arch.lock"
done
