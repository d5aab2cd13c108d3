#!/bin/sh
# Runs a program of a Windows build under Wine: the emulator of the
# windows-x64-tests preset, through which ctest runs the unit tests (the
# checks of tests/windows/checks run Wine in the same prefix themselves).
#
# The Wine prefix and its server come from the caller: set WINEPREFIX to a
# prefix of your own, start `wineserver -p` and run `wine wineboot -i` before
# ctest (scripts/windows.sh does). A server that wine starts by itself here
# would outlive the test and keep ctest waiting on its output.
#
# Now and then, on a busy machine, wine ends at once with a failure and
# without a byte of output: the program never started (a test program prints
# at least its banner, even when it fails or crashes). Such a run is tried
# once more, and the first try is told on stderr; any run that printed
# something counts as it is.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: set WINEPREFIX to a Wine prefix of your own and start wineserver -p in it first" >&2
  exit 125
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine reads the arguments and file names of the Unix side in the locale's
# character set: UTF-8, so that names in any script pass.
export LC_ALL=C.UTF-8
out=$(mktemp "${TMPDIR:-/tmp}/wine-run.XXXXXX") || exit 125
trap 'rm -f "$out"' EXIT
try=1
while :; do
  wine "$@" >"$out" 2>&1
  status=$?
  if [ "$status" -eq 0 ] || [ -s "$out" ] || [ "$try" -ge 2 ]; then
    break
  fi
  echo "wine-run.sh: wine ended with status $status before the program printed anything; trying again" >&2
  try=$((try + 1))
done
cat "$out"
exit "$status"
