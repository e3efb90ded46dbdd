#!/usr/bin/env bash
# Builds the release package dist/fromsel-VERSION-win32.zip from the 32-bit
# build (make win32): the plug-in, the fromsel command, the user guide with
# Windows line ends, and the example data folder and messages.
#
# Environment: FROMSEL_WIN32_BUILD (default build/win32), FROMSEL_DIST_DIR
# (where the zip goes, default dist), FROMSEL_STAGE_DIR (default build/dist).
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FROMSEL_WIN32_BUILD:-build/win32}
out=${FROMSEL_DIST_DIR:-dist}
stage_root=${FROMSEL_STAGE_DIR:-build/dist}
dll=$build/plugin/fromsel.dll
exe=$build/tools/fromsel.exe
guide=docs/README.txt

# The package carries the first three parts of the project version.
version=$(sed -n 's/^project(fromsel VERSION \([0-9]*\.[0-9]*\.[0-9]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] || { echo "dist: no project version in CMakeLists.txt" >&2; exit 1; }
name=fromsel-$version-win32
for f in "$dll" "$exe" "$guide"; do
  [ -f "$f" ] || { echo "dist: $f is missing (make win32 builds the two binaries)" >&2; exit 1; }
done

# Becky! is a 32-bit program: a 64-bit DLL would not even load.
objdump=i686-w64-mingw32-objdump
if command -v "$objdump" >/dev/null; then
  for f in "$dll" "$exe"; do
    "$objdump" -f "$f" | grep -q 'file format pei-i386' ||
      { echo "dist: $f is not a 32-bit Windows binary" >&2; exit 1; }
  done
fi

stage=$stage_root/$name
rm -rf "$stage"
mkdir -p "$stage/examples" "$out"
cp "$dll" "$exe" "$stage/"
# The same sources give the same archive: fixed times (the last commit's),
# sorted names, no extra fields. strip would stamp the PE headers with the
# current time unless SOURCE_DATE_EPOCH says otherwise.
epoch=$(git log -1 --format=%ct 2>/dev/null || date +%s)
strip=i686-w64-mingw32-strip
if command -v "$strip" >/dev/null; then
  SOURCE_DATE_EPOCH=$epoch "$strip" "$stage/fromsel.dll" "$stage/fromsel.exe"
fi
# Notepad on older Windows shows a LF-only file as one long line.
sed 's/\r*$/\r/' "$guide" >"$stage/README.txt"
cp -r examples/data examples/messages "$stage/examples/"

find "$stage" -exec touch -d "@$epoch" {} +
zip_path=$(cd "$out" && pwd)/$name.zip
rm -f "$zip_path"
(cd "$stage_root" && find "$name" -type f | LC_ALL=C sort | zip -q -X -D "$zip_path" -@)

unzip -tq "$zip_path" >/dev/null
echo "package: $out/$name.zip"
