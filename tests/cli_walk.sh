#!/usr/bin/env bash
# Walks through every fromsel command with the real program: each command's
# normal output, its --help, and each documented error with its exit code.
#
#   tests/cli_walk.sh PATH/TO/fromsel
#
# Prints one line per failed check and a closing "N passed, N failed" line;
# exits 1 when any check failed.
set -u

fromsel=${1:?usage: cli_walk.sh PATH/TO/fromsel}
here=$(cd "$(dirname "$0")" && pwd)
examples=$here/../examples
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

passed=0
failed=0
stdin=/dev/null
# Under a sanitizer build a report must not pass for a documented exit code.
export ASAN_OPTIONS=${ASAN_OPTIONS:-exitcode=86}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:exitcode=86}

fail() {
  failed=$((failed + 1))
  printf 'FAIL %s\n' "$*"
}

# run ARGS...: runs fromsel with $stdin; leaves $rc, $work/out and $work/err.
run() {
  "$fromsel" "$@" <"$stdin" >"$work/out" 2>"$work/err"
  rc=$?
}

# ok CODE EXPECTED_STDOUT ARGS...: exact stdout, the code, nothing on stderr.
ok() {
  local code=$1 expected=$2
  shift 2
  run "$@"
  local out
  out=$(cat "$work/out"; printf x)
  out=${out%x}
  if [ "$rc" != "$code" ] || [ "$out" != "$expected" ] || [ -s "$work/err" ]; then
    fail "fromsel $* -> exit $rc, stdout [$out], stderr [$(cat "$work/err")];" \
      "expected exit $code, stdout [$expected]"
  else
    passed=$((passed + 1))
  fi
}

# has CODE TEXT ARGS...: the code, and TEXT somewhere in stdout.
has() {
  local code=$1 text=$2
  shift 2
  run "$@"
  if [ "$rc" != "$code" ] || ! grep -qF -- "$text" "$work/out"; then
    fail "fromsel $* -> exit $rc, stdout [$(head -c 300 "$work/out")]; expected exit $code with [$text]"
  else
    passed=$((passed + 1))
  fi
}

# err CODE TEXT ARGS...: the code, nothing on stdout, one line
# "fromsel: ...TEXT..." on stderr.
err() {
  local code=$1 text=$2
  shift 2
  run "$@"
  local lines
  lines=$(wc -l <"$work/err")
  if [ "$rc" != "$code" ] || [ -s "$work/out" ] || [ "$lines" != 1 ] ||
    ! grep -q '^fromsel: ' "$work/err" || ! grep -qF -- "$text" "$work/err"; then
    fail "fromsel $* -> exit $rc, stdout [$(head -c 300 "$work/out")], stderr [$(cat "$work/err")];" \
      "expected exit $code and one error line with [$text]"
  else
    passed=$((passed + 1))
  fi
}

# survives ARGS...: any documented exit code below 64, or 66; never a crash.
survives() {
  run "$@"
  case $rc in
    0 | 1 | 2 | 3 | 66) passed=$((passed + 1)) ;;
    *) fail "fromsel $* -> exit $rc (crash or undocumented code): $(head -c 300 "$work/err")" ;;
  esac
}

# --- help ---------------------------------------------------------------------
commands="compile search rule wildcard expand addresses settings try check mailboxes"
for c in $commands; do
  has 0 "fromsel $c" help
  has 0 "usage: fromsel $c" "$c" --help
done
has 0 "fromsel check --data DIR" --help
has 0 "usage: fromsel try" help try
err 64 "help takes one command name" help frobnicate
# -h and --help come before any other check of the command line.
for c in $commands; do
  has 0 "usage: fromsel $c" "$c" -h --bogus
done
has 0 "  74  the output could not be written" help
ok 0 "fromsel $("$fromsel" --version | cut -d' ' -f2)"$'\n' --version
has 0 "fromsel 0." --version

# --- usage errors common to every command ---------------------------------------
err 64 "missing command"
err 64 "unknown command frobnicate" frobnicate
err 64 "missing command" --hex
for c in compile search rule wildcard expand addresses settings; do
  err 64 "unknown option --bogus" "$c" --bogus
done
err 64 "unknown option --bogus" try --data "$examples/data" --mailbox Work.mb --bogus m.eml
err 64 "unknown option --bogus" check --data "$examples/data" --bogus
err 64 "malformed hexadecimal" --hex wildcard 2 61
err 64 "malformed hexadecimal" wildcard --hex 2a zz

