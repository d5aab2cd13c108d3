#!/usr/bin/env bash
# The add-in in a fake development environment under Wine: the host stub
# (host_stub.cpp) loads tolvan.dll as the IDE does, connects it to IDispatch
# objects over a module of examples/Payroll (CP932, with attribute lines),
# clicks its button with the cursor or selection and keys given and writes
# the module out. The bytes must be those the Linux command line writes for
# the same position and keys: both run on the factory settings on the same
# day. The stub checks the connection itself too, and fails when any of its
# checks failed.
#
#   host_stub.sh STUB DLL LINUX_TOLVAN SOURCE_DIR MODULE [tolvan comment options...]
source "$(dirname "$0")/common.sh"
need_prefix
stub=$1 dll=$2 linux_tolvan=$3 source_dir=$4 module=$5
shift 5
if [ ! -x "$linux_tolvan" ]; then
  fail "the Linux command line $linux_tolvan is built"
  finish
fi
rm -rf "$work/linux" "$work/windows" "$work/config"
mkdir -p "$work/linux" "$work/windows" "$work/config"
cp "$source_dir"/examples/Payroll/* "$work/linux/"
cp "$source_dir"/examples/Payroll/* "$work/windows/"
# The button takes its face from the system clipboard.
if ! timeout 120 wine "$stub" --dll "$(windows_path "$dll")" \
     --module "$(windows_path "$work/windows/$module")" --out "$(windows_path "$work/out.bas")" \
     "$@" --expect-face >"$work/stub.log" 2>&1; then
  fail "the stub's checks pass"
  tr -d '\r' <"$work/stub.log"
  finish
fi
pass "the stub's checks pass"
if ! XDG_CONFIG_HOME="$work/config" "$linux_tolvan" comment "$work/linux/$module" "$@" --stdout \
     >"$work/linux.out" 2>"$work/linux.err"; then
  fail "tolvan comment runs"
  cat "$work/linux.err"
  finish
fi
if cmp -s "$work/linux.out" "$work/out.bas"; then
  pass "$module $*: writes what tolvan comment writes"
else
  fail "$module $*: writes what tolvan comment writes"
  diff <(iconv -f CP932 -t UTF-8 "$work/linux.out") <(iconv -f CP932 -t UTF-8 "$work/out.bas") |
    head -20
fi
finish
