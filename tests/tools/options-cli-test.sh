#!/bin/bash
# vexlor options end to end: defaults -> write -> dump gives the INI back; an
# edited INI survives the round trip; damaged input fails with status 1.
set -u
vexlor=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

"$vexlor" options defaults > "$work/defaults.ini" || fail "defaults"
"$vexlor" options write "$work/defaults.ini" "$work/defaults.bin" || fail "write defaults"
"$vexlor" options dump "$work/defaults.bin" > "$work/back.ini" || fail "dump defaults"
cmp -s "$work/defaults.ini" "$work/back.ini" || fail "defaults do not come back"

sed -e 's/^SMTPHost=.*/SMTPHost=relay.invalid/' -e 's/^EmailSendMode=.*/EmailSendMode=3/' \
    -e 's/^EmailMessage=.*/EmailMessage=Dear support,\\r\\nthe player stopped.\\tTab \\\\ slash/' \
    -e 's/^\[ExceptionFilters\]$/[ExceptionFilters]\nClass0=EAbort\nMessage0=\nClass1=EOleException\nMessage1=Media error/' \
    -e 's/^DialogCaption=.*/DialogCaption=Fehler./' "$work/defaults.ini" > "$work/edited.ini"
"$vexlor" options write "$work/edited.ini" "$work/edited.bin" || fail "write edited"
"$vexlor" options dump "$work/edited.bin" --stream-version 458 > "$work/edited-back.ini" ||
  fail "dump edited"
cmp -s "$work/edited.ini" "$work/edited-back.ini" || {
  diff "$work/edited.ini" "$work/edited-back.ini" >&2
  fail "edited INI does not come back"
}

head -c 100 "$work/edited.bin" > "$work/short.bin"
"$vexlor" options dump "$work/short.bin" > /dev/null 2> "$work/err.txt"
[ $? -eq 1 ] || fail "short stream: status"
grep -q "Damaged options stream" "$work/err.txt" || fail "short stream: message"

printf '[Options]\nSMTPPort=x\n' > "$work/bad.ini"
"$vexlor" options write "$work/bad.ini" "$work/bad.bin" 2> "$work/err.txt"
[ $? -eq 1 ] || fail "bad INI: status"
grep -q "line 2" "$work/err.txt" || fail "bad INI: message"
[ ! -e "$work/bad.bin" ] || fail "bad INI wrote output"

"$vexlor" options dump "$work/missing.bin" 2> /dev/null
[ $? -eq 1 ] || fail "missing file: status"
"$vexlor" options dump "$work/defaults.bin" --stream-version 99999 2> /dev/null
[ $? -eq 1 ] || fail "bad version: status"
"$vexlor" options bogus 2> /dev/null
[ $? -eq 2 ] || fail "usage: status"
echo "vexlor options: all checks passed"
