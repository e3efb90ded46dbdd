#!/usr/bin/env bash
# Runs a Windows program under Wine: 64-bit programs under wine64, 32-bit
# ones under the emulated 32-bit Wine (see wine-common.sh). Used as the
# cross-compiling emulator of the win64 and the win32 build, so ctest starts
# every .exe through it.
#
#   scripts/wine-run.sh PROGRAM [ARGS...]
#
# Wine's background processes keep inherited pipes open, so the program's
# output goes to a file that is printed once the program has ended.
set -u
here=$(cd "$(dirname "$0")" && pwd)
source "$here/wine-common.sh"

bash "$here/wine-prefix.sh" "$(wine_arch "$1")" || exit 1
out=$(mktemp)
trap 'rm -f "$out"' EXIT
wine_exec "$@" >"$out" 2>&1 </dev/null
rc=$?
grep -v -E "$wine_chatter" "$out"
exit $rc
