#!/usr/bin/env bash
# Sets everything up and runs every test: once in a normal build with warnings
# as errors, once more under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" --tests

jobs=$(nproc)
cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDUPLISCAN_WERROR=ON
cmake --build "$here/build-test" -j "$jobs"
ctest --test-dir "$here/build-test" --output-on-failure -j "$jobs"

cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDUPLISCAN_WERROR=ON -DDUPLISCAN_SANITIZE=ON
cmake --build "$here/build-asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$here/build-asan" --output-on-failure -j "$jobs"
