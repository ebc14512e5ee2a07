// Waterfall line rasteriser: packers, level table, per-pixel peaks against a slow reference,
// line placement for every depth and orientation, scrolling.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "interp/SpectrumBuffer.h"
#include "mainwin/WaterfallRaster.h"

namespace {

// Palette with distinct entries: entry k = 0x00BBGGRR with red k, green 255 - k, blue k / 2.
std::vector<uint32_t> TestPalette()
{
  std::vector<uint32_t> pal(256);
  for (uint32_t k = 0; k < 256; ++k) pal[k] = k | ((255 - k) << 8) | ((k / 2) << 16);
  return pal;
}

struct Image {
  int w, h, depth;
  std::vector<uint8_t> mem;
  Image(int w_, int h_, int depth_ = 32) : w(w_), h(h_), depth(depth_)
  {
    mem.assign(static_cast<size_t>(Stride()) * h, 0xEE);
  }
  int Bpp() const { return depth == 8 ? 1 : depth == 24 ? 3 : depth == 32 ? 4 : 2; }
  int Stride() const { return (w * Bpp() + 3) & ~3; }
  TRasterTarget Target() { return {mem.data(), w, h, Stride(), depth}; }
  uint32_t Px32(int x, int y) const
  {
    uint32_t v;
    std::memcpy(&v, &mem[static_cast<size_t>(y) * Stride() + x * 4], 4);
    return v;
  }
};

// The colour index of one pixel straight from the definition, without any table.
std::vector<int> SlowIndices(const int16_t* bins, const TFreqBinMapping& m, int pixels, bool reverse,
                             double amin, double amax, int levelOffset)
{
  std::vector<int> out(pixels);
  int prev = 0;
  const double range = (amax - amin) * 100.0f;
  for (int p = 0; p < pixels; ++p) {
    const int q = reverse ? pixels - 1 - p : p;
    long long i = static_cast<long long>(std::trunc(q * m.BinsPerPixel + m.FirstBin));
    if (i < 0 || i > 32767) i = 0;
    if (p == 0) prev = static_cast<int>(i);
    int peak = -32767;
    const int step = i > prev ? 1 : -1;
    for (long long b = prev;; b += step) {
      peak = std::max(peak, static_cast<int>(bins[b]));
      if (b == i - step || i == prev) break;
    }
    prev = static_cast<int>(i);
    const double x = (peak + levelOffset) * (255.0f / range) + (-255.0f * amin * 100.0f / range);
    out[p] = std::clamp(static_cast<int>(std::max(x, -1.0)), 0, 255);
  }
  return out;
}

}  // namespace

TEST(WaterfallRaster, PixelPackers)
{
  // Pure red, green and blue, as colour values 0x00BBGGRR.
  EXPECT_EQ(PackPixel15(0x0000FF), 0x7C00);  // red in bits 10..14
  EXPECT_EQ(PackPixel15(0x00FF00), 0x03E0);  // green in 5..9
  EXPECT_EQ(PackPixel15(0xFF0000), 0x001F);  // blue in 0..4
  EXPECT_EQ(PackPixel16(0x0000FF), 0xF800);
  EXPECT_EQ(PackPixel16(0x00FF00), 0x07E0);
  EXPECT_EQ(PackPixel16(0xFF0000), 0x001F);
  EXPECT_EQ(PackPixel16(0x040408), 0x0820);  // low bits dropped: r 8 -> 1, g 4 -> 1, b 4 -> 0
  uint8_t b24[3];
  PackPixel24(0x112233, b24);
  EXPECT_EQ(b24[0], 0x11);  // blue first
  EXPECT_EQ(b24[1], 0x22);
  EXPECT_EQ(b24[2], 0x33);
  EXPECT_EQ(PackPixel32(0x112233), 0x00332211u);  // bytes blue, green, red, 0
}

