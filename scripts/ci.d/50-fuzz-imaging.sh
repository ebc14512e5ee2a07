#!/usr/bin/env bash
# Fuzzes the picture decoders on memory for a short while with libFuzzer (clang, AddressSanitizer,
# UBSan): CAnyPicDecoder, CBmpDecoder and CJPEGDecoder, 25 s each, from a seed corpus made
# here. Built with clang directly, apart from the gcc CMake build. Exits non-zero on any crash,
# leak or sanitizer report.
# Arguments: source directory, build directory. FUZZ_SECONDS overrides the time per decoder.
set -euo pipefail
src="$(cd "$1" && pwd)"
build="$2"
seconds="${FUZZ_SECONDS:-25}"
out="$build/fuzz-imaging"
cxx="${FUZZ_CXX:-clang++}"
command -v "$cxx" >/dev/null || { echo "fuzz-imaging: $cxx not found (install clang)"; exit 1; }
command -v cjpeg >/dev/null || { echo "fuzz-imaging: cjpeg not found (install libjpeg-turbo-progs)"; exit 1; }

rm -rf "$out"
mkdir -p "$out/obj" "$out/seeds"
# A smaller bitmap cap keeps each run fast; the checks are the same.
common=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I"$src" -DVT_MAX_BITMAP_PIXELS=1048576
        -fno-sanitize-recover=undefined)

objs=()
for f in "$src"/imaging/*.cpp; do
  o="$out/obj/$(basename "${f%.cpp}").o"
  "$cxx" "${common[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$f" -o "$o" &
  objs+=("$o")
  # two compilers at a time
  if (( ${#objs[@]} % 2 == 0 )); then wait; fi
done
wait

"$cxx" "${common[@]}" -fsanitize=address,undefined "$src/tests/imaging/fuzz/MakeSeeds.cpp" "${objs[@]}" \
  -ljpeg -o "$out/make-seeds"
for n in 0 1 2; do
  "$cxx" "${common[@]}" -fsanitize=fuzzer,address,undefined -DFUZZ_DECODER=$n \
    "$src/tests/imaging/fuzz/FuzzDecoder.cpp" "${objs[@]}" -ljpeg -o "$out/fuzz-$n" &
done
wait

# Seeds: hand-built BMPs of every kind and JPEGs from our encoder and from cjpeg.
ASAN_OPTIONS=detect_leaks=1 "$out/make-seeds" "$out/seeds"
{
  printf 'P6\n13 9\n255\n'
  for ((i = 0; i < 13 * 9; i++)); do printf "\\x$(printf %02x $((i * 7 % 256)))\\x$(printf %02x $((i * 3 % 256)))\\x$(printf %02x $((255 - i)))"; done
} > "$out/seed.ppm"
cjpeg -progressive -outfile "$out/seeds/prog.jpg" "$out/seed.ppm"
cjpeg -grayscale -outfile "$out/seeds/grey.jpg" "$out/seed.ppm"
cjpeg -restart 1 -sample 1x1 -outfile "$out/seeds/restart.jpg" "$out/seed.ppm"
cjpeg -arithmetic -outfile "$out/seeds/arith.jpg" "$out/seed.ppm" 2>/dev/null || true
head -c 300 "$out/seeds/prog.jpg" > "$out/seeds/cut.jpg"

status=0
for n in 0 1 2; do
  name=(any bmp jpeg)
  corpus="$out/corpus-${name[$n]}"
  mkdir -p "$corpus"
  echo "fuzz-imaging: ${name[$n]} decoder, ${seconds} s"
  if ! ASAN_OPTIONS="detect_leaks=1:abort_on_error=0" UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
       "$out/fuzz-$n" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=8192 \
       -artifact_prefix="$out/crash-${name[$n]}-" -print_final_stats=1 \
       "$corpus" "$out/seeds" > "$out/log-${name[$n]}.txt" 2>&1; then
    echo "fuzz-imaging: ${name[$n]} decoder FAILED"
    tail -n 60 "$out/log-${name[$n]}.txt"
    status=1
  else
    grep -E "stat::number_of_executed_units|cov:" "$out/log-${name[$n]}.txt" | tail -n 2
  fi
done
exit $status
