#!/usr/bin/env bash
# Fuzzes the time-signal decoder with libFuzzer (clang, AddressSanitizer, UBSan): arbitrary
# sample blocks, block lengths and rates, from a seed corpus of generated DCF77 and MSF
# keying. Built with clang directly, apart from the gcc CMake build. Exits non-zero on any
# crash, leak or sanitizer report.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the run time.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-15}"
out="$build/fuzz-dcf77"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-dcf77: $cxx not found (install clang)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/seeds" "$out/corpus"
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -fno-sanitize-recover=undefined)
"$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined "$src/tests/digimode/fuzz/FuzzDcf77.cpp" \
  "$src/digimode/Dcf77Decoder.cpp" "$src/engine/TimeUtils.cpp" -o "$out/fuzz"

# Seeds: 2 s of keyed carrier (drops of 100, 200 and 500 ms) at a few rates, in 512-sample blocks.
python3 - "$out/seeds" <<'PY'
import math, struct, sys
out = sys.argv[1]
for rate in (1000.0, 2000.0, 11025.0):
    data = bytearray(struct.pack('<d', rate))
    n_total = int(rate * 2)
    i = 0
    while i < n_total:
        n = min(512, n_total - i)
        data += struct.pack('<HB', n, 2)
        for k in range(i, i + n):
            t = k / rate
            f = t - math.floor(t)
            drop = (0.1, 0.2, 0.5)[int(t) % 3]
            a = 0 if f < drop else 20000
            data += struct.pack('<h', int(a * math.sin(2 * math.pi * 650 * t)))
        i += n
    open(f"{out}/seed-{int(rate)}", "wb").write(data)
PY

echo "fuzz-dcf77: time-signal decoder, ${seconds} s"
if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
     "$out/fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
     -artifact_prefix="$out/crash-" -print_final_stats=1 "$out/corpus" "$out/seeds" \
     > "$out/log.txt" 2>&1; then
  echo "fuzz-dcf77: FAILED"
  tail -n 60 "$out/log.txt"
  exit 1
fi
grep -E "stat::number_of_executed_units|cov:" "$out/log.txt" | tail -n 2
