#!/usr/bin/env bash
# Installs what is missing, builds Wuxtool with its tests and runs the whole suite.
# Usage: scripts/test.sh [build-dir] [extra cmake arguments...]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
shift || true
bash "$root/scripts/build.sh" "$dir" -DWUX_BUILD_TESTS=ON "$@"
cd "$dir"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j "$(nproc)"
