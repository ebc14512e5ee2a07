// Frequency and level mappings, range clamping, step buttons and the display layout.
#include <gtest/gtest.h>

#include <cmath>

#include "mainwin/DisplayGeometry.h"

TEST(DisplayGeometry, BinMappingAndReadOutFrequencyIsABinFrequency)
{
  // 0..1000 Hz display with 100 Hz offset on 501 pixels, record bins of 2.5 Hz from 10 Hz.
  const TFreqBinMapping m = CalcFreqBinMapping(2.5, 10.0, 0.0, 1000.0, 100.0, 500);
  EXPECT_DOUBLE_EQ(m.BinWidth, 2.5);
  EXPECT_DOUBLE_EQ(m.FirstBin, (0.0 - 100.0 - 10.0) / 2.5);
  EXPECT_DOUBLE_EQ(m.BinsPerPixel, 1000.0 / (500 * 2.5));
  for (int px : {0, 1, 7, 250, 499}) {
    const double f = PixelToFrequency(m, 2.5, 10.0, 100.0, px);
    const double bin = (f - 100.0 - 10.0) / 2.5;
    EXPECT_DOUBLE_EQ(bin, std::trunc(bin)) << px;             // on a bin
    EXPECT_DOUBLE_EQ(bin, std::trunc(px * 0.8 - 44.0)) << px; // trunc towards zero
  }
  // A bin width below 0.0001 Hz counts as 0.0001; an axis below 1 pixel as 1.
  const TFreqBinMapping tiny = CalcFreqBinMapping(0.0, 0.0, 0.0, 1.0, 0.0, 0);
  EXPECT_DOUBLE_EQ(tiny.BinWidth, 0.0001);
  EXPECT_DOUBLE_EQ(tiny.BinsPerPixel, 1.0 / 0.0001);
}

TEST(DisplayGeometry, MousePositionCoversWideScalesBeyondPixel1023)
{
  // A 1,920-pixel scale over 0..1919 Hz: each pixel one Hz, including the right half.
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(1500, 5, 1920, 30, ORIENT_HORIZONTAL, false, 0, 1919), 1500);
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(1919, 5, 1920, 30, ORIENT_HORIZONTAL, false, 0, 1919), 1919);
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(1500, 5, 1920, 30, ORIENT_HORIZONTAL, true, 0, 1919), 419);
  // Rotated: the axis counts from the bottom, from the top when mirrored.
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(3, 0, 40, 101, ORIENT_ROTATED, false, 0, 1000), 1000);
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(3, 25, 40, 101, ORIENT_ROTATED, false, 0, 1000), 750);
  EXPECT_DOUBLE_EQ(FreqScaleMousePosToFreq(3, 25, 40, 101, ORIENT_ROTATED, true, 0, 1000), 250);
}

TEST(DisplayGeometry, AmplitudeScalingBothOrientations)
{
  // Horizontal: -100 dB at the bottom row (200), 0 dB at the top.
  TAmplScaling a = CalcAmplScaling(300, 201, ORIENT_HORIZONTAL, 2, -100, 0);
  int px = -1;
  EXPECT_TRUE(AmplToPixel(a, 0.0, &px));
  EXPECT_EQ(px, 0);
  EXPECT_TRUE(AmplToPixel(a, -100.0, &px));
  EXPECT_EQ(px, 200);
  EXPECT_TRUE(AmplToPixel(a, -50.0, &px));
  EXPECT_EQ(px, 100);
  EXPECT_FALSE(AmplToPixel(a, 10.0, &px));   // above the top
  EXPECT_EQ(px, 0);
  EXPECT_FALSE(AmplToPixel(a, -150.0, &px)); // below the bottom
  EXPECT_EQ(px, 300);
  double level = 0;
  EXPECT_TRUE(PixelToAmpl(a, 100, &level));
  EXPECT_DOUBLE_EQ(level, -50.0);
  EXPECT_FALSE(PixelToAmpl(a, 201, &level));
  EXPECT_EQ(level, 0.0);
  EXPECT_FALSE(PixelToAmpl(a, -1, &level));

  // Rotated, style 2: the minimum at the left; style 1 keeps the maximum at pixel 0.
  a = CalcAmplScaling(101, 50, ORIENT_ROTATED, 2, -100, 0);
  EXPECT_TRUE(AmplToPixel(a, -100.0, &px));
  EXPECT_EQ(px, 0);
  EXPECT_TRUE(AmplToPixel(a, -25.0, &px));
  EXPECT_EQ(px, 75);
  a = CalcAmplScaling(101, 50, ORIENT_ROTATED, 1, -100, 0);
  EXPECT_TRUE(AmplToPixel(a, -25.0, &px));
  EXPECT_EQ(px, 25);

  // max <= min: the curves are drawn against -150 .. +150.
  a = CalcAmplScaling(10, 301, ORIENT_HORIZONTAL, 2, 0, 0);
  EXPECT_TRUE(AmplToPixel(a, 150.0, &px));
  EXPECT_EQ(px, 0);
  EXPECT_TRUE(AmplToPixel(a, -150.0, &px));
  EXPECT_EQ(px, 300);
}

