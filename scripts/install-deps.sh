#!/usr/bin/env bash
# Installs what building and testing Dupliscan needs on Debian 12 (as root).
# Safe to run again: it only asks apt for packages that are missing.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-image-formats-plugins libgl-dev)
if [ "${1:-}" = "--tests" ]; then
  # LibreOffice reads the exported worksheets back in the export tests.
  packages+=(libreoffice-calc-nogui)
fi

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
