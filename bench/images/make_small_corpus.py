#!/usr/bin/python3
"""Writes many small PNG pictures, where the pairs and not the decoding take the time.

Usage: make_small_corpus.py OUTDIR [FILES]

FILES (default 2000) pictures of 64x48 to 160x120 pixels made like those of
make_corpus.py; every fifth is a copy of the picture before it, brightened by
5 % (`_bright.png`). truth.tsv lists every file with its group. Fixed seed.
"""
import os
import random
import sys

from PIL import ImageEnhance

from make_corpus import add_noise, add_shapes, background

SMALL_SIZES = [(64, 48), (96, 72), (128, 96), (160, 120), (120, 160)]


def main():
    out = sys.argv[1]
    files = int(sys.argv[2]) if len(sys.argv) > 2 else 2000
    rng = random.Random(20261214)
    os.makedirs(out, exist_ok=True)
    truth = []
    picture = None
    for n in range(files):
        if n % 5 == 4 and picture is not None:
            name = "s%05d_bright.png" % (n - 1)
            ImageEnhance.Brightness(picture).enhance(1.05).save(os.path.join(out, name))
            truth.append((name, n - 1))
            continue
        size = rng.choice(SMALL_SIZES)
        picture = add_noise(rng, add_shapes(rng, background(rng, size)))
        name = "s%05d.png" % n
        picture.save(os.path.join(out, name))
        truth.append((name, n))
    with open(os.path.join(out, "truth.tsv"), "w") as f:
        for name, g in truth:
            f.write("%s\t%d\n" % (name, g))
    print("%d files" % len(truth))


if __name__ == "__main__":
    main()
