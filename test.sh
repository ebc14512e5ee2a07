#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, and runs every test.
# The tests run under a German locale to prove that numbers never follow the user's locale.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
"$src/scripts/setup.sh" test
build="$src/build/test"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVARTUMO_SANITIZE=ON -DVARTUMO_TESTS=ON -DVARTUMO_BENCH=OFF >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A test that fails is run once more: socket and thread tests can miss a deadline on a loaded
# machine; a real fault fails both runs.
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 --repeat until-pass:2

# Further checks that are not unit tests (fuzzing runs and the like), one script each.
for extra in "$src"/scripts/ci.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $(basename "$extra")"
  bash "$extra" "$src" "$build"
done
