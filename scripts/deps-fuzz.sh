#!/usr/bin/env bash
# Installs the Debian packages the fuzz targets (tests/fuzz) need on top of scripts/deps.sh: clang and
# its run-time libraries (libFuzzer, AddressSanitizer, UndefinedBehaviorSanitizer).
# Quick when everything is already present: apt is only called for what is missing.
set -euo pipefail

PACKAGES=(
  clang
  libclang-rt-14-dev
)

bash "$(dirname "$0")/apt-missing.sh" "${PACKAGES[@]}"
