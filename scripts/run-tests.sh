#!/usr/bin/env bash
# Sets up a fresh Debian machine and runs every test: the native unit tests
# (with sanitizers), the Windows tests under wine64 on a two-screen Xvfb, and
# the fuzz targets for a bounded time. Exit status 0 only when all passed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc)

scripts/setup-debian.sh || exit 1

passed=0
failed=0
status=0
run_ctest() {  # run_ctest PRESET
  local log
  log=$(mktemp)
  ctest --preset "$1" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  local total bad
  total=$(sed -n 's/.*tests failed out of \([0-9]*\).*/\1/p' "$log" | tail -1)
  bad=$(sed -n 's/.*tests passed, \([0-9]*\) tests failed.*/\1/p' "$log" | tail -1)
  rm -f "$log"
  passed=$((passed + ${total:-0} - ${bad:-0}))
  failed=$((failed + ${bad:-0}))
  [ "$rc" = 0 ] || status=1
}

step() {  # step NAME COMMAND...
  echo "=== $1"
  shift
  "$@" || { echo "=== FAILED: $*"; status=1; return 1; }
}

# The host tool first: the Windows build uses it to attach debug data.
step "host tool" cmake --preset native-release >/dev/null &&
  step "host tool build" cmake --build --preset native-release -j"$jobs"

if step "native configure" cmake --preset native >/dev/null &&
  step "native build" cmake --build --preset native -j"$jobs"; then
  run_ctest native
fi

if step "windows configure" cmake --preset windows >/dev/null &&
  step "windows build" cmake --build --preset windows -j"$jobs"; then
  run_ctest windows
fi

if step "fuzz configure" cmake --preset fuzz -DVEXLOR_FUZZ_SECONDS="${VEXLOR_FUZZ_SECONDS:-60}" >/dev/null &&
  step "fuzz build" cmake --build --preset fuzz -j"$jobs"; then
  run_ctest fuzz
fi

echo "tests: $passed passed, $failed failed"
[ "$failed" = 0 ] || status=1
exit $status
