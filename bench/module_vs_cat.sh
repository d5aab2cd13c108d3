#!/usr/bin/env bash
# The comment command on a large CP932 module against `cat` of the same file:
# time side by side (hyperfine) and peak memory (/usr/bin/time -v).
# Targets: at most 3 times `cat` on the 100,000-line module, a peak of at
# most 3 times the file's size, and ten times the lines costing about ten
# times as much (1,000,000 lines).
# Usage: bench/module_vs_cat.sh [build dir]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
TOLVAN_WITH_BENCH_TOOLS=1 scripts/install-deps.sh
build=${1:-build/bench}
if [ ! -x "$build/src/cli/tolvan" ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target tolvan
fi
tolvan=$build/src/cli/tolvan
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Factory settings, whatever the user has configured.
export XDG_CONFIG_HOME=$work/config

for lines in 100000 1000000; do
  module=$work/m$lines.bas
  line=$(python3 bench/gen_module.py "$module" "$lines" $((lines / 20)))
  size=$(stat -c %s "$module")
  command="$tolvan comment $module --line $line --now '2026-12-08 10:00:00' --stdout"
  echo "== $lines lines, $size bytes"
  hyperfine -N --warmup 3 --output=pipe -n "tolvan comment" "$command" -n cat "cat $module"
  peak_kb=$( { /usr/bin/time -v "$tolvan" comment "$module" --line "$line" \
                 --now '2026-12-08 10:00:00' --stdout >/dev/null; } 2>&1 |
             awk -F': ' '/Maximum resident set size/ {print $2}')
  awk -v kb="$peak_kb" -v size="$size" \
    'BEGIN { printf "peak memory %.1f MB: %.2f times the file\n", kb / 1024, kb * 1024 / size }'
done
