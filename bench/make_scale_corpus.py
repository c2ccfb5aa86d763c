#!/usr/bin/env python3
"""Generates a corpus of many small files with a fixed seed, for the scale figures.

    make_scale_corpus.py COUNT DIR [SMALLEST]
        COUNT files (1,000,000 for the scale figures; 500,000 with SMALLEST 1
        for the exact search's small-file figures)

Files of SMALLEST bytes (default 1024) to 4 KiB, random bytes, 100 to a folder in two levels of folders
(10,000 folders for a million files). One file in ten is an exact copy of an
earlier one under another name. The names are those of the names corpus of
make_corpus.py (words, camera names, track names; four in ten originals get
one to five relatives with copy marks, bracketed numbers or typos), so an 80 %
name search has work to do. DIR/files holds the files, DIR/manifest.txt how
they were made; a corpus whose manifest is present is left alone. A million
files take about 4 GB of disk (every file fills one 4 KiB block).
"""

import os
import random
import shutil
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import make_corpus  # noqa: E402  (same folder)

VERSION = "1"
SEED = 20261214
PER_FOLDER = 100
EXTENSIONS = ["jpg", "pdf", "docx", "mp3", "txt", "png", "xlsx", "mp4"]


def names(rng, count):
    """Base names in the mix of the names corpus."""
    made = []
    while len(made) < count:
        name = make_corpus.base_name(rng)
        made.append(name)
        if rng.random() < 0.6:
            continue
        for _ in range(rng.randint(1, 5)):
            made.append(make_corpus.variant(rng, name))
    return made[:count]


def main():
    if len(sys.argv) not in (3, 4) or not all(a.isdigit() for a in sys.argv[1:4:2]):
        sys.stderr.write(__doc__)
        return 2
    count, target = int(sys.argv[1]), sys.argv[2]
    smallest = int(sys.argv[3]) if len(sys.argv) == 4 else 1024
    manifest = os.path.join(target, "manifest.txt")
    if os.path.exists(manifest):
        return 0
    partial = os.path.join(target, "files.partial")
    if os.path.isdir(partial):
        shutil.rmtree(partial)
    rng = random.Random(SEED + count)
    stems = names(rng, count)
    folders = (count + PER_FOLDER - 1) // PER_FOLDER
    top = max(1, int(folders ** 0.5))
    contents, copies, total_bytes = [], 0, 0
    for k, stem in enumerate(stems):
        folder = os.path.join(partial, "g%03d" % ((k // PER_FOLDER) % top), "f%05d" % (k // PER_FOLDER))
        if k % PER_FOLDER == 0:
            os.makedirs(folder)
        if contents and rng.random() < 0.1:
            data = rng.choice(contents)
            copies += 1
        else:
            data = rng.randbytes(rng.randint(smallest, 4096))
            if len(contents) < 20000:
                contents.append(data)
            else:
                contents[rng.randrange(len(contents))] = data
        name = "%s.%s" % (stem.replace("/", "_"), rng.choice(EXTENSIONS))
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
        total_bytes += len(data)
    os.rename(partial, os.path.join(target, "files"))
    with open(manifest, "w", encoding="utf-8") as f:
        f.write("version %s\nseed %d\nfiles %d\nsmallest %d\nfolders %d\nbytes %d\ncopies %d\n" %
                (VERSION, SEED + count, count, smallest, folders, total_bytes, copies))
    return 0


if __name__ == "__main__":
    sys.exit(main())
