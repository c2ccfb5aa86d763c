#!/usr/bin/python3
"""Scores reported groups against truth.tsv.

Usage: evaluate.py TRUTH.tsv GROUPS [--sep tab|space | --blocks]
GROUPS has one group of files per line, or with --blocks is what
`dupliscan-cli --format text` prints (a head line ">\tPATH", one "NN%\tPATH"
line per member, blocks parted by an empty line). Every pair of files reported in one
group counts: a true pair when the truth puts both in one group, else a false
pair. Names are compared by their base name.
"""
import itertools
import os
import sys


def copy_kind(name):
    """The kind of copy a file of the corpus is, or None for an original."""
    stem = name.rsplit(".", 1)[0]
    for kind in ("q60", "q85", "half", "bright"):
        if stem.endswith("_" + kind):
            return kind
    return None


def read_groups(path, sep, blocks):
    """The reported groups, each a list of base names."""
    groups = []
    with open(path) as f:
        if not blocks:
            for line in f:
                groups.append([os.path.basename(x) for x in line.strip().split(sep) if x])
            return groups
        current = []
        for line in f:
            line = line.rstrip("\n")
            if not line:
                continue
            mark, name = line.split("\t", 1)
            if mark == ">" and current:
                groups.append(current)
                current = []
            current.append(os.path.basename(name))
        if current:
            groups.append(current)
    return groups


def main():
    truth_path, groups_path = sys.argv[1], sys.argv[2]
    sep = "\t" if "--sep" not in sys.argv or sys.argv[sys.argv.index("--sep") + 1] == "tab" else " "
    truth = {}
    with open(truth_path) as f:
        for line in f:
            name, group = line.rstrip("\n").split("\t")
            truth[name] = int(group)
    sizes = {}
    for g in truth.values():
        sizes[g] = sizes.get(g, 0) + 1
    all_true = sum(k * (k - 1) // 2 for k in sizes.values())
    true_pairs = false_pairs = 0
    found_kinds = {}
    for files in read_groups(groups_path, sep, "--blocks" in sys.argv):
        for a, b in itertools.combinations(files, 2):
            if a in truth and b in truth and truth[a] == truth[b]:
                true_pairs += 1
                kind = copy_kind(a) or copy_kind(b)
                found_kinds[kind] = found_kinds.get(kind, 0) + 1
            else:
                false_pairs += 1
    all_kinds = {}
    for name in truth:
        kind = copy_kind(name)
        if kind:
            all_kinds[kind] = all_kinds.get(kind, 0) + 1
    detail = ", ".join("%s %d/%d" % (k, found_kinds.get(k, 0), n) for k, n in sorted(all_kinds.items()))
    print("true pairs %d of %d (%s), false pairs %d" % (true_pairs, all_true, detail, false_pairs))


if __name__ == "__main__":
    main()
