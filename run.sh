#!/usr/bin/env bash
# Installs what is missing, builds the release build and starts Vartumo.
# The program writes its settings files into its working directory: $VARTUMO_HOME,
# by default ~/.local/share/vartumo.
set -euo pipefail
src="$(cd "$(dirname "$0")" && pwd)"
"$src/scripts/setup.sh"
cmake -S "$src" -B "$src/build/release" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DVARTUMO_TESTS=OFF -DVARTUMO_BENCH=ON >/dev/null
cmake --build "$src/build/release"
work="${VARTUMO_HOME:-$HOME/.local/share/vartumo}"
mkdir -p "$work"
cd "$work"
exec "$src/build/release/app/vartumo" "$@"
