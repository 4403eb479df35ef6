#!/usr/bin/env bash
# The checks that need builds of their own, run after scripts/test.sh:
#  1. the whole unit and window suite built with AddressSanitizer and
#     UndefinedBehaviorSanitizer; any report fails the run;
#  2. the libFuzzer targets built with clang, each run for a bounded time.
# Folders and times can be changed with LORVANTA_ASAN_DIR, LORVANTA_FUZZ_DIR,
# LORVANTA_FUZZ_SECONDS (per target) and LORVANTA_JOBS.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
asan_dir=${LORVANTA_ASAN_DIR:-build-asan}
fuzz_dir=${LORVANTA_FUZZ_DIR:-build-fuzz}
fuzz_seconds=${LORVANTA_FUZZ_SECONDS:-8}
jobs=${LORVANTA_JOBS:-$(nproc)}
status=0

# ---------------------------------------------------------------- sanitizers
echo "== AddressSanitizer + UndefinedBehaviorSanitizer build in $asan_dir"
cmake -S . -B "$asan_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLORVANTA_SANITIZE=ON >/dev/null
cmake --build "$asan_dir" --parallel "$jobs"

# Leaks are looked for too; only libraries outside the project are suppressed.
asan_common="detect_leaks=1:halt_on_error=1:detect_stack_use_after_return=1:check_initialization_order=1:strict_init_order=1:print_summary=1"
export LSAN_OPTIONS="suppressions=$root/tests/e2e/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1:report_error_type=1"
export QT_QPA_PLATFORM=offscreen
# Programs left out are listed, with the reason, in sanitizer-excluded.txt.
excluded=$(grep -v -e '^#' -e '^$' "$root/tests/e2e/sanitizer-excluded.txt" 2>/dev/null | paste -sd'|' || true)
if [ -n "$excluded" ]; then
  echo "   not run under the sanitizers: ${excluded//|/, }"
  excluded="|$excluded"
fi
# The suites that start the program in a real X session.
xsuites="e2e_window|e2e_speech_burst|e2e_faults|e2e_writing|e2e_copybook|e2e_dictation|e2e_instance|e2e_keptfiles|e2e_progress"
# Everything but the real-window suites, with ASan's fast allocation stacks.
export ASAN_OPTIONS="$asan_common"
if ! ctest --test-dir "$asan_dir" --output-on-failure --timeout 600 -E "^($xsuites$excluded)\$"; then
  echo "!! the sanitizer run failed" >&2
  status=1
fi
# The program on a real X server loads Mesa's GLX driver, which leaks once and
# is unloaded again: only full allocation stacks name it for the suppressions.
# The suites that start the program in a real X session run here.
export ASAN_OPTIONS="$asan_common:fast_unwind_on_malloc=0"
if ! ctest --test-dir "$asan_dir" --output-on-failure --timeout 600 -R "^($xsuites)\$"; then
  echo "!! the sanitizer run of the end-to-end suite failed" >&2
  status=1
fi

# ---------------------------------------------------------------- fuzzers
echo "== libFuzzer targets in $fuzz_dir (${fuzz_seconds} s each)"
CC=clang CXX=clang++ cmake -S . -B "$fuzz_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLORVANTA_BUILD_FUZZERS=ON -DLORVANTA_BUILD_TESTS=OFF >/dev/null
cmake --build "$fuzz_dir" --parallel "$jobs" --target fuzzers

# Findings go into the work folder, never into the repository's corpora.
work=$(mktemp -d "${TMPDIR:-/tmp}/lorvanta-fuzz.XXXXXX")
trap 'rm -rf "$work"' EXIT
unset ASAN_OPTIONS LSAN_OPTIONS UBSAN_OPTIONS
fuzz_passed=0
fuzz_failed=0
for corpus in fuzz/corpus/*/; do
  target=$(basename "$corpus")
  exe="$fuzz_dir/fuzz/$target"
  if [ ! -x "$exe" ]; then
    echo "!! $target: no fuzzer built" >&2
    status=1
    fuzz_failed=$((fuzz_failed + 1))
    continue
  fi
  mkdir -p "$work/$target/corpus" "$work/$target/found"
  rc=0
  (cd "$work/$target/found" && "$root/$exe" -max_total_time="$fuzz_seconds" -timeout=10 \
     -rss_limit_mb=2048 -print_final_stats=1 "$work/$target/corpus" "$root/$corpus") \
     >"$work/$target/log" 2>&1 || rc=$?
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$work/$target/log")
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$work/$target/log")
  if [ "$rc" -eq 0 ]; then fuzz_passed=$((fuzz_passed + 1)); else fuzz_failed=$((fuzz_failed + 1)); fi
  printf '   %-22s %10s runs %8s exec/s  %s\n' "$target" "${runs:-?}" "${rate:-?}" \
    "$([ "$rc" -eq 0 ] && echo ok || echo "FAILED ($rc)")"
  if [ "$rc" -ne 0 ]; then
    status=1
    grep -E 'property failed|ERROR|SUMMARY|runtime error' "$work/$target/log" | head -20 >&2 || true
    for f in "$work/$target/found"/*; do
      [ -f "$f" ] || continue
      echo "   input that failed ($f):" >&2
      od -An -c "$f" | head -10 >&2
    done
  fi
done
echo "fuzzers: $fuzz_passed passed, $fuzz_failed failed"

exit "$status"
