#!/usr/bin/env bash
# Builds tolvan.dll for 64-bit and 32-bit Windows (presets windows-x64 and
# windows-x86), the Windows unit tests with tolvan.exe (windows-x64-tests)
# and the Linux command line they are compared with (release), then runs
# every Windows check under Wine: ctest --preset windows-x64-tests, in a Wine
# prefix of its own. The checks (tests/windows/WineChecks.cmake) inspect both
# DLLs' exports and imports, register and unregister the 64-bit one, connect
# it in a fake IDE and click its button, build, install and uninstall the
# installer, run the unit tests of every layer, compare tolvan.exe with the
# Linux build, and work the settings window, from the Tools menu too.
#
# Needs g++-mingw-w64-x86-64, g++-mingw-w64-i686, wine, wine64, nsis and xvfb
# (TOLVAN_WITH_WINDOWS_TOOLS=1 scripts/install-deps.sh installs them, as this
# script does when they are missing). Exit status 0 only when everything
# built and every check passed. Build logs go to build/logs/.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if ! command -v x86_64-w64-mingw32-g++-posix >/dev/null || ! command -v wineserver >/dev/null ||
   ! command -v makensis >/dev/null; then
  TOLVAN_WITH_WINDOWS_TOOLS=1 scripts/install-deps.sh || exit 1
fi

logs=build/logs
mkdir -p "$logs"
# build PRESET [TARGET...]: configures and builds, the output in the log.
build() {
  local preset=$1 log="$logs/$1.log"
  shift
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  if cmake --preset "$preset" >"$log" 2>&1 &&
     cmake --build --preset "$preset" -j2 "${targets[@]}" >>"$log" 2>&1; then
    echo "built $preset"
  else
    echo "FAIL building $preset (see $log):"
    tail -30 "$log"
    return 1
  fi
}
status=0
build windows-x64 || status=1
build windows-x86 || status=1
build release tolvan || status=1
build windows-x64-tests || exit 1

# A Wine prefix of our own, with a server that stays up for every test
# (scripts/wine-run.sh, the preset's emulator, needs both).
export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" DISPLAY=
WINEPREFIX=$(mktemp -d /tmp/tolvan-wine.XXXXXX)
cleanup() {
  wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
wineserver -p
if ! timeout 300 wine wineboot -i >"$logs/wineboot.log" 2>&1; then
  echo "FAIL wineboot prepares a Wine prefix (see $logs/wineboot.log)"
  exit 1
fi

ctest --preset windows-x64-tests || status=1
exit $status
