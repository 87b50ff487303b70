#!/usr/bin/env bash
# Installs what is missing, builds the fuzz targets (tests/fuzz, clang with libFuzzer, AddressSanitizer
# and UndefinedBehaviorSanitizer) and runs each for a bounded time from its seed corpus, as many at once
# as there are processors. A target fails on any crash, sanitizer report, timeout, leak or running out of
# memory; the inputs that did it are kept in the build folder's artifacts/ folder.
# Usage: scripts/fuzz.sh [seconds per target, default 30]
# Environment: WUX_FUZZ_BUILD (build folder, default build-fuzz), WUX_FUZZ_TARGETS (names to run, blank-
# separated; default all), WUX_FUZZ_JOBS (targets run at once, default the number of processors).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-30}
dir=${WUX_FUZZ_BUILD:-"$root/build-fuzz"}
jobs=${WUX_FUZZ_JOBS:-$(nproc)}

bash "$root/scripts/deps.sh"
bash "$root/scripts/deps-fuzz.sh"
cmake -S "$root/tests/fuzz" -B "$dir" -G Ninja -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$dir" -j "${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc)}"

if [ -n "${WUX_FUZZ_TARGETS:-}" ]; then
  read -r -a targets <<<"$WUX_FUZZ_TARGETS"
else
  mapfile -t targets < <(grep -v '^$' "$dir/fuzz_targets.txt")
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1:strict_string_checks=1:allocator_may_return_null=1
export LSAN_OPTIONS=suppressions=$root/.ci/lsan.supp:print_suppressions=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export QT_QPA_PLATFORM=offscreen TZ=UTC LC_ALL=C

work="$dir/runs"
artifacts="$dir/artifacts"
rm -rf "$work"
mkdir -p "$work" "$artifacts"

# Runs one target; its output goes to runs/<name>.log, its result to runs/<name>.result.
run_target() {
  local name=$1
  local exe="$dir/fuzz_$name"
  local corpus="$work/$name.corpus"
  local log="$work/$name.log"
  mkdir -p "$corpus"
  local args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=2048
    -detect_leaks=1 -print_final_stats=1 -artifact_prefix="$artifacts/$name-")
  if [ -f "$root/tests/fuzz/dict/$name.dict" ]; then
    args+=(-dict="$root/tests/fuzz/dict/$name.dict")
  fi
  rm -f "$artifacts/$name-"*
  local status=0
  if [ ! -x "$exe" ]; then
    echo "no such target: $name" >"$log"
    status=1
  else
    # New inputs go to a scratch corpus; the seeds in the repository are only read.
    "$exe" "${args[@]}" "$corpus" "$root/tests/fuzz/corpus/$name" >"$log" 2>&1 || status=$?
  fi
  if [ "$status" -eq 0 ] && compgen -G "$artifacts/$name-*" >/dev/null; then
    status=1
  fi
  if [ "$status" -eq 0 ] && grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer|libFuzzer)|runtime error:' "$log"; then
    status=1
  fi
  echo "$status" >"$work/$name.result"
}

running=0
for name in "${targets[@]}"; do
  run_target "$name" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then
    wait -n || true
    running=$((running - 1))
  fi
done
wait || true

passed=0
failed=0
for name in "${targets[@]}"; do
  status=$(cat "$work/$name.result" 2>/dev/null || echo 1)
  runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$work/$name.log" | grep -o '[0-9]*$' || true)
  if [ "$status" = "0" ]; then
    passed=$((passed + 1))
    echo "PASS $name (${runs:-?} runs)"
  else
    failed=$((failed + 1))
    echo "FAIL $name (exit $status), log: $work/$name.log"
    grep -E 'ERROR:|runtime error:|fuzz check failed|Test unit written|no such target' "$work/$name.log" |
      head -n 5 | sed 's/^/    /' || true
  fi
done
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
