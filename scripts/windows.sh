#!/usr/bin/env bash
# Builds tolvan.dll for 64-bit and 32-bit Windows (cmake presets windows-x64
# and windows-x86) and checks it: both export the five Dll* entry points and
# need no runtime DLL beside them; under Wine the 64-bit one registers with
# regsvr32 (per machine, and per user through DllInstall), writes the class
# and the add-in keys with their texts, and unregistering leaves the registry
# as it was. 32-bit Windows code cannot run on these machines, so the 32-bit
# DLL is only inspected. The platform's text conversions and the add-in's
# Windows services (registry, clipboard, keyboard, message boxes) run under
# Wine too, and so does a fake IDE (the host stub) that connects the add-in,
# clicks its button and must leave the module as the Linux command line
# writes it. The installer is built, and under Wine installs and uninstalls.
# Then the unit tests of every layer run under Wine, and tolvan.exe must
# write what the Linux command line writes and serve `tolvan lsp` on a pipe.
# Last, the settings window and the About box are worked as a user would,
# and the Tools menu item opens the settings window on a virtual display.
#
# Needs g++-mingw-w64-x86-64, g++-mingw-w64-i686, wine and wine64
# (TOLVAN_WITH_WINDOWS_TOOLS=1 scripts/install-deps.sh installs them).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

passed=0
failed=0
pass() { echo "ok   $1"; passed=$((passed + 1)); }
fail() { echo "FAIL $1"; failed=$((failed + 1)); }
check() {
  local name=$1
  shift
  if "$@"; then pass "$name"; else fail "$name"; fi
}
finish() {
  echo "$passed passed, $failed failed"
  [ "$failed" -eq 0 ]
  exit
}

clsid='{85BE8F35-AE19-4E24-84F8-458398AA0A89}'
exports=(DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer)

