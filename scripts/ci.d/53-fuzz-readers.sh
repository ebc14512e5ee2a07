#!/usr/bin/env bash
# Fuzzes the program's readers with libFuzzer: every tests/fuzz/fuzz_<name>.cpp target, built
# with clang in a build of its own (VARTUMO_FUZZ: every library instrumented for coverage,
# AddressSanitizer and UBSan; only the Qt-free layers are compiled), runs for a fixed time from
# the committed seeds of tests/fuzz/seeds/<name>/. Targets that check themselves abort on a
# failed check. Exits non-zero on any crash, leak, sanitizer report, time-out or failed check.
# Each target runs for a time budget (as many inputs as fit, from a fixed seed), so a faster
# machine tries more inputs and the step's length stays the same for every target.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time per target.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-5}"
fb="$(cd "$(dirname "$build")" && pwd)/$(basename "$build")-fuzz"
command -v clang++ >/dev/null || { echo "fuzz-readers: clang++ not found (install clang)"; exit 1; }

CC=clang CXX=clang++ cmake -S "$src" -B "$fb" -G Ninja -DVARTUMO_FUZZ=ON -DVARTUMO_TESTS=OFF \
  -DVARTUMO_BENCH=OFF -DVARTUMO_SANITIZE=OFF >/dev/null
cmake --build "$fb" --target fuzzers >/dev/null

status=0
for exe in "$fb"/tests/fuzz/fuzz_*; do
  [ -x "$exe" ] || continue
  name="$(basename "$exe")"
  name="${name#fuzz_}"
  corpus="$fb/corpus-$name"
  # Scratch files on a RAM disk where there is one: the settings writers sync every file.
  scratch="$fb"
  [ -d /dev/shm ] && [ -w /dev/shm ] && scratch="/dev/shm"
  work="$scratch/vt-fuzz-work-$name"
  rm -rf "$corpus" "$work"
  mkdir -p "$corpus" "$work"
  seeds=()
  [ -d "$src/tests/fuzz/seeds/$name" ] && seeds+=("$src/tests/fuzz/seeds/$name")
  echo "fuzz-readers: $name, ${seconds} s"
  if ! TMPDIR="$work" ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" \
       UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$exe" -seed=1 -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
       -artifact_prefix="$fb/crash-$name-" -print_final_stats=1 \
       "$corpus" "${seeds[@]}" > "$fb/log-$name.txt" 2>&1; then
    echo "fuzz-readers: $name FAILED"
    tail -n 60 "$fb/log-$name.txt"
    status=1
  else
    grep -E "stat::number_of_executed_units" "$fb/log-$name.txt" | tail -n 1
  fi
  rm -rf "$work"
done
exit $status
