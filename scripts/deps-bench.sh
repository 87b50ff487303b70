#!/usr/bin/env bash
# Installs the Debian packages the benchmarks (bench/run) need on top of scripts/deps.sh: hyperfine for
# the timings, GNU time for the peak memory, the peers the engines are measured against (perl, ripgrep,
# fd-find, File::Rename's rename, mmv, rsync) and the profilers for bench/analysis.md (linux-perf,
# strace).
# Quick when everything is already present: apt is only called for what is missing.
set -euo pipefail

PACKAGES=(
  hyperfine
  time
  perl
  ripgrep
  fd-find
  rename
  mmv
  rsync
  linux-perf
  strace
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
