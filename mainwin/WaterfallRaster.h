#pragma once
// The waterfall's line rasteriser, without window code: colours one spectrum line straight into
// the scan lines of a bitmap through the 256-entry colour look-up table, and scrolls the bitmap.
//
// Speed: the bin range of every pixel along the frequency axis and the level-to-colour-index
// table are computed once and kept until the mapping, the level range or the palette change;
// drawing a line is then one peak search over the record's bins and one table look-up per pixel.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "mainwin/DisplayGeometry.h"

// Pixel packers for the screen formats, from a colour value 0x00BBGGRR (red in the low byte).
// 15 bit: blue in bits 0..4, green 5..9, red 10..14.
inline uint16_t PackPixel15(uint32_t c)
{
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  return static_cast<uint16_t>((b >> 3) | ((g & 0xF8) << 2) | ((r & 0xF8) << 7));
}
// 16 bit: blue in bits 0..4, green 5..10, red 11..15.
inline uint16_t PackPixel16(uint32_t c)
{
  const uint32_t r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
  return static_cast<uint16_t>((b >> 3) | ((g & 0xFC) << 3) | ((r & 0xF8) << 8));
}
// 24 bit: the bytes blue, green, red.
inline void PackPixel24(uint32_t c, uint8_t out[3])
{
  out[0] = static_cast<uint8_t>(c >> 16);
  out[1] = static_cast<uint8_t>(c >> 8);
  out[2] = static_cast<uint8_t>(c);
}
// 32 bit: the bytes blue, green, red, 0, read as one little-endian word (0x00RRGGBB).
inline uint32_t PackPixel32(uint32_t c)
{
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}

// A bitmap's pixel memory. Depth: 8 (palette indices), 15, 16, 24 or 32 bits per pixel.
struct TRasterTarget {
  uint8_t* Bits = nullptr;  // first byte of the top row
  int Width = 0, Height = 0;
  ptrdiff_t Stride = 0;     // bytes from one row to the next
  int Depth = 32;
};

class CWaterfallRaster {
public:
  CWaterfallRaster();

  // Bin range of every pixel along the axis (pixels of them) for the mapping. reverse: the
  // pixel's position q on the frequency axis runs pixels - 1 - p (horizontal mirrored, or the
  // rotated layout not mirrored, where the axis counts from the bottom). Bin index
  // i = trunc(q x bins per pixel + first bin), 0 when outside 0..32,767; the first pixel takes
  // its own index as the previous one; the pixel covers the bins from the previous index towards
  // i (prev .. i - 1 upwards, prev .. i + 1 downwards, prev alone when equal). Kept while the
  // arguments stay the same.
  void SetColumns(const TFreqBinMapping& m, int pixels, bool reverse);
  // Colour index per level: trunc((peak + levelOffset) x 255 / range - 255 x amplMin x 100 /
  // range) clamped to 0..255, range = (amplMax - amplMin) x 100; levels in hundredths of a dB.
  // Kept while the arguments stay the same. amplMax <= amplMin: SetLevels returns false.
  bool SetLevels(double amplMin, double amplMax, int levelOffset);
  // The look-up table (colour values 0x00BBGGRR) packed for the target depth; alpha32 is
  // or-ed into 32-bit pixels (0xFF000000 for a Qt RGB32 image).
  void SetPalette(const uint32_t colours[256], int depth, uint32_t alpha32 = 0);

  // Colour indices of a record's bins (32,768 of them) for every pixel along the axis.
  void LevelIndices(const int16_t* bins, uint8_t* out) const;
  // Writes one line: display line d, lineWidth 1 or 2 (forced into that), orient as the
  // settings. Horizontal: rows y = lineWidth x d (and y + 1), nothing when y < 0, a row
  // would lie below the picture or height - 1 < 2; rotated: column x = (width - 1) - lineWidth x d -
  // (lineWidth - 1) (and x + 1), nothing outside 0..width - 1 or when width - 1 < 2. The axis
  // must have been set for the target's width (horizontal) or height (rotated). False when
  // nothing was written.
  bool DrawLine(const TRasterTarget& t, const int16_t* bins, int d, int lineWidth,
                int orient) const;
  // Sets the pixels of the columns (horizontal) or rows (rotated) listed in axisPixels to the
  // colour value within the rows (columns) a0..a1 (inclusive, clipped): grid dots in a line.
  static void DrawGridPixels(const TRasterTarget& t, const std::vector<int>& axisPixels,
                             int a0, int a1, int orient, uint32_t packed);
  // Shifts the picture by `pixels`: horizontal down (new lines enter at the top), rotated to
  // the left (new lines enter at the right). The vacated pixels keep their old content.
  static void Scroll(const TRasterTarget& t, int pixels, int orient);
  // Packs one colour value for a depth (8-bit depth: the value itself is used as the index).
  static uint32_t Pack(uint32_t colour, int depth, uint32_t alpha32 = 0);

  int Pixels() const { return static_cast<int>(m_Lo.size()); }
  int Lo(int p) const { return m_Lo[p]; }
  int Hi(int p) const { return m_Hi[p]; }
  const uint8_t* LevelTable() const { return m_Level.data(); }  // index peak + 32,768

private:
  std::vector<int32_t> m_Lo, m_Hi;
  std::vector<uint8_t> m_Level;   // 65,536 colour indices
  uint32_t m_Packed[256] = {};
  int m_Depth = 32;
  mutable std::vector<uint8_t> m_Scratch;
  // cache keys
  double m_KeyFirst = 0, m_KeyBpp = 0;
  int m_KeyPixels = -1;
  bool m_KeyReverse = false;
  double m_KeyMin = 0, m_KeyMax = 0;
  int m_KeyOffset = 0;
  bool m_LevelsValid = false;
};
