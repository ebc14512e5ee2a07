// Spectrum-graph curve points: peak per pixel, steps, mirroring, wide graphs.
#include <gtest/gtest.h>

#include <vector>

#include "interp/SpectrumBuffer.h"
#include "mainwin/SpectrumCurve.h"

namespace {
TCurveParams Params(int w, int h, double fmin, double fmax, double binWidth, bool mirror = false,
                    int orient = ORIENT_HORIZONTAL)
{
  TCurveParams p;
  p.Width = w;
  p.Height = h;
  p.Orient = orient;
  p.Mirror = mirror;
  const int axis = (orient == ORIENT_ROTATED ? h : w) - 1;
  p.Mapping = CalcFreqBinMapping(binWidth, 0, fmin, fmax, 0, axis);
  p.Ampl = CalcAmplScaling(w, h, orient, 2, -100 * 100.0f, 0 * 100.0f);
  return p;
}
}  // namespace

TEST(SpectrumCurve, FlatLineAtItsRowAndAStrongBinAtFullHeight)
{
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, -5000);  // -50 dB
  bins[10000] = 0;                                      // one bin at 0 dB
  // 32,768 bins of 1 Hz over a 201-pixel graph: about 163 bins per pixel.
  const TCurveParams p = Params(201, 101, 0, 32767, 1.0);
  std::vector<TCurvePoint> pts;
  ComputeSpectrumCurve(p, bins.data(), nullptr, 32768, 0, pts);
  ASSERT_EQ(pts.size(), 201u);
  int top = 1000, topX = -1;
  for (const TCurvePoint& pt : pts) {
    if (pt.Y < top) {
      top = pt.Y;
      topX = pt.X;
    }
    if (pt.Y != 0) {
      EXPECT_EQ(pt.Y, 50);  // -50 dB on a 0..100 row axis
    }
  }
  EXPECT_EQ(top, 0);  // the single strong bin is not lost between pixels
  EXPECT_NEAR(topX, 10000 * 200 / 32767, 1);
  // A user offset of 10 dB (1,000 hundredths) lifts the line by 10 rows.
  ComputeSpectrumCurve(p, bins.data(), nullptr, 32768, 1000, pts);
  EXPECT_EQ(pts[0].Y, 40);
}

TEST(SpectrumCurve, FewerBinsThanPixelsGiveSteps)
{
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, -10000);
  for (int i = 0; i < 8; ++i) bins[i] = static_cast<int16_t>(-1000 * i);
  // 0..8 Hz with 1 Hz bins on 65 pixels: 8 pixels per bin (0.125 bins per pixel, exact).
  const TCurveParams p = Params(65, 101, 0, 8, 1.0);
  std::vector<TCurvePoint> pts;
  ComputeSpectrumCurve(p, bins.data(), nullptr, 8, 0, pts);
  ASSERT_EQ(pts.size(), 64u);  // pixel 64 maps on bin 8 = count: skipped
  for (int x = 0; x < 64; ++x) {
    ASSERT_EQ(pts[x].X, x);
    // Each pixel shows the bins from the previous pixel's index on, so a new bin appears one
    // pixel after its first pixel.
    const int bin = (x % 8 == 0 && x > 0) ? x / 8 - 1 : x / 8;
    EXPECT_EQ(pts[x].Y, bin * 10) << x;
  }
}

TEST(SpectrumCurve, MirroredRotatedAndWideGraphs)
{
  std::vector<int16_t> bins(SPECTRUM_MAX_BINS, -5000);
  std::vector<TCurvePoint> pts;
  // Mirrored: the first point is at the right edge.
  ComputeSpectrumCurve(Params(300, 101, 0, 299, 1.0, true), bins.data(), nullptr, 32768, 0, pts);
  ASSERT_FALSE(pts.empty());
  EXPECT_EQ(pts.front().X, 299);
  EXPECT_EQ(pts.back().X, 0);
  // Rotated: level along x, the first point at the bottom (at the top when mirrored).
  ComputeSpectrumCurve(Params(101, 300, 0, 299, 1.0, false, ORIENT_ROTATED), bins.data(), nullptr,
                       32768, 0, pts);
  ASSERT_FALSE(pts.empty());
  EXPECT_EQ(pts.front().Y, 299);
  EXPECT_EQ(pts.front().X, 50);
  // A 1,920-pixel graph: every pixel of the axis gets its point (no cut at pixel 1023).
  ComputeSpectrumCurve(Params(1920, 101, 0, 1919, 1.0), bins.data(), nullptr, 32768, 0, pts);
  ASSERT_EQ(pts.size(), 1920u);
  EXPECT_EQ(pts.back().X, 1919);
  // Doubles (the alert's curves) in dB.
  std::vector<double> values(100, -25.0);
  TCurveParams p = Params(100, 101, 0, 99, 1.0);
  p.Ampl = CalcAmplScaling(100, 101, ORIENT_HORIZONTAL, 2, -100, 0);
  ComputeSpectrumCurve(p, nullptr, values.data(), 100, -25.0, pts);
  ASSERT_EQ(pts.size(), 100u);
  EXPECT_EQ(pts[7].Y, 50);
  // No bins inside the range: nothing.
  ComputeSpectrumCurve(Params(100, 101, 5000, 6000, 1.0), bins.data(), nullptr, 1000, 0, pts);
  EXPECT_TRUE(pts.empty());
}

TEST(SpectrumCurve, AlertPointMapping)
{
  TCurveParams p = Params(101, 101, 0, 1000, 1.0);
  p.Ampl = CalcAmplScaling(101, 101, ORIENT_HORIZONTAL, 2, -100, 0);
  int x = 0, y = 0;
  EXPECT_TRUE(FreqLevelToPoint(p, 0, 1000, 500, -50, &x, &y));
  EXPECT_EQ(x, 50);
  EXPECT_EQ(y, 50);
  EXPECT_FALSE(FreqLevelToPoint(p, 0, 1000, 2000, -50, &x, &y));  // clamped into the bitmap
  EXPECT_EQ(x, 100);
  p.Mirror = true;
  EXPECT_TRUE(FreqLevelToPoint(p, 0, 1000, 200, -50, &x, &y));
  EXPECT_EQ(x, 80);
}
