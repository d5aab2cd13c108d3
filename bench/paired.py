#!/usr/bin/env python3
"""Times two whole processes in turn, A B A B ..., from outside: wall time
from start to exit, and each process's own peak memory (the kernel's
accounting of the finished process, through /usr/bin/time -f %M). Standard output goes through a pipe that
is read and thrown away, as a terminal or a pager would take it. Prints the
medians and the median of the ratios A/B taken pair by pair, so that the
ratio holds when the machine's speed drifts during the run.

usage: paired.py [-n RUNS] [--before-a CMD] [--before-b CMD] [--exit-a STATUS] NAME 'COMMAND A' 'COMMAND B'
--before-a/--before-b: a command run, untimed, before each run of A or B
(to put a file back as it was); --exit-a: A's exit status when not 0.
"""
import argparse
import shlex
import statistics
import subprocess
import sys
import tempfile
import time


def run(argv, expected=0):
    # The peak comes from /usr/bin/time, the command's own parent: a child
    # forked from this program would count this program's memory as its own
    # until it starts the command.
    with tempfile.NamedTemporaryFile("r") as peak:
        start = time.monotonic()
        proc = subprocess.Popen(["/usr/bin/time", "-f", "%M", "-o", peak.name] + argv,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.DEVNULL)
        while proc.stdout.read(1 << 16):
            pass
        code = proc.wait()
        wall = time.monotonic() - start
        if code != expected:
            sys.exit(f"{shlex.join(argv)}: exit status {code}")
        return wall, int(peak.read().split()[-1]) / 1024.0  # MiB


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("-n", type=int, default=11)
    parser.add_argument("--before-a", default="")
    parser.add_argument("--before-b", default="")
    parser.add_argument("--exit-a", type=int, default=0)
    parser.add_argument("name")
    parser.add_argument("a")
    parser.add_argument("b")
    o = parser.parse_args()
    a, b = shlex.split(o.a), shlex.split(o.b)

    def timed(argv, before, expected=0):
        if before:
            subprocess.run(before, shell=True, check=True)
        return run(argv, expected)

    # Warm-up: the files in the page cache, the programs loaded.
    timed(a, o.before_a, o.exit_a), timed(b, o.before_b)
    pairs = [(timed(a, o.before_a, o.exit_a), timed(b, o.before_b)) for _ in range(o.n)]
    med = statistics.median
    print(f"{o.name}: wall {med(p[0][0] for p in pairs) * 1000:.1f} ms"
          f" vs {med(p[1][0] for p in pairs) * 1000:.1f} ms,"
          f" ratio {med(p[0][0] / p[1][0] for p in pairs):.2f};"
          f" peak {med(p[0][1] for p in pairs):.1f} MiB vs {med(p[1][1] for p in pairs):.1f} MiB,"
          f" ratio {med(p[0][1] / p[1][1] for p in pairs):.2f} (medians of {o.n} pairs)")


main()
