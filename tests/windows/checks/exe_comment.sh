#!/usr/bin/env bash
# tolvan.exe under Wine against the Linux build: its comment command on a
# module of examples/Payroll, in a folder named in kana, prints with
# --stdout and writes into the file the very bytes the Linux command line
# prints for the same position, keys and date.
#
#   exe_comment.sh EXE LINUX_TOLVAN SOURCE_DIR MODULE [tolvan comment options...]
source "$(dirname "$0")/common.sh"
need_prefix
exe=$1 linux_tolvan=$2 source_dir=$3 module=$4
shift 4
now='2026-12-08 09:30:00'
if [ ! -x "$linux_tolvan" ]; then
  fail "the Linux command line $linux_tolvan is built"
  finish
fi
folder="$work/給与 計算"
rm -rf "$work/linux" "$folder" "$work/config"
mkdir -p "$work/linux" "$folder" "$work/config"
cp "$source_dir"/examples/Payroll/* "$work/linux/"
cp "$source_dir"/examples/Payroll/* "$folder/"
XDG_CONFIG_HOME="$work/config" "$linux_tolvan" comment "$work/linux/$module" "$@" --now "$now" \
  --stdout >"$work/linux.out" 2>"$work/linux.err" ||
  { fail "tolvan comment runs"; cat "$work/linux.err"; finish; }
target=$(windows_path "$folder/$module")
if timeout 120 wine "$exe" comment "$target" "$@" --now "$now" --stdout \
     >"$work/windows.out" 2>"$work/exe.err" && cmp -s "$work/linux.out" "$work/windows.out"; then
  pass "$module $*: --stdout prints what the Linux build prints"
else
  fail "$module $*: --stdout prints what the Linux build prints"
  tr -d '\r' <"$work/exe.err"
fi
if timeout 120 wine "$exe" comment "$target" "$@" --now "$now" >/dev/null 2>"$work/exe.err" &&
   cmp -s "$work/linux.out" "$folder/$module"; then
  pass "$module $*: writes the file the Linux build prints"
else
  fail "$module $*: writes the file the Linux build prints"
  tr -d '\r' <"$work/exe.err"
fi
finish
