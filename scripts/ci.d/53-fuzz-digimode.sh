#!/usr/bin/env bash
# Fuzzes the digimode readers with libFuzzer (clang, AddressSanitizer, UBSan) for a short while
# each: the DIGIMODE.INI reader and what the terminal window does with the values it reads,
# from seed files made here. Exits non-zero on any crash, leak, sanitizer report, value out of
# its range or failed round trip.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time per target.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-15}"
out="$build/fuzz-digimode"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-digimode: $cxx not found (install clang)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/seeds-ini" "$out/corpus-ini"
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -fno-sanitize-recover=undefined
        -fsanitize=fuzzer,address,undefined)

"$cxx" "${common[@]}" "$src/tests/digimode/fuzz/FuzzDigimodeIni.cpp" "$src/digimode/DigimodeSettings.cpp" \
  "$src/platform/IniFile.cpp" "$src/platform/BoundedFile.cpp" "$src/platform/NumText.cpp" -o "$out/fuzz-ini"

printf '[MODES]\r\nOperMode=1\r\nModulation=8\r\nCodesetNr=5\r\nScopeMode=3\r\n[AUDIO_FREQUENCIES]\r\nfc_rx=2200\r\nfc_tx=1000.5\r\nf_shift=170\r\n[MODULATION]\r\nsymbol_rate=31.25\r\nrev_keying=0\r\npulse_shaping=1\r\nshape_percent=100\r\noutput_level=100\r\n[DETECTOR]\r\nsquelch_thrsh=25\r\nuse_afc=1\r\nnarrow_afc=0\r\nafc_tune_range=100\r\n[MODE_DLL]\r\nname=DemoDll.dll\r\nuse_it=0\r\n[HELL_FONT]\r\nname=Courier New\r\nheight=-8\r\nstyle=5\r\ncut_top=2\r\n' \
  > "$out/seeds-ini/full.ini"
printf '[modes]\nopermode=$1F\n[AUDIO_FREQUENCIES]\nfc_rx=1e308\nfc_tx=-0\n[MODULATION]\nrev_keying=5\nsymbol_rate=abc\n' \
  > "$out/seeds-ini/odd.ini"
printf '[MODES]\nOperMode=-2147483648\nScopeMode=2147483647\n[MODULATION]\nsymbol_rate=-1e308\noutput_level=1e308\n[HELL_FONT]\nheight=-2147483648\ncut_top=2147483647\n' \
  > "$out/seeds-ini/extremes.ini"

echo "fuzz-digimode: DIGIMODE.INI reader, ${seconds} s"
if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
     "$out/fuzz-ini" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
     -artifact_prefix="$out/crash-ini-" -print_final_stats=1 \
     "$out/corpus-ini" "$out/seeds-ini" > "$out/log-ini.txt" 2>&1; then
  echo "fuzz-digimode: DIGIMODE.INI reader FAILED"
  tail -n 60 "$out/log-ini.txt"
  exit 1
fi
grep -E "stat::number_of_executed_units|cov:" "$out/log-ini.txt" | tail -n 2
