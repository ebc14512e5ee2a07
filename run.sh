#!/usr/bin/env bash
# Installs what building and running need, builds the release build and starts Vartumo.
#   ./run.sh [-j N] [program arguments...]
# -j N (or CMAKE_BUILD_PARALLEL_LEVEL=N) sets the number of compile jobs (default: Ninja's,
# the number of cores + 2). VARTUMO_BENCH=ON builds the benchmarks too (and installs what
# they need).
# The program writes its settings files into its working directory: $VARTUMO_HOME,
# by default ~/.local/share/vartumo.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"

source "$src/scripts/jobs.sh"
vt_parse_jobs run.sh "$@"
shift "$vt_jobs_shift"
jobs="$vt_jobs"

bench="${VARTUMO_BENCH:-OFF}"
case "$bench" in ON|on|1) bench=ON; "$src/scripts/setup.sh" bench ;; *) bench=OFF; "$src/scripts/setup.sh" ;; esac

build="$src/build/release"
if [ ! -f "$build/app/vartumo" ]; then
  echo "First build of Vartumo: about 4 minutes of compiling on one core, so 1 to 2 minutes"
  echo "on four cores; later runs compile only what changed."
  echo "Compile jobs: ${jobs:-cores + 2} (./run.sh -j N to choose)."
fi
cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVARTUMO_SANITIZE=OFF -DVARTUMO_TESTS=OFF -DVARTUMO_BENCH="$bench" >/dev/null
cmake --build "$build" ${jobs:+--parallel "$jobs"}
work="${VARTUMO_HOME:-$HOME/.local/share/vartumo}"
mkdir -p "$work"
cd "$work"
exec "$build/app/vartumo" "$@"
