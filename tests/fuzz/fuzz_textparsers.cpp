// Number and time text: the input is split at the first NUL into a pattern and a text. The
// number readers, FloatToStr, FormatFloat with the pattern, the time-string and date/time
// pattern readers and the date/time formatter run on them. A number written by FloatToStr must
// read back to the value it came from (to 15 significant digits).
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/TimeUtils.h"
#include "platform/NumText.h"
#include "tests/fuzz/FuzzUtil.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  if (size > 2048) return 0;
  const std::string all(reinterpret_cast<const char*>(data), size);
  const size_t cut = all.find('\0');
  const std::string pattern = all.substr(0, cut);
  const std::string text = cut == std::string::npos ? std::string() : all.substr(cut + 1);
  const std::string textz = text.substr(0, text.find('\0'));

  double v = 0.0;
  if (TryStrToFloat(textz, v) && std::isfinite(v)) {
    const std::string written = FloatToStr(v);
    double back = 0.0;
    VT_FUZZ_CHECK(TryStrToFloat(written, back));
    VT_FUZZ_CHECK(back == v || std::fabs(back - v) <= std::fabs(v) * 1e-14);
  }
  (void)StrToIntDef(textz, 0);
  (void)LeadingStrToIntDef(textz, 0);
  for (double x : {v, 0.0, -1.5, 123456.789, 1e300, -1e-300, double(NAN), double(INFINITY)})
    (void)FormatFloat(pattern, x);

  double t = 1765400000.0;
  const char* end = ParseTimeString(textz.c_str(), t, &t, '.', ':');
  VT_FUZZ_CHECK(end >= textz.c_str() && end <= textz.c_str() + textz.size());
  const char* pos = textz.c_str();
  double u = 1765400000.0;
  (void)ParseDateTimeByFormat(pattern.c_str(), &u, &pos);
  VT_FUZZ_CHECK(pos >= textz.c_str() && pos <= textz.c_str() + textz.size());
  char out[64];
  FormatUnixDateTime(pattern.c_str(), std::isfinite(u) ? u : 0.0, out, sizeof out);
  VT_FUZZ_CHECK(std::memchr(out, '\0', sizeof out) != nullptr);
  (void)FormatUnixDateTime(pattern.c_str(), v);
  const char* digits = textz.c_str();
  (void)ParseDigits(&digits, 12);
  return 0;
}
