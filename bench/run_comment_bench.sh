#!/usr/bin/env bash
# Whole-process timings of the comment and project commands, each against a
# yardstick in the same run (bench/paired.py: A and B in turn, medians of the
# wall-time and peak-memory ratios taken pair by pair).
#
# Targets:
#  - `comment` on a 100,000-line CP932 module with Japanese comments: at
#    most 3 times `cat` of the file in wall time (`--stdout`, which prints
#    the module as cat does; the real write is timed against a flushed copy
#    of the file too), a peak of at most 3 times the file's size; linear to
#    1,000,000 lines;
#  - `review` of a module of 100,000 small procedures: under 1 s;
#  - `document --dry-run` on a module of 4,000 procedures: at most 1.5 times
#    the real run (which writes the file) in time and in peak memory.
#
# Usage: bench/run_comment_bench.sh [build dir] [pairs] [parts]
#   (default build/release, 11 pairs, parts "comment review document")
#
# Figures of 2026-12-10, third session (release build, two cores; each row
# read against its own yardstick, 21 pairs a row):
#   comment --stdout, 100,000 lines (4.1 MiB): 2.75x-2.81x cat. Peak
#     8.1-8.2 MiB: 2.0x the file.
#   comment --stdout, 100,000 short lines (2.2 MiB): 2.57x-2.74x cat. Peak
#     6.3 MiB: 2.9x the file (3x is 6.5 MiB). Of it, about 2.6 MiB any run takes
#     (the program's code and the C library as mapped: the system maps code
#     64 KiB at a time around each first call, which is why the functions a
#     command runs are laid side by side, src/cli/hot-functions.txt), the
#     file's bytes 2.2 MiB, its line table 1.1 MiB (12 bytes a line), the
#     procedure index 0.4 MiB.
#   comment writing the file: 3.5-4.2x cat, which writes no file; 2.2x a
#     flushed copy of the file (dd conv=fsync over an older copy): the
#     atomic save's own costs are the new file, flushing it, and the check
#     that the file did not change meanwhile.
#   comment --stdout, 1,000,000 lines (41 MiB): 75-81 ms (9.3x the time
#     for 10x the lines: linear); peak 60 MiB (1.4x the file).
#   review, 100,000 procedures: 0.50 s.
#   document --dry-run vs document, 4,000 procedures: 19-20 ms vs 21-22 ms
#     (0.90x-0.92x), peak 13.4 vs 13.4 MiB (1.00x-1.01x).
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

# 100,000 lines with a Japanese comment on each (4.1 MiB), the same with
# short lines (2.2 MiB, where each line's cost weighs more), and a million.
for shape in "100000" "100000 --short" "1000000"; do
  [[ " $parts " == *" comment "* ]] || break
  read -r lines short <<<"$shape"
  m=$work/m$lines${short:+-short}.bas
  line=$(python3 bench/gen_module.py "$m" "$lines" $((lines / 20)) $short)
  size=$(stat -c %s "$m")
  three=$(awk -v s="$size" 'BEGIN { printf "%.1f", 3 * s / 1048576 }')
  echo "== comment, $lines lines${short:+ (short ones)}, $size bytes ($((size / 1024)) KiB; 3 times: $three MiB)"
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
