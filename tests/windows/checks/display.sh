# A virtual display for Wine programs that show windows, and the prefix's
# settings that make them look as on Windows: the Japanese fonts Windows has
# stood in for by IPA Gothic (Century by C059), and frames drawn by Windows
# itself, with no window manager on the display. Sourced by tools_menu.sh and
# scripts/windows-dialog-shots.sh; WINEPREFIX is the caller's.

# Starts Xvfb on the first free display number from 97 on; sets xvfb_pid and
# exports DISPLAY.
start_virtual_display() {
  local display=97
  while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
    display=$((display + 1))
  done
  Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
  export DISPLAY=":$display"
}

# display_settings add|delete: puts the settings into the prefix or takes
# them out again. Wine reads them when the prefix's desktop starts.
display_settings() {
  local verb=$1 face
  local fonts='HKCU\Software\Wine\Fonts\Replacements' x11='HKCU\Software\Wine\X11 Driver'
  setting() {
    if [ "$verb" = add ]; then
      timeout 60 wine reg add "$1" /v "$2" /d "$3" /f >/dev/null 2>&1
    else
      timeout 60 wine reg delete "$1" /v "$2" /f >/dev/null 2>&1
    fi
  }
  # The proportional dialog fonts by the proportional IPA font, the
  # monospaced ones (the template boxes) by the monospaced one.
  for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "MS PGothic" "ＭＳ Ｐゴシック"; do
    setting "$fonts" "$face" IPAPGothic
  done
  for face in "MS Gothic" "ＭＳ ゴシック"; do setting "$fonts" "$face" IPAGothic; done
  setting "$fonts" Century C059
  setting "$x11" Decorated N
  setting "$x11" Managed N
  return 0
}
