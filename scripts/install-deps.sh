#!/usr/bin/env bash
# Installs what building and testing Dupliscan needs on Debian 12 (as root).
# Safe to run again: it only asks apt for packages that are missing.
#   --tests  also what the tests need
#   --fuzz   also clang, for tests/fuzz/run-fuzz.sh
#   --screenshots  also Xvfb, for scripts/screenshots.sh
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins libgl-dev)
for option in "$@"; do
  case "$option" in
    # LibreOffice reads the exported worksheets back in the export tests.
    # clang-format checks the code's format.
    --tests) packages+=(libreoffice-calc-nogui clang-format) ;;
    # The screenshots are taken under a virtual X server, with a small window
    # manager for the windows' frames.
    --screenshots) packages+=(xvfb xauth openbox) ;;
    # libFuzzer comes with clang.
    --fuzz) packages+=(clang) ;;
    *) echo "usage: $0 [--tests] [--fuzz] [--screenshots]" >&2; exit 2 ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
