#!/usr/bin/env python3
"""Helpers of run-bench.sh.

    bench_report.py groups FILE          "GROUPS FILES" of a duplicate list
    bench_report.py same FILE1 FILE2     whether two duplicate lists hold the same groups
    bench_report.py table DIR BASELINE   the table of medians of the timings in DIR
    bench_report.py targets EXACT_DIR NAMES_DIR   whether the speed and memory targets are met

A duplicate list is what dupliscan-cli --format text, jdupes, fdupes and rmlint's
fdupes output print: one path a line, groups separated by empty lines. Order
inside a group and order of the groups do not matter.

DIR holds one file per run named TOOL.RUN.time with "SECONDS MAX_RSS_KB" as the
last line (from /usr/bin/time -f '%e %M'); TOOL is the tool's short name.
"""

import os
import statistics
import sys


def read_groups(path):
    groups, current = [], []
    with open(path, "rb") as f:
        for raw in f:
            line = raw.rstrip(b"\n")
            if line:
                current.append(os.path.normpath(line))
            elif current:
                groups.append(frozenset(current))
                current = []
    if current:
        groups.append(frozenset(current))
    return groups


def groups_command(path):
    groups = read_groups(path)
    print(len(groups), sum(len(g) for g in groups))
    return 0


def same_command(first, second):
    a, b = set(read_groups(first)), set(read_groups(second))
    files_a = set().union(*a) if a else set()
    files_b = set().union(*b) if b else set()
    print("groups %d vs %d, files %d vs %d, groups only in the first %d, only in the second %d"
          % (len(a), len(b), len(files_a), len(files_b), len(a - b), len(b - a)))
    return 0 if a == b else 1


def read_times(directory):
    runs = {}
    for name in sorted(os.listdir(directory)):
        if not name.endswith(".time"):
            continue
        tool = name.split(".")[0]
        with open(os.path.join(directory, name)) as f:
            lines = [l for l in f.read().splitlines() if l.strip()]
        try:
            seconds, kilobytes = lines[-1].split()
            runs.setdefault(tool, []).append((float(seconds), int(kilobytes)))
        except (IndexError, ValueError):
            # A run that failed leaves a message instead of figures.
            runs.setdefault(tool, [])
    return runs


def table_command(directory, baseline):
    runs = read_times(directory)
    base = runs.get(baseline) or []
    base_time = statistics.median(t for t, _ in base) if base else None
    base_rss = statistics.median(m for _, m in base) if base else None
    if base:
        print("| tool | runs | median wall s | min s | max s | wall / %s | median peak RSS MB | RSS / %s |"
              % (baseline, baseline))
        print("|---|---|---|---|---|---|---|---|")
    else:
        print("| search | runs | median wall s | min s | max s | median peak RSS MB |")
        print("|---|---|---|---|---|---|")
    for tool, figures in runs.items():
        if not figures:
            print("| %s | 0 | failed | | | |%s" % (tool, " | |" if base else ""))
            continue
        times = [t for t, _ in figures]
        rss = [m for _, m in figures]
        t, m = statistics.median(times), statistics.median(rss)
        if base:
            print("| %s | %d | %.2f | %.2f | %.2f | %.2f | %.1f | %.2f |"
                  % (tool, len(figures), t, min(times), max(times), t / base_time, m / 1024, m / base_rss))
        else:
            print("| %s | %d | %.2f | %.2f | %.2f | %.1f |" % (tool, len(figures), t, min(times), max(times), m / 1024))
    return 0


def median_of(runs, tool, index):
    figures = runs.get(tool) or []
    return statistics.median(f[index] for f in figures) if figures else None


def targets_command(exact_dir, names_dir):
    exact, names = read_times(exact_dir), read_times(names_dir)
    checks = []
    ours, theirs = median_of(exact, "dupliscan", 0), median_of(exact, "jdupes", 0)
    if ours is not None and theirs is not None:
        checks.append(("exact wall time <= 0.8 x jdupes", ours <= 0.8 * theirs,
                       "%.2f s vs %.2f s (%.2f x)" % (ours, theirs, ours / theirs)))
    ours, theirs = median_of(exact, "dupliscan", 1), median_of(exact, "jdupes", 1)
    if ours is not None and theirs is not None:
        checks.append(("exact peak RSS <= 2 x jdupes", ours <= 2 * theirs,
                       "%.1f MB vs %.1f MB (%.2f x)" % (ours / 1024, theirs / 1024, ours / theirs)))
    for tool in ("names100", "names80"):
        t = median_of(names, tool, 0)
        if t is not None:
            checks.append(("%s wall time < 10 s" % tool, t < 10, "%.2f s" % t))
    for what, met, figures in checks:
        print("%-36s %-8s %s" % (what, "met" if met else "NOT met", figures))
    return 0 if all(met for _, met, _ in checks) else 1


def main(argv):
    if len(argv) == 3 and argv[1] == "groups":
        return groups_command(argv[2])
    if len(argv) == 4 and argv[1] == "same":
        return same_command(argv[2], argv[3])
    if len(argv) == 4 and argv[1] == "table":
        return table_command(argv[2], argv[3])
    if len(argv) == 4 and argv[1] == "targets":
        return targets_command(argv[2], argv[3])
    sys.stderr.write(__doc__)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
