#!/usr/bin/env bash
# `tolvan.exe lsp` under Wine over a pipe: it answers initialize and
# shutdown with messages framed by CR LF, and exits 0 after exit.
#
#   exe_lsp.sh EXE
source "$(dirname "$0")/common.sh"
need_prefix
exe=$1
frame() { printf 'Content-Length: %d\r\n\r\n%s' "${#1}" "$1"; }
{ frame '{"jsonrpc":"2.0","id":1,"method":"initialize","params":{}}'
  frame '{"jsonrpc":"2.0","id":2,"method":"shutdown"}'
  frame '{"jsonrpc":"2.0","method":"exit"}'; } >"$work/lsp.in"
cat "$work/lsp.in" | timeout 120 wine "$exe" lsp >"$work/lsp.out" 2>"$work/lsp.err"
status=${PIPESTATUS[1]}
check "tolvan.exe lsp over a pipe exits 0 after shutdown and exit" test "$status" -eq 0
check "tolvan.exe lsp answers both requests, framed with CR LF" \
  python3 "$checks_dir/lsp_answers.py" "$work/lsp.out" 2
finish
