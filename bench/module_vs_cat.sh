#!/usr/bin/env bash
# The comment command on a large CP932 module against `cat` of the same file:
# processor time (user + system) side by side, run in turn A B A B ... so the
# ratio holds when the machine's speed drifts, and peak memory, all as the
# kernel accounts for each finished process (/usr/bin/time).
# Targets: at most 3 times `cat` on the 100,000-line module, a peak of at
# most 3 times the file's size, and ten times the lines costing about ten
# times as much (1,000,000 lines).
# The kernel counts processor time in steps of 10 ms or so, about what `cat`
# of the smaller file takes: each figure is the mean of a batch of runs.
# Usage: bench/module_vs_cat.sh [build dir] [runs]   (default build/bench, 11)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/bench}
runs=${2:-11}
if [ ! -x "$build/src/cli/tolvan" ]; then
  cmake --preset bench >/dev/null
  cmake --build --preset bench --target tolvan
fi
tolvan=$build/src/cli/tolvan
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Factory settings, whatever the user has configured.
export XDG_CONFIG_HOME=$work/config

batch=10
# One batch: "user+system seconds per run, peak KiB of one run" of the
# command, its output dropped.
measure() {
  /usr/bin/time -f '%U %S %M' -o "$work/time" \
    sh -c 'for i in $(seq "$0"); do "$@" >/dev/null || exit 1; done' "$batch" "$@" \
    2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  awk -v batch="$batch" '{ printf "%.4f %d\n", ($1 + $2) / batch, $3 }' "$work/time"
}

for lines in 100000 1000000; do
  module=$work/m$lines.bas
  line=$(python3 bench/gen_module.py "$module" "$lines" $((lines / 20)))
  size=$(stat -c %s "$module")
  echo "== $lines lines, $size bytes, $runs batches of $batch runs each after one warm-up"
  tolvan_cmd=("$tolvan" comment "$module" --line "$line" --now '2026-12-08 10:00:00' --stdout)
  measure "${tolvan_cmd[@]}" >/dev/null
  measure cat "$module" >/dev/null
  : >"$work/pairs"
  for ((i = 0; i < runs; i++)); do
    echo "$(measure "${tolvan_cmd[@]}") $(measure cat "$module")" >>"$work/pairs"
  done
  # Medians of each column, and of the ratio pair by pair.
  awk -v size="$size" '
    function median(a, n,   i, j, t) {
      for (i = 2; i <= n; i++) for (j = i; j > 1 && a[j - 1] > a[j]; j--) {
        t = a[j]; a[j] = a[j - 1]; a[j - 1] = t }
      return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
    }
    { n++; tc[n] = $1; tm[n] = $2; cc[n] = $3; cm[n] = $4
      if ($3 > 0) { r++; ratio[r] = $1 / $3 } }
    END {
      printf "tolvan comment: cpu %.4f s, peak %.1f MB (%.2f times the file)\n",
             median(tc, n), median(tm, n) / 1024, median(tm, n) * 1024 / size
      printf "cat:            cpu %.4f s, peak %.1f MB\n", median(cc, n), median(cm, n) / 1024
      if (r > 0) printf "ratio of cpu, pair by pair: median %.1f (%d pairs)\n", median(ratio, r), r
    }' "$work/pairs"
done
