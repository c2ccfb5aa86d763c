#!/usr/bin/env bash
# Image similarity benchmark: makes the corpus, builds the fingerprint driver,
# and measures it beside dupeGuru's picture mode and findimagedupes.
#   bench/images/run_bench.sh [CORPUS_DIR]      (default /tmp/dupliscan-images-corpus)
# Installs its own Debian packages. Keep the machine otherwise quiet: it is
# shared, and every figure is one run.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
corpus="${1:-/tmp/dupliscan-images-corpus}"
build="$root/build-bench-images"
py=/usr/bin/python3

"$root/scripts/install-deps.sh" >&2
"$here/../need-packages.sh" python3-pil dupeguru findimagedupes time

if [ ! -f "$corpus/truth.tsv" ]; then
  "$py" "$here/make_corpus.py" "$corpus"
fi

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF >/dev/null
ninja -C "$build" -j2 dupliscan_engine >/dev/null
# shellcheck disable=SC2046
g++ -std=c++20 -O2 -fPIC -I"$root" "$here/fingerprint_bench.cpp" "$build/libdupliscan_engine.a" \
  $(pkg-config --cflags --libs Qt6Gui Qt6Core) -o "$build/fingerprint_bench"

out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
measure() { /usr/bin/time -f "wall %e s, user %U s, sys %S s, peak RSS %M KiB" "$@"; }

echo "== corpus: $(wc -l < "$corpus/truth.tsv") files in $corpus"
echo "== dupliscan fingerprints, strict 95 %"
sync
measure "$build/fingerprint_bench" "$corpus" 95 > "$out/dupliscan.txt"
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/dupliscan.txt"
echo "== decoding alone (the same files, nothing else)"
measure "$build/fingerprint_bench" "$corpus" 95 --decode-only

echo "== dupeGuru picture mode, hardness 95, different dimensions matched"
measure "$py" "$here/dupeguru_pictures.py" "$corpus" 95 > "$out/dupeguru.txt"
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/dupeguru.txt"

echo "== findimagedupes, default threshold (90 %)"
measure findimagedupes -q "$corpus" > "$out/findimagedupes.txt"
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/findimagedupes.txt" --sep space

echo "== findimagedupes, threshold 95 %"
measure findimagedupes -q -t 95% "$corpus" > "$out/findimagedupes95.txt"
"$py" "$here/evaluate.py" "$corpus/truth.tsv" "$out/findimagedupes95.txt" --sep space
