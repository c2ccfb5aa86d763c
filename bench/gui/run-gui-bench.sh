#!/usr/bin/env bash
# The desktop program's speed as a person feels it: the real main window
# (offscreen) searches a folder by its search button, against dupliscan-cli on
# the same folder. Release build; never part of the test step.
#   bench/gui/run-gui-bench.sh [FOLDER]     (default /work/corpora/exact/files)
#   RUNS=5 bench/gui/run-gui-bench.sh
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
folder="${1:-/work/corpora/exact/files}"
build="$root/build-gui-bench"

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF \
  -DDUPLISCAN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target gui_bench dupliscan-cli >/dev/null

echo "== $(find "$folder" -type f | wc -l) files in $folder; load average $(cut -d' ' -f1-3 /proc/loadavg)"
# Every file read once, so that both programs find them in the page cache.
find "$folder" -type f -print0 | xargs -0 cat > /dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/gui/gui_bench" "$folder" \
  --cli "$build/cli/dupliscan-cli" --runs "${RUNS:-3}"
echo "== load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
