#!/usr/bin/python3
"""Writes a corpus of large photo-like pictures kept as 16-bit PNG, with copies.

Usage: make_photo_corpus.py OUTDIR [ORIGINALS]

The pictures are those of make_corpus.py (gradients, blurred shapes, noise;
every second original shares its background with the one before, a trap for a
finder that is too lenient), 480x640 to 1600x1200, each stored as an RGB PNG
with 16 bits per sample whose low byte is noise, as a scanner or a raw
converter leaves it. Half of the originals get copies, always a JPEG
re-encode at quality 85 (`_q85.jpg`); of the 150 with copies (for the default
300 originals) 61 also get a half-size JPEG (`_half.jpg`) and a PNG
brightened by 8 % (`_bright.png`), 26 only the half-size copy and 26 only the
brightened one. 624 files, 559 true pairs, about 1.4 GB. truth.tsv lists
every file with the number of its group. The seed is fixed.
"""
import os
import random
import struct
import sys
import zlib

from PIL import Image, ImageEnhance

from make_corpus import SIZES, add_noise, add_shapes, background

PHOTO_SIZES = SIZES[:5] + [(1500, 1000), (480, 640), (900, 1200)]


def png_chunk(kind, data):
    body = kind + data
    return struct.pack(">I", len(data)) + body + struct.pack(">I", zlib.crc32(body))


def save_png16(image, path, rng):
    w, h = image.size
    high = image.convert("RGB").tobytes()
    samples = bytearray(2 * len(high))
    samples[0::2] = high
    samples[1::2] = rng.randbytes(len(high))
    stride = 6 * w
    raw = bytearray()
    for y in range(h):
        raw += b"\0"
        raw += samples[y * stride:(y + 1) * stride]
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n")
        f.write(png_chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 16, 2, 0, 0, 0)))
        f.write(png_chunk(b"IDAT", zlib.compress(bytes(raw), 6)))
        f.write(png_chunk(b"IEND", b""))


def copy_kinds(n, originals):
    """The copies of original n: none for odd n; for the even ones, in turn by
    their rank, three copies, two or one, in the shares that give 559 pairs."""
    if n % 2:
        return []
    rank = n // 2
    with_copies = originals // 2
    three = with_copies * 61 // 150
    two = with_copies * 52 // 150
    if rank < three:
        return ["q85", "half", "bright"]
    if rank < three + two:
        return ["q85", "half" if (rank - three) % 2 == 0 else "bright"]
    return ["q85"]


def main():
    out = sys.argv[1]
    originals = int(sys.argv[2]) if len(sys.argv) > 2 else 300
    rng = random.Random(20261212)
    noise_rng = random.Random(20261213)
    os.makedirs(out, exist_ok=True)
    truth = []
    scene = None
    for n in range(originals):
        group = n + 1
        if n % 2 == 1 and scene is not None:
            size, base = scene
        else:
            size = rng.choice(PHOTO_SIZES)
            base = background(rng, size)
            scene = (size, base)
        picture = add_noise(rng, add_shapes(rng, base.copy()))
        name = "photo%04d.png" % n
        save_png16(picture, os.path.join(out, name), noise_rng)
        truth.append((name, group))
        for kind in copy_kinds(n, originals):
            if kind == "q85":
                copy_name = "photo%04d_q85.jpg" % n
                picture.save(os.path.join(out, copy_name), "JPEG", quality=85)
            elif kind == "half":
                copy_name = "photo%04d_half.jpg" % n
                half = picture.resize((size[0] // 2, size[1] // 2), Image.BILINEAR)
                half.save(os.path.join(out, copy_name), "JPEG", quality=85)
            else:
                copy_name = "photo%04d_bright.png" % n
                bright = ImageEnhance.Brightness(picture).enhance(1.08)
                save_png16(bright, os.path.join(out, copy_name), noise_rng)
            truth.append((copy_name, group))

    with open(os.path.join(out, "truth.tsv"), "w") as f:
        for name, g in truth:
            f.write("%s\t%d\n" % (name, g))
    pairs = 0
    sizes = {}
    for _, g in truth:
        sizes[g] = sizes.get(g, 0) + 1
    for k in sizes.values():
        pairs += k * (k - 1) // 2
    print("%d files, %d copies, %d true pairs" % (len(truth), len(truth) - originals, pairs))


if __name__ == "__main__":
    main()
