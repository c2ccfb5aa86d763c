#!/usr/bin/env bash
# Takes the screenshots of docs/screenshots/ from the real program under Xvfb,
# in German and in English (Debian 12, as root; safe to run again):
#   scripts/screenshots.sh
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
"$here/scripts/install-deps.sh" --screenshots

build="$here/build-screenshots"
cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DDUPLISCAN_TESTS=OFF \
  -DDUPLISCAN_SCREENSHOTS=ON >/dev/null
cmake --build "$build" --target ScreenshotTour >/dev/null

out="$here/docs/screenshots"
mkdir -p "$out"
for language in "English|en" "Deutsch (German)|de"; do
  caption="${language%|*}"
  suffix="${language#*|}"
  # A settings file of the tour's own, so the user's history and language stay.
  settings="$(mktemp -d)"
  # A small window manager gives the windows their frames, as on a desktop.
  XDG_CONFIG_HOME="$settings" QT_QPA_PLATFORM=xcb \
    xvfb-run -a -s "-screen 0 1280x900x24" sh -c \
    'openbox >/dev/null 2>&1 & sleep 1; exec "$0" "$@"' \
    "$build/tools/screenshots/ScreenshotTour" "$out" "$caption" "-$suffix"
  rm -rf "$settings"
done
ls "$out"
