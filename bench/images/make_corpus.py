#!/usr/bin/python3
"""Writes a corpus of photo-like pictures with known copies.

Usage: make_corpus.py OUTDIR [ORIGINALS]

Every original is a smooth two-colour gradient with soft shapes and sensor-like
noise, 640x480 to 1600x1200 pixels, saved as JPEG, PNG, BMP or TIFF. A third of
them get one copy: re-encoded as JPEG at another quality, scaled to half,
or brightened. Pairs of originals share a background but differ in their
shapes ("same scene, other subject"): they are NOT copies, and catch a finder
that is too lenient. truth.tsv lists every file with the number of its group;
files of one group are copies of each other. The seed is fixed.
"""
import os
import random
import sys

from PIL import Image, ImageDraw, ImageEnhance, ImageFilter

SIZES = [(640, 480), (800, 600), (1024, 768), (1200, 900), (1600, 1200), (1500, 1000),
         (480, 640), (900, 1200)]
FORMATS = [("jpg", 0.65), ("png", 0.15), ("bmp", 0.12), ("tif", 0.08)]


def pick_format(rng):
    r = rng.random()
    for ext, share in FORMATS:
        if r < share:
            return ext
        r -= share
    return "jpg"


def background(rng, size):
    w, h = size
    top = tuple(rng.randrange(256) for _ in range(3))
    bottom = tuple(rng.randrange(256) for _ in range(3))
    ramp = Image.linear_gradient("L").resize((w, h))
    if rng.random() < 0.5:
        ramp = ramp.rotate(rng.choice([90, 180, 270]), expand=False).resize((w, h))
    return Image.composite(Image.new("RGB", size, bottom), Image.new("RGB", size, top), ramp)


def add_shapes(rng, image):
    w, h = image.size
    draw = ImageDraw.Draw(image)
    for _ in range(rng.randint(4, 12)):
        colour = tuple(rng.randrange(256) for _ in range(3))
        x0, y0 = rng.randrange(w), rng.randrange(h)
        x1 = min(w, x0 + rng.randint(w // 12, w // 2))
        y1 = min(h, y0 + rng.randint(h // 12, h // 2))
        kind = rng.random()
        if kind < 0.45:
            draw.ellipse([x0, y0, x1, y1], fill=colour)
        elif kind < 0.8:
            draw.rectangle([x0, y0, x1, y1], fill=colour)
        else:
            points = [(rng.randrange(w), rng.randrange(h)) for _ in range(rng.randint(3, 6))]
            draw.polygon(points, fill=colour)
    return image.filter(ImageFilter.GaussianBlur(radius=rng.uniform(1.5, 6.0)))


def add_noise(rng, image):
    noise = Image.effect_noise(image.size, rng.uniform(6, 20)).convert("RGB")
    return Image.blend(image, noise, 0.12)


def save(image, path, quality=90):
    ext = path.rsplit(".", 1)[1]
    if ext == "jpg":
        image.save(path, "JPEG", quality=quality)
    elif ext == "png":
        image.save(path, "PNG")
    elif ext == "bmp":
        image.save(path, "BMP")
    else:
        image.save(path, "TIFF", compression="tiff_lzw")


def main():
    out = sys.argv[1]
    originals = int(sys.argv[2]) if len(sys.argv) > 2 else 220
    rng = random.Random(20261206)
    os.makedirs(out, exist_ok=True)
    truth = []
    group = 0
    scene = None
    for n in range(originals):
        group += 1
        # Every second original reuses the previous background: same scene,
        # another subject.
        if n % 2 == 1 and scene is not None:
            size, base = scene
        else:
            size = rng.choice(SIZES)
            base = background(rng, size)
            scene = (size, base)
        picture = add_noise(rng, add_shapes(rng, base.copy()))
        name = "p%04d.%s" % (n, pick_format(rng))
        save(picture, os.path.join(out, name))
        truth.append((name, group))

        if n % 3 != 0:
            continue
        kind = (n // 3) % 3
        if kind == 0:
            copy_name = "p%04d_q%d.jpg" % (n, 60)
            save(picture, os.path.join(out, copy_name), quality=60)
        elif kind == 1:
            copy_name = "p%04d_half.jpg" % n
            half = picture.resize((size[0] // 2, size[1] // 2), Image.BILINEAR)
            save(half, os.path.join(out, copy_name), quality=90)
        else:
            copy_name = "p%04d_bright.png" % n
            save(ImageEnhance.Brightness(picture).enhance(1.05), os.path.join(out, copy_name))
        truth.append((copy_name, group))

    with open(os.path.join(out, "truth.tsv"), "w") as f:
        for name, g in truth:
            f.write("%s\t%d\n" % (name, g))
    print("%d files, %d copies" % (len(truth), len(truth) - originals))


if __name__ == "__main__":
    main()
