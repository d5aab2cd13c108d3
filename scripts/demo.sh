#!/usr/bin/env bash
# Builds the `tolvan` command and runs it on the bundled example project:
# a header comment for a function, a module header, and change markers
# around two selected lines. Each run prints the lines it adds as a diff;
# the example files themselves are left untouched (--stdout).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

cmake --preset release >/dev/null
cmake --build --preset release --target tolvan
tolvan=build/release/src/cli/tolvan
module=examples/Payroll/modCalc.bas
now="2026-12-08 09:30:00"

show() {
  echo
  echo "\$ tolvan comment $module $*"
  # The module is CP932, as the VB6 IDE writes it; show it as UTF-8.
  diff <(iconv -f CP932 -t UTF-8 "$module") \
       <("$tolvan" comment "$module" --now "$now" --stdout "$@" | iconv -f CP932 -t UTF-8) || true
}

show --line 14   # inside Function CalcPay: its header comment
show --line 3    # the declarations section: the module header
show --line 16 --end-line 17 --end-column 5   # a selection: Add markers
show --line 16 --end-line 17 --end-column 5 --shift   # Shift: Delete markers, lines commented out

# The whole project: which procedures lack a header, and what documenting
# them all would change (--dry-run writes nothing).
echo
echo "\$ tolvan review examples/Payroll"
"$tolvan" review examples/Payroll || true
echo
echo "\$ tolvan document examples/Payroll --dry-run"
"$tolvan" document examples/Payroll --dry-run --now "$now" | iconv -f CP932 -t UTF-8
