#!/bin/sh
# Builds the example project examples/crashing-programs from outside the tree,
# as another program's project would include the reporter, then runs its
# programs under Wine and checks their reports with the crash corpus's runner.
# The host tool is found on the path (as an installed one would be).
#
# usage: build-and-run.sh CHECKOUT HOST_TOOL_DIR WORK_DIR WINE_RUN
set -eu
root=$1 tooldir=$2 work=$3 winerun=$4
example=$root/examples/crashing-programs
log=$work.log
rm -rf "$work" "$log"
export PATH="$tooldir:$PATH"
if ! cmake -S "$example" -B "$work" -G "Unix Makefiles" \
  -DCMAKE_TOOLCHAIN_FILE="$root/cmake/toolchain-mingw64.cmake" -DVEXLOR_SOURCE_DIR="$root" \
  >"$log" 2>&1; then
  cat "$log"
  exit 1
fi
if ! cmake --build "$work" -j2 >>"$log" 2>&1; then
  tail -60 "$log"
  exit 1
fi
# Only the reporter and what it needs: no player, tests, benchmarks or
# GoogleTest.
extra=$(find "$work" \( -name 'KiravaneVP.exe' -o -name 'libgtest*' -o -name '*_tests.exe' \
  -o -name 'capture_bench.exe' \) -print)
if [ -n "$extra" ]; then
  echo "built beyond the reporter:"
  echo "$extra"
  exit 1
fi
python3 "$root/tests/crashers/run-crashers.py" "$work" "$example" "$winerun"
