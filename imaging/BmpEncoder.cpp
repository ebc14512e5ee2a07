#include "imaging/BmpEncoder.h"

#include "imaging/ImageTrace.h"
#include "imaging/WinBmp.h"

#include <algorithm>
#include <vector>

namespace {

void Put16(std::vector<uint8_t>& b, unsigned v)
{
  b.push_back(static_cast<uint8_t>(v));
  b.push_back(static_cast<uint8_t>(v >> 8));
}

void Put32(std::vector<uint8_t>& b, uint32_t v)
{
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

void CBmpEncoder::Encode(CBmp* bmp, CDataSink* sink)
{
  const int bpp = bmp->GetBitsPerPixel();
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 32)
    RaiseError(2, ImgFormat("BMP encoder: Illegal bpp value (%d).", bpp));
  const int width = bmp->GetWidth();
  const int height = bmp->GetHeight();
  const int fileBpp = bpp <= 8 ? bpp : 24;
  const int64_t rowBytes = CWinBmp::CalcBytesPerLine(width, fileBpp);
  const int64_t tableBytes = bpp <= 8 ? int64_t{4} << bpp : 0;
  const int64_t offset = 54 + tableBytes;
  const int64_t fileSize = offset + rowBytes * height;

  std::vector<uint8_t> h;
  h.reserve(54);
  Put16(h, 0x4D42);
  Put32(h, static_cast<uint32_t>(fileSize));
  Put16(h, 0);
  Put16(h, 0);
  Put32(h, static_cast<uint32_t>(offset));
  Put32(h, 40);
  Put32(h, static_cast<uint32_t>(width));
  Put32(h, static_cast<uint32_t>(height));
  Put16(h, 1);
  Put16(h, static_cast<unsigned>(fileBpp));
  for (int i = 0; i < 6; ++i) Put32(h, 0);  // compression, image size, resolutions, colours
  sink->WriteBytes(h.size(), h.data());

  uint8_t** lines = bmp->GetLineArray();
  if (bpp <= 8) {
    sink->WriteBytes(static_cast<uint64_t>(tableBytes), bmp->GetPalette());
    const int64_t stored = bmp->GetBytesPerLine();
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
    for (int y = height - 1; y >= 0; --y) {
      // Rows exactly as stored; a bitmap with shorter rows is padded with zeros.
      std::copy(lines[y], lines[y] + std::min(stored, rowBytes), row.begin());
      sink->WriteBytes(row.size(), row.data());
    }
    return;
  }
  std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
  const int64_t pad = rowBytes - 3 * int64_t{width};
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* p = lines[y];
    for (int x = 0; x < width; ++x) {
      row[3 * x] = p[4 * x];
      row[3 * x + 1] = p[4 * x + 1];
      row[3 * x + 2] = p[4 * x + 2];
    }
    // Row padding: 0x20 followed by zeros.
    if (pad > 0) {
      row[static_cast<size_t>(3 * int64_t{width})] = 0x20;
      for (int64_t i = 1; i < pad; ++i) row[static_cast<size_t>(3 * int64_t{width} + i)] = 0;
    }
    sink->WriteBytes(row.size(), row.data());
  }
}
