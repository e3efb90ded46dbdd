#!/usr/bin/env bash
# fromsel.exe under Wine (64-bit, or the emulated 32-bit one for the
# product) must print byte for byte what the native fromsel prints, with the
# same exit code, for the commands a user runs on the example data (try
# above all). This is where a text-mode stdout would show up as CR LF line
# ends.
#
#   tests/cli_exe_matches_native.sh PATH/TO/fromsel.exe PATH/TO/native/fromsel
#
# Exit 77 (skipped) when the native command has not been built.
set -u

exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
native=$2
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -x "$native" ]; then
  echo "skipped: no native fromsel at $native"
  exit 77
fi
native=$(cd "$(dirname "$native")" && pwd)/$(basename "$native")

source "$here/../scripts/wine-common.sh"
bash "$here/../scripts/wine-prefix.sh" "$(wine_arch "$exe")" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

# Relative paths mean the same file to both programs.
cd "$here/../examples" || exit 1

# same STDIN ARGS...: both programs, same stdin; stdout bytes and exit codes equal.
same() {
  local input=$1
  shift
  "$native" "$@" <"$input" >"$work/native.out" 2>/dev/null
  local native_rc=$?
  # Output to files, not pipes: Wine's background processes keep pipes open.
  wine_exec "$exe" "$@" <"$input" >"$work/exe.out" 2>"$work/exe.err"
  local exe_rc=$?
  if [ "$native_rc" = "$exe_rc" ] && cmp -s "$work/native.out" "$work/exe.out"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAIL fromsel $*: native exit $native_rc, exe exit $exe_rc"
    diff <(od -c "$work/native.out") <(od -c "$work/exe.out") | head -20
    grep -v -E "$wine_chatter" "$work/exe.err" | head -5
  fi
}

for message in messages/*.eml; do
  for mailbox in Work.mb Home.mb; do
    same /dev/null try --data data --mailbox "$mailbox" "$message"
    same /dev/null try --data data --mailbox "$mailbox" --explain "$message"
  done
done
same /dev/null try --data data --mailbox Work.mb --folder 'Work.mb\Lists' --explain messages/mailing-list.eml
same /dev/null check --data data
same /dev/null check --json --data data
same /dev/null mailboxes --data data
same /dev/null try --json --explain --data=data --mailbox Home messages/sales-inquiry.eml messages/group.eml
same /dev/null settings hand-edited-fromsel.ini
# CR LF and a Ctrl-Z byte through stdin must reach the program unchanged.
printf '>Enable=1\r\n::a\032b\tMe\tme@example.com\r\r\n' >"$work/crlf.ini"
same "$work/crlf.ini" settings
same messages/sales-inquiry.eml addresses
same /dev/null expand '{a,b}{c,d}'
same /dev/null compile '(.+)@example\.(com|net)'
same /dev/null search '(a)|b' xb
same /dev/null rule --regex --template 'me+\1@example.net' '(.+)@example\.org' news@example.org
same /dev/null wildcard --hex 2a 7a7a

printf '%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" = 0 ]
