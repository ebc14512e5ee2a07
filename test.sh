#!/usr/bin/env bash
# Installs what is missing, builds with AddressSanitizer and UBSan, and runs every test.
# The tests run under a German locale to prove that numbers never follow the user's locale.
#   ./test.sh [-j N]
# -j N (or CMAKE_BUILD_PARALLEL_LEVEL=N) limits the compile jobs of every build this script
# starts (its own and the CMake builds of scripts/ci.d) and the tests CTest runs at once.
# Without it the builds use Ninja's default (the number of cores + 2) and CTest one test per core.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
source "$src/scripts/jobs.sh"
vt_parse_jobs test.sh "$@"
shift "$vt_jobs_shift"
if [ $# -gt 0 ]; then
  echo "usage: ./test.sh [-j N]" >&2
  exit 2
fi
if [ -n "$vt_jobs" ]; then export CMAKE_BUILD_PARALLEL_LEVEL="$vt_jobs"; fi
"$src/scripts/setup.sh" test
build="$src/build/test"
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DVARTUMO_SANITIZE=ON -DVARTUMO_TESTS=ON -DVARTUMO_BENCH=OFF >/dev/null
cmake --build "$build" ${vt_jobs:+--parallel "$vt_jobs"}

export QT_QPA_PLATFORM=offscreen
export LC_ALL=de_DE.UTF-8 LANG=de_DE.UTF-8
export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}"
export LSAN_OPTIONS="suppressions=$src/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
# A test that fails is run once more: socket and thread tests can miss a deadline on a loaded
# machine; a real fault fails both runs.
ctest --test-dir "$build" --output-on-failure -j"${vt_jobs:-$(nproc)}" --timeout 300 \
      --repeat until-pass:2

# Further checks that are not unit tests (fuzzing runs and the like), one script each.
for extra in "$src"/scripts/ci.d/*.sh; do
  [ -e "$extra" ] || continue
  echo "== $(basename "$extra")"
  bash "$extra" "$src" "$build"
done
