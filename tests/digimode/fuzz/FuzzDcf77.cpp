// libFuzzer target: arbitrary sample blocks and rates into the time-signal decoder.
// Input: 8 bytes rate (double, any value), then records of 2 bytes block length (0..8191),
// 1 byte action and the block's samples (int16 each; a sample of -32768 becomes NaN, 32767
// becomes +inf, so non-finite input is covered). Action bit 0: request a reset first; bit 1:
// read the snapshot and the events after the block; bit 2: change the rate to a value from
// the block's first sample; bit 3: set the fixed carrier frequency (CarrierHzSetting) to the
// block's first sample (any value: 0 and below, or not finite, mean "search").
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

#include "digimode/Dcf77Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size < 8) return 0;
  double rate;
  std::memcpy(&rate, data, 8);
  data += 8;
  size -= 8;
  static Dcf77DecoderState dec;  // state carries over between inputs, as in the program
  std::vector<double> x;
  double t = 1.7e9;
  while (size >= 3) {
    const int n = (data[0] | (data[1] << 8)) & 8191;
    const uint8_t action = data[2];
    data += 3;
    size -= 3;
    x.clear();
    for (int i = 0; i < n; ++i) {
      int16_t v = 0;
      if (size >= 2) {
        v = static_cast<int16_t>(data[0] | (data[1] << 8));
        data += 2;
        size -= 2;
      }
      x.push_back(v == -32768  ? std::numeric_limits<double>::quiet_NaN()
                  : v == 32767 ? std::numeric_limits<double>::infinity()
                               : static_cast<double>(v));
    }
    if ((action & 4) && n > 0 && std::isfinite(x[0])) rate = std::fabs(x[0]) * 4;
    if ((action & 8) && n > 0) dec.CarrierHzSetting = x[0];
    if (action & 1) Dcf77Dec_RequestReset(dec);
    Dcf77Dec_Process(dec, x.data(), n, t, rate);
    t += 0.37;
    if (action & 2) {
      const Dcf77DecodedTime d = Dcf77Dec_ReadSnapshot(dec);
      if (d.Valid && (d.Month < 1 || d.Month > 12 || d.Minute > 59 || d.Hour > 23)) __builtin_trap();
      while (Dcf77Dec_PopEvent(dec)) {
      }
    }
  }
  return 0;
}
