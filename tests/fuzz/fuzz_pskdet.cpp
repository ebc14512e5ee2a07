// PSK receiver: arbitrary settings and sample blocks into CPSKDet.
// Input: 1 byte modulation (bit 0: QPSK, else BPSK), 1 byte flags (bit 0 use_afc, bit 1
// narrow_afc), 4 bytes symbol rate (float, any value), 4 bytes input rate (float), 4 bytes
// receive frequency (float), then records of 2 bytes block length (0..4095) and the block's
// samples (int16 each). The receive frequency carries over from block to block as the engine
// does it. Checks: the squelch outputs stay in range, every received character is a byte, and
// with a finite rate and frequency of sane size the returned frequency is finite.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "digimode/CPSKDet.h"
#include "digimode/DigimodeSettings.h"
#include "digimode/DigimodeShared.h"
#include "tests/fuzz/FuzzUtil.h"

namespace {

float ReadFloat(const uint8_t* p)
{
  float v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 14) return 0;
  g_DigimodeReady.store(true);  // the receive ring takes characters
  DigimodeSettings.Modulation = (data[0] & 1) ? 9 : 8;
  DigimodeSettings.CodesetNr = 5;
  DigimodeSettings.use_afc = (data[1] & 1) != 0;
  DigimodeSettings.narrow_afc = (data[1] & 2) != 0;
  DigimodeSettings.symbol_rate = ReadFloat(data + 2);
  const double fs = ReadFloat(data + 6);
  double freq = ReadFloat(data + 10);
  data += 14;
  size -= 14;
  const bool sane = std::isfinite(fs) && fs <= 1e6 && std::isfinite(freq) && std::fabs(freq) <= 1e6;

  static CPSKDet det;  // one receiver, restarted per input, as the engine's mode rebuild does
  det.Init(fs);
  std::vector<double> x;
  while (size >= 2) {
    const size_t n = static_cast<size_t>((data[0] | (data[1] << 8)) & 4095);
    data += 2;
    size -= 2;
    const size_t take = std::min(n, size / 2);
    x.resize(take);
    for (size_t i = 0; i < take; ++i) x[i] = static_cast<int16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    data += 2 * take;
    size -= 2 * take;
    freq = det.ProcessSamples(x.data(), static_cast<int>(take), freq);
    if (sane) VT_FUZZ_CHECK(std::isfinite(freq));
    const int level = g_DigimodeSquelchLevel.load();
    VT_FUZZ_CHECK(level >= 0 && level <= 100);
    const double open = g_DigimodeSquelchOpen.load();
    VT_FUZZ_CHECK(open == 0.0 || open == 1.0);
    for (int c; (c = Digimode_GetRxChar()) != 0;) VT_FUZZ_CHECK(c > 0 && c < 256);
  }
  return 0;
}
