#!/usr/bin/env bash
# Fuzzes the markup reader with libFuzzer for a bounded time:
#   tests/fuzz/run-fuzz.sh [SECONDS [LIBFUZZER-OPTIONS...]]     (600 seconds by default)
# libFuzzer needs clang, so the target is built apart from the normal build, in
# build-fuzz/. Inputs that reach new code are added to tests/fuzz/corpus/ (only
# the seed pages there are under version control); a crashing input is written
# to build-fuzz/ as crash-* and the script fails.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
root="$(cd "$here/../.." && pwd)"
seconds="${1:-600}"
shift || true
build="$root/build-fuzz"

"$root/scripts/install-deps.sh" --fuzz
mkdir -p "$build"
# shellcheck disable=SC2046
clang++ -std=c++20 -g -O1 -fPIC -fno-omit-frame-pointer \
  -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  -I"$root" $(pkg-config --cflags Qt6Core) \
  "$here/FuzzXmlUnit.cpp" "$root/html/XmlUnit.cpp" \
  $(pkg-config --libs Qt6Core) -o "$build/FuzzXmlUnit"

# One process only: the machine's cores are shared with other builds.
exec "$build/FuzzXmlUnit" "$here/corpus" -dict="$here/markup.dict" \
  -max_total_time="$seconds" -max_len=8192 -timeout=10 -rss_limit_mb=2048 \
  -artifact_prefix="$build/" -print_final_stats=1 "$@"
