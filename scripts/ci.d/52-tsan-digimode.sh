#!/usr/bin/env bash
# Runs the digimode engine's thread test under ThreadSanitizer: the GUI side rebuilds coders,
# switches between receive and transmit and redesigns filters while the audio side calls both
# hooks. Args: source dir, build dir.
set -euo pipefail
src="$1"
out="$2/tsan-digimode"
mkdir -p "$out"
source "$src/scripts/tsan-engine-sources"
tsan_build_objects "$2"
g++ "${tsan_flags[@]}" "$src/tests/digimode/DigimodeThreadsTest.cpp" "${tsan_objects[@]}" \
    -lgtest_main -lgtest -lasound -pthread -o "$out/test_digimode_tsan"
TSAN_OPTIONS="halt_on_error=1" "$out/test_digimode_tsan" --gtest_brief=1
