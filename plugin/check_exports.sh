#!/usr/bin/env bash
# Checks that a fromsel.dll exports the five callbacks undecorated, by name,
# at ordinals 1, 2, 7, 14 and 15, and imports only system DLLs (no compiler
# run-time DLL that a user's system would lack). Exit 77 (skipped) when the
# DLL is absent.
#
#   plugin/check_exports.sh PATH/fromsel.dll [PATH/testhost.exe]
#
# With a 32-bit test host: its exports have the plug-in's host-function
# types (checked when it is compiled), and their stdcall names
# (BKA_GetSource@4) must carry the argument bytes of the mail client's API,
# which a 32-bit caller pushes and the callee pops.
set -u
dll=${1:?usage: check_exports.sh PATH/fromsel.dll [PATH/testhost.exe]}
host=${2:-}
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll not built (build the win32 tree first)"
  exit 77
fi
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
table=$("$objdump" -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }

# named_exports TABLE: "ORDINAL:NAME" for each export by name of an
# objdump -p TABLE. Its "[Ordinal/Name Pointer] Table" lists "[ INDEX] NAME",
# INDEX counted from the "Ordinal Base"; older binutils print
# "[ I] +base[ ORDINAL] HINT NAME".
named_exports() {
  echo "$1" | awk '
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
  }'
}
exports=$(named_exports "$table")

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
if [ -n "$host" ]; then
  host_exports=$(named_exports "$("$objdump" -p "$host")" | cut -d: -f2)
  for name in BKA_GetDataFolder@0 BKA_GetCurrentMailBox@0 BKA_GetCurrentFolder@0 \
              BKA_ComposeMail@4 BKA_GetSource@4 BKA_CompGetSpecifiedHeader@16 \
              BKA_CompSetSpecifiedHeader@12 BKA_Free@4; do
    if echo "$host_exports" | grep -qx "$name"; then
      echo "ok: ${name%@*} takes ${name#*@} argument bytes"
    else
      echo "FAIL: the host exports no $name:"
      echo "$host_exports" | grep "^${name%@*}"
      fail=1
    fi
  done
fi
exit $fail
