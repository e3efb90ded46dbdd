#!/usr/bin/env bash
# Creates the throwaway Wine prefix the Windows tests run in (once per build tree).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=-all
export WINEDLLOVERRIDES=mscoree,mshtml=
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX"
  /usr/lib/wine/wine64 wineboot -i >/dev/null 2>&1 </dev/null || true
  # Without a window manager Wine waits about two seconds whenever a managed
  # window is shown or hidden; unmanaged windows make dialog tests fast.
  /usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f \
    >/dev/null 2>&1 </dev/null || true
  /usr/lib/wine/wineserver -w || true
fi
