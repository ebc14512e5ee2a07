#!/usr/bin/env bash
# Fuzzes the filter-file readers (coefficients "*.flt", stage table "*.flc", remez design
# "*.fir") with libFuzzer (clang, AddressSanitizer, UBSan) for 15 s.
# Exits non-zero on any crash, leak or sanitizer report.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-15}"
out="$build/fuzz-filter-files"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-filter-files: $cxx not found (install clang)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/obj" "$out/seeds" "$out/corpus"
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -fno-sanitize-recover=undefined)

# Only the sources without Qt that the readers can reach.
srcs=("$src"/control/FilterFiles.cpp "$src"/control/FilterHandover.cpp "$src"/control/IIRChain.cpp
      "$src"/control/Chebyshev.cpp "$src"/engine/DigiFilter.cpp "$src"/engine/DigiFilterHandover.cpp
      "$src"/platform/IniFile.cpp "$src"/platform/BoundedFile.cpp "$src"/platform/NumText.cpp)
objs=()
for f in "${srcs[@]}"; do
  o="$out/obj/$(basename "${f%.cpp}").o"
  "$cxx" "${common[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$f" -o "$o" &
  objs+=("$o")
  if (( ${#objs[@]} % 2 == 0 )); then wait; fi
done
wait
"$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined "$src/tests/control/fuzz/FuzzFilterFiles.cpp" \
  "${objs[@]}" -pthread -o "$out/fuzz-FilterFiles"

# Seeds: one file of each kind (the first byte is the target's own).
printf '\002[FilterParams]\r\nMaxCoeff=200\r\nIs_IIR=1\r\nCascaded=3\r\n[FilterDescription]\r\nLines=25\r\nl00=x\r\n[FilterCoefficients]\r\nalpha0=1.5\r\nbeta1=-0.5E-3\r\nalpha128=7\r\n[IIR3design2]\r\nFcenter=abc\r\nResponse=9\r\n' > "$out/seeds/flt.ini"
printf '\003[FilterChainParams]\nNrOfStages=40\n[Stage0]\nfilter_type=7\nf_center=1e400\n[Stage31]\ngain=2\n' > "$out/seeds/flc.ini"
printf '\200[RemezFilterParams]\nNrCoeffs=104\nNrBands=15\nFltType=-3\n[Band1]\nl_edge=0\n[Band10]\nweight=9\n' > "$out/seeds/fir.ini"

echo "fuzz-filter-files: ${seconds} s"
if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
     "$out/fuzz-FilterFiles" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
     -artifact_prefix="$out/crash-" -print_final_stats=1 "$out/corpus" "$out/seeds" \
     > "$out/log.txt" 2>&1; then
  echo "fuzz-filter-files: FAILED"
  tail -n 60 "$out/log.txt"
  exit 1
fi
grep -E "stat::number_of_executed_units|cov:" "$out/log.txt" | tail -n 2
