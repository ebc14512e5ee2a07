#pragma once
// Helpers shared by the image tests.
#include "imaging/TextException.h"
#include "imaging/WinBmp.h"

#include <cstdint>
#include <functional>
#include <string>

namespace img_test {

// Pixel (x, y) of a 32-bpp bitmap as 0xAARRGGBB; y = 0 is the top row.
inline uint32_t Px(const CWinBmp& bmp, int x, int y)
{
  const uint8_t* p = bmp.GetLineArray()[y] + 4 * x;
  return static_cast<uint32_t>(p[3]) << 24 | static_cast<uint32_t>(p[2]) << 16 |
         static_cast<uint32_t>(p[1]) << 8 | p[0];
}

// Runs f and returns the code of the CTextException it throws, or 0 when it returns.
inline int CodeOf(const std::function<void()>& f, std::string* text = nullptr)
{
  try {
    f();
  } catch (const CTextException& e) {
    if (text) *text = e.GetText();
    return e.GetCode();
  }
  return 0;
}

}  // namespace img_test
