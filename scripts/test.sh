#!/usr/bin/env bash
# Builds Tolvan twice, optimised and under AddressSanitizer with
# UndefinedBehaviorSanitizer, and runs every test in both builds; fuzzes each
# target briefly; and, where the Windows cross tools and Wine are installed
# (TOLVAN_WITH_WINDOWS_TOOLS=1 installs them), builds the Windows add-in and
# runs its checks under Wine (scripts/windows.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/check-format.sh

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake --preset release
cmake --build --preset release
ctest --preset release

cmake --preset asan
cmake --build --preset asan
ctest --preset asan
scripts/fuzz.sh 10

if command -v x86_64-w64-mingw32-g++-posix >/dev/null && command -v i686-w64-mingw32-g++-posix >/dev/null &&
   command -v wine >/dev/null && command -v makensis >/dev/null; then
  scripts/windows.sh
else
  echo "test.sh: the Windows cross tools, Wine or makensis are missing; the Windows add-in is not checked"
fi
