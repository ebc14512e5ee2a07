// Waterfall line rasteriser: per-pixel bin ranges, level table, scan-line writing, scrolling.
#include "mainwin/WaterfallRaster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "interp/SpectrumBuffer.h"

CWaterfallRaster::CWaterfallRaster() : m_Level(65536, 0) {}

void CWaterfallRaster::SetColumns(const TFreqBinMapping& m, int pixels, bool reverse)
{
  if (pixels < 0) pixels = 0;
  if (pixels == m_KeyPixels && reverse == m_KeyReverse && m.FirstBin == m_KeyFirst &&
      m.BinsPerPixel == m_KeyBpp)
    return;
  m_KeyPixels = pixels;
  m_KeyReverse = reverse;
  m_KeyFirst = m.FirstBin;
  m_KeyBpp = m.BinsPerPixel;
  m_Lo.resize(pixels);
  m_Hi.resize(pixels);
  int prev = 0;
  for (int p = 0; p < pixels; ++p) {
    const int q = reverse ? pixels - 1 - p : p;
    const double di = q * m.BinsPerPixel + m.FirstBin;
    int i = (di > -1.0 && di < SPECTRUM_MAX_BINS) ? static_cast<int>(di) : 0;
    if (i < 0 || i >= SPECTRUM_MAX_BINS) i = 0;
    if (p == 0) prev = i;
    if (i > prev) {
      m_Lo[p] = prev;
      m_Hi[p] = i - 1;
    } else if (i < prev) {
      m_Lo[p] = i + 1;
      m_Hi[p] = prev;
    } else {
      m_Lo[p] = m_Hi[p] = prev;
    }
    prev = i;
  }
}

bool CWaterfallRaster::SetLevels(double amplMin, double amplMax, int levelOffset)
{
  if (!(amplMax > amplMin)) {
    m_LevelsValid = false;
    return false;
  }
  if (m_LevelsValid && amplMin == m_KeyMin && amplMax == m_KeyMax && levelOffset == m_KeyOffset)
    return true;
  m_KeyMin = amplMin;
  m_KeyMax = amplMax;
  m_KeyOffset = levelOffset;
  m_LevelsValid = true;
  const double range = (amplMax - amplMin) * 100.0f;
  const double gain = 255.0f / range;
  const double base = -255.0f * amplMin * 100.0f / range;
  for (int v = -32768; v <= 32767; ++v) {
    const double x = (static_cast<double>(v) + levelOffset) * gain + base;
    int k;
    if (!(x > 0.0)) k = 0;
    else if (x >= 255.0) k = 255;
    else k = static_cast<int>(x);
    m_Level[v + 32768] = static_cast<uint8_t>(k);
  }
  return true;
}

uint32_t CWaterfallRaster::Pack(uint32_t colour, int depth, uint32_t alpha32)
{
  switch (depth) {
  case 15: return PackPixel15(colour);
  case 16: return PackPixel16(colour);
  case 24: return PackPixel32(colour);  // the three low bytes are blue, green, red
  case 32: return PackPixel32(colour) | alpha32;
  default: return colour & 0xFF;
  }
}

void CWaterfallRaster::SetPalette(const uint32_t colours[256], int depth, uint32_t alpha32)
{
  m_Depth = depth;
  for (int k = 0; k < 256; ++k)
    m_Packed[k] = depth == 8 ? static_cast<uint32_t>(k) : Pack(colours[k], depth, alpha32);
}

void CWaterfallRaster::LevelIndices(const int16_t* bins, uint8_t* out) const
{
  const int n = Pixels();
  const uint8_t* level = m_Level.data() + 32768;
  for (int p = 0; p < n; ++p) {
    const int lo = m_Lo[p], hi = m_Hi[p];
    int peak = -32767;
    for (int b = lo; b <= hi; ++b) peak = std::max(peak, static_cast<int>(bins[b]));
    out[p] = level[peak];
  }
}

namespace {
inline void PutPixel(uint8_t* px, int depth, uint32_t v)
{
  switch (depth) {
  case 8: *px = static_cast<uint8_t>(v); break;
  case 15:
  case 16: {
    const uint16_t w = static_cast<uint16_t>(v);
    std::memcpy(px, &w, 2);
    break;
  }
  case 24:
    px[0] = static_cast<uint8_t>(v);
    px[1] = static_cast<uint8_t>(v >> 8);
    px[2] = static_cast<uint8_t>(v >> 16);
    break;
  default: std::memcpy(px, &v, 4); break;
  }
}
inline int BytesPerPixel(int depth)
{
  return depth == 8 ? 1 : depth == 24 ? 3 : depth == 32 ? 4 : 2;
}
}  // namespace

