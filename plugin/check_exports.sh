#!/usr/bin/env bash
# Checks that a fromsel.dll exports the five callbacks undecorated, by name,
# at ordinals 1, 2, 7, 14 and 15. Exit 77 (skipped) when the DLL is absent.
set -u
dll=${1:?usage: check_exports.sh PATH/fromsel.dll}
if [ ! -f "$dll" ]; then
  echo "SKIP: $dll not built (build the win32 tree first)"
  exit 77
fi
objdump=$(command -v i686-w64-mingw32-objdump || command -v objdump)
table=$("$objdump" -p "$dll") || { echo "FAIL: cannot read $dll"; exit 1; }

# Lines of the name-pointer table look like "\t[   0] +base[   1] 0000 BKC_OnStart".
fail=0
for entry in 1:BKC_OnStart 2:BKC_OnExit 7:BKC_OnOpenCompose 14:BKC_OnPlugInSetup 15:BKC_OnPlugInInfo; do
  ordinal=${entry%%:*}
  name=${entry#*:}
  if echo "$table" | grep -Eq "\+base\[ *${ordinal}\] +[0-9a-f]+ +${name}\$"; then
    echo "ok: ${name} @${ordinal}"
  else
    echo "FAIL: ${name} is not exported by name at ordinal ${ordinal}"
    fail=1
  fi
done
count=$(echo "$table" | grep -Ec '\+base\[ *[0-9]+\]')
if [ "$count" -ne 5 ]; then
  echo "FAIL: ${count} exports, expected exactly 5"
  fail=1
fi
exit $fail
