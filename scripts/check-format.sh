#!/usr/bin/env bash
# Fails when a C++ file of the project differs from what clang-format makes of
# it (.clang-format), or when a source or script file does not open with a
# comment on what it is; names each such file.
set -uo pipefail
cd "$(dirname "$0")/.."
status=0

bad=$(git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run 2>&1 | sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: warning: code should be clang-formatted.*/\1/p' | sort -u)
if [ -n "$bad" ]; then
  echo "format: not clang-formatted:"
  echo "$bad"
  status=1
fi

# The opening is the first line that is not blank, after a shebang. A Python
# module may open with its docstring instead of a comment.
opening() { awk 'NR == 1 && /^#!/ { next } NF { print; exit }' "$1"; }
headless=$(
  {
    git ls-files '*.cpp' '*.h' '*.c' '*.rc' '*.h.in' '*.sh' '*.py' '*.cmake' '*CMakeLists.txt'
    # Scripts without an extension are known by their shebang.
    git ls-files | grep -v '\.[^/]*$' | while IFS= read -r f; do
      [ "$(head -c 2 "$f")" = '#!' ] && echo "$f"
    done
  } | sort -u | while IFS= read -r f; do
    first=$(opening "$f")
    case "$f" in
      *.cpp | *.h | *.c | *.rc | *.h.in) pattern='^[[:space:]]*(//|/\*)' ;;
      *.py) pattern='^[[:space:]]*(#|[rRuU]?("""|'"'''"'))' ;;
      *) pattern='^[[:space:]]*#' ;;
    esac
    [[ "$first" =~ $pattern ]] || echo "$f"
  done
)
if [ -n "$headless" ]; then
  echo "format: not opening with a comment on what the file is:"
  echo "$headless"
  status=1
fi

if [ "$status" -eq 0 ]; then
  echo "format: every file is clang-formatted and opens with a comment"
fi
exit "$status"
