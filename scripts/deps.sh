#!/usr/bin/env bash
# Installs the Debian packages Wuxtool needs to build, test and run.
# Quick when everything is already present: apt is only called for what is missing.
set -euo pipefail

PACKAGES=(
  build-essential
  cmake
  ninja-build
  pkg-config
  qt6-base-dev
  qt6-base-dev-tools
  libgl-dev
  libgtest-dev
  libgmock-dev
  libzip-dev
  libpugixml-dev
  shared-mime-info
  adwaita-icon-theme
  xauth
)

bash "$(dirname "$0")/apt-missing.sh" "${PACKAGES[@]}"
