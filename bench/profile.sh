#!/usr/bin/env bash
# Profiles dupliscan-cli on the benchmark corpora with perf (sampling the
# cpu-clock, which works in virtual machines without hardware counters) and
# prints the hottest functions. Run bench/run-bench.sh once first so that the
# corpora and the Release build exist. Debian 12, as root.
#
#   bench/profile.sh                  both searches
#   bench/profile.sh exact|names80    one of them
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(dirname "$here")"
cli="$repo/build-bench/cli/dupliscan-cli"
which="${1:-all}"

command -v perf > /dev/null || "$here/need-packages.sh" linux-perf
[ -x "$cli" ] || { echo "build-bench is missing: run bench/run-bench.sh first" >&2; exit 1; }

out="$here/results/profile-$(date -u +%Y%m%dT%H%M%SZ)"
mkdir -p "$out"

profile() {
  local name="$1"
  shift
  echo "== $name: $*"
  perf record -q -e cpu-clock -F 499 -o "$out/$name.data" -- "$@" > /dev/null 2> "$out/$name.err"
  perf report -i "$out/$name.data" --no-children --sort dso,symbol --stdio 2> /dev/null \
    | grep -v '^#' | grep -v '^$' | head -20 | cut -c1-120 || true
  # The hottest instructions of the pairwise loop show which load stalls it.
  perf annotate -i "$out/$name.data" --stdio -s RunPairwiseLoop 2> /dev/null \
    | awk '$1 + 0 > 2' | head -8 || true
}

if [ "$which" = all ] || [ "$which" = exact ]; then
  profile exact "$cli" --quiet --format text "$here/corpus-exact/files"
fi
if [ "$which" = all ] || [ "$which" = names80 ]; then
  profile names80 "$cli" --quiet --format text --no-contents --names "$here/corpus-names/files"
fi
echo "== perf data in $out"
