#!/usr/bin/env bash
# Fails when a folder of src/ includes a folder above it (the layers of
# src/CMakeLists.txt), when anything outside dialog/ includes a file of
# dialog/, or when code outside platform/ opens, renames or writes files
# itself instead of going through platform/FileSystem.h.
set -uo pipefail
src="${1:?usage: layering_test.sh SRC_DIR}"

# Each folder and the folders it may include, besides its own.
declare -A allowed=(
  [platform]=""
  [vbide]="platform"
  [settings]="platform"
  [engine]="platform vbide settings"
  [vbsource]="platform vbide"
  [standin]="platform vbide vbsource"
  [project]="platform vbide settings engine vbsource standin"
  [host]="platform vbide settings engine vbsource standin project"
  [app]="platform vbide settings engine vbsource standin project host"
  [cli]="platform vbide settings engine vbsource standin project host app lsp"
  [lsp]="platform vbide settings engine vbsource standin project host app"
  [dialog]="platform vbide settings engine host"
  [windows]="platform vbide settings engine vbsource standin project host app lsp dialog"
  [fuzz]="platform vbide settings engine vbsource standin project host"
)

status=0
for dir in "$src"/*/; do
  folder=$(basename "$dir")
  if [[ ! -v allowed[$folder] ]]; then
    echo "src/$folder: a folder the layering does not know; add it to $0"
    status=1
    continue
  fi
  while IFS=: read -r file line include; do
    target=${include%%/*}
    [[ "$include" == */* ]] || continue
    [[ "$target" == "$folder" ]] && continue
    if [[ " ${allowed[$folder]} " != *" $target "* ]]; then
      echo "${file#"$src"/}:$line: includes $include, but $folder may not include $target/"
      status=1
    fi
  done < <(grep -rHnoP '^\s*#\s*include\s*"\K[^"]+' "$dir")
done

# The Win32 dialog of windows/ uses the dialog's rules without widgets, and
# nothing of dialog/ that needs Qt.
while IFS=: read -r file line include; do
  case "$include" in
    dialog/CommonDialogText.h|dialog/DialogLogic.h|dialog/MarletForm.h) ;;
    *) echo "${file#"$src"/}:$line: includes $include, which windows/ may not (it needs Qt)"
       status=1 ;;
  esac
done < <(grep -rHnoP '^\s*#\s*include\s*"\Kdialog/[^"]+' "$src/windows" 2>/dev/null)

# File access of its own outside platform/.
while IFS= read -r hit; do
  echo "$hit: file access outside platform/ (use platform/FileSystem.h)"
  status=1
done < <(grep -rnE '\b(std::)?(ofstream|ifstream|fstream|fopen|std::rename|::rename|open\(|std::filesystem::(rename|remove|copy_file|create_directories|create_directory)|mkstemp|fsync)\b' \
           "$src" --include='*.cpp' --include='*.h' | grep -v "^$src/platform/" | grep -v "^$src/dialog/" | grep -v '//.*\(open\|rename\)' )

[ $status -eq 0 ] && echo "layering: every include points down"
exit $status
