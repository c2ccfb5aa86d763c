#!/usr/bin/python3
"""Writes a corpus of camera-sized JPEG photos with copies.

Usage: make_camera_corpus.py OUTDIR [ORIGINALS]

The pictures are those of make_corpus.py (gradients, blurred shapes, noise),
made at a photo size and scaled to a camera's: 4000x3000, 3000x4000 or
4032x3024, with fresh noise at full size, saved as JPEG at quality 92 as a
camera does. Half of the originals get a re-encode at quality 75
(`_q75.jpg`); every fourth a half-size JPEG (`_half.jpg`). For the default
120 originals: 210 files, about 300 MB. truth.tsv lists every file with the
number of its group. The seed is fixed.
"""

import os
import random
import sys

from PIL import Image

from make_corpus import add_noise, add_shapes, background

CAMERA_SIZES = [(4000, 3000), (3000, 4000), (4032, 3024)]


def main():
    out = sys.argv[1]
    originals = int(sys.argv[2]) if len(sys.argv) > 2 else 120
    rng = random.Random(20261215)
    os.makedirs(out, exist_ok=True)
    truth = []
    for n in range(originals):
        size = rng.choice(CAMERA_SIZES)
        small = (size[0] // 4, size[1] // 4)
        picture = add_shapes(rng, background(rng, small))
        picture = add_noise(rng, picture.resize(size, Image.BICUBIC))
        name = "cam%04d.jpg" % n
        picture.save(os.path.join(out, name), "JPEG", quality=92)
        truth.append((name, n + 1))
        if n % 2 == 0:
            copy = "cam%04d_q75.jpg" % n
            picture.save(os.path.join(out, copy), "JPEG", quality=75)
            truth.append((copy, n + 1))
        if n % 4 == 0:
            copy = "cam%04d_half.jpg" % n
            half = picture.resize((size[0] // 2, size[1] // 2), Image.BILINEAR)
            half.save(os.path.join(out, copy), "JPEG", quality=85)
            truth.append((copy, n + 1))
    with open(os.path.join(out, "truth.tsv"), "w") as f:
        for name, g in truth:
            f.write("%s\t%d\n" % (name, g))
    return 0


if __name__ == "__main__":
    sys.exit(main())
