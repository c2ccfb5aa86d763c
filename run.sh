#!/usr/bin/env bash
# Sets everything up and starts Dupliscan:
#   ./run.sh [FOLDER [FOLDER2]]
# The window opens with the folders on its start page. Without a display the
# command line searches them instead (options of dupliscan-cli work then too).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
"$here/scripts/install-deps.sh" >&2
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF >/dev/null
cmake --build "$here/build" --target dupliscan dupliscan-cli >/dev/null
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  exec "$here/build/gui/dupliscan" "$@"
fi
echo "run.sh: no display to show the window on; searching with dupliscan-cli instead." >&2
exec "$here/build/cli/dupliscan-cli" "$@"
