#!/usr/bin/env bash
# The release package holds what the user guide promises, with 32-bit
# binaries and a guide in Windows line ends, and is the same archive
# when built twice from the same tree.
#
#   tests/dist_package.sh WIN32_BUILD_DIR
#
# Exit 77 (skipped) when the 32-bit build has not been made.
set -u
here=$(cd "$(dirname "$0")" && pwd)
build=${1:?usage: dist_package.sh WIN32_BUILD_DIR}
if [ ! -f "$build/plugin/fromsel.dll" ] || [ ! -f "$build/tools/fromsel.exe" ]; then
  echo "skipped: no 32-bit build in $build"
  exit 77
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failed=0
check() {
  if eval "$2"; then echo "ok   $1"; else echo "FAIL $1"; failed=$((failed + 1)); fi
}

package() {  # OUT_DIR
  FROMSEL_WIN32_BUILD=$build FROMSEL_DIST_DIR=$1 FROMSEL_STAGE_DIR=$work/stage \
    bash "$here/../scripts/dist.sh" >/dev/null
}

mkdir -p "$work/a" "$work/b"
check "dist.sh builds the package" 'package "$work/a"'
zip=$(ls "$work"/a/fromsel-*-win32.zip 2>/dev/null | head -1)
check "one zip named fromsel-VERSION-win32.zip" '[ -n "$zip" ]'
[ -n "$zip" ] || { echo "0 passed, 1 failed"; exit 1; }
name=$(basename "$zip" .zip)
unzip -q "$zip" -d "$work/unpacked"
top=$work/unpacked/$name
for f in fromsel.dll fromsel.exe README.txt examples/data/Work.mb/fromsel.ini \
  examples/messages/sales-inquiry.eml; do
  check "holds $f" '[ -s "$top/$f" ]'
done
check "binaries are 32-bit" \
  'i686-w64-mingw32-objdump -f "$top/fromsel.dll" | grep -q pei-i386 &&
   i686-w64-mingw32-objdump -f "$top/fromsel.exe" | grep -q pei-i386'
check "the plug-in exports the host callbacks" \
  'i686-w64-mingw32-objdump -p "$top/fromsel.dll" | grep -q BKC_OnOpenCompose'
check "guide has CR LF line ends only" \
  '[ "$(grep -c $'"'"'\r$'"'"' "$top/README.txt")" = "$(wc -l <"$top/README.txt")" ] &&
   ! grep -q $'"'"'\r\r'"'"' "$top/README.txt"'
check "guide is the one in docs/" \
  'cmp -s <(tr -d "\r" <"$top/README.txt") "$here/../docs/README.txt"'
check "built twice, the same archive" 'package "$work/b" && cmp -s "$zip" "$work/b/$name.zip"'

echo "$failed failed"
[ "$failed" = 0 ]
