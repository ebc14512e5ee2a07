#!/usr/bin/env bash
# Runs the filter hand-over tests under ThreadSanitizer: the GUI side hands records over while
# the audio side runs blocks. Builds only what those tests need. Args: source dir, build dir.
set -euo pipefail
src="$1"
out="$2/tsan-filter-handover"
mkdir -p "$out"
g++ -std=c++20 -O1 -g -fsanitize=thread -fno-omit-frame-pointer -I"$src" \
    "$src/tests/control/FilterHandoverTest.cpp" "$src/control/FilterHandover.cpp" \
    "$src/engine/DigiFilterHandover.cpp" "$src/engine/DigiFilter.cpp" \
    -lgtest_main -lgtest -pthread -o "$out/test_filter_handover_tsan"
TSAN_OPTIONS="halt_on_error=1" "$out/test_filter_handover_tsan" --gtest_brief=1
