#!/bin/sh
# Runs a program of a Windows build under Wine: the emulator of the
# windows-x64-tests preset, through which ctest runs the unit tests (the
# checks of tests/windows/checks run Wine in the same prefix themselves).
#
# The Wine prefix and its server come from the caller: set WINEPREFIX to a
# prefix of your own, start `wineserver -p` and run `wine wineboot -i` before
# ctest (scripts/windows.sh does). A server that wine starts by itself here
# would outlive the test and keep ctest waiting on its output.
if [ -z "${WINEPREFIX:-}" ]; then
  echo "wine-run.sh: set WINEPREFIX to a Wine prefix of your own and start wineserver -p in it first" >&2
  exit 125
fi
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# Wine reads the arguments and file names of the Unix side in the locale's
# character set: UTF-8, so that names in any script pass.
export LC_ALL=C.UTF-8
exec wine "$@"
