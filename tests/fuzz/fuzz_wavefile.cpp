// Wave-file reader: arbitrary bytes opened as a file, read raw and as doubles on every channel
// choice, with a wind back in between. Nothing may crash, and each read stays within what it
// was asked for.
#include <cstdint>
#include <vector>

#include "engine/C_WaveIO.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  const std::string path = vt_fuzz::WriteInput("input.wav", data, size);
  C_WaveIO w;
  if (w.InOpen(path.c_str()) == 1) {
    std::vector<uint8_t> raw(4096 + 16, 0xA5);
    for (int i = 0; i < 4; ++i) {
      const int frames = w.ReadRawBlocks(raw.data(), 4096);
      if (frames < 0) break;
      for (size_t k = 4096; k < raw.size(); ++k) VT_FUZZ_CHECK(raw[k] == 0xA5);
    }
    std::vector<double> samples(1024 + 8, -7.0);
    for (int channel : {0, 1, 2, -1}) {
      w.WindToSampleIndex(0);
      for (int i = 0; i < 3; ++i) {
        const int n = w.ReadSampleBlocks(channel, 1024, samples.data());
        if (n < 0) break;
        VT_FUZZ_CHECK(n <= 1024);
        for (size_t k = 1024; k < samples.size(); ++k) VT_FUZZ_CHECK(samples[k] == -7.0);
      }
    }
    w.WindToSampleIndex(w.GetDataSize());
    w.CloseFile();
  }
  return 0;
}
