#!/usr/bin/env bash
# Builds the release package dist/fromsel-VERSION-win32.zip from the 32-bit
# build (make win32): the plug-in, the fromsel command, the user guide with
# Windows line ends, and the example data folder and messages.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${FROMSEL_WIN32_BUILD:-build/win32}
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

stage=build/dist/$name
rm -rf "$stage"
mkdir -p "$stage/examples" dist
cp "$dll" "$exe" "$stage/"
strip=i686-w64-mingw32-strip
if command -v "$strip" >/dev/null; then "$strip" "$stage/fromsel.dll" "$stage/fromsel.exe"; fi
# Notepad on older Windows shows a LF-only file as one long line.
sed 's/\r*$/\r/' "$guide" >"$stage/README.txt"
cp -r examples/data examples/messages "$stage/examples/"

# The same sources give the same archive: fixed times, sorted names, no extra fields.
stamp=$(git log -1 --format=%cd --date=format:%Y%m%d%H%M.%S 2>/dev/null || date +%Y%m%d%H%M.%S)
find "$stage" -exec touch -t "$stamp" {} +
zip_path=$PWD/dist/$name.zip
rm -f "$zip_path"
(cd build/dist && find "$name" -type f | LC_ALL=C sort | zip -q -X -D "$zip_path" -@)

unzip -tq "$zip_path" >/dev/null
echo "package: dist/$name.zip"
