#!/usr/bin/env bash
# Times whole `tolvan comment` processes with hyperfine:
#  - a 100,000-line module with 5,000 procedures, cursor in the last one
#    (target: under 50 ms), and one ten times larger (target: about ten
#    times slower at most: linear);
#  - a 50-line module against a process that only reads the file (target:
#    at most twice as long).
# Usage: bench/run_process_bench.sh [build dir]   (default build/bench)
set -euo pipefail
cd "$(dirname "$0")/.."
TOLVAN_WITH_BENCH_TOOLS=1 scripts/install-deps.sh
build=${1:-build/bench}
if [ ! -x "$build/src/cli/tolvan" ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench
fi
tolvan=$build/src/cli/tolvan
reader=$build/bench/read_file_only
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

line_100k=$(python3 bench/gen_module.py "$work/big.bas" 100000 5000)
line_1m=$(python3 bench/gen_module.py "$work/huge.bas" 1000000 50000)
line_50=$(python3 bench/gen_module.py "$work/small.bas" 50 5)
echo "modules: $(wc -l < "$work/big.bas") / $(wc -l < "$work/huge.bas") / $(wc -l < "$work/small.bas") lines"

common="--now 2026-12-08 --stdout"
hyperfine -N --warmup 3 --export-markdown "$work/result.md" \
  -n "comment, 100k lines" "$tolvan comment $work/big.bas --line $line_100k $common" \
  -n "comment, 1M lines" "$tolvan comment $work/huge.bas --line $line_1m $common" \
  -n "comment, 50 lines" "$tolvan comment $work/small.bas --line $line_50 $common" \
  -n "read file only, 50 lines" "$reader $work/small.bas" \
  --output=null
cat "$work/result.md"
