#!/bin/sh
# Speed and memory of the result list on a long result (see bench/README.md,
# "The result list"). Builds the benchmark in Release and runs it RUNS times.
#
#     bench/gui/result-list-bench.sh            # 50,000 rows in blocks of 5, 5 runs
#     ROWS=200000 RUNS=3 bench/gui/result-list-bench.sh
#     XVFB=1 bench/gui/result-list-bench.sh     # on an X server (xvfb-run) instead of offscreen
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${BUILD:-$root/build-bench-gui}
rows=${ROWS:-50000}
runs=${RUNS:-5}

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF \
  -DDUPLISCAN_BENCH=ON >/dev/null
cmake --build "$build" -j2 --target result_list_bench

bench="$build/bench/gui/result_list_bench"
for run in $(seq "$runs"); do
  echo "run $run"
  if [ "${XVFB:-0}" = 1 ]; then
    xvfb-run -a -s "-screen 0 1600x1000x24" "$bench" "$rows" 5 2>/dev/null
  else
    QT_QPA_PLATFORM=offscreen "$bench" "$rows" 5 2>/dev/null
  fi
done
