#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from what clang-format makes of it
# (.clang-format); `scripts/check-format.sh --fix` reformats them instead.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t files < <(git ls-files 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' 'bench/*.cpp' 'bench/*.h' 'fuzz/*.cpp' 'fuzz/*.h' 'windows/*.cpp' 'windows/*.h')
if [ "${1:-}" = --fix ]; then
  clang-format -i "${files[@]}"
else
  clang-format --dry-run -Werror "${files[@]}"
  echo "format: ${#files[@]} files as clang-format writes them"
fi
