#!/usr/bin/env bash
# The Neovim set-up of README.md, taken from it as it stands and loaded as
# init.lua, in headless Neovim against the built `tolvan` on PATH. For each
# row, the keys typed and the file written give the same bytes as
# `tolvan comment` at the same position: the module keeps its encoding
# (CP932, UTF-8, a byte-order mark), its line endings and a missing final
# line break. Then one client serves a project through :e, :e! and a second
# module.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
source "$here/editor_rows.sh"
tolvan="${1:?usage: nvim_setup_test.sh TOLVAN SOURCE_DIR}"
source_dir="${2:?usage: nvim_setup_test.sh TOLVAN SOURCE_DIR}"
command -v nvim >/dev/null || { echo "skipped: nvim is not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" \
       XDG_CACHE_HOME="$work/cache" PATH="$(dirname "$tolvan"):$PATH"
mkdir -p "$XDG_CONFIG_HOME/nvim"
awk '/^```lua$/ {inside = 1; next} inside && /^```$/ {exit} inside' "$source_dir/README.md" \
  >"$XDG_CONFIG_HOME/nvim/init.lua"
[ -s "$XDG_CONFIG_HOME/nvim/init.lua" ] || { echo "FAIL: no lua snippet in README.md"; exit 1; }


# A folder of fixtures | module | normal-mode keys | the same for tolvan
# comment | the kind of code action taken after the keys, if any
rows=(
  "examples/Payroll|clsEmployee.cls|35G\\th|--line 35"
  "examples/Payroll|clsEmployee.cls|1G\\th|--line 1"
  "examples/Payroll|clsEmployee.cls|23GVj\\ta|--line 23 --end-line 24 --end-column 13"
  "examples/Payroll|clsEmployee.cls|27G4lvj\\td|--line 27 --column 5 --end-line 28 --end-column 31 --shift"
  "examples/Payroll|modCalc.bas|14GV\\tm|--line 14 --end-line 14 --end-column 56 --ctrl"
  "tests/fixtures/host/unix|modNoEol.bas|1G\\th|--line 1"
  "tests/fixtures/host/unix|modNoEol.bas|3GV\\ta|--line 3 --end-line 3 --end-column 8"
  "tests/fixtures/host/unix|modLf.bas|5G\\th|--line 5"
  "tests/fixtures/host/unix|modBom.bas|3G\\th|--line 3"
  "tests/fixtures/host/unix|modBom.bas|1G\\th|--line 1"
  "examples/Payroll|clsEmployee.cls|23GVj|--line 23 --end-line 24 --end-column 13|refactor.rewrite.tolvan.markAdded"
  "examples/Payroll|modCalc.bas|14GV|--line 14 --end-line 14 --end-column 56 --ctrl|refactor.rewrite.tolvan.markModified"
)

run_nvim() {
  timeout 60 nvim --headless -i NONE -n -c "luafile $here/nvim_driver.lua" >"$1" 2>&1
}

status=0
n=0
for row in "${rows[@]}"; do
  IFS='|' read -r folder module keys cli action <<<"$row"
  n=$((n + 1))
  prepare $n "$folder"
  MODULE="$work/$n/editor/$module" KEYS="$keys" ACTION="$action" run_nvim "$work/$n/editor.log"
  nvim_status=$?
  # shellcheck disable=SC2086
  result="$(compare "$row" $n "$folder" "$module" Neovim $nvim_status $cli)" && echo "$result" || {
    echo "$result"
    status=1
  }
done

# One client per project root, through :e, :e! and a second module; the
# extensions in another letter case.
mkdir -p "$work/root"
cp -r "$source_dir/tests/fixtures/host/japan"/. "$work/root/"
mv "$work/root/clsItems.cls" "$work/root/clsItems.Cls"
if MODULE="$work/root/MDIMain.FRM" OTHER="$work/root/clsItems.Cls" KEYS= run_nvim "$work/root.log"; then
  echo "ok   one client for MDIMain.FRM and clsItems.Cls through :e and :e!"
else
  echo "FAIL one client per project root"
  cat "$work/root.log"
  status=1
fi
exit $status
