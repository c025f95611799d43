#!/usr/bin/env bash
# Formats every C and C++ source in the repository with its .clang-format.
#   scripts/format.sh          rewrite the files in place
#   scripts/format.sh check    change nothing; fail when a file is not formatted
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t files < <(git ls-files '*.c' '*.cpp' '*.h')
if [ "${1:-}" = check ]; then
  clang-format --dry-run --Werror "${files[@]}"
else
  clang-format -i "${files[@]}"
fi
