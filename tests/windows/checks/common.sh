# Shared by the Windows checks of this folder, which ctest runs from the
# windows-x64-tests preset (tests/windows/WineChecks.cmake): counting the
# checks of one script, running Windows programs in the caller's Wine prefix,
# and reading the registry that registration writes.
#
# The prefix comes from the caller, as for every test of the preset: WINEPREFIX
# set, `wineserver -p` and `wine wineboot -i` run (scripts/windows.sh does).
# Each script works in its current directory, a folder of its own in the
# build tree, and prints one line per check and a closing "N passed, N failed".

need_prefix() {
  if [ -z "${WINEPREFIX:-}" ] || [ ! -d "$WINEPREFIX" ]; then
    echo "set WINEPREFIX to a Wine prefix of your own and start wineserver -p in it first" >&2
    exit 125
  fi
}
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml="
# Names in any script pass between Wine and the Unix side.
export LC_ALL=C.UTF-8

checks_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(pwd)

passed=0
failed=0
pass() { echo "ok   $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
# A script that checked nothing has failed too.
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
  exit
}

# A folder of the build tree as a Windows program names it (drive Z: is /).
windows_path() { local path=${1//\//\\}; echo "Z:$path"; }

wine_run() { timeout 120 wine "$@" >>"$work/wine.log" 2>&1; }

# The persistent server again, after a change that Wine reads only when the
# prefix's desktop starts (the graphics driver, fonts, the X11 driver). The
# server and the prefix's services (started by the first program after it)
# outlive the test: their output goes nowhere, or ctest, whose pipes the
# next test's program would hand them, would wait for them to end.
restart_wineserver() {
  wineserver -k >/dev/null 2>&1
  timeout 60 wineserver -w >/dev/null 2>&1
  wineserver -p >/dev/null 2>&1 </dev/null
  timeout 120 wine wineboot >/dev/null 2>&1 </dev/null
}

# --- The registry ------------------------------------------------------------
# The two trees registration writes to, HKEY_LOCAL_MACHINE\Software and
# HKEY_CURRENT_USER\Software, flattened to "[key] name=value" lines (Wine's
# own volatile keys left out) into FILE.
flat_registry() {
  local out=$1 root export_dir="$WINEPREFIX/drive_c/tolvan-export"
  mkdir -p "$export_dir"
  : >"$out.reg"
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
    rm -f "$export_dir/export.reg"
    wine_run regedit /E 'C:\tolvan-export\export.reg' "$root\\Software" || return 1
    iconv -f UTF-16 -t UTF-8 "$export_dir/export.reg" | tr -d '\r' >>"$out.reg" || return 1
  done
  python3 "$checks_dir/flatten_registry.py" "$out.reg" >"$out"
}

# The value `name` ("@" for the default) of `key` in a flattened export.
value_of() {
  local flat=$1 key=$2 name=$3
  [ "$name" = @ ] || name="\"$name\""
  grep -F "[$key] $name=" "$flat" | head -1 | cut -d= -f2-
}

expect_value() {
  local flat=$1 key=$2 name=$3 want=$4 got
  got=$(value_of "$flat" "$key" "$name")
  check "$key ${name}: $want" test "$got" = "$want"
}

compare_with_before() {
  local label=$1 flat_before=$2
  flat_registry "$work/after.flat" || { fail "$label: regedit exports the registry"; return; }
  if diff "$flat_before" "$work/after.flat" >"$work/$label.diff"; then
    pass "$label: the registry is as it was before"
  else
    fail "$label: the registry is as it was before"
    head -20 "$work/$label.diff"
  fi
}

clsid='{85BE8F35-AE19-4E24-84F8-458398AA0A89}'
hklm=HKEY_LOCAL_MACHINE
hkcu=HKEY_CURRENT_USER

check_add_in_keys() {
  local flat=$1 key
  for key in "$hkcu\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Tolvan.Connect" \
             "$hkcu\\Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Tolvan.Connect"; do
    expect_value "$flat" "$key" FriendlyName '"Tolvan"'
    expect_value "$flat" "$key" Description '"VBのヘッダーコメントを生成します"'
    expect_value "$flat" "$key" LoadBehavior 'dword:00000001'
    expect_value "$flat" "$key" CommandLineSafe 'dword:00000001'
  done
}

# `dll` is the path as the registry holds it, backslashes doubled.
check_class_keys() {
  local flat=$1 classes=$2 dll=$3
  expect_value "$flat" "$classes\\CLSID\\$clsid" @ '"Tolvan"'
  expect_value "$flat" "$classes\\CLSID\\$clsid\\InprocServer32" @ "\"$dll\""
  expect_value "$flat" "$classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel '"Apartment"'
  expect_value "$flat" "$classes\\CLSID\\$clsid\\ProgID" @ '"Tolvan.Connect"'
  expect_value "$flat" "$classes\\Tolvan.Connect" @ '"Tolvan"'
  expect_value "$flat" "$classes\\Tolvan.Connect\\CLSID" @ "\"$clsid\""
}
