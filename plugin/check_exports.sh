#!/usr/bin/env bash
# Checks that a fromsel.dll exports the five callbacks undecorated, by name,
# at ordinals 1, 2, 7, 14 and 15, and imports only system DLLs (no compiler
# run-time DLL that a user's system would lack). Exit 77 (skipped) when the
# DLL is absent.
set -u
dll=${1:?usage: check_exports.sh PATH/fromsel.dll}
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll not built (build the win32 tree first)"
  exit 77
fi
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
table=$("$objdump" -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }

# The "[Ordinal/Name Pointer] Table" lists "[ INDEX] NAME", INDEX counted
# from the "Ordinal Base"; older binutils print "[ I] +base[ ORDINAL] HINT NAME".
exports=$(echo "$table" | awk '
  /^Ordinal Base/ { base = $NF }
  /\[Ordinal\/Name Pointer\] Table/ { inNames = 1; next }
  inNames && /^[ \t]*$/ { inNames = 0 }
  inNames {
    if (match($0, /\+base\[ *[0-9]+\]/)) {
      ordinal = substr($0, RSTART + 6, RLENGTH - 7) + 0
    } else if (match($0, /\[ *[0-9]+\]/)) {
      ordinal = substr($0, RSTART + 1, RLENGTH - 2) + base
    } else next
    print ordinal ":" $NF
  }')

fail=0
for entry in 1:BKC_OnStart 2:BKC_OnExit 7:BKC_OnOpenCompose 14:BKC_OnPlugInSetup 15:BKC_OnPlugInInfo; do
  if echo "$exports" | grep -qx "$entry"; then
    echo "ok: ${entry#*:} @${entry%%:*}"
  else
    echo "FAIL: ${entry#*:} is not exported by name at ordinal ${entry%%:*}"
    fail=1
  fi
done
count=$(echo "$exports" | grep -c .)
if [ "$count" -ne 5 ]; then
  echo "FAIL: ${count} named exports, expected exactly 5:"
  echo "$exports"
  fail=1
fi

# System DLLs every Windows has; anything else would have to ship beside us.
system='^(kernel32|user32|gdi32|shell32|version|msvcrt|advapi32|comctl32|ole32|shlwapi)\.dll$'
for imported in $(echo "$table" | awk '/DLL Name:/ { print tolower($3) }'); do
  if ! echo "$imported" | grep -Eq "$system"; then
    echo "FAIL: imports ${imported}, which is not a system DLL"
    fail=1
  fi
done
exit $fail