TEST(DisplayGeometry, RangeClampingCases)
{
  struct Case {
    double fmin, fmax, lo, hi;
    double wantMin, wantMax;
    bool changed;
  } cases[] = {
      {100, 900, 0, 5512.5, 100, 900, false},      // inside: untouched
      {0, 900, 0, 5512.5, 0, 900, false},          // on the lower limit: same value
      {-50, 900, 0, 5512.5, 0, 900, true},         // below the minimum
      {100, 9000, 0, 5512.5, 100, 5512.5, true},   // above the maximum
      {800, 700, 0, 5512.5, 0, 5512.5, true},      // inverted: the full range
      {600, 600, 0, 5512.5, 0, 5512.5, true},      // empty span
      {6000, 7000, 0, 5512.5, 0, 5512.5, true},    // min beyond max after clamping max
      {NAN, 900, 0, 5512.5, 0, 5512.5, true},      // garbage
  };
  for (const Case& c : cases) {
    double fmin = c.fmin, fmax = c.fmax;
    EXPECT_EQ(ClampFreqRangeValues(&fmin, &fmax, c.lo, c.hi), c.changed) << c.fmin << " " << c.fmax;
    EXPECT_DOUBLE_EQ(fmin, c.wantMin);
    EXPECT_DOUBLE_EQ(fmax, c.wantMax);
  }
  double lo, hi;
  DisplayableFreqRange(false, 100, 0, 11025, &lo, &hi);
  EXPECT_DOUBLE_EQ(lo, 100);
  EXPECT_DOUBLE_EQ(hi, 100 + 5512.5);
  DisplayableFreqRange(true, 100, 1000, 8000, &lo, &hi);
  EXPECT_DOUBLE_EQ(lo, 100 + 1000 - 2000);
  EXPECT_DOUBLE_EQ(hi, 100 + 1000 + 2000);
}

TEST(DisplayGeometry, StepButtons)
{
  // The smallest 0.1 x 10^k that is at least a twentieth of the span.
  struct {
    double fmin, fmax, step;
  } steps[] = {{0, 1, 0.1}, {0, 2, 0.1}, {0, 2.1, 1}, {0, 1200, 100}, {1200, 0, 100},
               {0, 20, 1},  {0, 20000, 1000}, {5, 5, 0.1}};
  for (const auto& s : steps)
    EXPECT_NEAR(FreqStepForSpan(s.fmin, s.fmax), s.step, s.step * 1e-9) << s.fmin << ".." << s.fmax;

  // Up on the lower edge when the span is below step + 0.5: stops at FreqMax - 0.5.
  EXPECT_DOUBLE_EQ(StepLowerEdge(100, 10, +1, 0, 105), 104.5);
  EXPECT_DOUBLE_EQ(StepLowerEdge(100, 10, -1, 0, 1000), 90);
  EXPECT_DOUBLE_EQ(StepLowerEdge(5, 10, -1, 0, 1000), 0);      // not below the minimum
  EXPECT_DOUBLE_EQ(StepUpperEdge(1000, 100, +1, 0, 1050), 1050);
  EXPECT_DOUBLE_EQ(StepUpperEdge(100, 100, -1, 50, 5000), 50.5);

  int a = -5, b = 50;
  ClampPairToRange(10, 3, &a, &b);
  EXPECT_EQ(a, 3);
  EXPECT_EQ(b, 10);
}

