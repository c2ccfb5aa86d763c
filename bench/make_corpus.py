#!/usr/bin/env python3
"""Generates the benchmark corpora with a fixed seed, so every run gets the same files.

    make_corpus.py exact DIR   100,000 files for the exact duplicate search
    make_corpus.py names DIR   50,000 files with similar names for the name search

The files go to DIR/files; DIR/manifest.txt records how the corpus was made and
what a correct search finds in it. A corpus whose manifest is present and carries
the current version is left alone, so it is generated once and then reused.
Nothing outside DIR is written.
"""

import hashlib
import math
import os
import random
import shutil
import sys

VERSION = "1"
SEED_EXACT = 20261206
SEED_NAMES = 20261207

# Extensions the command line skips by default (exe dll com ...) are avoided,
# so every tool sees the same files.
EXACT_EXTENSIONS = ["jpg", "png", "pdf", "docx", "mp3", "txt", "bin", "dat", "zip", "mp4"]


def log_uniform_size(rng, largest):
    return min(largest, int(math.exp(rng.uniform(0.0, math.log(largest + 1)))))


def make_folders(rng, count, max_depth, name_of):
    """count folders in a tree at most max_depth levels deep; returns relative paths."""
    folders = []
    depth = {}
    for k in range(count):
        candidates = [p for p in folders[-200:] if depth[p] < max_depth]
        if k < 10 or not candidates or rng.random() < 0.1:
            parent, level = "", 1
        else:
            parent = rng.choice(candidates)
            level = depth[parent] + 1
        name = name_of(k)
        path = os.path.join(parent, name) if parent else name
        folders.append(path)
        depth[path] = level
    return folders


def write_file(root, relative, data):
    path = os.path.join(root, relative)
    with open(path, "wb") as f:
        f.write(data)


def start(target):
    """Prepares DIR/files.partial; returns None when a complete corpus is present."""
    manifest = os.path.join(target, "manifest.txt")
    if os.path.exists(manifest):
        with open(manifest, encoding="utf-8") as f:
            if f.readline().strip() == "version " + VERSION:
                return None
    partial = os.path.join(target, "files.partial")
    for stale in (partial, os.path.join(target, "files")):
        if os.path.isdir(stale):
            shutil.rmtree(stale)
    if os.path.exists(manifest):
        os.remove(manifest)
    os.makedirs(partial)
    return partial


def finish(target, lines):
    os.rename(os.path.join(target, "files.partial"), os.path.join(target, "files"))
    with open(os.path.join(target, "manifest.txt"), "w", encoding="utf-8") as f:
        f.write("version " + VERSION + "\n")
        for line in lines:
            f.write(line + "\n")


def exact_corpus(target):
    root = start(target)
    if root is None:
        return
    rng = random.Random(SEED_EXACT)
    total, folder_count = 100_000, 1000
    copies, near_misses = total * 20 // 100, total * 5 // 100
    originals = total - copies - near_misses
    folders = make_folders(rng, folder_count, 4, lambda k: "dir%04d" % k)
    for folder in folders:
        os.makedirs(os.path.join(root, folder))

    used = set()

    def place(stem, ext, avoid_folder=None):
        while True:
            folder = rng.choice(folders)
            if folder == avoid_folder:
                continue
            name = "%s.%s" % (stem, ext)
            relative = os.path.join(folder, name)
            if relative not in used:
                used.add(relative)
                return relative
            stem += "_"

    digests = {}  # content digest -> list of relative paths

    def add(relative, data):
        write_file(root, relative, data)
        digests.setdefault(hashlib.sha256(data).digest(), []).append(relative)

    sources = []  # (relative path, size, seed of its contents)
    total_bytes = 0
    for k in range(originals):
        size = log_uniform_size(rng, 256 * 1024)
        content_seed = rng.getrandbits(64)
        relative = place("file%06d" % k, rng.choice(EXACT_EXTENSIONS))
        data = random.Random(content_seed).randbytes(size)
        add(relative, data)
        sources.append((relative, size, content_seed))
        total_bytes += size

    renamed = 0
    for k in range(copies):
        relative, size, content_seed = rng.choice(sources)
        folder, name = os.path.split(relative)
        if rng.random() < 0.3:
            renamed += 1
            stem, ext = "copy%06d" % k, rng.choice(EXACT_EXTENSIONS)
        else:
            stem, ext = os.path.splitext(name)
            ext = ext[1:]
        copy = place(stem, ext, avoid_folder=folder)
        add(copy, random.Random(content_seed).randbytes(size))
        total_bytes += size

    for k in range(near_misses):
        relative, size, content_seed = rng.choice(sources)
        data = bytearray(random.Random(content_seed).randbytes(size))
        data[-1] ^= rng.randint(1, 255)
        stem, ext = os.path.splitext(os.path.basename(relative))
        add(place(stem + "_near", ext[1:]), bytes(data))
        total_bytes += size

    groups = [paths for paths in digests.values() if len(paths) > 1]
    finish(target, [
        "seed %d" % SEED_EXACT,
        "files %d" % total,
        "folders %d" % folder_count,
        "bytes %d" % total_bytes,
        "originals %d" % originals,
        "copies %d (%d with other names)" % (copies, renamed),
        "near_misses %d" % near_misses,
        "duplicate_groups %d" % len(groups),
        "files_in_groups %d" % sum(len(g) for g in groups),
    ])


