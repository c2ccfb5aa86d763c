#!/usr/bin/env bash
# Times dupliscan-cli beside jdupes on many files that share size and start,
# with 4,000 and with 20,000 files. Debian 12, as root; safe to run again.
#
#   bench/cliff-bench.sh            5 runs of each tool on each size
#   RUNS=3 bench/cliff-bench.sh     another number of runs
#   SIZES=4000 bench/cliff-bench.sh one size only
#
# The runs are interleaved (dupliscan, jdupes, dupliscan, ...) so that load from
# other work on the machine hits both alike; every figure is a median. Results
# go to bench/results/cliff-DATE/ (summary.md holds the tables).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
runs="${RUNS:-5}"
sizes="${SIZES:-4000 20000}"

"$here/need-packages.sh" jdupes time python3
"$repo/scripts/install-deps.sh"

echo "== building dupliscan-cli (Release)"
cmake -S "$repo" -B "$repo/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF >/dev/null
cmake --build "$repo/build-bench" -j2 --target dupliscan-cli >/dev/null
cli="$repo/build-bench/cli/dupliscan-cli"

echo "== corpora (generated once, then reused)"
for count in $sizes; do
  python3 "$here/make_cliff_corpus.py" "$count" "$here/corpus-cliff/$count"
done

results="$here/results/cliff-$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$results/out"
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cores: $(nproc)"
  echo "cpu: $(lscpu | sed -n 's/^Model name: *//p')"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "runs: $runs"
  echo "commit: $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "jdupes: $(jdupes -v | head -1)"
} > "$results/machine.txt"
cat "$results/machine.txt"

# measure DIR NAME RUN COMMAND...: wall time and peak RSS of one run; the
# command's standard output goes to out/NAME.txt.
measure() {
  local dir="$1" name="$2" run="$3"
  shift 3
  /usr/bin/time -f '%e %M' -o "$dir/$name.$run.time" "$@" \
    > "$results/out/$name.txt" 2> "$dir/$name.$run.err" || true
  printf '  %-10s run %s: %s\n' "$name" "$run" "$(tail -1 "$dir/$name.$run.time")"
}

report="python3 $here/bench_report.py"
for count in $sizes; do
  corpus="$here/corpus-cliff/$count/files"
  dir="$results/$count"
  mkdir -p "$dir"
  echo "== $count files: warming the cache, then $runs interleaved runs each"
  find "$corpus" -type f -print0 | xargs -0 cat > /dev/null
  for run in $(seq 1 "$runs"); do
    measure "$dir" dupliscan "$run" "$cli" --quiet "$corpus"
    measure "$dir" jdupes "$run" jdupes -r -q "$corpus"
  done
  cp "$results/out/dupliscan.txt" "$results/out/dupliscan-$count.txt"
  cp "$results/out/jdupes.txt" "$results/out/jdupes-$count.txt"
done

{
  echo "# Benchmark $(basename "$results")"
  echo
  sed 's/^/    /' "$results/machine.txt"
  echo "    load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  for count in $sizes; do
    manifest="$here/corpus-cliff/$count/manifest.txt"
    echo
    echo "## $count files of 40 KiB, one size, one first 32 KiB"
    echo
    $report table "$results/$count" jdupes
    echo
    echo "    corpus manifest: $(sed -n 's/^duplicate_groups //p' "$manifest") groups," \
         "$(sed -n 's/^files_in_groups //p' "$manifest") files"
    for tool in dupliscan jdupes; do
      echo "    $tool: $($report groups "$results/out/$tool-$count.txt" | awk '{print $1 " groups, " $2 " files"}')"
    done
    if verdict="$($report same "$results/out/dupliscan-$count.txt" "$results/out/jdupes-$count.txt")"; then
      echo "    dupliscan equals jdupes: yes ($verdict)"
    else
      echo "    dupliscan equals jdupes: NO ($verdict)"
    fi
  done
} > "$results/summary.md"
cat "$results/summary.md"
echo "== results in $results"
