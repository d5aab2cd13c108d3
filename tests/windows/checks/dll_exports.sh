#!/usr/bin/env bash
# tolvan.dll as the development environments load it, without running it:
# it exports the five Dll* entry points undecorated, is a DLL of its
# architecture, and needs no DLL beside the system's own.
#
#   dll_exports.sh x64|x86 DLL
source "$(dirname "$0")/common.sh"
arch=$1 dll=$2
if [ ! -f "$dll" ]; then
  fail "$arch: $dll is built"
  finish
fi
dump=$(x86_64-w64-mingw32-objdump -p "$dll")
exports=(DllCanUnloadNow DllGetClassObject DllInstall DllRegisterServer DllUnregisterServer)
table=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
        grep -oE '^\s*\[ *[0-9]+\] [A-Za-z_@0-9]+' | sed 's/.*\] //' | sort)
check "$arch: exports exactly the five Dll* functions, undecorated" \
  test "$table" = "$(printf '%s\n' "${exports[@]}" | sort)"
format=pei-x86-64
[ "$arch" = x86 ] && format=pei-i386
check "$arch: is $format" grep -q "file format $format" <<<"$dump"
imports=$(grep -oE 'DLL Name: .*' <<<"$dump" | cut -d' ' -f3 | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
system='kernel32|advapi32|ole32|oleaut32|msvcrt|user32|gdi32|comctl32|comdlg32|shell32'
check "$arch: needs only system DLLs (got: $imports)" \
  test -z "$(tr ' ' '\n' <<<"$imports" | grep -vxE "($system)\.dll|")"
finish