# --- compile --------------------------------------------------------------------
ok 0 $'code: 0A 06 00 01 01 78 0C F7 FF\nregisters: 1\noptions: 0x0000\nrequired: none\nleading-set: none\n' \
  compile 'x*'
ok 0 $'code: 0A 06 00 01 01 78 0C F7 FF\nregisters: 1\noptions: 0x0000\nrequired: none\nleading-set: none\n' \
  compile --hex 782a
ok 0 $'code:\nregisters: 1\noptions: 0x0000\nrequired: none\nleading-set: none\n' compile ''
# The compiler adds its own bits (0x80: starts with a literal) to the given word.
has 0 "options: 0x0081" compile --options 0x1 abc
has 0 "options: 0x0081" compile --options 1 abc
has 1 "error: " compile '('
err 64 "missing argument" compile
err 64 "too many arguments" compile a b
err 64 "needs a value" compile a --options
err 64 "malformed number" compile --options ten a

# --- search ---------------------------------------------------------------------
ok 0 $'result: 1\n0: 1 4\n' search 'b+' abbbc
ok 0 $'result: 1\n0: 1 2\n1: -1 -1\n' search '(a)|b' xb
ok 0 $'result: 3\n0: 3 4\n' search --start 2 b abcb
ok 1 $'result: -1\n' search --start 0 --range 1 c abc
ok 1 $'result: -1\n' search x abc
has 0 "result: 0" search --options 1 ABC abc
# Backtracking that would run for ages: decided by the program's automaton,
# or, with a back-reference, given up on when the budget runs out.
ok 1 $'result: -1\n' search '(a*)*[bc]' aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaax
ok 2 $'result: -2\n' search '(a*)*\1[bc]' aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaax
has 3 "error: " search '(' abc
err 64 "missing argument" search abc
err 64 "too many arguments" search a b c
err 64 "malformed number" search --start x a a
err 64 "malformed number" search --range 0xg a a

printf '%s\n' '{"pattern": "(a)|b", "subject": "xb"}' \
  '{"pattern": "b", "subject": "abcb", "start": 2, "range": 2}' \
  '{"pattern": "B", "subject": "abc", "options": 1}' \
  '{"pattern": "(", "subject": "x"}' \
  '{"pattern": "\u0100", "subject": "x"}' \
  'not json' \
  '{"pattern": "\u00e9", "subject": "caf\u00e9"}' >"$work/batch.jsonl"
stdin=$work/batch.jsonl
run search --batch
lines=$(wc -l <"$work/out")
if [ "$rc" = 0 ] && [ "$lines" = 7 ] &&
  sed -n 1p "$work/out" | grep -qF '{"result": 1, "registers": [[1, 2], [-1, -1]]}' &&
  sed -n 2p "$work/out" | grep -qF '{"result": 3' &&
  sed -n 3p "$work/out" | grep -qF '{"result": 1' &&
  sed -n 4p "$work/out" | grep -qF '{"error": ' &&
  sed -n 5p "$work/out" | grep -qF '{"error": "bad input: ' &&
  sed -n 6p "$work/out" | grep -qF '{"error": "bad input: ' &&
  sed -n 7p "$work/out" | grep -qF '{"result": 3, "registers": [[3, 4]]}'; then
  passed=$((passed + 1))
else
  fail "search --batch -> exit $rc: $(cat "$work/out")"
fi
stdin=/dev/null
ok 0 "" search --batch
err 64 "too many arguments" search --batch a
# A line over the limit (16 MiB) ends the run with an error, never silently.
head -c 16777217 /dev/zero | tr '\0' ' ' >"$work/long.jsonl"
stdin=$work/long.jsonl
err 66 "line 1 of standard input is over 16777216 bytes" search --batch
rm -f "$work/long.jsonl"
stdin=/dev/null

# --- rule -----------------------------------------------------------------------
ok 0 $'match\n' rule '*@{example.com,example.org}' Me@Example.ORG
ok 1 $'no match\n' rule '*' .hidden@example.org
ok 0 $'match\n' rule --regex 'a|b' B
ok 1 $'no match\n' rule --regex me me@example.com
ok 0 $'match\naddress: me+news@example.net\n' \
  rule --regex --template 'me+\1@example.net' '(.+)@example\.org' news@example.org
