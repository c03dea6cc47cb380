#!/bin/sh
# Linker launcher of vexlor_attach(): links the executable, builds its reporter
# data from the DWARF of that first link, links again with the data as the
# RCDATA resource "VLDATA", checks that no code or symbol moved, and strips the
# debug information. The first link stays beside the product as OUT.dwarf for
# offline tools (addr2line, llvm-dwarfdump).
#
# usage: VexlorAttachLink.sh VEXLOR WINDRES STRIP OPTIONS_INI_OR_- -- LINK_COMMAND...
set -eu
vexlor=$1 windres=$2 strip=$3 ini=$4
shift 4
[ "${1:-}" = "--" ] && shift

out=
prev=
for arg in "$@"; do
  [ "$prev" = "-o" ] && out=$arg
  prev=$arg
done
[ -n "$out" ] || { echo "vexlor_attach: no -o in the link command" >&2; exit 1; }
if [ ! -x "$vexlor" ]; then
  echo "vexlor_attach: host tool $vexlor not found; build the native-release preset first" >&2
  exit 1
fi

"$@"
rm -f "$out.dwarf"
mv "$out" "$out.dwarf"

options=
[ "$ini" != "-" ] && options="--options $ini"
# shellcheck disable=SC2086
"$vexlor" attach "$out.dwarf" $options --name "$(basename "$out")" --resource "$out.vldata" >/dev/null
data=$(cd "$(dirname "$out.vldata")" && pwd)/$(basename "$out.vldata")
printf 'VLDATA RCDATA "%s"\n' "$data" > "$out.vldata.rc"
"$windres" -i "$out.vldata.rc" -o "$out.vldata.o"

"$@" "$out.vldata.o"
if ! "$vexlor" debug same-code "$out.dwarf" "$out" >/dev/null; then
  rm -f "$out"
  echo "vexlor_attach: embedding the reporter data moved code in $out" >&2
  exit 1
fi
"$strip" --strip-debug "$out"
