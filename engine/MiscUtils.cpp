// Level conversions, unit symbols and system error texts.
#include "engine/MiscUtils.h"

#include <cmath>
#include <cstring>

double AmplitudeToDb(double x)
{
  if (x > 0.0) return 20.0 * std::log10(x);
  return -100.0;  // 0, negative and not-a-number
}

double DbToLinear(double db) { return std::pow(10.0, 0.05 * db); }

int DelayedEditTicks(int timerIntervalMs)
{
  const int interval = timerIntervalMs > 0 ? timerIntervalMs : 1;
  return (interval / 2 + 3000) / interval;
}

const char* UnitSymbolToString(int unit)
{
  switch (unit) {
    case 1: return "V";
    case 2: return "W";
    case 3: return "\xC2\xB0";  // degree sign, U+00B0 in UTF-8
    case 4: return "dB";
    default: return "?";
  }
}

const char* GetWinErrorText(int code)
{
  // One buffer per thread, so that a thread's text is not overwritten by another thread.
  thread_local char text[100];
  text[0] = '\0';
  // strerrordesc_np tells whether the code has a text at all (strerror would say "Unknown
  // error N"); strerror_r gives the text in the user's language.
  if (strerrordesc_np(code) == nullptr) return text;
  char work[256];
  const char* msg = strerror_r(code, work, sizeof work);
  if (!msg) return text;
  size_t len = std::strlen(msg);
  if (len > sizeof text - 1) {
    len = sizeof text - 1;
    // Do not leave half of a multi-byte character at the cut.
    size_t start = len;
    while (start > 0 && (static_cast<unsigned char>(msg[start]) & 0xC0) == 0x80) --start;
    len = start;
  }
  std::memcpy(text, msg, len);
  text[len] = '\0';
  return text;
}
