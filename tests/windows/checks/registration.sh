#!/usr/bin/env bash
# Registration of tolvan.dll with regsvr32 under Wine: per machine
# (DllRegisterServer) and per user (DllInstall with "user"), the class and
# add-in keys with their texts, and unregistering leaves the registry as it
# was; an unknown scope is refused and writes nothing.
#
#   registration.sh DLL
source "$(dirname "$0")/common.sh"
need_prefix
mkdir -p "$WINEPREFIX/drive_c/tolvan"
cp "$1" "$WINEPREFIX/drive_c/tolvan/tolvan.dll" || { fail "tolvan.dll is built"; finish; }
dll='C:\tolvan\tolvan.dll'
registered='C:\\tolvan\\tolvan.dll'

flat_registry "$work/before.flat" || { fail "regedit exports the registry"; finish; }
# Other checks may have left the settings' own key (Quenby Software\Tolvan);
# none leaves what registration writes.
check "the registry holds no key of Tolvan.Connect before registration" \
  bash -c "! grep -qiF -e 'Tolvan.Connect' -e '$clsid' '$work/before.flat'"

# Per machine: regsvr32 calls DllRegisterServer.
check "regsvr32 registers tolvan.dll" wine_run regsvr32 /s "$dll"
flat_registry "$work/machine.flat"
check_class_keys "$work/machine.flat" "$hklm\\Software\\Classes" "$registered"
check_add_in_keys "$work/machine.flat"
check "registering twice succeeds" wine_run regsvr32 /s "$dll"
check "regsvr32 /u unregisters tolvan.dll" wine_run regsvr32 /s /u "$dll"
compare_with_before "per machine, unregistered" "$work/before.flat"
check "unregistering what is not registered succeeds" wine_run regsvr32 /s /u "$dll"

# Per user: regsvr32 /n /i:user calls DllInstall(TRUE, L"user").
check "regsvr32 /n /i:user registers for the user" wine_run regsvr32 /s /n /i:user "$dll"
flat_registry "$work/user.flat"
check_class_keys "$work/user.flat" "$hkcu\\Software\\Classes" "$registered"
check_add_in_keys "$work/user.flat"
check "per-user registration writes nothing per machine" \
  bash -c "! grep -qF '[$hklm\\Software\\Classes\\CLSID\\$clsid]' '$work/user.flat'"
check "regsvr32 /u /n /i:user unregisters for the user" wine_run regsvr32 /s /u /n /i:user "$dll"
compare_with_before "per user, unregistered" "$work/before.flat"

check "DllInstall refuses an unknown scope" \
  bash -c "! timeout 120 wine regsvr32 /s /n /i:everyone '$dll' >/dev/null 2>&1"
compare_with_before "refused" "$work/before.flat"
finish
