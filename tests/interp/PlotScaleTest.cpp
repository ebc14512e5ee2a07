// Plot diagram arithmetic: tick steps and values, value rows, marker intervals, layout.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "interp/PlotScale.h"
#include "interp/WatchDefaults.h"

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(PlotScale, ScaleStep)
{
  struct Case {
    double range;
    int pixels;
    double step;
  } cases[] = {{100.0, 200, 10.0}, {200.0, 400, 10.0}, {1.0, 100, 0.2}, {0.0, 100, 0.02},
               {3000.0, 300, 200.0}, {7.0, 700, 0.2}};
  for (const Case& c : cases) EXPECT_NEAR(Plot_CalcScaleStep(c.range, c.pixels, 20), c.step, c.step * 1e-9) << c.range;
}

TEST(PlotScale, TickValues)
{
  double t[64];
  ASSERT_EQ(Plot_TickValues(0.0, 100.0, 200, t, 64), 11);
  for (int i = 0; i < 11; ++i) EXPECT_NEAR(t[i], 10.0 * i, 1e-9);
  ASSERT_EQ(Plot_TickValues(-95.0, 95.0, 400, t, 64), 19);
  EXPECT_NEAR(t[0], -90.0, 1e-9);
  EXPECT_NEAR(t[18], 90.0, 1e-9);
}

TEST(PlotScale, DegenerateScalesGiveNoTicks)
{
  struct Case {
    const char* what;
    double min, max;
    int pixels;
  } cases[] = {
      {"no pixels", 0.0, 100.0, 0},
      {"negative pixels", 0.0, 100.0, -50},
      {"max equals min", 5.0, 5.0, 200},
      {"max below min", 5.0, -5.0, 200},
      {"NaN", kNaN, 1.0, 200},
      {"infinite max", 0.0, kInf, 200},
      {"infinite min", -kInf, 0.0, 200},
      {"tiny range at a huge magnitude", 1e300, std::nextafter(1e300, kInf), 200},
      {"huge range", -1.7e308, 1.7e308, 200},
  };
  double t[64];
  for (const Case& c : cases) EXPECT_EQ(Plot_TickValues(c.min, c.max, c.pixels, t, 64), 0) << c.what;
  // Never more passes than pixels / 20 + 2.
  EXPECT_LE(Plot_TickValues(0.0, 1e-9, 1000000, t, 64), 64);
  EXPECT_LE(Plot_TickValues(-1.0, 1.0, 45, t, 64), 45 / 20 + 2);
}

TEST(PlotScale, ValueToRowLimitsToTheScale)
{
  T_WatchList wl;
  Plot_InitDefaults(&wl);
  wl.PlotArea = {10, 20, 300, 220};
  wl.Pens[1].ScaleMin = -100.0;
  wl.Pens[1].ScaleMax = 100.0;
  struct Case {
    int ch;
    double v;
    int y;
  } cases[] = {{1, 0.0, 120}, {1, -100.0, 220}, {1, 100.0, 20}, {1, -1000.0, 220}, {1, 1e300, 20},
               {1, 50.0, 70}, {1, kNaN, 220}, {6, 0.0, 0}, {-1, 0.0, 0}, {20, 0.0, 0}};
  for (const Case& c : cases) EXPECT_EQ(Plot_ValueToY(&wl, c.ch, c.v), c.y) << c.ch << " " << c.v;
  wl.Pens[2].ScaleMax = wl.Pens[2].ScaleMin;
  EXPECT_EQ(Plot_ValueToY(&wl, 2, 0.0), 0);
}

