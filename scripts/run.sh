#!/usr/bin/env bash
# Installs what is missing, builds Wuxtool and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" "$root/build" -DWUX_BUILD_TESTS=OFF
exec "$root/build/wux" "$@"
