#!/usr/bin/env bash
# Installs the Debian packages scripts/screenshots.sh needs on top of scripts/deps.sh: the virtual X
# server with its xvfb-run, and a font (Qt's xcb platform comes with qt6-base-dev).
# Quick when everything is already present: apt is only called for what is missing.
set -euo pipefail

PACKAGES=(
  xvfb
  xauth
  fonts-dejavu-core
)

bash "$(dirname "$0")/apt-missing.sh" "${PACKAGES[@]}"
