#!/usr/bin/env bash
# The picture search of the command line beside findimagedupes and dupeGuru's
# picture mode on large photos kept as 16-bit PNG (make_photo_corpus.py).
#   bench/images/photo_bench.sh [CORPUS_DIR]    (default /tmp/dupliscan-photo-corpus)
#   RUNS=1 bench/images/photo_bench.sh          (runs of each tool, default 3)
# Installs its own Debian packages. The tools run interleaved, so that load
# from elsewhere hits them alike; every run is timed with /usr/bin/time.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
corpus="${1:-/tmp/dupliscan-photo-corpus}"
runs="${RUNS:-3}"
build="$root/build-bench-images"
py=/usr/bin/python3

"$root/scripts/install-deps.sh" >&2
"$here/../need-packages.sh" python3-pil dupeguru findimagedupes time

if [ ! -f "$corpus/truth.tsv" ]; then
  (cd "$here" && "$py" make_photo_corpus.py "$corpus")
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF \
  -DDUPLISCAN_GUI=OFF >/dev/null
cmake --build "$build" -j2 --target dupliscan-cli >/dev/null
cli="$build/cli/dupliscan-cli"

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
# Every file once, so that all tools find them in the page cache.
cat "$corpus"/* >/dev/null

echo "== corpus: $(wc -l < "$corpus/truth.tsv") files, $(du -sh "$corpus" | cut -f1) in $corpus"
# dupliscan runs without its cache (a first search, the fair match for the
# peers) and again with the cache one untimed run has left in the scratch
# folder (a second search over the same pictures), never the user's cache.
export XDG_CACHE_HOME="$out/cache"
"$cli" --quiet --images --percent 95 "$corpus" >/dev/null
for run in $(seq "$runs"); do
  for tool in dupliscan dupliscan-cached findimagedupes dupeguru; do
    case $tool in
      dupliscan) command=("$cli" --quiet --no-cache --images --percent 95 "$corpus") ;;
      dupliscan-cached) command=("$cli" --quiet --images --percent 95 "$corpus") ;;
      findimagedupes) command=(findimagedupes -q "$corpus") ;;
      dupeguru) command=("$py" "$here/dupeguru_pictures.py" "$corpus" 95) ;;
    esac
    /usr/bin/time -f "$tool run $run: wall %e s, user %U s, sys %S s, peak RSS %M KiB" \
      "${command[@]}" >"$out/$tool.txt"
  done
done
echo "== pairs found (last run of each)"
printf 'dupliscan 95 %%:         '
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/dupliscan.txt" --blocks
cmp -s "$out/dupliscan.txt" "$out/dupliscan-cached.txt" &&
  echo "dupliscan with the cache: the same output" ||
  echo "dupliscan with the cache: OTHER OUTPUT"
printf 'findimagedupes (90 %%):  '
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/findimagedupes.txt" --sep space
printf 'dupeGuru hardness 95:   '
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/dupeguru.txt"
