#!/usr/bin/env bash
# Runs the audio-thread tests under ThreadSanitizer: the thread hands samples, flags, scope
# copies and device updates over to the GUI side while the sound card's callbacks run.
# Builds only what those tests need. Args: source dir, build dir.
set -euo pipefail
src="$1"
out="$2/tsan-audio-thread"
mkdir -p "$out"
source "$src/scripts/tsan-engine-sources"
tsan_build_objects "$2"
g++ "${tsan_flags[@]}" -DVT_SOURCE_DIR="\"$src\"" -DVT_TEST_DATA_DIR="\"$src/tests\"" \
    "$src/tests/engine/SoundThdTest.cpp" "$src/tests/common/TestUtil.cpp" "${tsan_objects[@]}" \
    -lgtest_main -lgtest -lasound -pthread -o "$out/test_sound_thread_tsan"
TSAN_OPTIONS="halt_on_error=1" "$out/test_sound_thread_tsan" --gtest_brief=1
