#!/usr/bin/env bash
# Times the similar-contents search of dupliscan-cli (--percent 80) on a fixed
# corpus of 5,000 files. Debian 12, as root; safe to run again.
#
#   bench/similar-bench.sh            5 runs
#   RUNS=3 bench/similar-bench.sh     another number of runs
#
# The corpus (bench/corpus-similar/, git-ignored) is generated once with a
# fixed seed and reused: files of 1 byte to 256 KiB with log-uniform sizes,
# 20 % exact copies, 5 % copies that differ in their last byte, 5 % copies
# with a few changed blocks of 512 bytes and 3 % copies grown or cut by up to
# a tenth, spread over 40 folders. Prints the median wall time, CPU time
# (user + system) and peak resident memory of the runs; on a shared machine the
# CPU time is the steadier figure.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
runs="${RUNS:-5}"

"$here/need-packages.sh" time python3
"$repo/scripts/install-deps.sh"

echo "== building dupliscan-cli (Release)"
cmake -S "$repo" -B "$repo/build-bench-similar" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DDUPLISCAN_TESTS=OFF >/dev/null
cmake --build "$repo/build-bench-similar" -j2 --target dupliscan-cli >/dev/null
cli="$repo/build-bench-similar/cli/dupliscan-cli"

corpus="$here/corpus-similar"
echo "== corpus $corpus (generated once, then reused)"
python3 - "$corpus" <<'EOF'
import math, os, random, shutil, sys

VERSION = "1"
target = sys.argv[1]
manifest = os.path.join(target, "manifest.txt")
if os.path.exists(manifest) and open(manifest).readline().strip() == "version " + VERSION:
    sys.exit(0)
files = os.path.join(target, "files")
shutil.rmtree(target, ignore_errors=True)
rng = random.Random(20261208)
folders = [os.path.join(files, "d%02d" % k) for k in range(40)]
for f in folders:
    os.makedirs(f)
extensions = ["jpg", "png", "pdf", "docx", "txt", "bin", "dat", "zip"]
kinds = {"original": 0, "copy": 0, "last-byte": 0, "blocks": 0, "resized": 0}
made = []
for k in range(5000):
    roll = rng.random()
    if made and roll < 0.20:
        kind, data = "copy", rng.choice(made)
    elif made and roll < 0.25:
        kind, data = "last-byte", bytearray(rng.choice(made))
        data[-1] ^= 0xFF
        data = bytes(data)
    elif made and roll < 0.30:
        kind, data = "blocks", bytearray(rng.choice(made))
        for _ in range(rng.randint(1, 3)):
            start = rng.randrange(len(data))
            data[start:start + 512] = rng.randbytes(len(data[start:start + 512]))
        data = bytes(data)
    elif made and roll < 0.33:
        kind, data = "resized", rng.choice(made)
        change = rng.randint(1, max(1, len(data) // 10))
        data = data + rng.randbytes(change) if rng.random() < 0.5 else data[:-change] or data
    else:
        size = min(262144, int(math.exp(rng.uniform(0.0, math.log(262145)))))
        kind, data = "original", rng.randbytes(max(1, size))
    kinds[kind] += 1
    made.append(data)
    name = "f%05d.%s" % (k, rng.choice(extensions))
    with open(os.path.join(rng.choice(folders), name), "wb") as out:
        out.write(data)
with open(manifest, "w") as out:
    out.write("version %s\n" % VERSION)
    out.write("files: 5000, bytes: %d\n" % sum(len(d) for d in made))
    for kind, count in kinds.items():
        out.write("%s: %d\n" % (kind, count))
EOF
cat "$corpus/manifest.txt"

find "$corpus/files" -type f -print0 | xargs -0 cat > /dev/null
load="$(cut -d' ' -f1-3 /proc/loadavg)"
times=()
memory=()
cpu=()
for run in $(seq 1 "$runs"); do
  /usr/bin/time -f '%e %M %U %S' -o "$corpus/time.txt" \
    "$cli" --quiet --percent 80 "$corpus/files" > "$corpus/out.txt"
  read -r seconds kilobytes user system < "$corpus/time.txt"
  used=$(echo "$user $system" | awk '{printf "%.2f", $1 + $2}')
  times+=("$seconds")
  memory+=("$kilobytes")
  cpu+=("$used")
  echo "run $run: ${seconds} s wall, ${used} s CPU, ${kilobytes} KB peak RSS," \
    "$(grep -c '%' "$corpus/out.txt") files matched"
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
echo "command: dupliscan-cli --quiet --percent 80 bench/corpus-similar/files"
echo "median of $runs runs: $(median "${times[@]}") s wall, $(median "${cpu[@]}") s CPU," \
  "$(median "${memory[@]}") KB peak RSS (load before: $load)"
