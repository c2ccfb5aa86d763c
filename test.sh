#!/usr/bin/env bash
# Sets everything up and runs every test: the code's format, then a normal
# build with warnings as errors, once more under AddressSanitizer and
# UndefinedBehaviorSanitizer, and the tests that start threads under
# ThreadSanitizer.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" --tests

echo "== format"
(cd "$here" && git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror)

jobs=$(nproc)
echo "== build and tests"
cmake -S "$here" -B "$here/build-test" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DDUPLISCAN_WERROR=ON
cmake --build "$here/build-test" -j "$jobs"
ctest --test-dir "$here/build-test" --output-on-failure -j "$jobs"

echo "== AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S "$here" -B "$here/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDUPLISCAN_WERROR=ON -DDUPLISCAN_SANITIZE=ON
cmake --build "$here/build-asan" -j "$jobs"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir "$here/build-asan" --output-on-failure -j "$jobs"

echo "== ThreadSanitizer"
threaded=(TestCompareDriver TestContentCache TestSimilarityDriver)
threaded_tests=(TestCompareDriver TestContentCache TestSimilarityDriverThreads)
cmake -S "$here" -B "$here/build-tsan" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DDUPLISCAN_WERROR=ON -DDUPLISCAN_TSAN=ON -DDUPLISCAN_GUI=OFF
cmake --build "$here/build-tsan" -j "$jobs" --target "${threaded[@]}"
TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$here/tests/tsan.supp" \
  ctest --test-dir "$here/build-tsan" --output-on-failure -R "^($(IFS='|'; echo "${threaded_tests[*]}"))\$"
