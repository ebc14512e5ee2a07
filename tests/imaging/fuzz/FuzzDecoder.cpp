// libFuzzer target for the picture decoders on memory. Built by
// scripts/ci.d/50-fuzz-imaging.sh once per decoder:
//   FUZZ_DECODER=0: CAnyPicDecoder (file-type detection, then BMP or JPEG)
//   FUZZ_DECODER=1: CBmpDecoder      FUZZ_DECODER=2: CJPEGDecoder
// Every input must end in a decoded bitmap or a CTextException; anything else (a crash,
// a sanitizer report, a leak, another exception) is a finding.
#include "imaging/AnyPicDecoder.h"
#include "imaging/BmpDecoder.h"
#include "imaging/JPEGDecoder.h"
#include "imaging/TextException.h"
#include "imaging/WinBmp.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

#ifndef FUZZ_DECODER
#define FUZZ_DECODER 0
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
#if FUZZ_DECODER == 1
  CBmpDecoder dec;
#elif FUZZ_DECODER == 2
  CJPEGDecoder dec;
#else
  CAnyPicDecoder dec;
#endif
  // The first byte picks the depth asked for, so both the 8- and the 32-bpp paths run.
  const int destBpp = size > 0 && (data[0] & 1) ? 0 : 32;
  CWinBmp bmp;
  try {
    dec.DecodeMemory(data, static_cast<int64_t>(size), &bmp, destBpp);
    // Touch every pixel of the result, so uninitialised or misplaced rows show up.
    volatile uint32_t sum = 0;
    for (int y = 0; y < bmp.GetHeight(); ++y)
      for (int64_t i = 0; i < bmp.GetBytesPerLine(); ++i) sum = sum + bmp.GetLineArray()[y][i];
  } catch (const CTextException& e) {
    if (std::strlen(e.GetText()) == 0) __builtin_trap();  // every error carries a text
  }
  return 0;
}
