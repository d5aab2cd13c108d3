#!/usr/bin/env bash
# Times `tolvan changes` (listing, and --accept --dry-run) over a generated
# tree of 500 module files and 400,000 lines with a marked block every 20
# lines or so (target: listing under 1 s on two cores), against `cat` of the
# same files as the yardstick. Usage: bench/run_changes_bench.sh [build dir]
set -euo pipefail
cd "$(dirname "$0")/.."
TOLVAN_WITH_BENCH_TOOLS=1 scripts/install-deps.sh
build=${1:-build/release}
tolvan=$build/src/cli/tolvan
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config

echo "lines: $(python3 bench/gen_changes.py "$work/tree" 500 400000)"
hyperfine -N --warmup 1 \
  -n "cat, 400k lines" "sh -c 'cat $work/tree/*/*.bas'" \
  -n "changes, 400k lines" "$tolvan changes --dialect start-author-date $work/tree" \
  -n "changes --accept --dry-run, 400k lines" \
     "$tolvan changes --accept --dry-run --dialect start-author-date $work/tree"
