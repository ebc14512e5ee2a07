#!/usr/bin/env bash
# Runs the digimode engine's thread test under ThreadSanitizer: the GUI side rebuilds coders,
# switches between receive and transmit and redesigns filters while the audio side calls both
# hooks, and loads and releases a mode plug-in meanwhile. Args: source dir, build dir.
set -euo pipefail
src="$1"
out="$2/tsan-digimode"
mkdir -p "$out"
source "$src/scripts/tsan-engine-sources"
tsan_build_objects "$2"
# The example mode plug-in, instrumented as well: the test loads and releases it while the
# hooks call into it.
g++ "${tsan_flags[@]}" -shared -fPIC "$src/digimode/plugins/example/ExamplePlugin.cpp" \
    -o "$out/libvt_example_plugin_tsan.so"
g++ "${tsan_flags[@]}" -DVT_EXAMPLE_PLUGIN_PATH="\"$out/libvt_example_plugin_tsan.so\"" \
    "$src/tests/digimode/DigimodeThreadsTest.cpp" "${tsan_objects[@]}" \
    -lgtest_main -lgtest -lasound -ldl -pthread -o "$out/test_digimode_tsan"
TSAN_OPTIONS="halt_on_error=1" "$out/test_digimode_tsan" --gtest_brief=1