ok 0 $'match\naddress: news@example.org\n' rule --regex --template '\&' '.*' news@example.org
ok 0 $'match\naddress: me@example.net\n' rule --template me@example.net '*' news@example.org
ok 0 $'match\naddress: news@example.org\n' rule --template '' '*' news@example.org
has 3 "error: " rule --regex '(' x
err 64 "missing argument" rule '*'
err 64 "too many arguments" rule a b c
err 64 "needs a value" rule a b --template

# --- wildcard -------------------------------------------------------------------
ok 0 $'match\n' wildcard 'AB*' abc
ok 1 $'no match\n' wildcard '*' .x
ok 1 $'no match\n' wildcard --flags 0 'AB*' abc
ok 0 $'match\n' wildcard --flags 0x0 '*' .x
ok 0 $'match\n' wildcard --hex 2a 7a7a
ok 0 $'match\n' --hex wildcard 2a 7a7a
err 64 "missing argument" wildcard a
err 64 "too many arguments" wildcard a b c
err 64 "malformed number" wildcard --flags 1.5 a a

# --- expand ---------------------------------------------------------------------
ok 0 $'ac\nad\nbc\nbd\n' expand '{a,b}{c,d}'
ok 0 $'x\nxy\n' expand 'x{,y}'
ok 0 $'\na\n' expand '{,a}'
ok 0 $'a}b,c\n' expand 'a}b,c'
err 64 "missing argument" expand
err 64 "too many arguments" expand a b

# --- addresses ------------------------------------------------------------------
printf 'To: "Doe, John" <john@example.com>, team: a@example.org;\r\nCc: b@example.net (B)\r\nDelivered-To: <me@example.com>\r\n\r\nTo: body@example.com\r\n' \
  >"$work/message.eml"
ok 0 $'To\tjohn@example.com\nTo\ta@example.org\nCc\tb@example.net\nDelivered-To\t<me@example.com>\n' \
  addresses "$work/message.eml"
stdin=$work/message.eml
ok 0 $'To\tjohn@example.com\nTo\ta@example.org\nCc\tb@example.net\nDelivered-To\t<me@example.com>\n' \
  addresses
stdin=/dev/null
# Control bytes and backslashes in a candidate are printed as \xHH: a folded,
# escaped line break cannot print a line of its own.
printf 'Cc: x\\\r\n "To\tspoofed"@evil.example, "a\\\\b"@x\r\nDelivered-To: a\tb\r\n\r\n' >"$work/spoof.eml"
ok 0 $'Cc\tx\\x0D\\x0ATo\\x09spoofed@evil.example\nCc\ta\\x5Cb@x\nDelivered-To\ta\\x09b\n' \
  addresses "$work/spoof.eml"
# A header of ten million one-byte tokens is walked in memory of the order of
# the header itself (not of its tokens): within 256 MB of address space.
if ! grep -qa __asan_init "$fromsel"; then
  { printf 'To: '; head -c 10485760 /dev/zero | tr '\0' '<'; printf '\r\n\r\n'; } >"$work/tokens.eml"
  (ulimit -v 262144 && "$fromsel" addresses "$work/tokens.eml" >"$work/out" 2>"$work/err")
  rc=$?
  if [ "$rc" = 0 ] && [ "$(wc -c <"$work/out")" = $((3 + 10485759 + 1)) ]; then
    passed=$((passed + 1))
  else
    fail "addresses on 10 MiB of '<' within 256 MB -> exit $rc, $(head -c 300 "$work/err")"
  fi
  rm -f "$work/tokens.eml"
fi
printf 'Subject: none\n\nTo: body@example.com\n' >"$work/norecipient.eml"
ok 1 "" addresses "$work/norecipient.eml"
ok 1 "" addresses
err 66 "cannot read" addresses "$work/missing.eml"
err 66 "folder" addresses "$work"
err 64 "too many arguments" addresses a b

# --- settings -------------------------------------------------------------------
ok 0 $'>Enable=1\n>Delivered-To=0\n::\t\t\n::# a bare pattern line\t\t\n:RS:(.+)@lists\\.example\\.org\tMe\tme+\\1@example.net\n::*@{example.com,example.org}\tMe\tme@example.com\n' \
  settings "$examples/hand-edited-fromsel.ini"
