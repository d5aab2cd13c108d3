#!/usr/bin/env bash
# Writes src/cli/hot-functions.txt: the functions the program runs for its
# usual commands, which the link lays side by side (src/cli/CMakeLists.txt),
# so that a command maps a few hundred KiB of code rather than all of it.
# Each command runs once under Valgrind's callgrind, which names every
# function it entered; the comment command on a large module comes first,
# then what the other commands add. Run it again after larger changes to
# the code a command runs (a name no longer in the program is passed over,
# so a list left behind costs only memory, never a wrong program).
#
# Usage: scripts/order-functions.sh [build dir]   (default build/release)
# Needs valgrind.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
tolvan=$(realpath "$build/src/cli/tolvan")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work/config
now="--now 2026-12-08"

line=$(python3 bench/gen_module.py "$work/long.bas" 100000 5000)
python3 bench/gen_module.py "$work/short.bas" 100000 5000 --short >/dev/null
cp -r examples/Payroll "$work/Payroll"
project=$work/Payroll/Payroll.vbp
runs=(
  "comment $work/long.bas --line $line $now --stdout"
  "comment $work/short.bas --line $line $now"
  "comment $work/Payroll/clsEmployee.cls --line 16 $now --stdout"
  "comment $work/Payroll/clsEmployee.cls --line 27 --end-line 29 $now --stdout"
  "comment $work/Payroll/clsEmployee.cls --line 27 --end-line 29 --shift $now --stdout"
  "comment $work/Payroll/modCalc.bas --line 14 $now --update --stdout"
  "review $project"
  "document --dry-run $project $now"
  "document $project $now"
  "changes $project"
  "--version"
)
n=0
for run in "${runs[@]}"; do
  n=$((n + 1))
  status=0
  # shellcheck disable=SC2086  # each run is a command line
  valgrind --tool=callgrind --demangle=no --callgrind-out-file="$work/run$n.out" \
    "$tolvan" $run >/dev/null 2>"$work/valgrind.log" || status=$?
  # review exits 1 when it has something to report; anything more is a run
  # whose functions would be missing from the list.
  if [ "$status" -gt 1 ]; then
    echo "order-functions.sh: tolvan $run failed (exit status $status):" >&2
    tail -5 "$work/valgrind.log" >&2
    exit 1
  fi
done

nm --defined-only "$tolvan" >"$work/symbols"
python3 - "$work" "$n" >src/cli/hot-functions.txt <<'EOF'
import re, sys
work, runs = sys.argv[1], int(sys.argv[2])
code = set()
for line in open(f"{work}/symbols"):
    fields = line.split()
    if len(fields) == 3 and fields[1] in "tTwW":
        code.add(fields[2])
print("# The functions the usual commands run, laid side by side by the link;")
print("# written by scripts/order-functions.sh (the comment command on a large")
print("# module first).")
seen = set()
for n in range(1, runs + 1):
    names = set()
    for line in open(f"{work}/run{n}.out"):
        m = re.match(r"^c?fn=\(\d+\) (\S+)", line)
        if m and m.group(1) in code:
            names.add(m.group(1))
    for name in sorted(names - seen):
        print(name)
    seen |= names
EOF
echo "order-functions.sh: $(grep -vc '^#' src/cli/hot-functions.txt) functions in src/cli/hot-functions.txt"
