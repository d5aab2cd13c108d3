#!/usr/bin/env bash
# The installer (installer/Tolvan.nsi), built with makensis for both DLLs.
# Under Wine it installs the 64-bit one for the current user (32-bit
# registration cannot run here), its uninstaller leaves files and registry
# as they were, an installer whose registration fails takes back what it
# had installed, and one asked for no editor installs nothing.
#
#   installer.sh SOURCE_DIR VERSION X64_DLL X86_DLL OUTFILE
source "$(dirname "$0")/common.sh"
need_prefix
source_dir=$1 version=$2 x64=$3 x86=$4 setup=$5
if ! command -v makensis >/dev/null; then
  fail "makensis is installed (Debian package nsis)"
  finish
fi
if [ ! -f "$x86" ]; then
  fail "the installer is built (the 32-bit DLL $x86 is missing)"
  finish
fi
if ! makensis -V2 -DVERSION="$version" -DX64DLL="$x64" -DX86DLL="$x86" \
     -DHELP="$source_dir/resources/help/index.html" -DOUTFILE="$setup" \
     "$source_dir/installer/Tolvan.nsi" >"$work/makensis.log" 2>&1; then
  fail "makensis builds the installer"
  cat "$work/makensis.log"
  finish
fi
pass "makensis builds the installer"
mkdir -p "$WINEPREFIX/drive_c/tolvan"
cp "$setup" "$WINEPREFIX/drive_c/tolvan/tolvan-setup.exe"
flat_registry "$work/before.flat" || { fail "regedit exports the registry"; finish; }

wine_user=$(id -un)
target="$WINEPREFIX/drive_c/users/$wine_user/AppData/Local/Programs/Tolvan"
installed="C:\\\\users\\\\$wine_user\\\\AppData\\\\Local\\\\Programs\\\\Tolvan"
check "the installer installs for the VBA editor of 64-bit Office, silently" \
  wine_run 'C:\tolvan\tolvan-setup.exe' /S /EDITORS=vba64
check "the 64-bit DLL and the user guide are installed" \
  test -f "$target/x64/tolvan.dll" -a -f "$target/help/index.html" -a -f "$target/uninstall.exe"
check "nothing 32-bit is installed when only vba64 is chosen" test ! -e "$target/x86"
flat_registry "$work/setup.flat"
check_add_in_keys "$work/setup.flat"
expect_value "$work/setup.flat" "$hkcu\\Software\\Classes\\CLSID\\$clsid\\InprocServer32" @ \
  "\"$installed\\\\x64\\\\tolvan.dll\""
expect_value "$work/setup.flat" "$hkcu\\Software\\Quenby Software\\Tolvan" InstallPath \
  "\"$installed\\\\help\""
expect_value "$work/setup.flat" "$hkcu\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tolvan" \
  DisplayName '"Tolvan"'
check "the installer writes nothing per machine" \
  bash -c "! grep -qiF 'tolvan' <(grep -F '[$hklm' '$work/setup.flat')"
check "the uninstaller runs silently" \
  wine_run "C:\\users\\$wine_user\\AppData\\Local\\Programs\\Tolvan\\uninstall.exe" /S
# The uninstaller goes on in a copy of itself, so that it can remove its own
# file: wait for the folder to go.
for _ in $(seq 120); do [ -e "$target" ] || break; sleep 0.5; done
check "the uninstaller removes the installation folder" test ! -e "$target"
compare_with_before "uninstalled" "$work/before.flat"
# 32-bit regsvr32 cannot run on these machines: a registration that fails.
check "an installer whose registration fails exits with status 2" \
  bash -c "timeout 120 wine 'C:\\tolvan\\tolvan-setup.exe' /S /EDITORS=vba64,vb6 >/dev/null 2>&1; test \$? -eq 2"
check "and takes back what it had installed" test ! -e "$target"
compare_with_before "rolled back" "$work/before.flat"
check "an installer asked for no editor refuses" \
  bash -c "! timeout 120 wine 'C:\\tolvan\\tolvan-setup.exe' /S /EDITORS=none >/dev/null 2>&1"
check "and installs nothing" test ! -e "$target"
finish
