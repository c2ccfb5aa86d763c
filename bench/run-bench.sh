#!/usr/bin/env bash
# Measures dupliscan-cli against jdupes, fdupes and rmlint on the same corpus,
# then times the name searches. Debian 12, as root; safe to run again.
#
#   bench/run-bench.sh            5 runs of each tool
#   RUNS=3 bench/run-bench.sh     another number of runs
#
# The runs of the tools are interleaved (a b c d a b c d ...) so that load from
# other work on the machine hits all of them alike. Every figure is a median.
# Results go to bench/results/DATE/ (summary.md holds the tables).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
runs="${RUNS:-5}"

"$here/need-packages.sh" jdupes fdupes rmlint time python3
"$repo/scripts/install-deps.sh"

echo "== building dupliscan-cli (Release)"
cmake -S "$repo" -B "$repo/build-bench" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF >/dev/null
cmake --build "$repo/build-bench" -j2 --target dupliscan-cli >/dev/null
cli="$repo/build-bench/cli/dupliscan-cli"

echo "== corpora (generated once, then reused)"
python3 "$here/make_corpus.py" exact "$here/corpus-exact"
python3 "$here/make_corpus.py" names "$here/corpus-names"
exact="$here/corpus-exact/files"
names="$here/corpus-names/files"

results="$here/results/$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$results/exact" "$results/names" "$results/out" "$results/work"
{
  echo "date: $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo "cores: $(nproc)"
  echo "cpu: $(lscpu | sed -n 's/^Model name: *//p')"
  echo "memory: $(free -m | awk '/^Mem:/ {print $2 " MB"}')"
  echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "runs: $runs"
  echo "commit: $(git -C "$repo" rev-parse --short HEAD 2>/dev/null || echo unknown)"
  echo "jdupes: $(jdupes -v | head -1)"
  echo "fdupes: $(fdupes -v)"
  echo "rmlint: $(rmlint --version 2>&1 | head -1 | sed 's/\x1b\[[0-9;]*m//g')"
} > "$results/machine.txt"
cat "$results/machine.txt"

echo "== warming the cache"
find "$exact" "$names" -type f -print0 | xargs -0 cat > /dev/null

# measure DIR NAME RUN COMMAND...: wall time and peak RSS of one run; the
# command's standard output goes to out/NAME.txt, its errors to DIR/NAME.RUN.err.
measure() {
  local dir="$1" name="$2" run="$3"
  shift 3
  (cd "$results/work" && /usr/bin/time -f '%e %M' -o "$dir/$name.$run.time" "$@" \
    > "$results/out/$name.txt" 2> "$dir/$name.$run.err") || true
  printf '  %-10s run %s: %s\n' "$name" "$run" "$(tail -1 "$dir/$name.$run.time")"
}

# Each peer does the full exact-duplicate job: recursive, every file compared
# byte for byte before it counts (jdupes and fdupes confirm hash matches with a
# byte comparison by default; rmlint needs --algorithm=paranoid for that). rmlint
# looks for duplicate files only (-T df) and writes only an fdupes-style list.
# dupliscan keeps a cache of quick sums between runs: "dupliscan" runs without
# it (what a first run costs, the fair match for the peers), "dupliscan-cached"
# with the cache the run before it left. The cache lives in the results folder,
# never in the user's.
export XDG_CACHE_HOME="$results/cache"
echo "== exact duplicates: $runs interleaved runs each"
for run in $(seq 1 "$runs"); do
  measure "$results/exact" dupliscan "$run" "$cli" --quiet --format text --no-cache "$exact"
  measure "$results/exact" dupliscan-cached "$run" "$cli" --quiet --format text "$exact"
  measure "$results/exact" jdupes "$run" jdupes -r -q "$exact"
  measure "$results/exact" fdupes "$run" fdupes -r -q "$exact"
  measure "$results/exact" rmlint "$run" rmlint -T df --algorithm=paranoid \
    -o fdupes:"$results/out/rmlint.txt" "$exact"
done

# Cold page cache: every run reads the files from the disk. Dropping the page
# cache needs root; without it the runs are skipped, and the summary says so.
cold="$results/exact-cold"
mkdir -p "$cold"
if [ "$(id -u)" = 0 ]; then
  echo "== exact duplicates, cold page cache: $runs interleaved runs each"
  for run in $(seq 1 "$runs"); do
    sync; echo 3 > /proc/sys/vm/drop_caches
    measure "$cold" dupliscan "$run" "$cli" --quiet --format text --no-cache "$exact"
    sync; echo 3 > /proc/sys/vm/drop_caches
    measure "$cold" jdupes "$run" jdupes -r -q "$exact"
  done
  find "$exact" -type f -print0 | xargs -0 cat > /dev/null
else
  echo "== not root: the page cache cannot be dropped, cold-cache runs skipped"
fi

echo "== name searches: $runs interleaved runs each"
for run in $(seq 1 "$runs"); do
  measure "$results/names" names100 "$run" "$cli" --quiet --format text --no-contents --names --name-percent 100 "$names"
  measure "$results/names" names80 "$run" "$cli" --quiet --format text --no-contents --names "$names"
done

report="python3 $here/bench_report.py"
{
  echo "# Benchmark $(basename "$results")"
  echo
  sed 's/^/    /' "$results/machine.txt"
  echo "    load after: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo
  echo "## Exact duplicates ($exact)"
  echo
  $report table "$results/exact" jdupes
  echo
  if ls "$cold"/*.time > /dev/null 2>&1; then
    echo "## Exact duplicates, cold page cache"
    echo
    $report table "$cold" jdupes
  else
    echo "Cold page cache: not measured (the script did not run as root)."
  fi
  echo
  echo "## Correctness (groups and files in groups)"
  echo
  echo "    corpus manifest: $(sed -n 's/^duplicate_groups //p' "$here/corpus-exact/manifest.txt") groups," \
       "$(sed -n 's/^files_in_groups //p' "$here/corpus-exact/manifest.txt") files"
  for tool in dupliscan jdupes fdupes rmlint; do
    echo "    $tool: $($report groups "$results/out/$tool.txt" | awk '{print $1 " groups, " $2 " files"}')"
  done
  for tool in dupliscan fdupes rmlint; do
    if verdict="$($report same "$results/out/$tool.txt" "$results/out/jdupes.txt")"; then
      echo "    $tool equals jdupes: yes ($verdict)"
    else
      echo "    $tool equals jdupes: NO ($verdict)"
    fi
  done
  echo
  echo "## Name searches ($names)"
  echo
  $report table "$results/names" none
  echo
  for tool in names100 names80; do
    echo "    $tool found: $($report groups "$results/out/$tool.txt" | awk '{print $1 " blocks, " $2 " files"}')"
  done
  echo
  echo "## Targets"
  echo
  $report targets "$results/exact" "$results/names" | sed 's/^/    /' || true
} > "$results/summary.md"
cat "$results/summary.md"
echo "== results in $results"
