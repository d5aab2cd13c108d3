#!/usr/bin/env bash
# The Win32 settings window and About box under Wine: builds
# tolvan_dialog_shot (cmake preset windows-x64), runs its smoke test, then
# shows every page on a virtual X display (Xvfb) and writes them as PNG
# files, to be compared by eye with the Qt dialog's (docs/screenshots).
#
#   scripts/windows-dialog-shots.sh [OUTDIR]     (default build/windows-dialog-shots)
#
# Needs the Windows cross tools and Wine (TOLVAN_WITH_WINDOWS_TOOLS=1
# scripts/install-deps.sh), Xvfb, ImageMagick's convert, the IPA Gothic
# fonts (fonts-ipafont-gothic) and the ja_JP.UTF-8 locale
# (sed -i 's/# ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen && locale-gen).
# The Japanese fonts Windows has are stood in for by IPA Gothic, Century by
# C059.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
out=$(realpath -m "${1:-build/windows-dialog-shots}")

for tool in wine wineserver Xvfb convert; do
  command -v "$tool" >/dev/null || { echo "windows-dialog-shots: $tool is not installed" >&2; exit 2; }
done
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "windows-dialog-shots: the ja_JP.UTF-8 locale is missing; generate it with" >&2
  echo "  sed -i 's/# ja_JP.UTF-8/ja_JP.UTF-8/' /etc/locale.gen && locale-gen" >&2
  exit 2
fi

mkdir -p "$out"
if ! { cmake --preset windows-x64 >"$out/build.log" 2>&1 &&
       cmake --build --preset windows-x64 --target tolvan_dialog_shot -j2 >>"$out/build.log" 2>&1; }; then
  echo "windows-dialog-shots: the build failed (see $out/build.log)" >&2
  exit 1
fi
exe=build/windows-x64/tests/windows/tolvan_dialog_shot.exe

export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LANG=ja_JP.UTF-8
WINEPREFIX=$(mktemp -d /tmp/tolvan-dialog-wine.XXXXXX)
xvfb_pid=
cleanup() {
  wineserver -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

source tests/windows/checks/display.sh
start_virtual_display

wineserver -p
if ! timeout 300 wine wineboot -i >"$out/wineboot.log" 2>&1; then
  echo "windows-dialog-shots: wineboot failed (see $out/wineboot.log)" >&2
  exit 1
fi
display_settings add
timeout 120 wineserver -w

mkdir -p "$WINEPREFIX/drive_c/shots"
cp "$exe" "$WINEPREFIX/drive_c/"
status=0
if timeout 300 wine 'C:\tolvan_dialog_shot.exe' --smoke >"$out/smoke.log" 2>&1; then
  echo "ok   smoke test: $(tail -1 "$out/smoke.log" | tr -d '\r')"
else
  echo "FAIL smoke test"
  tr -d '\r' <"$out/smoke.log"
  status=1
fi
if ! timeout 300 wine 'C:\tolvan_dialog_shot.exe' --shots 'C:\shots' >"$out/shots.log" 2>&1; then
  echo "FAIL screenshots (see $out/shots.log)"
  status=1
fi
count=0
for bmp in "$WINEPREFIX"/drive_c/shots/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "$out/$(basename "${bmp%.bmp}").png" && count=$((count + 1))
done
echo "$count screenshots in $out"
[ "$count" -gt 0 ] || status=1
exit $status
