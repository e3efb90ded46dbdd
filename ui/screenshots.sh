#!/usr/bin/env bash
# Screenshots of the settings dialog and the about box in English and in
# Japanese, as PNG files, checking that each language picked its own
# templates. Usage: screenshots.sh PLUGIN_BUILD_DIR OUTPUT_DIR
#
# Without a window manager (Xvfb) Wine leaves the title bars to nobody, so
# the screenshots run as a copy of the test host that Wine manages itself
# (an AppDefaults setting for that program name only).
set -u
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../scripts/wine-run.sh"
plugin_dir=$1
out=$2
shots_exe=fromsel_ui_shots.exe

mkdir -p "$out"
rm -f "$out"/*.bmp "$out"/*.png
cp "$plugin_dir/testhost.exe" "$plugin_dir/$shots_exe" || exit 1
# reg, a program name, runs in the prefix of the test host's kind.
source "$here/../scripts/wine-common.sh"
FROMSEL_WINE_ARCH=$(wine_arch "$plugin_dir/testhost.exe") \
  "$run" reg add "HKCU\\Software\\Wine\\AppDefaults\\$shots_exe\\X11 Driver" \
  /v Managed /d N /f >/dev/null

status=0
# expect LANGUAGE CANCEL_HEX ABOUT_TITLE_HEX, then the run's report on stdin
expect() {
  local report
  report=$(cat)
  printf '%s\n' "$report"
  for want in "ui_screenshots: passed" "cancel $2" "about $3"; do
    if ! grep -qF "$want" <<<"$report"; then
      echo "screenshots $1: missing \"$want\""
      status=1
    fi
  done
}

(cd "$plugin_dir" && "$run" "$shots_exe" --shots "$out/en" ui_screenshots) |
  expect en 43414e43454c 41626f7574            # CANCEL, About
# The thread's language follows the locale of each Wine process.
(cd "$plugin_dir" && LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8 \
  "$run" "$shots_exe" --shots "$out/ja" ui_screenshots 2>/dev/null) |
  expect ja 834c83838393835a838b 836f815b8357838783938fee95f1  # in code page 932

for bmp in "$out"/*.bmp; do
  [ -f "$bmp" ] || { echo "screenshots: none written"; exit 1; }
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp" || status=1
done
ls "$out"/*.png
exit $status
