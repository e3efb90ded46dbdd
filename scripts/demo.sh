#!/usr/bin/env bash
# Replies to each example message as the plug-in would and shows the headers
# it sets (or why it leaves the compose window alone).
set -u
cd "$(dirname "$0")/.."
fromsel=${FROMSEL:-build/native/fromsel}
data=examples/data

reply() {  # MAILBOX FOLDER MESSAGE
  local mailbox=$1 folder=$2 message=examples/messages/$3
  echo "== reply to $3 in $folder"
  "$fromsel" addresses "$message" | sed 's/^/   offered  /'
  "$fromsel" try --data "$data" --mailbox "$mailbox" --folder "$folder" --explain "$message" \
    | sed 's/^/   /'
  local rc=${PIPESTATUS[0]}
  [ "$rc" -le 1 ] || { echo "demo: fromsel try failed ($rc)" >&2; exit "$rc"; }
  echo
}

[ -x "$fromsel" ] || { echo "demo: build $fromsel first (make native)" >&2; exit 1; }
reply Work.mb 'Work.mb\Inbox' sales-inquiry.eml
reply Work.mb 'Work.mb\Inbox' plus-address.eml
reply Work.mb 'Work.mb\Inbox' mailing-list.eml
reply Work.mb 'Work.mb\Lists' mailing-list.eml
reply Work.mb 'Work.mb\Inbox' press-alias.eml
reply Home.mb 'Home.mb\Inbox' bcc-delivered.eml
reply Home.mb 'Home.mb\Inbox' group.eml
reply Home.mb 'Home.mb\Inbox' sales-inquiry.eml

# The release package, from the 32-bit build that `make demo` has just made.
bash scripts/dist.sh || echo "demo: no package yet; make dist builds dist/fromsel-*-win32.zip" >&2
