// The window-free part of the markers and read-outs: empty texts, marker positions, the zoom
// steps, the range drag, the history slot under the waterfall's cursor and the once-only
// reporting.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "mainwin/DisplayGeometry.h"
#include "mainwin/FreqMarkers.h"

TEST(FreqMarkers, EmptyTexts)
{
  const struct {
    const char* text;
    bool empty;
  } cases[] = {
      {"", true},          {" x", true},         {"\tx", true},   {"\x1f", true},
      {"x", false},        {"!", false},         // first printable
      {"\x80", false},     {"\xc3\x84rger", false}, {"\xff", false},  // bytes from 128 up
  };
  for (const auto& c : cases) EXPECT_EQ(MarkerTextEmpty(c.text), c.empty) << '"' << c.text << '"';
  EXPECT_TRUE(MarkerTextEmpty(nullptr));
}

TEST(FreqMarkers, AxisPixel)
{
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double freq, offset, fmin, fmax;
    int axisLen, pixel;
  } cases[] = {
      {250, 0, 0, 1000, 780, 195},         // 250 x 780 / 1000
      {250.7, 0, 0, 1000, 780, 196},       // 195.55 rounds up
      {460, 10000, 10000, 11000, 780, 359},  // the offset counts: 10460 on 10000..11000
      {-5, 0, 0, 1000, 780, 0},            // clamped at both ends
      {1e9, 0, 0, 1000, 780, 780},
      {1e300, 0, 0, 1000, 780, 780},       // far beyond int: still the end
      {-inf, 0, 0, 1000, 780, 0},
      {nan, 0, 0, 1000, 780, 0},
      {500, 0, 1000, 1000, 780, 0},        // no span
      {500, 0, 1000, 900, 780, 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MarkerAxisPixel(c.freq, c.offset, c.fmin, c.fmax, c.axisLen), c.pixel) << c.freq;
}

TEST(FreqMarkers, CentreInEachOrientation)
{
  const struct {
    int orient;
    bool mirror;
    int x, y;
  } cases[] = {
      {ORIENT_HORIZONTAL, false, 100, 15},  // x = p, half the height
      {ORIENT_HORIZONTAL, true, 680, 15},   // N - p
      {ORIENT_ROTATED, false, 20, 300},     // y = N - p, half the width
      {ORIENT_ROTATED, true, 20, 100},      // y = p
  };
  for (const auto& c : cases) {
    int x = -1, y = -1;
    MarkerCentre(100, c.orient == ORIENT_ROTATED ? 400 : 780, c.orient, c.mirror, 40, 30, &x, &y);
    EXPECT_EQ(x, c.x) << c.orient << c.mirror;
    EXPECT_EQ(y, c.y) << c.orient << c.mirror;
  }
}

TEST(FreqMarkers, ZoomIn)
{
  const struct {
    double popup, fmin, fmax, lo, hi;
  } cases[] = {
      {500, 0, 1000, 450, 550},      // a tenth of the span around the click
      {10, 0, 1000, 0, 60},          // not below the displayable minimum
      {5500, 0, 5512.5, 5224.375, 5512.5},  // not above the displayable maximum
      {500.2, 500, 504, 499.7, 500.7},  // half a hertz at least; not below fmin - half
      {503.9, 500, 504, 503.4, 504.4},
  };
  for (const auto& c : cases) {
    double lo = 0, hi = 0;
    ZoomInRange(c.popup, c.fmin, c.fmax, 0, 5512.5, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, c.lo) << c.popup;
    EXPECT_DOUBLE_EQ(hi, c.hi) << c.popup;
  }
}

