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

bash "$(dirname "$0")/apt-missing.sh" "${PACKAGES[@]}"
