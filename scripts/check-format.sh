#!/usr/bin/env bash
# Fails when a C++ file differs from .clang-format's style.
set -euo pipefail
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h' 2>/dev/null || true)
[ -n "$files" ] || exit 0
bad=0
for f in $files; do
  if ! clang-format --dry-run --Werror "$f" >/dev/null 2>&1; then
    echo "needs clang-format: $f" >&2
    bad=1
  fi
done
exit $bad
