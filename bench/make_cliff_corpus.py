#!/usr/bin/env python3
"""Generates a corpus of files that all look alike at the start, with a fixed seed.

    make_cliff_corpus.py COUNT DIR

COUNT files of 40 KiB (firmware or disk images, preallocated files) with the
same size and the same first 32 KiB; the last 8 KiB differ from file to file,
except within a few true duplicate groups. A search that tells files apart by
size and first bytes only finds one group of COUNT candidates here.

The files go to DIR/files in 20 folders; DIR/manifest.txt records the seed and
what a correct search finds. A corpus with a manifest of the current version is
left alone, so it is generated once and then reused. Nothing outside DIR is
written.
"""

import hashlib
import os
import random
import sys

from make_corpus import finish, start

SEED = 20261210
SIZE = 40 * 1024
SHARED = 32 * 1024
FOLDERS = 20


def cliff_corpus(count, target):
    root = start(target)
    if root is None:
        return
    rng = random.Random(SEED + count)
    shared = rng.randbytes(SHARED)
    for k in range(FOLDERS):
        os.makedirs(os.path.join(root, "dir%02d" % k))

    # One file in a hundred belongs to a duplicate group of two to five copies.
    group_sizes = []
    members = 0
    while members < count // 100:
        size = min(rng.randint(2, 5), count // 100 - members)
        group_sizes.append(max(size, 2))
        members += group_sizes[-1]
    tails = [rng.randbytes(SIZE - SHARED) for _ in range(count - members + len(group_sizes))]
    contents = []
    for g, size in enumerate(group_sizes):
        contents += [tails[g]] * size
    contents += tails[len(group_sizes):]
    rng.shuffle(contents)

    digests = {}
    for k, tail in enumerate(contents):
        relative = os.path.join("dir%02d" % (k % FOLDERS), "image%06d.img" % k)
        data = shared + tail
        with open(os.path.join(root, relative), "wb") as f:
            f.write(data)
        digests.setdefault(hashlib.sha256(data).digest(), []).append(relative)

    groups = [paths for paths in digests.values() if len(paths) > 1]
    finish(target, [
        "seed %d" % (SEED + count),
        "files %d" % len(contents),
        "file_size %d" % SIZE,
        "shared_prefix %d" % SHARED,
        "duplicate_groups %d" % len(groups),
        "files_in_groups %d" % sum(len(g) for g in groups),
    ])


def main():
    if len(sys.argv) != 3 or not sys.argv[1].isdigit() or int(sys.argv[1]) < 200:
        sys.stderr.write(__doc__)
        return 2
    cliff_corpus(int(sys.argv[1]), sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