# --- Build and inspect both DLLs ----------------------------------------------
for arch in x64 x86; do
  dll=build/windows-$arch/src/windows/tolvan.dll
  if cmake --preset "windows-$arch" >/tmp/tolvan-windows-$arch.log 2>&1 &&
     cmake --build --preset "windows-$arch" -j2 >>/tmp/tolvan-windows-$arch.log 2>&1; then
    pass "$arch: builds tolvan.dll"
  else
    fail "$arch: builds tolvan.dll (see /tmp/tolvan-windows-$arch.log)"
    continue
  fi
  dump=$(x86_64-w64-mingw32-objdump -p "$dll")
  table=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" | grep -oE '^\s*\[ *[0-9]+\] [A-Za-z_@0-9]+' | sed 's/.*\] //' | sort)
  check "$arch: exports exactly the five Dll* functions, undecorated" \
    test "$table" = "$(printf '%s\n' "${exports[@]}" | sort)"
  expected_format=pei-x86-64
  [ "$arch" = x86 ] && expected_format=pei-i386
  check "$arch: is $expected_format" grep -q "file format $expected_format" <<<"$dump"
  imports=$(grep -oE 'DLL Name: .*' <<<"$dump" | cut -d' ' -f3 | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  check "$arch: needs only system DLLs (got: $imports)" \
    test -z "$(tr ' ' '\n' <<<"$imports" | grep -vxE 'kernel32\.dll|advapi32\.dll|ole32\.dll|oleaut32\.dll|msvcrt\.dll|user32\.dll|gdi32\.dll|comctl32\.dll|comdlg32\.dll|shell32\.dll|')"
done

x64=build/windows-x64/src/windows/tolvan.dll
[ -f "$x64" ] || finish
if ! command -v wine >/dev/null || ! command -v wineserver >/dev/null; then
  fail "wine is installed"
  finish
fi

# --- Registration under Wine -----------------------------------------------------
export WINEPREFIX
WINEPREFIX=$(mktemp -d /tmp/tolvan-wine.XXXXXX)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" DISPLAY=
work=$(mktemp -d /tmp/tolvan-windows.XXXXXX)
cleanup() {
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  wineserver -k >/dev/null 2>&1
  rm -rf "$WINEPREFIX" "$work"
}
trap cleanup EXIT

# A persistent wineserver, started before anything else, so that each wine
# command below does not wait for one to start and stop.
wineserver -p
if ! timeout 300 wine wineboot -i >"$work/wineboot.log" 2>&1; then
  fail "wineboot prepares a Wine prefix (see $work/wineboot.log)"
  finish
fi
mkdir -p "$WINEPREFIX/drive_c/tolvan"
cp "$x64" "$WINEPREFIX/drive_c/tolvan/tolvan.dll"
dll='C:\tolvan\tolvan.dll'

wine_run() { timeout 120 wine "$@" >>"$work/wine.log" 2>&1; }

# The platform's text conversions through the Windows code page functions.
check_exe=build/windows-x64/tests/windows/tolvan_windows_text_check.exe
if [ -f "$check_exe" ]; then
  cp "$check_exe" "$WINEPREFIX/drive_c/tolvan/"
  if timeout 120 wine 'C:\tolvan\tolvan_windows_text_check.exe' >"$work/text.log" 2>&1; then
    pass "text conversions under Wine: $(tail -1 "$work/text.log" | tr -d '\r')"
  else
    fail "text conversions under Wine"
    tr -d '\r' <"$work/text.log"
  fi
else
  fail "the text conversion check is built"
fi

# The add-in's keyboard, clipboard, registry and settings location, and its
# message boxes when a display can be had (xvfb-run); it leaves the registry
# as it found it, which the registration checks below rely on.
services_exe=build/windows-x64/tests/windows/tolvan_windows_services_check.exe
if [ -f "$services_exe" ]; then
  cp "$services_exe" "$WINEPREFIX/drive_c/tolvan/"
  with_display=()
  command -v xvfb-run >/dev/null && with_display=(xvfb-run -a)
  if timeout 300 "${with_display[@]}" wine 'C:\tolvan\tolvan_windows_services_check.exe' \
       >"$work/services.log" 2>&1; then
    pass "Windows services under Wine: $(grep -a 'passed,' "$work/services.log" | tr -d '\r')"
  else
    fail "Windows services under Wine"
    tr -d '\r' <"$work/services.log"
  fi
else
  fail "the Windows services check is built"
fi

# The two trees registration writes to, HKEY_LOCAL_MACHINE\Software and
# HKEY_CURRENT_USER\Software, as UTF-8 text.
export_registry() {
  local root
  : >"$1"
  for root in HKEY_LOCAL_MACHINE HKEY_CURRENT_USER; do
    rm -f "$WINEPREFIX/drive_c/tolvan/export.reg"
    wine_run regedit /E 'C:\tolvan\export.reg' "$root\\Software" || return 1
    iconv -f UTF-16 -t UTF-8 "$WINEPREFIX/drive_c/tolvan/export.reg" | tr -d '\r' >>"$1" || return 1
  done
}

# Prints the keys and values of a .reg export one a line as
# "[key] name=value", dropping the keys Wine rewrites on its own.
flatten() {
  python3 - "$1" <<'PY'
import re, sys
# Wine's own keys, and those its services write on their own while the
# prefix starts (the network cards).
volatile = re.compile(r'^\[HKEY_(LOCAL_MACHINE|CURRENT_USER)\\Software\\(Wow6432Node\\)?(Wine\\|Microsoft\\Windows NT\\CurrentVersion\\NetworkCards)', re.I)
key = None
text = open(sys.argv[1], encoding='utf-8').read().replace('\\\n  ', '')
for line in text.split('\n'):
    if line.startswith('['):
        key = line
        if not volatile.match(key):
            print(key)
    elif key and line and not line.startswith('REGEDIT') and not volatile.match(key):
        print(key, line)
PY
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
  export_registry "$work/after.reg" || { fail "$label: regedit exports the registry"; return; }
  flatten "$work/after.reg" >"$work/after.flat"
  if diff "$flat_before" "$work/after.flat" >"$work/$label.diff"; then
    pass "$label: the registry is as it was before registration"
  else
    fail "$label: the registry is as it was before registration"
    head -20 "$work/$label.diff"
  fi
}

export_registry "$work/before.reg" || { fail "regedit exports the registry"; finish; }
flatten "$work/before.reg" >"$work/before.flat"
check "the registry holds no Tolvan key before registration" \
  bash -c "! grep -qiE 'tolvan' '$work/before.flat'"

hklm=HKEY_LOCAL_MACHINE
hkcu=HKEY_CURRENT_USER
check_add_in_keys() {
  local flat=$1
  local key
  for key in "$hkcu\\Software\\Microsoft\\Visual Basic\\6.0\\Addins\\Tolvan.Connect" \
             "$hkcu\\Software\\Microsoft\\VBA\\VBE\\6.0\\Addins64\\Tolvan.Connect"; do
    expect_value "$flat" "$key" FriendlyName '"Tolvan"'
    expect_value "$flat" "$key" Description '"VBのヘッダーコメントを生成します"'
    expect_value "$flat" "$key" LoadBehavior 'dword:00000001'
    expect_value "$flat" "$key" CommandLineSafe 'dword:00000001'
  done
}
check_class_keys() {
  local flat=$1 classes=$2
  expect_value "$flat" "$classes\\CLSID\\$clsid" @ '"Tolvan"'
  expect_value "$flat" "$classes\\CLSID\\$clsid\\InprocServer32" @ '"C:\\tolvan\\tolvan.dll"'
  expect_value "$flat" "$classes\\CLSID\\$clsid\\InprocServer32" ThreadingModel '"Apartment"'
  expect_value "$flat" "$classes\\CLSID\\$clsid\\ProgID" @ '"Tolvan.Connect"'
  expect_value "$flat" "$classes\\Tolvan.Connect" @ '"Tolvan"'
  expect_value "$flat" "$classes\\Tolvan.Connect\\CLSID" @ "\"$clsid\""
}

# Per machine: regsvr32 calls DllRegisterServer.
check "regsvr32 registers tolvan.dll" wine_run regsvr32 /s "$dll"
export_registry "$work/machine.reg" && flatten "$work/machine.reg" >"$work/machine.flat"
check_class_keys "$work/machine.flat" "$hklm\\Software\\Classes"
check_add_in_keys "$work/machine.flat"
check "registering twice succeeds" wine_run regsvr32 /s "$dll"
check "regsvr32 /u unregisters tolvan.dll" wine_run regsvr32 /s /u "$dll"
compare_with_before machine "$work/before.flat"
check "unregistering what is not registered succeeds" wine_run regsvr32 /s /u "$dll"

# Per user: regsvr32 /n /i:user calls DllInstall(TRUE, L"user").
check "regsvr32 /n /i:user registers for the user" wine_run regsvr32 /s /n /i:user "$dll"
export_registry "$work/user.reg" && flatten "$work/user.reg" >"$work/user.flat"
check_class_keys "$work/user.flat" "$hkcu\\Software\\Classes"
check_add_in_keys "$work/user.flat"
check "per-user registration writes nothing per machine" \
  bash -c "! grep -qF '[$hklm\\Software\\Classes\\CLSID\\$clsid]' '$work/user.flat'"
check "regsvr32 /u /n /i:user unregisters for the user" wine_run regsvr32 /s /u /n /i:user "$dll"
compare_with_before user "$work/before.flat"

check "DllInstall refuses an unknown scope" bash -c "! timeout 120 wine regsvr32 /s /n /i:everyone '$dll' >/dev/null 2>&1"
compare_with_before refused "$work/before.flat"

# --- The add-in in a fake IDE under Wine ----------------------------------------
# tolvan_host_stub (tests/windows/host_stub.cpp) loads tolvan.dll as the IDE
# does, connects it to an environment of IDispatch objects over a module of
# examples/Payroll (CP932, with attribute lines), clicks its button with the
# cursor or selection and keys given, and writes the module out. The bytes
# must be those the Linux command line writes for the same position and
# keys: both run on the factory settings and on the same day. The stub checks
# the connection itself too (controls placed and removed, subscriptions
# ended, every object released, DllCanUnloadNow), and fails the row if any
# of its checks failed.
linux_tolvan=build/release/src/cli/tolvan
stub_exe=build/windows-x64/tests/windows/tolvan_host_stub.exe
if [ ! -x "$linux_tolvan" ]; then
  cmake --preset release >/tmp/tolvan-release.log 2>&1 &&
    cmake --build --preset release -j2 --target tolvan >>/tmp/tolvan-release.log 2>&1
fi
if [ ! -x "$linux_tolvan" ]; then
  fail "the Linux command line is built (see /tmp/tolvan-release.log)"
elif [ ! -f "$stub_exe" ]; then
  fail "the host stub is built"
else
  cp "$stub_exe" "$WINEPREFIX/drive_c/tolvan/"
  mkdir -p "$work/linux" "$WINEPREFIX/drive_c/tolvan/payroll" "$work/config"
  cp examples/Payroll/* "$work/linux/"
  cp examples/Payroll/* "$WINEPREFIX/drive_c/tolvan/payroll/"
  # The button takes its face from the system clipboard.
  stub_flags=(--expect-face)
  host_cases=(
    "a header comment above a Property Let|clsEmployee.cls|--line 26"
    "a module header in the declarations section|clsEmployee.cls|--line 16"
    "Add markers on a plain click|clsEmployee.cls|--line 27 --end-line 29"
    "Delete markers, commented out, on Shift+click|clsEmployee.cls|--line 27 --end-line 29 --shift"
    "Modify markers on Ctrl+click|clsEmployee.cls|--line 27 --end-line 29 --ctrl"
    "no change on Ctrl+Shift+click|clsEmployee.cls|--line 27 --end-line 29 --shift --ctrl"
    "a header of a function declared over two lines|modCalc.bas|--line 14 --column 5"
    "a form's module header below its designer block|frmMain.frm|--line 26"
  )
  for row in "${host_cases[@]}"; do
    IFS='|' read -r label module position <<<"$row"
    name="host stub: $label ($module $position)"
    read -ra args <<<"$position"
    rm -f "$WINEPREFIX/drive_c/tolvan/out.bas"
    if ! timeout 120 wine 'C:\tolvan\tolvan_host_stub.exe' --dll "$dll" \
        --module "C:\\tolvan\\payroll\\$module" --out 'C:\tolvan\out.bas' \
        "${args[@]}" "${stub_flags[@]}" >"$work/stub.log" 2>&1; then
      fail "$name: the stub's checks pass"
      tr -d '\r' <"$work/stub.log"
      continue
    fi
    if ! XDG_CONFIG_HOME="$work/config" "$linux_tolvan" comment "$work/linux/$module" \
        "${args[@]}" --stdout >"$work/linux.out" 2>"$work/linux.err"; then
      fail "$name: tolvan comment runs"
      cat "$work/linux.err"
      continue
    fi
    if cmp -s "$work/linux.out" "$WINEPREFIX/drive_c/tolvan/out.bas"; then
      pass "$name writes what tolvan comment writes"
    else
      fail "$name writes what tolvan comment writes"
      diff <(iconv -f CP932 -t UTF-8 "$work/linux.out") \
        <(iconv -f CP932 -t UTF-8 "$WINEPREFIX/drive_c/tolvan/out.bas") | head -20
    fi
  done
fi

# --- The installer -----------------------------------------------------------------
# Built for both DLLs with makensis; under Wine it installs the 64-bit one for
# the current user (the 32-bit registration cannot run here), and its
# uninstaller leaves files and registry as they were.
x86=build/windows-x86/src/windows/tolvan.dll
setup=build/windows-x64/tolvan-setup.exe
if ! command -v makensis >/dev/null; then
  fail "makensis is installed (Debian package nsis)"
elif [ ! -f "$x86" ]; then
  fail "the installer is built (the 32-bit DLL is missing)"
elif makensis -V2 -DVERSION="$(sed -n 's/^project(Tolvan VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" \
     -DX64DLL="$root/$x64" -DX86DLL="$root/$x86" -DHELP="$root/resources/help/index.html" \
     -DOUTFILE="$root/$setup" installer/Tolvan.nsi >"$work/makensis.log" 2>&1; then
  pass "makensis builds the installer"
  cp "$setup" "$WINEPREFIX/drive_c/tolvan/"
  wine_user=$(id -un)
  target="$WINEPREFIX/drive_c/users/$wine_user/AppData/Local/Programs/Tolvan"
  check "the installer installs for the VBA editor of 64-bit Office, silently" \
    wine_run 'C:\tolvan\tolvan-setup.exe' /S /EDITORS=vba64
  check "the 64-bit DLL and the user guide are installed" \
    test -f "$target/x64/tolvan.dll" -a -f "$target/help/index.html" -a -f "$target/uninstall.exe"
  check "nothing 32-bit is installed when only vba64 is chosen" test ! -e "$target/x86"
  export_registry "$work/setup.reg" && flatten "$work/setup.reg" >"$work/setup.flat"
  check_add_in_keys "$work/setup.flat"
  expect_value "$work/setup.flat" "$hkcu\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" @ \
    "\"C:\\\\users\\\\$wine_user\\\\AppData\\\\Local\\\\Programs\\\\Tolvan\\\\x64\\\\tolvan.dll\""
  expect_value "$work/setup.flat" "$hkcu\\Software\\Quenby Software\\Tolvan" InstallPath \
    "\"C:\\\\users\\\\$wine_user\\\\AppData\\\\Local\\\\Programs\\\\Tolvan\\\\help\""
  expect_value "$work/setup.flat" "$hkcu\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvan" \
    DisplayName '"Tolvan"'
  check "the installer writes nothing per machine" \
    bash -c "! grep -qiF 'tolvan' <(grep -F '[$hklm' '$work/setup.flat')"
  check "the uninstaller runs silently" \
    wine_run "C:\\users\\$wine_user\\AppData\\Local\\Programs\\Tolvan\\uninstall.exe" /S
  # The uninstaller goes on in a copy of itself, so that it can remove its
  # own file: wait for the folder to go.
  for _ in $(seq 120); do [ -e "$target" ] || break; sleep 0.5; done
  check "the uninstaller removes the installation folder" test ! -e "$target"
  compare_with_before uninstalled "$work/before.flat"
  # 32-bit regsvr32 cannot run on these machines: a registration that fails.
  check "an installer whose registration fails exits with status 2" \
    bash -c "timeout 120 wine 'C:\\tolvan\\tolvan-setup.exe' /S /EDITORS=vba64,vb6 >/dev/null 2>&1; test \$? -eq 2"
  check "and takes back what it had installed" test ! -e "$target"
  compare_with_before rolled-back "$work/before.flat"
  check "an installer asked for no editor refuses" \
    bash -c "! timeout 120 wine 'C:\\tolvan\\tolvan-setup.exe' /S /EDITORS=none >/dev/null 2>&1"
  check "and installs nothing" test ! -e "$target"
else
  fail "makensis builds the installer (see $work/makensis.log)"
  cat "$work/makensis.log"
fi

# --- The unit tests and tolvan.exe under Wine ----------------------------------------
# Every layer's unit tests built for Windows (preset windows-x64-tests) and
# run by ctest under Wine in this prefix, one line per test program. Then
# tolvan.exe itself: its comment command on examples/Payroll, in a folder
# named in kana, prints and writes the bytes the Linux command line writes
# for the same position, keys and date; `tolvan lsp` answers over a pipe with
# messages framed by CR LF and exits 0 after shutdown and exit.
tests_build=build/windows-x64-tests
if cmake --preset windows-x64-tests >/tmp/tolvan-windows-tests.log 2>&1 &&
   cmake --build --preset windows-x64-tests -j2 >>/tmp/tolvan-windows-tests.log 2>&1; then
  pass "x64: builds the unit tests and tolvan.exe"
  ctest --preset windows-x64-tests --output-junit "$work/junit.xml" >"$work/ctest.log" 2>&1
  ctest --preset windows-x64-tests -N --show-only=json-v1 >"$work/tests.json" 2>>"$work/ctest.log"
  # "ok|FAIL<TAB>line", one a test program: its tests that passed, were
  # skipped (with the reason in the test) and failed.
  python3 - "$work/junit.xml" "$work/tests.json" >"$work/units.txt" <<'PY'
import collections, json, os, sys
import xml.etree.ElementTree as ET
program_of = {}
text = open(sys.argv[2], errors='replace').read()
try:
    # Anything ctest printed before the listing itself is passed over.
    tests = json.loads(text[text.index('{'):])['tests']
except ValueError:
    tests = []
for test in tests:
    # The program itself, or the emulator and the program; a script's test
    # (cmake -P) is named by itself.
    command = test.get('command') or ['?']
    exe = next((c for c in command[:2] if c.endswith('.exe') and not c.startswith('-')), None)
    program_of[test['name']] = os.path.basename(exe) if exe else test['name']
counts = collections.OrderedDict()
for case in ET.parse(sys.argv[1]).getroot().iter('testcase'):
    name = case.get('name')
    c = counts.setdefault(program_of.get(name, name.split('.')[0]),
                        {'passed': 0, 'skipped': 0, 'failed': []})
    if case.find('skipped') is not None:
        c['skipped'] += 1
    elif case.get('status') == 'run':
        c['passed'] += 1
    else:
        c['failed'].append(name)
if not counts:
    print('FAIL\tunit tests under Wine: ctest ran none')
for program, c in sorted(counts.items()):
    summary = '%d passed, %d skipped' % (c['passed'], c['skipped'])
    if c['failed']:
        print('FAIL\tunit tests under Wine: %s: %s, %d failed: %s'
              % (program, summary, len(c['failed']), ' '.join(c['failed'])))
    else:
        print('ok\tunit tests under Wine: %s: %s' % (program, summary))
PY
  if [ -s "$work/units.txt" ]; then
    while IFS=$'\t' read -r verdict line; do
      if [ "$verdict" = ok ]; then pass "$line"; else fail "$line"; fi
    done <"$work/units.txt"
    grep -q '^FAIL' "$work/units.txt" && sed -n '/The following tests FAILED/,$p' "$work/ctest.log"
  else
    fail "unit tests under Wine: ctest's results can be read (see $work/ctest.log)"
  fi

  exe="$tests_build/src/cli/tolvan.exe"
  now='2026-12-08 09:30:00'
  exe_cases=(
    "a header comment above a Property Let|clsEmployee.cls|--line 26"
    "Delete markers on Shift+click|clsEmployee.cls|--line 27 --end-line 29 --shift"
    "a header of a function declared over two lines|modCalc.bas|--line 14 --column 5"
    "a form's module header|frmMain.frm|--line 26"
  )
  kana='C:\tolvan\給与 計算'
  if [ ! -x "$linux_tolvan" ]; then
    fail "tolvan.exe: the Linux command line to compare with is built"
  else
    for row in "${exe_cases[@]}"; do
      IFS='|' read -r label module position <<<"$row"
      name="tolvan.exe: $label ($module $position)"
      read -ra args <<<"$position"
      rm -rf "$work/exe-linux" "$WINEPREFIX/drive_c/tolvan/給与 計算"
      mkdir -p "$work/exe-linux" "$WINEPREFIX/drive_c/tolvan/給与 計算"
      cp examples/Payroll/* "$work/exe-linux/"
      cp examples/Payroll/* "$WINEPREFIX/drive_c/tolvan/給与 計算/"
      XDG_CONFIG_HOME="$work/config" "$linux_tolvan" comment "$work/exe-linux/$module" \
        "${args[@]}" --now "$now" --stdout >"$work/exe-linux.out" 2>"$work/exe.err" ||
        { fail "$name: tolvan comment runs"; cat "$work/exe.err"; continue; }
      if LC_ALL=C.UTF-8 timeout 120 wine "$exe" comment "$kana\\$module" "${args[@]}" --now "$now" \
           --stdout >"$work/exe-windows.out" 2>"$work/exe.err" &&
         cmp -s "$work/exe-linux.out" "$work/exe-windows.out"; then
        pass "$name: --stdout prints what the Linux build prints"
      else
        fail "$name: --stdout prints what the Linux build prints"
        tr -d '\r' <"$work/exe.err"
      fi
      if LC_ALL=C.UTF-8 timeout 120 wine "$exe" comment "$kana\\$module" "${args[@]}" --now "$now" \
           >/dev/null 2>"$work/exe.err" &&
         cmp -s "$work/exe-linux.out" "$WINEPREFIX/drive_c/tolvan/給与 計算/$module"; then
        pass "$name: writes the file the Linux build prints"
      else
        fail "$name: writes the file the Linux build prints"
        tr -d '\r' <"$work/exe.err"
      fi
    done
  fi

  frame() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
  { frame '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}'
    frame '{"jsonrpc":"2.0","id":2,"method":"shutdown"}'
    frame '{"jsonrpc":"2.0","method":"exit"}'; } >"$work/lsp.in"
  cat "$work/lsp.in" | timeout 120 wine "$exe" lsp >"$work/lsp.out" 2>"$work/lsp.err"
  lsp_status=${PIPESTATUS[1]}
  check "tolvan.exe lsp over a pipe exits 0 after shutdown and exit" test "$lsp_status" -eq 0
  check "tolvan.exe lsp answers both requests, framed with CR LF" python3 - "$work/lsp.out" <<'PY'
import json, re, sys
data = open(sys.argv[1], 'rb').read()
answers = 0
while data:
    m = re.match(rb'Content-Length: (\d+)\r\n\r\n', data)
    if not m:
        sys.exit('not framed: %r' % data[:80])
    end = m.end() + int(m.group(1))
    json.loads(data[m.end():end])
    data = data[end:]
    answers += 1
sys.exit(0 if answers == 2 else 'answers: %d' % answers)
PY
else
  fail "x64: builds the unit tests and tolvan.exe (see /tmp/tolvan-windows-tests.log)"
fi

# --- The settings window under Wine ---------------------------------------------
# tolvan_dialog_shot --smoke opens the Win32 settings window and About box
# with settings in memory and works every kind of control, on Wine's
# display-less graphics driver (scripts/windows-dialog-shots.sh shows them
# on a display). The driver is chosen when the prefix's desktop starts, so
# the server starts again after the setting.
dialog_exe=build/windows-x64/tests/windows/tolvan_dialog_shot.exe
if [ -f "$dialog_exe" ]; then
  cp "$dialog_exe" "$WINEPREFIX/drive_c/tolvan/"
  wine_run reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f
  wineserver -k >/dev/null 2>&1
  timeout 60 wineserver -w
  wineserver -p
  if timeout 300 wine 'C:\tolvan\tolvan_dialog_shot.exe' --smoke >"$work/dialog.log" 2>&1; then
    pass "settings window under Wine: $(tail -1 "$work/dialog.log" | tr -d '\r')"
  else
    fail "settings window under Wine"
    tr -d '\r' <"$work/dialog.log"
  fi
else
  fail "the settings window's test program is built"
fi

# --- The settings window from the Tools menu, on a display ----------------------
# The host stub connects the add-in and clicks its Tools menu item; the
# settings window must open from inside the click, is saved as a picture
# (build/windows-x64/settings-from-tools-menu.bmp, to compare by eye with the
# Qt dialog's screenshots) and closed by its File menu's exit, leaving the
# module as it was. On a virtual display (Xvfb) with the Japanese dialog
# fonts stood in for by IPA Gothic; without Xvfb, on the display-less driver
# and without the picture.
shot=build/windows-x64/settings-from-tools-menu.bmp
xvfb_pid=
if [ -f "$stub_exe" ]; then
  if command -v Xvfb >/dev/null; then
    display=97
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
      display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
    export DISPLAY=":$display"
    wine_run reg delete 'HKCU\Software\Wine\Drivers' /v Graphics /f
    fonts='HKCU\Software\Wine\Fonts\Replacements'
    for face in "MS Shell Dlg" "MS Shell Dlg 2" "MS UI Gothic" "MS PGothic" "ＭＳ Ｐゴシック"; do
      wine_run reg add "$fonts" /v "$face" /d IPAPGothic /f
    done
    for face in "MS Gothic" "ＭＳ ゴシック"; do wine_run reg add "$fonts" /v "$face" /d IPAGothic /f; done
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Decorated /d N /f
    wine_run reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f
    wineserver -k >/dev/null 2>&1
    timeout 60 wineserver -w
    wineserver -p
  fi
  rm -f "$WINEPREFIX/drive_c/tolvan/out.bas" "$WINEPREFIX/drive_c/tolvan/settings.bmp"
  if timeout 300 wine 'C:\tolvan\tolvan_host_stub.exe' --dll "$dll" \
      --module 'C:\tolvan\payroll\clsEmployee.cls' --out 'C:\tolvan\out.bas' --line 26 \
      --open-settings 'C:\tolvan\settings.bmp' >"$work/settings-stub.log" 2>&1; then
    pass "the Tools menu item opens the settings window, which closes again"
  else
    fail "the Tools menu item opens the settings window, which closes again"
    tr -d '\r' <"$work/settings-stub.log"
  fi
  check "opening the settings leaves the module as it was" \
    cmp -s examples/Payroll/clsEmployee.cls "$WINEPREFIX/drive_c/tolvan/out.bas"
  if [ -n "$xvfb_pid" ]; then
    cp "$WINEPREFIX/drive_c/tolvan/settings.bmp" "$shot" 2>/dev/null
    # A picture of a window, not of an empty screen: many colours.
    check "the settings window's picture shows a window ($shot)" python3 - "$shot" <<'PY'
import sys
data = open(sys.argv[1], 'rb').read()
offset = int.from_bytes(data[10:14], 'little')
pixels = data[offset:]
colours = {pixels[i:i + 3] for i in range(0, len(pixels) - 2, 3)}
sys.exit(0 if len(data) > 100000 and len(colours) > 8 else 1)
PY
    kill "$xvfb_pid" 2>/dev/null
  fi
fi

finish
