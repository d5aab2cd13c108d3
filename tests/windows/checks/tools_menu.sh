#!/usr/bin/env bash
# The settings window from the Tools menu, on a display: the host stub
# connects the add-in and clicks its Tools menu item; the settings window
# must open from inside the click, is saved as a picture (SHOT, to compare by
# eye with the Qt dialog's screenshots) and closed by its File menu's exit,
# leaving the module as it was. On a virtual display (Xvfb) of its own, with
# the Japanese dialog fonts stood in for by IPA Gothic; the prefix's display
# settings are taken back afterwards. Without Xvfb, on the display-less
# driver and without the picture.
#
#   tools_menu.sh STUB DLL SOURCE_DIR SHOT
source "$(dirname "$0")/common.sh"
need_prefix
stub=$1 dll=$2 source_dir=$3 shot=$4
original="$source_dir/examples/Payroll/clsEmployee.cls"
module="$work/clsEmployee.cls"
source "$checks_dir/display.sh"
xvfb_pid=
drivers='HKCU\Software\Wine\Drivers'
take_back() {
  if [ -n "$xvfb_pid" ]; then
    display_settings delete
  else
    wine_run reg delete "$drivers" /v Graphics /f
  fi
  restart_wineserver
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
}
if command -v Xvfb >/dev/null; then
  start_virtual_display
  display_settings add
else
  wine_run reg add "$drivers" /v Graphics /d null /f
fi
trap take_back EXIT
restart_wineserver

rm -f "$work/out.bas" "$work/settings.bmp"
cp "$original" "$module"
if timeout 300 wine "$stub" --dll "$(windows_path "$dll")" --module "$(windows_path "$module")" \
     --out "$(windows_path "$work/out.bas")" --line 26 \
     --open-settings "$(windows_path "$work/settings.bmp")" >"$work/stub.log" 2>&1; then
  pass "the Tools menu item opens the settings window, which closes again"
else
  fail "the Tools menu item opens the settings window, which closes again"
  tr -d '\r' <"$work/stub.log"
fi
check "opening the settings leaves the module as it was" cmp -s "$original" "$work/out.bas"
if [ -n "$xvfb_pid" ]; then
  cp "$work/settings.bmp" "$shot" 2>/dev/null
  # A picture of a window, not of an empty screen.
  check "the settings window's picture shows a window ($shot)" \
    python3 "$checks_dir/picture_shows_window.py" "$shot"
fi
finish
