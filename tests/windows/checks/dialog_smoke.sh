#!/usr/bin/env bash
# The Win32 settings window and About box under Wine: tolvan_dialog_shot
# --smoke opens them with settings in memory and works every kind of
# control, on Wine's display-less graphics driver. The driver is chosen when
# the prefix's desktop starts, so the server starts again after the setting,
# and again after it is taken back.
#
#   dialog_smoke.sh EXE
source "$(dirname "$0")/common.sh"
need_prefix
exe=$1
drivers='HKCU\Software\Wine\Drivers'
wine_run reg add "$drivers" /v Graphics /d null /f
restart_wineserver
if timeout 300 wine "$exe" --smoke >"$work/dialog.log" 2>&1; then
  pass "settings window under Wine: $(tail -1 "$work/dialog.log" | tr -d '\r')"
else
  fail "settings window under Wine"
  tr -d '\r' <"$work/dialog.log"
fi
wine_run reg delete "$drivers" /v Graphics /f
restart_wineserver
finish