# Word lists for realistic base names: English and German, some with umlauts.
WORDS_EN = """holiday beach summer winter party wedding birthday family garden kitchen
invoice receipt contract letter report budget minutes agenda meeting project
draft final review notes photo picture scan document resume application offer
trip paris london rome berlin mountain lake river sunset christmas easter
concert live remix track album demo recording interview podcast lecture
presentation slides backup archive old new copy version edit export print
tax insurance bank statement salary bill order delivery manual guide""".split()
WORDS_DE = """Urlaub Strand Sommer Winter Feier Hochzeit Geburtstag Familie Garten Küche
Rechnung Quittung Vertrag Brief Bericht Haushalt Protokoll Tagesordnung Besprechung
Entwurf Fassung Notizen Foto Bild Scan Dokument Lebenslauf Bewerbung Angebot
Reise München Köln Hamburg Bäckerei Steuer Versicherung Kontoauszug Gehalt Bestellung
Lieferung Anleitung Übersicht Zeugnis Mietvertrag Nebenkosten Kündigung Führerschein
Telekom Stadtwerke Krankenkasse Arzt Schule Verein Weihnachten Ostern März Mai Juni""".split()
NAME_EXTENSIONS = ["jpg", "jpg", "jpg", "pdf", "pdf", "docx", "mp3", "mp3", "txt", "png", "xlsx", "mp4"]
SEPARATORS = [" ", " ", "_", "-", " - "]


def base_name(rng):
    """A base name of 5 to 40 characters."""
    while True:
        style = rng.random()
        words = WORDS_DE if rng.random() < 0.4 else WORDS_EN
        if style < 0.15:
            name = "IMG_%04d%02d%02d_%02d%02d%02d" % (
                rng.randint(2005, 2026), rng.randint(1, 12), rng.randint(1, 28),
                rng.randint(0, 23), rng.randint(0, 59), rng.randint(0, 59))
        elif style < 0.25:
            name = "DSC%05d" % rng.randint(0, 99999)
        elif style < 0.4:
            name = "%02d %s - %s" % (rng.randint(1, 20), " ".join(rng.sample(words, rng.randint(1, 2))).title(),
                                     " ".join(rng.sample(words, rng.randint(1, 3))).title())
        else:
            sep = rng.choice(SEPARATORS)
            parts = rng.sample(words, rng.randint(1, 4))
            if rng.random() < 0.5:
                parts.append(str(rng.randint(1995, 2026)))
            if rng.random() < 0.2:
                parts.append("%02d" % rng.randint(1, 31))
            if rng.random() < 0.3:
                parts = [p.capitalize() for p in parts]
            name = sep.join(parts)
        if 5 <= len(name) <= 40:
            return name


LETTERS = "abcdefghijklmnopqrstuvwxyz"


def typo(rng, name):
    """One or two letters changed, swapped, inserted or dropped."""
    for _ in range(rng.randint(1, 2)):
        chars = list(name)
        k = rng.randrange(len(chars))
        kind = rng.randrange(4)
        if kind == 0:
            chars[k] = rng.choice(LETTERS)
        elif kind == 1 and k + 1 < len(chars):
            chars[k], chars[k + 1] = chars[k + 1], chars[k]
        elif kind == 2:
            chars.insert(k, rng.choice(LETTERS))
        elif len(chars) > 5:
            del chars[k]
        name = "".join(chars)
    return name


def variant(rng, name):
    kind = rng.randrange(9)
    if kind == 0:
        return "Copy of " + name
    if kind == 1:
        return "Kopie von " + name
    if kind == 2:
        return "Copy (%d) of %s" % (rng.randint(2, 9), name)
    if kind == 3:
        return "Kopie (%d) von %s" % (rng.randint(2, 9), name)
    if kind == 4:
        return "%s (%d)" % (name, rng.randint(1, 3))
    if kind == 5:
        return "%s (1)(%d)" % (name, rng.randint(2, 3))
    return typo(rng, name)


def names_corpus(target):
    root = start(target)
    if root is None:
        return
    rng = random.Random(SEED_NAMES)
    total, folder_count = 50_000, 2000
    all_words = WORDS_EN + WORDS_DE
    folders = make_folders(rng, folder_count, 5,
                           lambda k: "%s %d" % (rng.choice(all_words), k) if k % 3 else "folder%04d" % k)
    for folder in folders:
        os.makedirs(os.path.join(root, folder))

    used = set()
    counts = {"originals": 0, "copy_marks": 0, "brackets": 0, "typos": 0}

    def add(stem, ext, mark):
        for _ in range(100):
            relative = os.path.join(rng.choice(folders), stem + "." + ext)
            if relative not in used:
                used.add(relative)
                write_file(root, relative, rng.randbytes(rng.randint(1, 64)))
                counts[mark] += 1
                return True
        return False

    made = 0
    while made < total:
        name = base_name(rng)
        ext = rng.choice(NAME_EXTENSIONS)
        made += add(name, ext, "originals")
        # Six files in ten are alone; the others get one to five relatives.
        if rng.random() < 0.6:
            continue
        for _ in range(rng.randint(1, 5)):
            if made >= total:
                break
            v = variant(rng, name)
            mark = "copy_marks" if v.startswith(("Copy", "Kopie")) else "brackets" if v.endswith(")") else "typos"
            made += add(v, ext, mark)

    finish(target, ["seed %d" % SEED_NAMES, "files %d" % total, "folders %d" % folder_count] +
           ["%s %d" % item for item in counts.items()])


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("exact", "names"):
        sys.stderr.write(__doc__)
        return 2
    (exact_corpus if sys.argv[1] == "exact" else names_corpus)(sys.argv[2])
    return 0


if __name__ == "__main__":
    sys.exit(main())