TEST(PlotScale, MarkerIntervalAndSecondOfDay)
{
  struct Case {
    double seconds;
    int whole;
  } cases[] = {{60.0, 60}, {0.5, 0}, {-10.0, 0}, {kNaN, 0}, {kInf, 0}, {3e9, 0}, {120.9, 120}};
  for (const Case& c : cases) EXPECT_EQ(Plot_IntervalSeconds(c.seconds), c.whole) << c.seconds;
  EXPECT_EQ(Plot_SecondOfDay(86400.0 * 3 + 61.7), 61);
  EXPECT_EQ(Plot_SecondOfDay(-1.0), 86399);
  EXPECT_EQ(Plot_SecondOfDay(kNaN), -1);
  EXPECT_EQ(Plot_SecondOfDay(1e300), -1);
}

TEST(PlotScale, LayoutRectangles)
{
  T_WatchList wl;
  Plot_InitDefaults(&wl);
  const int widths[2] = {40, 50};
  struct Case {
    int pos;
    T_PlotRect legend, plot;
  } cases[] = {
      {0, {0, 0, 0, 0}, {41, 13, 348, 187}},
      {1, {0, 0, 60, 199}, {103, 13, 348, 187}},
      {2, {340, 0, 399, 199}, {41, 13, 287, 187}},
      {3, {0, 0, 399, 29}, {41, 42, 348, 187}},
      {4, {0, 170, 399, 199}, {41, 13, 348, 157}},
  };
  for (const Case& c : cases) {
    wl.LegendPos = c.pos;
    Plot_LayoutRects(&wl, 400, 200, 60, 30, widths);
    EXPECT_EQ(wl.LegendArea.left, c.legend.left) << c.pos;
    EXPECT_EQ(wl.LegendArea.top, c.legend.top) << c.pos;
    EXPECT_EQ(wl.LegendArea.right, c.legend.right) << c.pos;
    EXPECT_EQ(wl.LegendArea.bottom, c.legend.bottom) << c.pos;
    EXPECT_EQ(wl.PlotArea.left, c.plot.left) << c.pos;
    EXPECT_EQ(wl.PlotArea.top, c.plot.top) << c.pos;
    EXPECT_EQ(wl.PlotArea.right, c.plot.right) << c.pos;
    EXPECT_EQ(wl.PlotArea.bottom, c.plot.bottom) << c.pos;
  }
  // Scales that leave less than 20 pixels between them are squeezed to an eighth each.
  const int wide[2] = {250, 250};
  wl.LegendPos = 0;
  Plot_LayoutRects(&wl, 400, 200, 0, 0, wide);
  EXPECT_EQ(wl.PlotArea.left, 51);
  EXPECT_EQ(wl.PlotArea.right, 349);
}

TEST(PlotScale, LegendBoxesWithoutVisibleChannels)
{
  T_WatchList wl;
  Plot_InitDefaults(&wl);
  wl.LegendPos = WATCH_LEGEND_BOTTOM;
  wl.LegendArea = {0, 170, 399, 199};
  for (T_WatchPen& p : wl.Pens) p.PenDisplayStyle = 0;
  Plot_PlaceLegendBoxes(&wl, 30, 12);
  for (const T_PlotRect& b : wl.LegendBoxes) EXPECT_EQ(b.right - b.left, 0);
  wl.Pens[0].PenDisplayStyle = 1;
  wl.Pens[2].PenDisplayStyle = 1;
  Plot_PlaceLegendBoxes(&wl, 30, 12);
  // Two visible: slots of 399 / 2 pixels, by channel index.
  EXPECT_EQ(wl.LegendBoxes[0].left, 0);
  EXPECT_EQ(wl.LegendBoxes[0].right, 30);
  EXPECT_EQ(wl.LegendBoxes[0].top, 172);
  EXPECT_EQ(wl.LegendBoxes[0].bottom, 186);
  EXPECT_EQ(wl.LegendBoxes[1].right - wl.LegendBoxes[1].left, 0);  // hidden: its slot stays empty
  EXPECT_EQ(wl.LegendBoxes[2].left, 398);
  EXPECT_EQ(wl.LegendBoxes[2].right, 399);  // kept inside the area
}

}  // namespace
