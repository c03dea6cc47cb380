#!/usr/bin/env bash
# The vexlor attach/resolve/debug commands on a small mingw program built here:
# results before and after attaching agree, a second attach replaces the file
# tail, bad input ends with a message and a non-zero status.
set -uo pipefail
vexlor=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check DESCRIPTION COMMAND...
  if ! "${@:2}"; then
    echo "FAILED: $1"
    failures=$((failures + 1))
  fi
}

cat > "$work/tiny.c" <<'C'
int helper(int x) { return x * 2; }
int main(int argc, char** argv) { (void)argv; return helper(argc); }
C
x86_64-w64-mingw32-gcc -g -O1 -o "$work/tiny.exe" "$work/tiny.c" || exit 1
helper=$(x86_64-w64-mingw32-nm "$work/tiny.exe" | awk '$3 == "helper" { print $1 }')

before=$("$vexlor" resolve "$work/tiny.exe" "0x$helper")
check "resolve from DWARF names helper" grep -qP '\t4\ttiny.exe\ttiny.c\t\thelper\t1$' <<<"$before"

"$vexlor" attach "$work/tiny.exe" >/dev/null
size1=$(stat -c %s "$work/tiny.exe")
check "dump sees the file tail" grep -q $'^reporter data\tfile tail$' <("$vexlor" debug dump "$work/tiny.exe")
check "attached data resolves the same" test "$("$vexlor" resolve "$work/tiny.exe" "$helper")" = "$before"
"$vexlor" attach "$work/tiny.exe" >/dev/null
check "a second attach replaces the tail" test "$(stat -c %s "$work/tiny.exe")" = "$size1"

"$vexlor" attach "$work/tiny.exe" --resource "$work/data.bin" >/dev/null
check "resource starts with the marker" test "$(head -c 4 "$work/data.bin" | od -An -tx1 | tr -d ' ')" = "10ab0f00"

printf '[Options]\nSMTPPort=99999\n' > "$work/bad.ini"
"$vexlor" attach "$work/tiny.exe" --options "$work/bad.ini" --resource "$work/x.bin" 2>"$work/err"
check "a bad INI is refused" test $? = 1
check "with a message" test -s "$work/err"
"$vexlor" resolve "$work/tiny.exe" zz12 2>/dev/null
check "a bad address is refused" test $? = 1
"$vexlor" resolve "$work/tiny.c" 1000 2>/dev/null
check "a non-PE file is refused" test $? = 1
"$vexlor" resolve 2>/dev/null
check "usage error" test $? = 2
outside=$("$vexlor" resolve "$work/tiny.exe" 10)
check "an address outside the image is kind 0" grep -qP '^0000000000000010\t0\t\t\t\t\t0$' <<<"$outside"

echo "vexlor debug CLI: $failures failure(s)"
exit $((failures != 0))