TEST(WaterfallRaster, LevelGivesThePaletteEntryOfTheMapping)
{
  const std::vector<uint32_t> pal = TestPalette();
  CWaterfallRaster r;
  r.SetPalette(pal.data(), 32);
  ASSERT_TRUE(r.SetLevels(-100, 0, 0));
  struct {
    int bins, offset, index;
  } cases[] = {
      {-5000, 0, 127},   // -50 dB: trunc(-127.5 + 255)
      {0, 0, 255},       // top of the range
      {-10000, 0, 0},    // bottom
      {-12000, 0, 0},    // below: clamped
      {3000, 0, 255},    // above: clamped
      {-6000, 1000, 127},// a 10 dB user offset
      {-9961, 0, 0},     // 0.99 of a step above the bottom still index 0
      {-9960, 0, 1},
  };
  for (const auto& c : cases) {
    ASSERT_TRUE(r.SetLevels(-100, 0, c.offset));
    EXPECT_EQ(r.LevelTable()[c.bins + 32768], c.index) << c.bins;
  }
  EXPECT_FALSE(r.SetLevels(0, 0, 0));  // max <= min: no colouring
  Image img(10, 4);
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, 0);
  r.SetColumns(CalcFreqBinMapping(1, 0, 0, 9, 0, 9), 10, false);
  EXPECT_FALSE(r.DrawLine(img.Target(), bins.data(), 0, 1, ORIENT_HORIZONTAL));
}

TEST(WaterfallRaster, PeaksMatchASlowReference)
{
  std::mt19937 rng(1234);
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS);
  std::uniform_int_distribution<int> lvl(-14000, 2000);
  for (auto& b : bins) b = static_cast<int16_t>(lvl(rng));
  struct {
    double binWidth, bin0, fmin, fmax;
    int pixels;
  } maps[] = {
      {0.336, 0, 0, 5512, 1920},     // ~8.5 bins per pixel
      {0.336, 0, 100, 130, 1920},    // fewer bins than pixels: steps
      {2.69, 0, 0, 2000, 300},
      {1.0, 0, -500, 40000, 700},    // partly outside 0..32,767: index 0
      {1.0, 100000, 0, 1000, 200},   // entirely outside: bin 0's value everywhere
  };
  const std::vector<uint32_t> pal = TestPalette();
  for (const auto& mp : maps) {
    for (bool reverse : {false, true}) {
      CWaterfallRaster r;
      r.SetPalette(pal.data(), 8);
      r.SetLevels(-120, 10, 250);
      const TFreqBinMapping m = CalcFreqBinMapping(mp.binWidth, mp.bin0, mp.fmin, mp.fmax, 0, mp.pixels - 1);
      r.SetColumns(m, mp.pixels, reverse);
      std::vector<uint8_t> got(mp.pixels);
      r.LevelIndices(bins.data(), got.data());
      const std::vector<int> want = SlowIndices(bins.data(), m, mp.pixels, reverse, -120, 10, 250);
      for (int p = 0; p < mp.pixels; ++p)
        ASSERT_EQ(got[p], want[p]) << "pixel " << p << " fmin " << mp.fmin << " reverse " << reverse;
    }
  }
}

TEST(WaterfallRaster, LinePlacementDepthsAndLineWidth)
{
  const std::vector<uint32_t> pal = TestPalette();
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, -5000);  // index 127 everywhere
  const TFreqBinMapping m = CalcFreqBinMapping(1, 0, 0, 99, 0, 99);
  for (int depth : {8, 15, 16, 24, 32}) {
    Image img(100, 20, depth);
    CWaterfallRaster r;
    r.SetPalette(pal.data(), depth, depth == 32 ? 0xFF000000u : 0);
    r.SetLevels(-100, 0, 0);
    r.SetColumns(m, 100, false);
    ASSERT_TRUE(r.DrawLine(img.Target(), bins.data(), 3, 1, ORIENT_HORIZONTAL));
    const uint8_t* px = &img.mem[3 * img.Stride() + 50 * img.Bpp()];
    switch (depth) {
    case 8: EXPECT_EQ(px[0], 127); break;
    case 15: EXPECT_EQ(px[0] | px[1] << 8, PackPixel15(pal[127])); break;
    case 16: EXPECT_EQ(px[0] | px[1] << 8, PackPixel16(pal[127])); break;
    case 24: {
      uint8_t want[3];
      PackPixel24(pal[127], want);
      EXPECT_EQ(std::vector<uint8_t>(px, px + 3), std::vector<uint8_t>(want, want + 3));
      break;
    }
    default: EXPECT_EQ(img.Px32(50, 3), PackPixel32(pal[127]) | 0xFF000000u); break;
    }
    EXPECT_EQ(img.mem[2 * img.Stride()], 0xEE) << depth;  // rows around untouched
    EXPECT_EQ(img.mem[4 * img.Stride()], 0xEE) << depth;
  }
  // Line width 2 (and 3, forced to 2): rows 2d and 2d + 1.
  Image img(100, 20);
  CWaterfallRaster r;
  r.SetPalette(pal.data(), 32);
  r.SetLevels(-100, 0, 0);
  r.SetColumns(m, 100, false);
  ASSERT_TRUE(r.DrawLine(img.Target(), bins.data(), 4, 3, ORIENT_HORIZONTAL));
  EXPECT_EQ(img.Px32(0, 8), PackPixel32(pal[127]));
  EXPECT_EQ(img.Px32(99, 9), PackPixel32(pal[127]));
  EXPECT_EQ(img.Px32(0, 10), 0xEEEEEEEEu);
  // The last row takes a line too (the bottom line L of the non-scrolling mode); rows below
  // the picture and negative lines are never drawn.
  EXPECT_TRUE(r.DrawLine(img.Target(), bins.data(), 19, 1, ORIENT_HORIZONTAL));
  EXPECT_EQ(img.Px32(40, 19), PackPixel32(pal[127]));
  EXPECT_TRUE(r.DrawLine(img.Target(), bins.data(), 9, 2, ORIENT_HORIZONTAL));    // rows 18, 19
  EXPECT_FALSE(r.DrawLine(img.Target(), bins.data(), 10, 2, ORIENT_HORIZONTAL));  // rows 20, 21
  EXPECT_FALSE(r.DrawLine(img.Target(), bins.data(), 20, 1, ORIENT_HORIZONTAL));
  EXPECT_FALSE(r.DrawLine(img.Target(), bins.data(), -1, 1, ORIENT_HORIZONTAL));
}