bool CWaterfallRaster::DrawLine(const TRasterTarget& t, const int16_t* bins, int d, int lineWidth,
                                int orient) const
{
  if (!t.Bits || !bins || !m_LevelsValid) return false;
  if (t.Depth != 8 && t.Depth != 15 && t.Depth != 16 && t.Depth != 24 && t.Depth != 32)
    return false;
  const int lw = std::clamp(lineWidth, 1, 2);
  const int n = Pixels();
  m_Scratch.resize(n);
  if (orient == ORIENT_HORIZONTAL) {
    const int y = lw * d;
    // Every row of the picture takes lines, the last one too (the bottom line of the
    // non-scrolling mode lives there).
    if (t.Height - 1 < 2 || y < 0 || y + lw > t.Height || n > t.Width) return false;
    LevelIndices(bins, m_Scratch.data());
    for (int r = 0; r < lw; ++r) {
      uint8_t* row = t.Bits + (y + r) * t.Stride;
      if (t.Depth == 32) {
        uint32_t* px = reinterpret_cast<uint32_t*>(row);
        for (int p = 0; p < n; ++p) px[p] = m_Packed[m_Scratch[p]];
      } else {
        const int bpp = BytesPerPixel(t.Depth);
        for (int p = 0; p < n; ++p) PutPixel(row + p * bpp, t.Depth, m_Packed[m_Scratch[p]]);
      }
    }
    return true;
  }
  if (orient == ORIENT_ROTATED) {
    const int x = (t.Width - 1) - lw * d - (lw - 1);
    if (t.Width - 1 < 2 || x < 0 || x > t.Width - 1 || n > t.Height) return false;
    LevelIndices(bins, m_Scratch.data());
    const int bpp = BytesPerPixel(t.Depth);
    for (int c = 0; c < lw && x + c < t.Width; ++c) {
      uint8_t* px = t.Bits + (x + c) * bpp;
      for (int p = 0; p < n; ++p) PutPixel(px + p * t.Stride, t.Depth, m_Packed[m_Scratch[p]]);
    }
    return true;
  }
  return false;
}

void CWaterfallRaster::DrawGridPixels(const TRasterTarget& t, const std::vector<int>& axisPixels,
                                      int a0, int a1, int orient, uint32_t packed)
{
  if (!t.Bits) return;
  const int bpp = BytesPerPixel(t.Depth);
  if (orient == ORIENT_ROTATED) {
    a0 = std::max(a0, 0);
    a1 = std::min(a1, t.Width - 1);
    for (int y : axisPixels) {
      if (y < 0 || y >= t.Height) continue;
      uint8_t* row = t.Bits + y * t.Stride;
      for (int x = a0; x <= a1; ++x) PutPixel(row + x * bpp, t.Depth, packed);
    }
  } else {
    a0 = std::max(a0, 0);
    a1 = std::min(a1, t.Height - 1);
    for (int y = a0; y <= a1; ++y) {
      uint8_t* row = t.Bits + y * t.Stride;
      for (int x : axisPixels)
        if (x >= 0 && x < t.Width) PutPixel(row + x * bpp, t.Depth, packed);
    }
  }
}

void CWaterfallRaster::Scroll(const TRasterTarget& t, int pixels, int orient)
{
  if (!t.Bits || pixels <= 0) return;
  if (orient == ORIENT_ROTATED) {
    if (pixels >= t.Width) return;
    const int bpp = BytesPerPixel(t.Depth);
    for (int y = 0; y < t.Height; ++y) {
      uint8_t* row = t.Bits + y * t.Stride;
      std::memmove(row, row + pixels * bpp, static_cast<size_t>(t.Width - pixels) * bpp);
    }
  } else {
    if (pixels >= t.Height) return;
    // Rows are contiguous: one block move of every row that stays.
    std::memmove(t.Bits + pixels * t.Stride, t.Bits,
                 static_cast<size_t>(t.Height - pixels) * static_cast<size_t>(t.Stride));
  }
}
