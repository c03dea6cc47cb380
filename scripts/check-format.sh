#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what clang-format makes of
# it (.clang-format); names each such file.
set -uo pipefail
cd "$(dirname "$0")/.."
bad=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
  echo "format: not clang-formatted:"
  echo "$bad"
  exit 1
fi
echo "format: every file is clang-formatted"
