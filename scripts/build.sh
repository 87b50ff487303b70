#!/usr/bin/env bash
# Configures and builds Wuxtool into a build folder (default: build/).
# Usage: scripts/build.sh [build-dir] [extra cmake arguments...]
# The build runs as many jobs as there are processors, or CMAKE_BUILD_PARALLEL_LEVEL when it is set.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-"$root/build"}
shift || true
bash "$root/scripts/deps.sh"
cmake -S "$root" -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}" ${WUX_BUILD_TARGET:+--target "$WUX_BUILD_TARGET"}
