#!/usr/bin/env bash
# Fuzzes the export definition reader with libFuzzer (clang, AddressSanitizer, UBSan): arbitrary
# bytes loaded as an ".edf" file, then the columns evaluated and a line built, 15 s.
# Exits non-zero on any crash, leak or sanitizer report.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-15}"
out="$build/fuzz-export"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-export: $cxx not found (install clang)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/obj" "$out/seeds"
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -fno-sanitize-recover=undefined)

# The interpreter and what it reaches of the engine and the platform, without Qt.
srcs=("$src"/interp/Cli*.cpp "$src"/interp/CmdWinMsg.cpp "$src"/interp/ExportEngine.cpp
      "$src"/interp/ExportSeam.cpp
      "$src"/engine/DebugU1.cpp "$src"/engine/MiscUtils.cpp "$src"/engine/TimeUtils.cpp
      "$src"/engine/PreciseClock.cpp "$src"/engine/SettingsGlobals.cpp "$src"/platform/PerfCounter.cpp
      "$src"/platform/NumText.cpp "$src"/platform/IniFile.cpp "$src"/platform/BoundedFile.cpp "$src"/platform/SerialLines.cpp)
objs=()
for f in "${srcs[@]}"; do
  o="$out/obj/$(basename "${f%.cpp}").o"
  "$cxx" "${common[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$f" -o "$o" &
  objs+=("$o")
  if (( ${#objs[@]} % 2 == 0 )); then wait; fi
done
wait
ar rcs "$out/libexport.a" "${objs[@]}"
"$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined "$src/tests/interp/fuzz/FuzzExportDefinition.cpp" \
  "$out/libexport.a" -o "$out/fuzz-ExportDefinition"

printf '[EXPORT_FORMAT]\r\nNrOfColumns=3\r\nActive=1\r\nSeparatorChr=59\r\nFileName=x.txt\r\nTitle0=f\r\nExprs0=peak_f(10,100)\r\nFormat0=0.0\r\nFlags0=0\r\nTitle1=t\r\nExprs1=time\r\nFormat1=hh:mm:ss.s\r\nTitle2=v\r\nExprs2=sqrt(2)*x+str("0.0",1)\r\nFormat2=+0.000\r\n[EXPORT_ACTIONS]\r\nCmdAfterSpectrum=print 1\r\nUsePreciseInterval=1\r\nWriteIntervalSec=2.5\r\n' \
  > "$out/seeds/full.edf"
printf '[EXPORT_FORMAT]\nNrOfColumns=99\nExprs29=avrg(1,2)-noise(1,2)\nFormat29=YYYY-MM-DD\n' > "$out/seeds/many.edf"

corpus="$out/corpus"
mkdir -p "$corpus"
echo "fuzz-export: ExportDefinition, ${seconds} s"
if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
     "$out/fuzz-ExportDefinition" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
     -artifact_prefix="$out/crash-" -print_final_stats=1 "$corpus" "$out/seeds" > "$out/log.txt" 2>&1; then
  echo "fuzz-export: FAILED"
  tail -n 60 "$out/log.txt"
  exit 1
fi
grep -E "stat::number_of_executed_units|cov:" "$out/log.txt" | tail -n 2