stdin=$examples/hand-edited-fromsel.ini
has 0 ":RS:(.+)@lists" settings
stdin=/dev/null
ok 0 $'>Enable=0\n>Delivered-To=0\n' settings
err 66 "cannot read" settings "$work/missing.ini"
err 64 "too many arguments" settings a b

# --- try ------------------------------------------------------------------------
data=$examples/data
msgs=$examples/messages
ok 0 $'Sender: <sales@example.com>\nFrom: Example Corp Sales <sales@example.com>\n' \
  try --data "$data" --mailbox Work.mb "$msgs/sales-inquiry.eml"
ok 0 $'From: Jane Doe <jane.doe@example.com>\n' \
  try --data "$data" --mailbox Work.mb "$msgs/plus-address.eml"
ok 0 $'header: To\naddress: dev@lists.example.org\nrule: 3\npattern: *@lists.example.org\nSender: <jane.doe-@example.com-@[]>\nFrom: Jane Doe <jane.doe@example.com>\n' \
  try --data "$data" --mailbox Work.mb --explain "$msgs/mailing-list.eml"
ok 0 $'From: John Smith <john@home.example.net>\n' \
  try --data "$data" --mailbox Home.mb "$msgs/bcc-delivered.eml"
ok 1 $'unchanged\n' try --data "$data" --mailbox Home.mb "$msgs/mailing-list.eml"
home_rules=$'  rule 1, (.+)@home\\.example\\.net: no match\n  rule 2, *@{mail.example,post.example}: no match\n'
ok 1 "no recipient matched"$'\nTo: dev@lists.example.org\n'"$home_rules"$'Cc: jane.doe@example.com\n'"$home_rules"$'Delivered-To: jane.doe@example.com\n'"$home_rules"$'unchanged\n' \
  try --data "$data" --mailbox Home.mb --explain "$msgs/mailing-list.eml"
has 1 $'folder has FromAddr\n  FromAddr=jane.lists@example.com' \
  try --data "$data" --mailbox Work.mb --folder 'Work.mb\Lists' --explain "$msgs/mailing-list.eml"
# A mailbox without settings is disabled.
mkdir -p "$work/data/Plain.mb"
ok 1 $'disabled\n  Plain.mb has no fromsel.ini: tick Enable for it in the settings dialog\nunchanged\n' \
  try --data "$work/data" --mailbox Plain.mb --explain "$msgs/mailing-list.eml"
