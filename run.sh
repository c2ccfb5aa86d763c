#!/usr/bin/env bash
# Sets everything up and searches a folder for duplicates:
#   ./run.sh [options] [FOLDER [FOLDER2]]     (the current folder by default)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF >/dev/null
cmake --build "$here/build" --target dupliscan-cli >/dev/null
exec "$here/build/cli/dupliscan-cli" "$@"
