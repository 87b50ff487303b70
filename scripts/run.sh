#!/usr/bin/env bash
# Installs what is missing, builds Wuxtool and starts it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/build.sh" "$root/build" -DWUX_BUILD_TESTS=OFF
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "Wuxtool needs a desktop session: no display found (neither DISPLAY nor WAYLAND_DISPLAY is set)." >&2
  exit 1
fi
exec "$root/build/wux" "$@"