err 64 "--data" try --mailbox Work.mb "$msgs/mailing-list.eml"
err 64 "--mailbox" try --data "$data" "$msgs/mailing-list.eml"
# No MESSAGE: standard input; several: one block each.
ok 1 $'unchanged\n' try --data "$data" --mailbox Work.mb
err 66 "cannot read a" try --data "$data" --mailbox Work.mb a b
err 64 "more than once" try --data "$data" --mailbox Work.mb - -
err 66 "Nowhere.mb" try --data "$data" --mailbox Nowhere.mb "$msgs/mailing-list.eml"
err 66 "cannot read" try --data "$work/missing" --mailbox Work.mb "$msgs/mailing-list.eml"
err 66 "cannot read" try --data "$data" --mailbox Work.mb "$work/missing.eml"
# try only reads the data folder.
before=$(cd "$examples" && find . -type f -exec md5sum {} + | sort)
for m in "$msgs"/*.eml; do
  for b in Work.mb Home.mb; do survives try --data "$data" --mailbox "$b" "$m"; done
done
after=$(cd "$examples" && find . -type f -exec md5sum {} + | sort)
if [ "$before" = "$after" ]; then
  passed=$((passed + 1))
else
  fail "try changed files under examples/"
fi

# --- check ----------------------------------------------------------------------
ok 0 $'Work.mb: rule 4: note: the name is written in quotes: "Jane Doe (Example Corp)" -- nothing to do; the quotes keep the reply\'s From one address\n' \
  check --data "$data"
mkdir -p "$work/bad/Work.mb" "$work/bad/Home.mb"
printf '>Enable=1\r\n\r\n::*@{a,b\tMe\tme@example.org\r\r\n:R:(x\t\t\n' >"$work/bad/Work.mb/fromsel.ini"
printf '::\n\tstray\n' >"$work/bad/Home.mb/fromsel.ini"
run check --data "$work/bad"
if [ "$rc" = 1 ] && [ ! -s "$work/err" ] &&
  [ "$(sed -n 1,6p "$work/out" | sed 's/ -- .*//')" = $'Home.mb: problem: no >Enable line, so the mailbox is off\nHome.mb: rule 1: problem: empty pattern\nHome.mb: rule 2: problem: pattern holds a TAB\nWork.mb: rule 1: problem: empty pattern\nWork.mb: rule 2: problem: address holds a CR\nWork.mb: rule 2: problem: unmatched { in wildcard pattern' ] &&
  sed -n 7p "$work/out" | grep -q '^Work.mb: rule 3: problem: regular expression does not compile: .* -- ' &&
  [ "$(wc -l <"$work/out")" = 7 ]; then
  passed=$((passed + 1))
else
  fail "check --data bad -> exit $rc: $(cat "$work/out" "$work/err")"
fi
mkdir -p "$work/nomailbox/Inbox"
err 66 "no mailbox" check --data "$work/nomailbox"
err 66 "Work.mb" try --data "$work/nomailbox" --mailbox Work.mb "$examples/messages/group.eml"
err 66 "cannot read folder" try --data "$examples/data" --mailbox Work.mb --folder 'Work.mb\Nowhere' \
  "$examples/messages/group.eml"
err 66 "cannot read folder" check --data "$work/missing"
err 64 "--data" check
err 64 "needs a value" check --data
err 64 "too many arguments" check --data "$data" extra

# --- what new users type --------------------------------------------------------
# A data folder as a new user fills it: own domain, plus-addressing, a list,
# names with commas and comments, a Notepad byte-order mark.
u=$work/user
mkdir -p "$u/1a2b3c4d.mb" "$u/5e6f7a8b.mb" "$u/9c0d1e2f.mb"
printf '[Account]\r\nName=Personal\r\n' >"$u/1a2b3c4d.mb/Mailbox.ini"
printf '[Account]\r\nName=Work\r\n' >"$u/5e6f7a8b.mb/Mailbox.ini"
printf '\357\273\277>Enable=1\r\n::*@x.example\tDoe, Jane\tjane@x.example\r\n::*@y.example\tJane Doe (Example Corp)\tjane@y.example\r\n:R:(.+)@lists\\.example\tKim\t\\2@w.example\r\n::*@w.example\t\tme+\\1@w.example\r\n::*@z.example\tJane\t<jane@x.example>\r\n::*\tCatch\tcatch@x.example\r\n' \
  >"$u/1a2b3c4d.mb/fromsel.ini"
printf '> Enable=1\n# my rules\n::*@work.example\tMe\tme@work.example\textra\n' >"$u/5e6f7a8b.mb/fromsel.ini"
printf '>Enable=1\r::*@old.example\tMe\tme@old.example\r' >"$u/9c0d1e2f.mb/fromsel.ini"
printf 'To: jane@x.example\r\n\r\n' >"$work/x.eml"
printf 'To: jane@y.example\r\n\r\n' >"$work/y.eml"
printf '\357\273\277To: someone@other.example\r\nCc: jane@x.example\r\n\r\n' >"$work/bom.eml"
ok 0 $'1a2b3c4d.mb\tPersonal\ton\t6 rules\n5e6f7a8b.mb\tWork\toff\t2 rules\n9c0d1e2f.mb\t\ton\t0 rules\n' \
  mailboxes --data "$u"
has 0 '{"directory": "1a2b3c4d.mb", "name": "Personal", "enabled": true, "rules": 6}' \
  mailboxes --json --data "$u"
# The account name the dialog shows finds the mailbox; names are quoted.
ok 0 $'From: "Doe, Jane" <jane@x.example>\n' try --data "$u" --mailbox Personal "$work/x.eml"
ok 0 $'From: "Jane Doe (Example Corp)" <jane@y.example>\n' try --data="$u" --mailbox=personal -- "$work/y.eml"
err 66 "the mailboxes are: 1a2b3c4d.mb (Personal), 5e6f7a8b.mb (Work), 9c0d1e2f.mb" \
  try --data "$u" --mailbox Private "$work/x.eml"
# A byte-order mark before the first header; the catch-all decides on the
# first To address although the Cc address is the user's.
ok 0 $'From: Catch <catch@x.example>\n' try --data "$u" --mailbox Personal "$work/bom.eml"
stdin=$work/bom.eml
ok 0 $'To\tsomeone@other.example\nCc\tjane@x.example\n' addresses -
has 0 '{"header": "Cc", "address": "jane@x.example"}' addresses --json
has 0 '"headers": {"From": "Catch <catch@x.example>"}' try --json --data "$u" --mailbox Personal
stdin=/dev/null
ok 1 $'disabled\n  fromsel.ini has no >Enable line: add >Enable=1\nunchanged\n' \
  try --explain --data "$u" --mailbox Work "$work/x.eml"
run check --data "$u"
expected_check='1a2b3c4d.mb: line 1: note: the file starts with a byte-order mark, which Fromsel skips
1a2b3c4d.mb: rule 1: note: the name is written in quotes: "Doe, Jane"
1a2b3c4d.mb: rule 2: note: the name is written in quotes: "Jane Doe (Example Corp)"
1a2b3c4d.mb: rule 3: problem: the From field uses \1..\9 for a group the pattern does not have
1a2b3c4d.mb: rule 4: problem: the From field uses \& or \1..\9, which a wildcard rule writes as they stand
1a2b3c4d.mb: rule 5: problem: the From field holds <, >, a comma or a semicolon, which garbles the reply'"'"'s From
1a2b3c4d.mb: rule 6: note: matches every address, so the first To address always decides, even when it is not yours; with no match the reply keeps the account'"'"'s own address anyway
5e6f7a8b.mb: line 1: problem: setting line "> Enable=1" is ignored: the key is neither Enable nor Delivered-To
5e6f7a8b.mb: line 2: note: this looks like a comment, but fromsel.ini has none: it is the wildcard pattern of rule 1
5e6f7a8b.mb: line 3: problem: rule 2 has text after its third field, which is dropped
5e6f7a8b.mb: problem: no >Enable line, so the mailbox is off
9c0d1e2f.mb: problem: lines end with CR alone; Fromsel reads everything up to the next LF as one line'
if [ "$rc" = 1 ] && [ "$(sed 's/ -- .*//' "$work/out")" = "$expected_check" ] &&
  [ "$(grep -c ' -- ' "$work/out")" = 12 ]; then
  passed=$((passed + 1))
else
  fail "check --data user -> exit $rc: $(cat "$work/out" "$work/err")"
fi
has 1 '{"mailbox": "9c0d1e2f.mb", "severity": "problem", "text": "lines end with CR alone' \
  check --json --data "$u"
# A wildcard written as a regular expression: the position counts from the
# pattern, and the hint names the mistake.
ok 3 $'error: invalid regular expression; there\'s no previous pattern, to which \'*\' would define cardinality at 1 (a leading * is wildcard syntax: make this a wildcard rule, or write .* for any text)\n' \
  rule --regex '*@example.com' a@example.com
ok 0 $'match\n' wildcard --flags=12 -- -x -X
err 64 "missing argument SUBJECT" wildcard x
err 64 "option --explain takes no value" try --explain=1 --data "$u" --mailbox Work

# --- bad input files ------------------------------------------------------------
truncate -s 300M "$work/huge.eml"
err 66 "larger than" addresses "$work/huge.eml"
err 66 "larger than" settings "$work/huge.eml"
err 66 "larger than" try --data "$data" --mailbox Work.mb "$work/huge.eml"
# A device or a FIFO is refused at once: reading it could wait or never end.
if [ -r /dev/zero ]; then err 66 "not a file" settings /dev/zero; fi
mkfifo "$work/fifo"
err 66 "not a file" addresses "$work/fifo"
err 66 "not a file" try --data "$data" --mailbox Work.mb "$work/fifo"
head -c 200000 /dev/urandom >"$work/binary.bin"
printf 'To: a@example.com\0b@example.com\r\n\0\n' >"$work/nul.eml"
for f in "$work/binary.bin" "$work/nul.eml"; do
  survives addresses "$f"
  survives settings "$f"
  survives try --data "$data" --mailbox Work.mb "$f"
  stdin=$f
  survives search --batch
  stdin=/dev/null
done
mkdir -p "$work/binary/Bin.mb"
cp "$work/binary.bin" "$work/binary/Bin.mb/fromsel.ini"
survives check --data "$work/binary"

printf '%d passed, %d failed\n' "$passed" "$failed"
[ "$failed" = 0 ]
