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

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
