#!/usr/bin/env bash
# Times `tolvan review` and `tolvan document --dry-run` over a generated
# tree of 500 module files and 400,000 lines (targets: under 1 s and under
# 2 s on two cores), and over one twice that size (linear: about twice as
# long). Usage: bench/run_project_bench.sh [build dir]   (default build/release)
set -euo pipefail
cd "$(dirname "$0")/.."
TOLVAN_WITH_BENCH_TOOLS=1 scripts/install-deps.sh
build=${1:-build/release}
tolvan=$build/src/cli/tolvan
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config

echo "lines: $(python3 bench/gen_project.py "$work/tree" 500 400000)" \
     "/ $(python3 bench/gen_project.py "$work/tree2" 1000 800000)"
hyperfine -N --warmup 1 \
  -n "review, 400k lines" "$tolvan review $work/tree" \
  -n "document --dry-run, 400k lines" "$tolvan document --dry-run --now 2026-12-08 $work/tree" \
  -n "review, 800k lines" "$tolvan review $work/tree2" \
  -n "document --dry-run, 800k lines" "$tolvan document --dry-run --now 2026-12-08 $work/tree2"
