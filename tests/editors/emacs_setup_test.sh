#!/usr/bin/env bash
# The Emacs set-up of README.md, taken from it as it stands and loaded as
# init.el, in `emacs --batch' with Debian's eglot against the built `tolvan`
# on PATH. For each row, the code action taken and the file saved give the
# same bytes as `tolvan comment` at the same position: the module is read in
# the coding system Tolvan reads it in and keeps its encoding, its line
# endings and a missing final line break.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/editor_rows.sh"
tolvan="${1:?usage: emacs_setup_test.sh TOLVAN SOURCE_DIR}"
source_dir="${2:?usage: emacs_setup_test.sh TOLVAN SOURCE_DIR}"
command -v emacs >/dev/null || { echo "skipped: emacs is not installed (apt install emacs-nox elpa-eglot)"; exit 77; }
emacs --batch --eval "(require 'eglot)" >/dev/null 2>&1 ||
  { echo "skipped: eglot is not installed (apt install elpa-eglot)"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" PATH="$(dirname "$tolvan"):$PATH"
mkdir -p "$HOME/.emacs.d"
awk '/^```elisp$/ {inside = 1; next} inside && /^```$/ {exit} inside' "$source_dir/README.md" \
  >"$HOME/.emacs.d/init.el"
[ -s "$HOME/.emacs.d/init.el" ] || { echo "FAIL: no elisp snippet in README.md"; exit 1; }

# A folder of fixtures | module | the coding system it is read in | line
# column end-line | code action | the same for tolvan comment
rows=(
  "examples/Payroll|clsEmployee.cls|japanese-cp932-dos|35 1 -|insertHeader|--line 35"
  "examples/Payroll|clsEmployee.cls|japanese-cp932-dos|10 1 -|insertHeader|--line 10"
  "examples/Payroll|clsEmployee.cls|japanese-cp932-dos|23 1 24|markAdded|--line 23 --end-line 24 --end-column 13"
  "examples/Payroll|modCalc.bas|japanese-cp932-dos|14 5 14|markModified|--line 14 --end-line 14 --end-column 56 --ctrl"
  "tests/fixtures/host/japan|MDIMain.FRM|japanese-cp932-dos|1 1 -|insertHeader|--line 1"
  "tests/fixtures/host/unix|modNoEol.bas|japanese-cp932-dos|1 1 -|insertHeader|--line 1"
  "tests/fixtures/host/unix|modNoEol.bas|japanese-cp932-dos|3 1 3|markDeleted|--line 3 --end-line 3 --end-column 8 --shift"
  "tests/fixtures/host/unix|modLf.bas|utf-8-unix|6 1 6|markAdded|--line 6 --end-line 6 --end-column 24"
  "tests/fixtures/host/unix|modBom.bas|utf-8-with-signature-dos|4 1 4|markModified|--line 4 --end-line 4 --end-column 18 --ctrl"
)

status=0
n=0
for row in "${rows[@]}"; do
  IFS='|' read -r folder module coding position kind cli <<<"$row"
  read -r line column end_line <<<"$position"
  [ "$end_line" = - ] && end_line=
  n=$((n + 1))
  prepare $n "$folder"
  MODULE="$work/$n/editor/$module" CODING="$coding" LINE="$line" COLUMN="$column" END_LINE="$end_line" \
    KIND="refactor.rewrite.tolvan.$kind" timeout 60 emacs --batch -l "$HOME/.emacs.d/init.el" \
    -l "$here/emacs_driver.el" >"$work/$n/editor.log" 2>&1
  emacs_status=$?
  # shellcheck disable=SC2086
  compare "$row" $n "$folder" "$module" Emacs $emacs_status $cli || status=1
done
exit $status