TEST(WaterfallRaster, RotatedLinesAndMirroring)
{
  const std::vector<uint32_t> pal = TestPalette();
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, -10000);
  // The two lowest bins at full level (a pixel covers the bins from the previous pixel's index
  // towards its own, so the last pixel of a reversed axis shows bin 1).
  bins[0] = bins[1] = 0;
  Image img(30, 50);
  CWaterfallRaster r;
  r.SetPalette(pal.data(), 32);
  r.SetLevels(-100, 0, 0);
  // Rotated, not mirrored: the axis counts from the bottom, so bin 0 is the bottom row.
  r.SetColumns(CalcFreqBinMapping(1, 0, 0, 49, 0, 49), 50, true);
  ASSERT_TRUE(r.DrawLine(img.Target(), bins.data(), 0, 1, ORIENT_ROTATED));
  EXPECT_EQ(img.Px32(29, 49), PackPixel32(pal[255]));  // newest line at the right edge
  EXPECT_EQ(img.Px32(29, 47), PackPixel32(pal[0]));
  EXPECT_EQ(img.Px32(29, 0), PackPixel32(pal[0]));
  EXPECT_EQ(img.Px32(28, 49), 0xEEEEEEEEu);
  ASSERT_TRUE(r.DrawLine(img.Target(), bins.data(), 5, 2, ORIENT_ROTATED));
  EXPECT_EQ(img.Px32(29 - 10 - 1, 49), PackPixel32(pal[255]));  // x = 18 and 19
  EXPECT_EQ(img.Px32(29 - 10, 49), PackPixel32(pal[255]));
  // Horizontal mirrored: bin 0 at the right edge.
  Image h(50, 5);
  r.SetColumns(CalcFreqBinMapping(1, 0, 0, 49, 0, 49), 50, true);
  ASSERT_TRUE(r.DrawLine(h.Target(), bins.data(), 0, 1, ORIENT_HORIZONTAL));
  EXPECT_EQ(h.Px32(49, 0), PackPixel32(pal[255]));
  EXPECT_EQ(h.Px32(0, 0), PackPixel32(pal[0]));
}

TEST(WaterfallRaster, ScrollMovesTheWholePicture)
{
  Image img(8, 6);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 8; ++x) {
      const uint32_t v = static_cast<uint32_t>(y * 100 + x);
      std::memcpy(&img.mem[y * img.Stride() + x * 4], &v, 4);
    }
  CWaterfallRaster::Scroll(img.Target(), 2, ORIENT_HORIZONTAL);
  EXPECT_EQ(img.Px32(3, 2), 3u);      // old row 0 now at row 2
  EXPECT_EQ(img.Px32(7, 5), 307u);    // old row 3 at the bottom
  EXPECT_EQ(img.Px32(3, 0), 3u);      // vacated rows keep their old content
  CWaterfallRaster::Scroll(img.Target(), 3, ORIENT_ROTATED);
  EXPECT_EQ(img.Px32(0, 5), 303u);    // old column 3 now at column 0
  EXPECT_EQ(img.Px32(4, 5), 307u);
}
