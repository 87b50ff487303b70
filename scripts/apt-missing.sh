#!/usr/bin/env bash
# Installs the Debian packages given as arguments that are not installed yet; quick when all are
# present: apt is only called for what is missing. Used by the scripts/deps*.sh lists.
# When another apt or dpkg holds one of its locks, waits for it (at most WUX_APT_LOCK_WAIT seconds,
# 600 by default), saying which lock and which process it waits for.
set -euo pipefail

missing=()
for p in "$@"; do
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
wait_limit=${WUX_APT_LOCK_WAIT:-600}
deadline=$((SECONDS + wait_limit))

# Runs an apt-get command; while it fails because another process holds an apt or dpkg lock, tells
# what it waits for and tries again every 5 seconds until the deadline.
apt_waiting() {
  local log status lock
  log=$(mktemp)
  while :; do
    status=0
    $SUDO apt-get "$@" 2>"$log" || status=$?
    lock=""
    [ "$status" -ne 0 ] && lock=$(grep -m1 -E 'Could not (get|open) lock|Unable to acquire the dpkg frontend lock' "$log" || true)
    if [ -z "$lock" ] || [ "$SECONDS" -ge "$deadline" ]; then
      cat "$log" >&2
      [ -n "$lock" ] && echo "apt-missing: gave up after ${wait_limit} s waiting for: ${lock#E: }" >&2
      rm -f "$log"
      return "$status"
    fi
    echo "apt-missing: waiting for another package manager to finish (${lock#E: }); up to $((deadline - SECONDS)) s more" >&2
    sleep 5
  done
}

apt_waiting update -qq
apt_waiting install -y -qq --no-install-recommends "${missing[@]}"
