#!/usr/bin/env bash
# Takes a picture of every window and dialog of Wuxtool: installs what is missing, builds the program
# and its screenshot driver, and runs the driver on a virtual 1280x1024 X screen (no window manager).
# The pictures and their index.md go into the folder given (default: build/screenshots); other files
# there are left alone.
# Fails, naming the window, when a window is missing, blank or cut off by the screen, when a control
# cuts its text or when two visible controls overlap.
# Usage: scripts/screenshots.sh [folder]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-"$root/build/screenshots"}
mkdir -p "$out"
out=$(cd "$out" && pwd)

bash "$root/scripts/deps-shots.sh"
WUX_BUILD_TARGET=wux_screenshots bash "$root/scripts/build.sh" "$root/build" -DWUX_BUILD_TESTS=ON \
  ${CMAKE_CXX_COMPILER_LAUNCHER:+-DCMAKE_CXX_COMPILER_LAUNCHER="$CMAKE_CXX_COMPILER_LAUNCHER"} \
  ${CMAKE_C_COMPILER_LAUNCHER:+-DCMAKE_C_COMPILER_LAUNCHER="$CMAKE_C_COMPILER_LAUNCHER"}

export QT_QPA_PLATFORM=xcb
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  XDG_RUNTIME_DIR=$(mktemp -d)
  export XDG_RUNTIME_DIR
  trap 'rm -rf "$XDG_RUNTIME_DIR"' EXIT
fi
status=0
timeout 900 xvfb-run -a -s '-screen 0 1280x1024x24' "$root/build/shots/wux_screenshots" "$out" || status=$?
if [ "$status" -ne 0 ]; then
  echo "screenshots: failed (exit $status); see the windows named above" >&2
  exit "$status"
fi
echo "screenshots: the pictures and index.md are in $out"