TEST(FreqMarkers, ZoomOut)
{
  const struct {
    double popup, fmin, fmax, keptMin, keptMax, maxDisp, lo, hi;
  } cases[] = {
      // The remembered range reaches more than a width beyond both edges: it returns.
      {500, 450, 550, 0, 1000, 5512.5, 0, 1000},
      {2000, 1900, 2100, 0, 5000, 5000, 0, 5000},
      // Right after that, the remembered range is the shown one: +-20 widths, limited.
      {500, 0, 1000, 0, 1000, 5512.5, 0, 5512.5},
      // Only one side reaches that far: widened around the click.
      {500, 450, 550, 400, 1000, 5000, 0, 2500},
      {3000, 2950, 3050, 0, 3100, 5000, 1000, 5000},
  };
  for (const auto& c : cases) {
    double lo = c.keptMin, hi = c.keptMax;
    ZoomOutRange(c.popup, c.fmin, c.fmax, 0, c.maxDisp, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, c.lo) << c.popup << " " << c.fmin;
    EXPECT_DOUBLE_EQ(hi, c.hi) << c.popup << " " << c.fmin;
  }
}

TEST(FreqMarkers, RangeDragFollowsTheMouse)
{
  const struct {
    double startMin, startMax;
    int travel;
    bool mirror;
    double lo, hi;
  } cases[] = {
      {1000, 2000, 46, false, 900, 1900},    // 1000 Hz over 460 pixels: 100 Hz for 46 pixels
      {1000, 2000, -46, false, 1100, 2100},
      {1000, 2000, 46, true, 1100, 2100},    // mirrored: higher frequencies at the left
      {0, 1000, 46, false, 0, 1000},         // at the lower limit the span stays
      {4000, 5000, -92, false, 4000, 5000},  // at the upper limit (5000)
      {100, 1100, 92, false, 0, 1000},       // stopped part of the way
  };
  for (const auto& c : cases) {
    double lo = 0, hi = 0;
    DragFreqRange(c.startMin, c.startMax, c.travel, 460, c.mirror, 0, 5000, &lo, &hi);
    EXPECT_DOUBLE_EQ(lo, c.lo) << c.startMin << " " << c.travel;
    EXPECT_DOUBLE_EQ(hi, c.hi) << c.startMin << " " << c.travel;
  }
}

TEST(FreqMarkers, HistorySlotUnderTheCursor)
{
  const struct {
    int back, lines, writeIndex;
    bool live;
    int viewBase, slot;
  } cases[] = {
      {0, 10, 5, true, 0, 4},    // the newest line
      {4, 10, 5, true, 0, 0},
      {5, 10, 5, true, 0, 9},    // wrapped
      {9, 10, 5, true, 0, 5},    // the oldest line
      {10, 10, 5, true, 0, -1},  // beyond the ring
      {25, 10, 5, true, 0, -1},  // far beyond: not wrapped into it
      {-1, 10, 5, true, 0, -1},
      {2, 10, 5, false, 3, 1},   // looking back from the view base
      {6, 10, 5, false, 3, 7},
      {0, 0, 0, true, 0, -1},    // no history
  };
  for (const auto& c : cases)
    EXPECT_EQ(WaterfallHistorySlot(c.back, c.lines, c.writeIndex, c.live, c.viewBase), c.slot)
        << c.back << " " << c.live;
}

TEST(FreqMarkers, FailuresReportedOnce)
{
  CFreqMarkerReports r;
  // A command: once per run (drag), again in the next run; markers apart.
  r.BeginCommandRun(0);
  EXPECT_TRUE(r.CommandFailed(0));
  EXPECT_FALSE(r.CommandFailed(0));
  EXPECT_TRUE(r.CommandFailed(1));
  r.BeginCommandRun(0);
  EXPECT_TRUE(r.CommandFailed(0));
  EXPECT_FALSE(r.CommandFailed(1));

  // An expression: once until it succeeds or its text changes.
  EXPECT_TRUE(r.ExpressionFailed(2, "bad"));
  EXPECT_FALSE(r.ExpressionFailed(2, "bad"));
  EXPECT_TRUE(r.ExpressionFailed(2, "worse"));
  EXPECT_FALSE(r.ExpressionFailed(2, "worse"));
  EXPECT_TRUE(r.ExpressionFailed(0, "worse"));
  r.ExpressionSucceeded(2);
  EXPECT_TRUE(r.ExpressionFailed(2, "worse"));
  // Marker numbers outside 0..2 are never reported.
  EXPECT_FALSE(r.CommandFailed(3));
  EXPECT_FALSE(r.ExpressionFailed(-1, "x"));
}
