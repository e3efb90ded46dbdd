#!/usr/bin/env bash
# Runs a Windows test program under 64-bit Wine. Used as the cross-compiling
# emulator of the win64 build, so ctest starts every .exe through it.
#
# Wine's background processes keep inherited pipes open, so the program's
# output goes to a file that is printed once the program has ended.
set -u
here=$(cd "$(dirname "$0")" && pwd)
export WINEPREFIX=${WINEPREFIX:-$here/../build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
wine=/usr/lib/wine/wine64
[ -x "$wine" ] || wine=$(command -v wine64 || command -v wine)

out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$wine" "$@" >"$out" 2>&1 </dev/null
rc=$?
# Wine prints its own start-up chatter on stderr; keep the program's lines.
grep -v -E '^(wine: |[0-9a-f]{4}:(err|fixme|warn):)' "$out"
exit $rc
