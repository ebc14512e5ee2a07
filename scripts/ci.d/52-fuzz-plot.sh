#!/usr/bin/env bash
# Fuzzes the plot-history readers with libFuzzer (clang, AddressSanitizer, UBSan): arbitrary
# bytes opened as an existing plot file (and cut short while mapped), and arbitrary text
# imported as a table, 15 s each.
# The interpreter, engine and platform sources go into one archive, so each target links only
# what it uses. Exits non-zero on any crash, leak or sanitizer report.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time per target.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-15}"
out="$build/fuzz-plot"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-plot: $cxx not found (install clang)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/obj" "$out/seeds-file" "$out/seeds-import"
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -fno-sanitize-recover=undefined)

# Only the sources without Qt that the readers can reach.
srcs=("$src"/interp/PlotData.cpp "$src"/interp/PlotImport.cpp "$src"/interp/WatchDefaults.cpp "$src"/interp/CliSpectrum.cpp
      "$src"/interp/CliNumbers.cpp "$src"/interp/CliRefFile.cpp "$src"/interp/CliServices.cpp
      "$src"/engine/DebugU1.cpp "$src"/engine/MiscUtils.cpp "$src"/engine/TimeUtils.cpp
      "$src"/engine/PreciseClock.cpp "$src"/engine/SettingsGlobals.cpp "$src"/platform/PerfCounter.cpp
      "$src"/platform/NumText.cpp "$src"/platform/MappedAccess.cpp "$src"/platform/BoundedFile.cpp)
objs=()
for f in "${srcs[@]}"; do
  o="$out/obj/$(basename "${f%.cpp}").o"
  "$cxx" "${common[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$f" -o "$o" &
  objs+=("$o")
  if (( ${#objs[@]} % 2 == 0 )); then wait; fi
done
wait
ar rcs "$out/libplot.a" "${objs[@]}"

for t in PlotFile PlotImport; do
  "$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined "$src/tests/interp/fuzz/Fuzz$t.cpp" \
    "$out/libplot.a" -o "$out/fuzz-$t" &
done
wait

# Seeds: a valid plot file header with a few records, and small tables.
python3 - "$out" <<'PY'
import struct, sys
out = sys.argv[1]
ch = 3
data_offset = 96 + 200 * ch + 1024
hdr = struct.pack('<II64sIIIIII', 96, 96, b'T_PlotFileHeader', data_offset, 488, 100, ch, 5, 5)
body = bytearray(data_offset - 96)
for i in range(6):
    body += struct.pack('<d', 1e9 + i) + b''.join(struct.pack('<ddd', i, i + 1, i + 0.5) for _ in range(ch))
open(out + '/seeds-file/valid.tmp', 'wb').write(hdr + bytes(body))
open(out + '/seeds-file/short.tmp', 'wb').write(hdr[:50])
tables = {
    'tab': b'\x00time\tChn0\tChn1\n2020-01-02 03:04:05\t1.5\t-2\n\n2020-01-02 03:04:15\t3,4,5\t4e3\n',
    'semi': b'\x01date=1000000000;Chn0;array=\nnone;5\r\nx;6\r\n',
    'plain': b'\x08; comment\n\n\nChn0\n7\n8\n',
    'bom-long': b'\x00\xef\xbb\xbftime\t' + b'\t'.join(b'Chn%d' % i for i in range(20)) + b'\n2020-01-02 03:04:05\t'
                + b'\t'.join(b'-1234.5678901,-1234.5678901,%d' % i for i in range(20)) + b'\n',
}
for name, text in tables.items():
    open(out + '/seeds-import/' + name + '.txt', 'wb').write(text)
PY

status=0
for t in PlotFile PlotImport; do
  corpus="$out/corpus-$t"
  seeds="$out/seeds-file"
  [ "$t" = PlotImport ] && seeds="$out/seeds-import"
  mkdir -p "$corpus"
  echo "fuzz-plot: $t, ${seconds} s"
  if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$out/fuzz-$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=4096 \
       -artifact_prefix="$out/crash-$t-" -print_final_stats=1 \
       "$corpus" "$seeds" > "$out/log-$t.txt" 2>&1; then
    echo "fuzz-plot: $t FAILED"
    tail -n 60 "$out/log-$t.txt"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$out/log-$t.txt" | tail -n 2
  fi
done
exit $status
