#!/usr/bin/env bash
# Peak memory and time of the similar-contents search (--percent 80) on one
# pair of files too large to hold: two files of 1.5 GiB, sparse with a random
# mebibyte every 64 MiB, the second a copy of the first with three changed
# runs of 4 KiB (so three of the twenty blocks are not found). Debian 12; the
# files take about 50 MB on disk and are deleted at the end (KEEP=1 keeps them).
#
#   bench/large-pair-bench.sh            3 runs
#   RUNS=1 bench/large-pair-bench.sh     another number of runs
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
runs="${RUNS:-3}"

command -v /usr/bin/time >/dev/null || { echo "needs /usr/bin/time (apt-get install time)"; exit 1; }
echo "== building dupliscan-cli (Release)"
cmake -S "$repo" -B "$repo/build-bench-similar" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DDUPLISCAN_TESTS=OFF -DDUPLISCAN_GUI=OFF >/dev/null
cmake --build "$repo/build-bench-similar" -j2 --target dupliscan-cli >/dev/null
cli="$repo/build-bench-similar/cli/dupliscan-cli"

pair="$here/corpus-large-pair"
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$pair"' EXIT
echo "== pair $pair"
python3 - "$pair" <<'PYEOF'
import os, random, sys
folder = sys.argv[1]
os.makedirs(folder, exist_ok=True)
size, mib = 1536 << 20, 1 << 20
rng = random.Random(20261209)
regions = [(at, rng.randbytes(mib)) for at in range(0, size, 64 * mib)]
for name, changes in (("original.bin", []), ("copy.bin", [5, 11, 19])):
    path = os.path.join(folder, name)
    with open(path, "wb") as out:
        out.truncate(size)
        for index, (at, data) in enumerate(regions):
            if index in changes:
                data = data[:4096] + bytes(b ^ 0x5A for b in data[4096:8192]) + data[8192:]
            out.seek(at)
            out.write(data)
PYEOF
du -h --apparent-size "$pair"/*.bin | sed 's/^/apparent /'
du -h "$pair"/*.bin | sed 's/^/on disk  /'

for run in $(seq 1 "$runs"); do
  cat "$pair"/*.bin > /dev/null # warm, as the corpus benches run
  /usr/bin/time -f '%e %M %U %S' -o "$pair/time.txt" \
    "$cli" --quiet --percent 80 "$pair" > "$pair/out.txt"
  read -r seconds kilobytes user system < "$pair/time.txt"
  echo "run $run: ${seconds} s wall, ${user} s user, ${system} s system, ${kilobytes} KB peak RSS"
  sed 's/^/  /' "$pair/out.txt"
done
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
