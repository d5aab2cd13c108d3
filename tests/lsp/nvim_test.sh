#!/usr/bin/env bash
# Neovim's built-in client against `tolvan lsp` on real modules: for each
# row, the action's edit applied and the buffer written gives the same file
# as `tolvan comment` at the same position with the same keys.
set -uo pipefail
tolvan="${1:?usage: nvim_test.sh TOLVAN FIXTURE_DIR}"
fixtures="${2:?usage: nvim_test.sh TOLVAN FIXTURE_DIR}"
here="$(cd "$(dirname "$0")" && pwd)"
command -v nvim >/dev/null || { echo "nvim is not installed"; exit 77; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_STATE_HOME="$work/state" \
       XDG_CACHE_HOME="$work/cache"

# module | action kind | editor range (0-based) | the same for tolvan comment
# (Hello in modLf.bas has the user's own comment above it: the editor offers
# to adopt it, not to insert a header under it.)
rows=(
  "japan/clsItems.cls|insertHeader|39 4 39 4|--line 40 --column 5"
  "japan/clsItems.cls|insertHeader|11 0 11 0|--line 12"
  "japan/clsItems.cls|insertHeader|52 10 52 10|--line 53 --column 11"
  "japan/clsItems.cls|markAdded|48 0 50 0|--line 49 --end-line 50 --end-column 53"
  "japan/clsItems.cls|markDeleted|59 0 59 20|--line 60 --end-line 60 --end-column 21 --shift"
  "japan/frmMain.frm|insertHeader|28 0 28 0|--line 29"
  "japan/frmMain.frm|insertHeader|23 2 23 2|--line 24 --column 3"
  "japan/frmMain.frm|insertHeader|24 3 24 3|--line 25 --column 4"
  "japan/frmMain.frm|markModified|27 4 29 0|--line 28 --column 5 --end-line 29 --end-column 32 --ctrl"
  "japan/frmMain.frm|markAdded|37 0 37 5|--line 38 --end-line 38 --end-column 6"
  "unix/modLf.bas|markModified|5 4 5 9|--line 6 --column 5 --end-line 6 --end-column 10 --ctrl"
  "unix/modLf.bas|insertHeader|1 0 1 0|--line 2"
  "unix/modLf.bas|markAdded|4 0 6 0|--line 5 --end-line 6 --end-column 24"
)

status=0
n=0
for row in "${rows[@]}"; do
  IFS='|' read -r module kind range cli <<<"$row"
  n=$((n + 1))
  mkdir -p "$work/$n/editor" "$work/$n/cli"
  cp -r "$fixtures/$(dirname "$module")"/. "$work/$n/editor/"
  cp -r "$fixtures/$(dirname "$module")"/. "$work/$n/cli/"
  name="$(basename "$module")"
  TOLVAN="$tolvan" MODULE="$work/$n/editor/$name" KIND="refactor.rewrite.tolvan.$kind" RANGE="$range" \
    timeout 60 nvim --headless -u NONE -i NONE -n -c "luafile $here/nvim_client.lua" \
    >"$work/$n/nvim.log" 2>&1
  nvim_status=$?
  # shellcheck disable=SC2086
  "$tolvan" comment "$work/$n/cli/$name" $cli 2>"$work/$n/cli.log"
  cli_status=$?
  if [ $nvim_status -ne 0 ] || [ $cli_status -ne 0 ]; then
    echo "FAIL $row: nvim $nvim_status, tolvan comment $cli_status"
    cat "$work/$n/nvim.log" "$work/$n/cli.log"
    status=1
  elif cmp -s "$work/$n/cli/$name" "$fixtures/$module"; then
    echo "FAIL $row: tolvan comment changed nothing"
    status=1
  elif ! cmp -s "$work/$n/editor/$name" "$work/$n/cli/$name"; then
    echo "FAIL $row: the editor's file differs from tolvan comment's"
    diff <(iconv -f cp932 -t utf-8 "$work/$n/cli/$name" 2>/dev/null || cat "$work/$n/cli/$name") \
         <(iconv -f cp932 -t utf-8 "$work/$n/editor/$name" 2>/dev/null || cat "$work/$n/editor/$name") | head -20
    status=1
  else
    echo "ok   $row"
  fi
done
exit $status
