#!/usr/bin/env bash
# Runs the audio-thread tests under ThreadSanitizer: the thread hands samples, flags, scope
# copies and device updates over to the GUI side while the sound card's callbacks run.
# Builds only what those tests need. Args: source dir, build dir.
set -euo pipefail
src="$1"
out="$2/tsan-audio-thread"
mkdir -p "$out"
engine=""
for f in SoundThd SoundThdControl SoundThdGlobals SndServer SampleRates BigSampleBuffer CDec2FIR \
         DecimStage DigiFilter DigiFilterHandover FreqMixer TestSignalGen WaveLogDecimator \
         PreciseClock TimeUtils SettingsGlobals SettingsIni QuickSettings MiscUtils SoundThdMsgQueue SoundErrorCodes CSound C_WaveIO; do
  engine="$engine $src/engine/$f.cpp"
done
platform=$(ls "$src"/platform/*.cpp | grep -v QtSyncBridge)
g++ -std=c++20 -O1 -g -fsanitize=thread -Wno-tsan -fno-omit-frame-pointer -I"$src" -I"$src/tests" \
    -DVT_SOURCE_DIR="\"$src\"" -DVT_TEST_DATA_DIR="\"$src/tests\"" \
    "$src/tests/engine/SoundThdTest.cpp" "$src/tests/common/TestUtil.cpp" \
    "$src/digimode/DigimodeHooks.cpp" $engine $platform \
    -lgtest_main -lgtest -lasound -pthread -o "$out/test_sound_thread_tsan"
TSAN_OPTIONS="halt_on_error=1" "$out/test_sound_thread_tsan" --gtest_brief=1
