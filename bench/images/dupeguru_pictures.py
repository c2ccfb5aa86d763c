#!/usr/bin/python3
"""Runs dupeGuru's picture mode (the "Contents" scan) on one folder without its
window and prints the groups it finds, one per line, tab-separated.

Usage: dupeguru_pictures.py FOLDER [THRESHOLD]
The threshold is dupeGuru's filter hardness (95 by default here, as in its
picture mode); pictures of different dimensions are matched too, as the
corpus holds copies scaled to half.
"""
import os
import sys
import tempfile
from pathlib import Path

sys.path[:0] = ["/usr/share/dupeguru"]
import core  # noqa: E402
import qt  # noqa: E402

# The picture-mode modules are installed beside the rest of the package.
core.__path__.append("/usr/lib/dupeguru/core")
qt.__path__.append("/usr/lib/dupeguru/qt")

from core import engine  # noqa: E402
from core.pe import matchblock  # noqa: E402
from qt.pe.photo import File  # noqa: E402


def main():
    folder = Path(sys.argv[1])
    threshold = int(sys.argv[2]) if len(sys.argv) > 2 else 95
    pictures = [File(p) for p in sorted(folder.iterdir()) if File.can_handle(p)]
    for picture in pictures:
        picture.is_ref = False  # the scanner sets this for reference folders
    with tempfile.TemporaryDirectory() as cache_dir:
        cache = os.path.join(cache_dir, "cached_pictures.db")
        matches = matchblock.getmatches(pictures, cache, threshold, match_scaled=True)
    for group in engine.get_groups(matches):
        print("\t".join(str(p.path) for p in group))


if __name__ == "__main__":
    main()