TEST(DisplayGeometry, LayoutOfTheAreas)
{
  // Horizontal, graph and waterfall: graph from y = 8, scale below, waterfall to 4 above the
  // bottom, all 8 narrower than the group.
  TDisplayLayout l = ArrangeDisplayRects(800, 600, 2, ORIENT_HORIZONTAL, 150, 30, 50);
  ASSERT_TRUE(l.Valid);
  EXPECT_TRUE(l.Graph.Visible && l.Waterfall.Visible && l.Scale.Visible);
  EXPECT_EQ(l.Graph.Left, 4);
  EXPECT_EQ(l.Graph.Top, 8);
  EXPECT_EQ(l.Graph.Width, 792);
  EXPECT_EQ(l.Graph.Height, 150);
  EXPECT_EQ(l.Scale.Top, 158);
  EXPECT_EQ(l.Scale.Height, 30);
  EXPECT_EQ(l.Waterfall.Top, 188);
  EXPECT_EQ(l.Waterfall.Top + l.Waterfall.Height, 596);
  // Waterfall only (style 0 and unknown styles).
  for (int style : {0, 7}) {
    l = ArrangeDisplayRects(800, 600, style, ORIENT_HORIZONTAL, 150, 30, 50);
    EXPECT_FALSE(l.Graph.Visible);
    EXPECT_EQ(l.Scale.Top, 8);
    EXPECT_EQ(l.Waterfall.Top, 38);
  }
  // Graph only: the graph takes what the scale leaves.
  l = ArrangeDisplayRects(800, 600, 3, ORIENT_HORIZONTAL, 150, 30, 50);
  EXPECT_FALSE(l.Waterfall.Visible);
  EXPECT_EQ(l.Scale.Top + l.Scale.Height, 596);
  EXPECT_EQ(l.Graph.Top + l.Graph.Height, l.Scale.Top);
  // Rotated style 1: graph, scale, waterfall side by side from x = 4, 4 apart.
  l = ArrangeDisplayRects(800, 600, 1, ORIENT_ROTATED, 150, 30, 50);
  EXPECT_EQ(l.Graph.Left, 4);
  EXPECT_EQ(l.Graph.Width, 150);
  EXPECT_EQ(l.Scale.Left, 158);
  EXPECT_EQ(l.Scale.Width, 50);
  EXPECT_EQ(l.Waterfall.Left, 212);
  EXPECT_EQ(l.Waterfall.Left + l.Waterfall.Width, 796);
  // Rotated style 2: waterfall, scale, graph ending 4 before the right edge.
  l = ArrangeDisplayRects(800, 600, 2, ORIENT_ROTATED, 150, 30, 50);
  EXPECT_EQ(l.Waterfall.Left, 4);
  EXPECT_EQ(l.Scale.Left, l.Waterfall.Left + l.Waterfall.Width + 4);
  EXPECT_EQ(l.Graph.Left, l.Scale.Left + 54);
  EXPECT_EQ(l.Graph.Left + l.Graph.Width, 796);
  // Too small a group: nothing is arranged.
  EXPECT_FALSE(ArrangeDisplayRects(15, 600, 2, ORIENT_HORIZONTAL, 150, 30, 50).Valid);
}

// At the smallest group size, for every layout and for small and large stored sizes, the visible
// areas lie inside the group, apart, the waterfall and a filling graph at least
// kMinDisplayExtent across and the frequency axis at least kMinDisplayAxis long.
TEST(DisplayGeometry, SmallestGroupHoldsTheAreasApart)
{
  for (const int orient : {ORIENT_HORIZONTAL, ORIENT_ROTATED})
    for (const int style : {0, 1, 2, 3})
      for (const int graph : {8, 150, 400})
        for (const int scale : {8, 30, 60}) {
          SCOPED_TRACE(::testing::Message() << orient << "/" << style << " " << graph << " " << scale);
          int w = 0, h = 0;
          MinDisplayGroupSize(style, orient, graph, scale, 35, &w, &h);
          const TDisplayLayout l = ArrangeDisplayRects(w, h, style, orient, graph, scale, 35);
          ASSERT_TRUE(l.Valid);
          const TDisplayRect* areas[] = {&l.Graph, &l.Scale, &l.Waterfall};
          for (int i = 0; i < 3; ++i) {
            const TDisplayRect& a = *areas[i];
            if (!a.Visible) continue;
            EXPECT_GE(a.Left, 0) << i;
            EXPECT_GE(a.Top, 0) << i;
            EXPECT_LE(a.Left + a.Width, w) << i;
            EXPECT_LE(a.Top + a.Height, h) << i;
            for (int j = 0; j < i; ++j) {
              const TDisplayRect& b = *areas[j];
              if (!b.Visible) continue;
              const bool apart = a.Left >= b.Left + b.Width || b.Left >= a.Left + a.Width ||
                                 a.Top >= b.Top + b.Height || b.Top >= a.Top + a.Height;
              EXPECT_TRUE(apart) << i << " " << j;
            }
          }
          const bool rotated = orient == ORIENT_ROTATED;
          const TDisplayRect& filling = style == 3 ? l.Graph : l.Waterfall;
          EXPECT_GE(rotated ? filling.Width : filling.Height, kMinDisplayExtent);
          EXPECT_GE(rotated ? l.Scale.Height : l.Scale.Width, kMinDisplayAxis);
        }
}
