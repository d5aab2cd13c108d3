#!/usr/bin/env bash
# Whole-process timings of the comment and project commands, each against a
# yardstick in the same run (bench/paired.py: A and B in turn, medians of the
# wall-time and peak-memory ratios taken pair by pair).
#
# Targets:
#  - `comment --stdout` and the real write on a 100,000-line CP932 module
#    with Japanese comments: at most 3 times `cat` of the file in wall time,
#    a peak of at most 3 times the file's size; the same on 1,000,000 lines
#    (linear);
#  - `review` of a module of 100,000 small procedures: under 1 s;
#  - `document --dry-run` on a module of 4,000 procedures: at most 1.5 times
#    the real run (which writes the file) in time and in peak memory.
#
# Usage: bench/run_comment_bench.sh [build dir] [pairs] [parts]
#   (default build/release, 11 pairs, parts "comment review document")
#
# Figures of 2026-12-09 (release build, two cores shared with other builds,
# load about 9, so wall times are noisy; 5 pairs):
#   comment --stdout, 100,000 lines (4.1 MiB): 69 ms vs cat 12.5 ms, 4.8x;
#     peak 12.3 MiB (3.0x the file). Processor time 19 ms (was 24 ms).
#   comment writing the file, 100,000 lines: 108 ms vs 15 ms, 8.8x; peak
#     15.7 MiB (3.9x: FileVBE::Save reads the file again and copies it whole).
#   comment --stdout, 1,000,000 lines (41 MiB): 688 ms vs 33 ms; peak
#     75.6 MiB (1.8x the file); processor time 0.15 s, linear.
#   review, 100,000 procedures: over 120 s (a scan per declaration, being
#     made linear in the procedure index).
#   document --dry-run vs document, 4,000 procedures: 507 ms vs 886 ms
#     (0.60x), peak 37.0 vs 26.8 MiB (1.38x).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
pairs=${2:-11}
parts=${3:-comment review document}
if [ ! -x "$build/src/cli/tolvan" ]; then
  cmake --preset release >/dev/null
  cmake --build "$build" --target tolvan
fi
tolvan=$(realpath "$build/src/cli/tolvan")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Factory settings, whatever the user has configured.
export XDG_CONFIG_HOME=$work/config
now="--now 2026-12-08"
paired="python3 bench/paired.py -n $pairs"

for lines in 100000 1000000; do
  [[ " $parts " == *" comment "* ]] || break
  m=$work/m$lines.bas
  line=$(python3 bench/gen_module.py "$m" "$lines" $((lines / 20)))
  size=$(stat -c %s "$m")
  echo "== comment, $lines lines, $size bytes ($((size / 1024)) KiB; 3 times: $((3 * size / 1048576)) MiB)"
  $paired "comment --stdout vs cat" "$tolvan comment $m --line $line $now --stdout" "cat $m"
  cp "$m" "$m.orig"
  $paired --before-a "cp $m.orig $m" "comment (writes the file) vs cat" \
    "$tolvan comment $m --line $line $now" "cat $m.orig"
  # What writing the file costs by itself: a copy of it written over an
  # older one and flushed to the disk, as the command's atomic save does
  # (cat writes no file).
  $paired --before-a "cp $m.orig $m" --before-b "cp $m.orig $m.copy" \
    "comment (writes the file) vs dd conv=fsync (a copy flushed)" \
    "$tolvan comment $m --line $line $now" "dd if=$m.orig of=$m.copy bs=1M conv=fsync status=none"
done

if [[ " $parts " == *" review "* ]]; then
echo "== review, one module of 100,000 small procedures"
procs=$work/procs
mkdir -p "$procs"
python3 bench/gen_module.py "$procs/modProcs.bas" 500000 100000 >/dev/null
echo "$(stat -c %s "$procs/modProcs.bas") bytes"
# review exits 1: it has problems to report.
$paired --exit-a 1 "review (target: under 1 s) vs cat" "$tolvan review $procs" "cat $procs/modProcs.bas"
fi

[[ " $parts " == *" document "* ]] || exit 0
echo "== document, one module of 4,000 procedures without headers"
doc=$work/doc
mkdir -p "$doc"
python3 bench/gen_module.py "$doc/modDoc.bas" 40000 4000 >/dev/null
cp "$doc/modDoc.bas" "$work/modDoc.orig"
$paired --before-b "cp $work/modDoc.orig $doc/modDoc.bas" \
  "document --dry-run vs document (target: at most 1.5)" \
  "$tolvan document $doc --dry-run $now" "$tolvan document $doc $now"
