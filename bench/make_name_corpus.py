#!/usr/bin/env python3
"""Generates corpora of names that look alike without matching, with a fixed seed.

    make_name_corpus.py hash COUNT DIR      COUNT names of 32 hex digits
    make_name_corpus.py anagram COUNT DIR   COUNT shuffles of the letters of four phrases

Every file holds one byte, so a names-only search spends its time on the names
alone. All files share the extension ".dat" (in no extension group), so every
pair of names is in one extension class: the hardest case for the name search.
One name in fifty is a near relative of an earlier one, so a search at 80 % finds
a few blocks among many names that never match:
- hash: one to three hex digits changed, inserted or dropped (distance 1 to 3;
  at 80 % a 32-digit name may differ in 6);
- anagram: two neighbouring characters swapped (distance 2; at 80 % a name of
  14 to 18 characters may differ in 2 or 3).
Any two other names of one anagram corpus have the same letters in another
order, so letter counts cannot tell them apart.

The files go to DIR/files, 1,000 to a folder; DIR/manifest.txt records how the
corpus was made. A corpus whose manifest is present is left alone.
"""

import os
import random
import shutil
import sys

VERSION = "1"
SEEDS = {"hash": 20261212, "anagram": 20261213}
PER_FOLDER = 1000
HEX = "0123456789abcdef"
PHRASES = ["holiday beach 2019", "Rechnung Telekom", "family reunion", "birthday party"]


def hash_name(rng):
    return "".join(rng.choice(HEX) for _ in range(32))


def hash_relative(rng, name):
    chars = list(name)
    for _ in range(rng.randint(1, 3)):
        k = rng.randrange(len(chars))
        kind = rng.randrange(3)
        if kind == 0:
            chars[k] = rng.choice(HEX)
        elif kind == 1:
            chars.insert(k, rng.choice(HEX))
        else:
            del chars[k]
    return "".join(chars)


def anagram_name(rng):
    chars = list(rng.choice(PHRASES))
    rng.shuffle(chars)
    return "".join(chars).strip() or "x"


def anagram_relative(rng, name):
    chars = list(name)
    k = rng.randrange(len(chars) - 1)
    chars[k], chars[k + 1] = chars[k + 1], chars[k]
    return "".join(chars).strip() or "x"


def main():
    if len(sys.argv) != 4 or sys.argv[1] not in SEEDS or not sys.argv[2].isdigit():
        sys.stderr.write(__doc__)
        return 2
    kind, count, target = sys.argv[1], int(sys.argv[2]), sys.argv[3]
    manifest = os.path.join(target, "manifest.txt")
    if os.path.exists(manifest):
        return 0
    partial = os.path.join(target, "files.partial")
    if os.path.isdir(partial):
        shutil.rmtree(partial)
    rng = random.Random(SEEDS[kind] + count)
    make, relative_of = (hash_name, hash_relative) if kind == "hash" else (anagram_name, anagram_relative)
    names, relatives = [], 0
    for k in range(count):
        if k > 0 and rng.random() < 0.02:
            names.append(relative_of(rng, rng.choice(names)))
            relatives += 1
        else:
            names.append(make(rng))
    used = set()
    for k, name in enumerate(names):
        folder = os.path.join(partial, "d%03d" % (k // PER_FOLDER))
        if k % PER_FOLDER == 0:
            os.makedirs(folder)
        while (folder, name) in used:  # a name drawn twice in one folder
            name += "_"
        used.add((folder, name))
        with open(os.path.join(folder, name + ".dat"), "wb") as f:
            f.write(b"x")
    os.rename(partial, os.path.join(target, "files"))
    with open(manifest, "w", encoding="utf-8") as f:
        f.write("version %s\nkind %s\nseed %d\nfiles %d\nrelatives %d\n" %
                (VERSION, kind, SEEDS[kind] + count, count, relatives))
    return 0


if __name__ == "__main__":
    sys.exit(main())
