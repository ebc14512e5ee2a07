#!/usr/bin/env bash
# Builds the whole program (every library and the executable, no tests, benchmarks or fuzzers)
# with clang in a build of its own, so the code stays clean for both compilers. Cheap: -O0, no
# debug information, no sanitizers. Fails on a compiler error; lists the warnings (-Wall -Wextra
# as in every build) and fails on them too when CLANG_WERROR=1.
# Arguments: source directory, build directory (the clang build goes beside it).
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
cb="$(cd "$(dirname "$build")" && pwd)/$(basename "$build")-clang"
command -v clang++ >/dev/null || { echo "clang-build: clang++ not found (install clang)"; exit 1; }

CC=clang CXX=clang++ cmake -S "$src" -B "$cb" -G Ninja -DCMAKE_BUILD_TYPE=None \
  -DCMAKE_C_FLAGS="-O0" -DCMAKE_CXX_FLAGS="-O0" -DVARTUMO_TESTS=OFF -DVARTUMO_BENCH=OFF \
  -DVARTUMO_FUZZ=OFF -DVARTUMO_SANITIZE=OFF >/dev/null
log="$cb/build.log"
status=0
cmake --build "$cb" --target vartumo vt_example_plugin >"$log" 2>&1 || status=$?
warnings="$(grep -c ' warning: ' "$log" || true)"
if [ "$status" -ne 0 ]; then
  grep -E -A6 ' (error|warning): ' "$log" || tail -40 "$log"
  echo "clang-build: failed"
  exit 1
fi
if [ "$warnings" -gt 0 ]; then
  grep -E -A6 ' warning: ' "$log"
  echo "clang-build: $warnings warning(s)"
  [ "${CLANG_WERROR:-0}" = 1 ] && exit 1
fi
echo "clang-build: ok"
