#!/usr/bin/env bash
# Installs what building and running need, builds the release build and starts Vartumo.
#   ./run.sh [-j N] [program arguments...]
# -j N (or CMAKE_BUILD_PARALLEL_LEVEL=N) sets the number of compile jobs (default: Ninja's,
# all cores). VARTUMO_BENCH=ON builds the benchmarks too (and installs what they need).
# The program writes its settings files into its working directory: $VARTUMO_HOME,
# by default ~/.local/share/vartumo.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"

jobs="${CMAKE_BUILD_PARALLEL_LEVEL:-}"
while [ $# -gt 0 ]; do
  case "$1" in
    -j) jobs="${2:?-j needs a number}"; shift 2 ;;
    -j*) jobs="${1#-j}"; shift ;;
    --jobs=*) jobs="${1#--jobs=}"; shift ;;
    *) break ;;
  esac
done
if [ -n "$jobs" ] && ! [[ "$jobs" =~ ^[1-9][0-9]*$ ]]; then
  echo "run.sh: -j needs a positive number, not '$jobs'" >&2
  exit 2
fi

bench="${VARTUMO_BENCH:-OFF}"
case "$bench" in ON|on|1) bench=ON; "$src/scripts/setup.sh" bench ;; *) bench=OFF; "$src/scripts/setup.sh" ;; esac

build="$src/build/release"
if [ ! -f "$build/app/vartumo" ]; then
  echo "First build of Vartumo: about 12 minutes of compiling on one core, so about 3 to 4"
  echo "minutes on four cores; later runs compile only what changed."
  echo "Compile jobs: ${jobs:-all cores} (./run.sh -j N to choose)."
fi
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVARTUMO_SANITIZE=OFF -DVARTUMO_TESTS=OFF -DVARTUMO_BENCH="$bench" >/dev/null
cmake --build "$build" ${jobs:+--parallel "$jobs"}
work="${VARTUMO_HOME:-$HOME/.local/share/vartumo}"
mkdir -p "$work"
cd "$work"
exec "$build/app/vartumo" "$@"
