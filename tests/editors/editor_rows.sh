# Sourced by the editor set-up tests: each row's module is copied twice, once
# for the editor and once for `tolvan comment` at the same position, and the
# two files written must be the same bytes. Needs $work, $source_dir, $tolvan.

# prepare N FOLDER: the two copies of FOLDER's fixtures for row N.
prepare() {
  mkdir -p "$work/$1/editor" "$work/$1/cli"
  cp -r "$source_dir/$2"/. "$work/$1/editor/"
  cp -r "$source_dir/$2"/. "$work/$1/cli/"
}

# compare ROW N FOLDER MODULE EDITOR EDITOR_STATUS CLI_ARGS...: runs tolvan
# comment on the second copy, prints ok or FAIL, and returns 1 on a failure.
compare() {
  local row="$1" n="$2" folder="$3" module="$4" editor="$5" editor_status="$6"
  shift 6
  XDG_CONFIG_HOME="$work/$n/cli-config" "$tolvan" comment "$work/$n/cli/$module" "$@" 2>"$work/$n/cli.log"
  local cli_status=$?
  if [ "$editor_status" -ne 0 ] || [ $cli_status -ne 0 ]; then
    echo "FAIL $row: $editor $editor_status, tolvan comment $cli_status"
    grep -v '^Loading ' "$work/$n/editor.log" | tail -20
    cat "$work/$n/cli.log"
  elif cmp -s "$work/$n/cli/$module" "$source_dir/$folder/$module"; then
    echo "FAIL $row: tolvan comment changed nothing"
  elif ! cmp "$work/$n/editor/$module" "$work/$n/cli/$module"; then
    echo "FAIL $row: the file $editor wrote differs from tolvan comment's"
    diff <(od -c "$work/$n/cli/$module") <(od -c "$work/$n/editor/$module") | head -20
  else
    echo "ok   $row"
    return 0
  fi
  return 1
}
