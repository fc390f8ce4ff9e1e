#!/usr/bin/env bash
# Fails when a C or C++ file of the tree differs from what clang-format makes of it
# (.clang-format at the top). `scripts/check-format.sh --fix` rewrites the files instead.
set -euo pipefail
cd "$(dirname "$0")/.."
files_listed=$(git ls-files '*.c' '*.cpp' '*.h')
mapfile -t files <<<"$files_listed"
if [ -z "$files_listed" ]; then
  echo "check-format: git lists no source files here" >&2
  exit 1
fi
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "check-format: the files above differ from .clang-format; run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "check-format: ${#files[@]} files follow .clang-format"
