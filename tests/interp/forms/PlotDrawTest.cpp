// The plot diagram: scales, grid, markers, time labels, legend, curves and scrolling, with pixels
// checked where the drawing rules put them; degenerate scales; the plot.capture word.
#include <gtest/gtest.h>

#include <QFont>
#include <QFontMetrics>
#include <QImage>

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "common/TestUtil.h"
#include "engine/TimeUtils.h"
#include "engine/forms/ColorRefQt.h"
#include "interp/CliFixture.h"
#include "interp/WatchDefaults.h"
#include "interp/forms/PlotCommand.h"
#include "interp/forms/PlotDraw.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr uint32_t kWhite = 0xFFFFFF;

uint32_t Px(const QImage& img, int x, int y) { return QColorToColorRef(img.pixelColor(x, y)); }

bool AnyLit(const QImage& img, int x0, int y0, int x1, int y1)
{
  for (int y = std::max(0, y0); y <= std::min(img.height() - 1, y1); ++y)
    for (int x = std::max(0, x0); x <= std::min(img.width() - 1, x1); ++x)
      if (Px(img, x, y) != 0) return true;
  return false;
}

class PlotDrawTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    Plot_InitDefaults(&wl);
    wl.BkgndColor = 0;
    wl.PlotArea = wl.ScrollArea = {50, 20, 350, 220};
    img = QImage(400, 300, QImage::Format_RGB32);
    img.fill(Qt::black);
  }
  T_WatchList wl;
  QImage img;
};

TEST_F(PlotDrawTest, VertScaleTicksAndLabelsOnBothSides)
{
  for (int side : {0, 1}) {
    SCOPED_TRACE(side);
    img.fill(Qt::black);
    T_PlotScale s;
    s.Left = 20;
    s.Right = 80;
    s.Top = 10;
    s.Bottom = 210;
    s.SpanTop = 10;
    s.SpanBottom = 210;
    s.Side = side;
    s.Min = 0.0;
    s.Max = 100.0;
    s.Color = kWhite;
    std::snprintf(s.FontName, sizeof s.FontName, "%s", "Arial");
    std::snprintf(s.LabelFormat, sizeof s.LabelFormat, "%s", "##0");
    ASSERT_TRUE(Plot_DrawVertScale(img, s));
    const int axisX = side == 0 ? 80 : 20;
    const int tickX = side == 0 ? 75 : 25;
    for (int y = 10; y <= 210; y += 7) EXPECT_EQ(Px(img, axisX, y), kWhite) << y;
    for (int v = 0; v <= 100; v += 10) {
      const int y = 210 - 2 * v;  // bottom - trunc(height x (v - min) / (max - min))
      EXPECT_EQ(Px(img, tickX, y), kWhite) << v;
      if (v > 0) {
        EXPECT_EQ(Px(img, tickX, y + 10), 0u) << v;
      }
    }
    // A label beside the tick of 50, on the tick's far side from the axis.
    const int labelLeft = side == 0 ? 20 : 30;
    EXPECT_TRUE(AnyLit(img, labelLeft, 100, labelLeft + 50, 120));
  }
  T_PlotScale bad;
  bad.Side = 2;
  const QImage before = img;
  EXPECT_FALSE(Plot_DrawVertScale(img, bad));
  EXPECT_EQ(img, before);
}

TEST_F(PlotDrawTest, GridLinesAtTheTickValues)
{
  wl.GridColor = 0xAFAFAF;
  wl.Axes[0].AxisAssign = 1;
  wl.Pens[0].ScaleMin = 0.0;
  wl.Pens[0].ScaleMax = 100.0;
  Plot_DrawGridLines(img, &wl, -1, 1);
  for (int v = 0; v <= 100; v += 10) {
    const int y = 220 - 2 * v;
    EXPECT_EQ(Px(img, 60, y), 0xAFAFAFu) << v;
    EXPECT_EQ(Px(img, 349, y), 0xAFAFAFu) << v;
    if (v > 0) {
      EXPECT_EQ(Px(img, 60, y + 5), 0u) << v;
    }
  }
  // Only the newest ten columns.
  img.fill(Qt::black);
  Plot_DrawGridLines(img, &wl, 10, 1);
  EXPECT_EQ(Px(img, 341, 120), 0xAFAFAFu);
  EXPECT_EQ(Px(img, 335, 120), 0u);
  // Dotted, newest column only: dashes of four columns while scrolling.
  img.fill(Qt::black);
  wl.ScrollCount = 4;
  Plot_DrawGridLines(img, &wl, 0, 3);
  EXPECT_FALSE(AnyLit(img, 0, 0, 399, 299));
  wl.ScrollCount = 8;
  Plot_DrawGridLines(img, &wl, 0, 3);
  EXPECT_EQ(Px(img, 350, 120), 0xAFAFAFu);
  // Axis 1 off: axis 2's channel scales the grid.
  img.fill(Qt::black);
  wl.Axes[0].AxisAssign = -1;
  wl.Axes[1].AxisAssign = 2;
  wl.Pens[1].ScaleMin = 0.0;
  wl.Pens[1].ScaleMax = 1.0;  // step 0.1 over 200 pixels: rows 220, 200, ...
  Plot_DrawGridLines(img, &wl, -1, 1);
  EXPECT_EQ(Px(img, 60, 200), 0xAFAFAFu);
  EXPECT_EQ(Px(img, 60, 210), 0u);
}

TEST_F(PlotDrawTest, MarkerStyles)
{
  wl.GridColor = kWhite;
  struct Case {
    int style;
    int top;  // -1: nothing drawn
  } cases[] = {{0, -1}, {1, 20}, {2, 20}, {3, 20}, {4, 212}, {5, 204}, {6, 188}, {7, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style);
    img.fill(Qt::black);
    Plot_DrawMarkerLine(img, &wl, 10, c.style);
    const int x = 340;
    if (c.top < 0) {
      EXPECT_FALSE(AnyLit(img, 0, 0, 399, 299));
      continue;
    }
    int lit = 0;
    for (int y = 0; y < 300; ++y) lit += Px(img, x, y) != 0;
    EXPECT_FALSE(AnyLit(img, 0, 0, 399, c.top - 2));
    EXPECT_FALSE(AnyLit(img, 0, 222, 399, 299));
    if (c.style == 3) {
      EXPECT_GT(lit, 60);
      EXPECT_LT(lit, 150);
    } else {
      EXPECT_GE(lit, 220 - c.top);
      EXPECT_EQ(Px(img, x, c.top + 1), kWhite);
      EXPECT_EQ(Px(img, x, 219), kWhite);
    }
  }
}

TEST_F(PlotDrawTest, TimeLabelTakesTheDateFormatAcrossADayChange)
{
  std::snprintf(wl.TimeLabelFormat, sizeof wl.TimeLabelFormat, "%s", "hh:mm");
  std::snprintf(wl.DateLabelFormat, sizeof wl.DateLabelFormat, "%s", "YY-MM-DD");
  wl.LabelColor = kWhite;
  const double day = CalendarToUnixSeconds(2026, 12, 10, 0, 0, 0.0);
  wl.FirstDrawnTime2 = day + 23 * 3600 + 50 * 60;
  const QFontMetrics fm(QFont(QStringLiteral("Arial"), 8));
  struct Case {
    double t;
    const char* text;
  } cases[] = {{day + 23 * 3600 + 55 * 60, "23:55"}, {day + 86400 + 5 * 60, "26-12-11"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    img.fill(Qt::black);
    Plot_DrawTimeLabel(img, &wl, 100, c.t);
    // Turned by 90 degrees: a column band of one font height left of the marker, the foot
    // 8 pixels above the plot area's bottom, as high as the text is wide.
    const int x0 = 350 - 100 - fm.height();
    int topLit = 300, bottomLit = -1;
    for (int y = 0; y < 300; ++y)
      if (AnyLit(img, x0, y, x0 + fm.height(), y)) {
        topLit = std::min(topLit, y);
        bottomLit = std::max(bottomLit, y);
      }
    EXPECT_FALSE(AnyLit(img, 0, 0, x0 - 1, 299));
    EXPECT_LE(bottomLit, 212);
    EXPECT_NEAR(212 - topLit, fm.horizontalAdvance(QString::fromLatin1(c.text)), 4);
  }
}

TEST_F(PlotDrawTest, TimeMarkersAtIntervalBoundaries)
{
  wl.GridColor = kWhite;
  wl.LargeMarker = 1;
  wl.LargeIntervalSec = 60.0;
  wl.SmallMarker = 4;
  wl.SmallIntervalSec = 10.0;
  wl.TimeLabelFormat[0] = wl.DateLabelFormat[0] = '\0';
  wl.FirstDrawnTime = 1000.0 * 86400 + 55;
  struct Case {
    double t;
    bool drawn;
    int top;
  } cases[] = {{1000.0 * 86400 + 58, false, 0}, {1000.0 * 86400 + 61, true, 20}, {1000.0 * 86400 + 65, false, 0},
               {1000.0 * 86400 + 71, true, 212}, {kNaN, false, 0}};
  for (const Case& c : cases) {
    img.fill(Qt::black);
    EXPECT_EQ(Plot_DrawTimeMarkers(img, &wl, 0, c.t), c.drawn) << c.t;
    if (c.drawn) {
      EXPECT_EQ(Px(img, 350, c.top + 1), kWhite) << c.t;
    }
    if (c.drawn) {
      EXPECT_FALSE(AnyLit(img, 350, 0, 350, c.top - 2)) << c.t;
    }
  }
  // A non-finite interval counts as off.
  wl.LargeIntervalSec = kNaN;
  wl.SmallIntervalSec = std::numeric_limits<double>::infinity();
  EXPECT_FALSE(Plot_DrawTimeMarkers(img, &wl, 0, 2000.0 * 86400));
}

TEST_F(PlotDrawTest, LegendInEachPositionAndDetail)
{
  wl.ChannelCount = 3;
  const uint32_t colours[3] = {0x0000FF, 0x00FF00, 0xFF0000};
  for (int i = 0; i < 3; ++i) {
    wl.Pens[i].PenColor = colours[i];
    wl.Pens[i].PenDisplayStyle = 2;
  }
  wl.Axes[0].AxisAssign = -1;
  wl.Axes[1].AxisAssign = -1;
  const QFontMetrics fm(QFont(QStringLiteral("Arial"), 9));
  const int wM = fm.horizontalAdvance(QLatin1Char('M'));
  const int hQ = fm.height();
  int titleW = 0;
  for (int i = 0; i < 3; ++i) titleW = std::max(titleW, fm.horizontalAdvance(QString::fromLatin1(wl.Titles[i])));
  for (int details = 0; details <= 2; ++details) {
    for (int pos = 1; pos <= 4; ++pos) {
      SCOPED_TRACE(std::to_string(pos) + "/" + std::to_string(details));
      wl.LegendPos = pos;
      wl.LegendDetails = details;
      img.fill(Qt::black);
      Plot_CalcLayout(img, &wl);
      Plot_DrawLegend(img, &wl);
      const int bw = (details >= 1 ? std::max(wM, titleW) : wM) + wM / 2;
      const int bh = (hQ + 2) * (details == 2 ? 2 : 1);
      const int entry = details < 1 ? 2 * wM : details == 1 ? bw : bw + 5 * wM;
      const bool side = pos <= 2;
      const int lw = std::min(side ? entry : 3 * entry, 400 / 3);
      const int lh = std::min(side ? 3 * bh : bh, 300 / 3);
      T_PlotRect area = pos == 1 ? T_PlotRect{0, 0, lw, 299}
                        : pos == 2 ? T_PlotRect{400 - lw, 0, 399, 299}
                        : pos == 3 ? T_PlotRect{0, 0, 399, lh - 1}
                                   : T_PlotRect{0, 300 - lh, 399, 299};
      for (int i = 0; i < 3; ++i) {
        int left, top;
        if (side) {
          left = area.left + 2;
          top = area.top + i * std::max(2, (area.bottom - area.top) / 3);
        } else {
          left = area.left + i * std::max(2, (area.right - area.left) / 3);
          top = area.top + 2;
        }
        // A corner pixel of the box: the text starts one pixel right of the left edge.
        EXPECT_EQ(Px(img, left, top), colours[i]) << i;
        EXPECT_EQ(wl.LegendBoxes[i].left, left) << i;
        EXPECT_EQ(wl.LegendBoxes[i].top, top) << i;
      }
    }
  }
  // No visible channel: no boxes, the legend area only.
  for (T_WatchPen& p : wl.Pens) p.PenDisplayStyle = 0;
  img.fill(Qt::black);
  Plot_CalcLayout(img, &wl);
  Plot_DrawLegend(img, &wl);
  EXPECT_FALSE(AnyLit(img, 0, 0, 399, 299));
}

TEST_F(PlotDrawTest, GraphStylesAndValuesBeyondTheScale)
{
  wl.ChannelCount = 1;
  wl.Pens[0].PenColor = 0x0000FF;
  wl.Pens[0].ScaleMin = 0.0;
  wl.Pens[0].ScaleMax = 100.0;
  auto rec = [](double mn, double mx, double av) {
    T_PlotDataRecord r;
    PlotData_ClearRecord(&r);
    r.Channel[0] = {mn, mx, av};
    return r;
  };
  auto row = [](double v) { return static_cast<int>(std::trunc(220 - 200 * (std::clamp(v, 0.0, 100.0) / 100.0))); };
  struct Case {
    int style;
    uint32_t show;
    bool minDot, maxDot, avgAt350, minLine;
  } cases[] = {
      {1, 7, true, true, true, false},
      {2, 7, true, true, true, false},
      {3, 7, false, false, true, true},
      {1, 2, false, true, false, false},
      {0, 7, false, false, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.style * 10 + static_cast<int>(c.show));
    img.fill(Qt::black);
    wl.Pens[0].PenDisplayStyle = c.style;
    wl.Pens[0].PenShowWhat = c.show;
    wl.Axes[3].NewestColumn = 0;
    for (auto& v : wl.PrevValid[0]) v = false;
    Plot_DrawNewSamples(img, &wl, rec(10, 90, 50), 1, PLOT_MAX_CHANNELS);  // column 349
    Plot_DrawNewSamples(img, &wl, rec(30, 70, 60), 0, PLOT_MAX_CHANNELS);  // column 350
    EXPECT_EQ(Px(img, 350, row(30)) == 0x0000FF, c.minDot || c.minLine);
    EXPECT_EQ(Px(img, 350, row(70)) == 0x0000FF, c.maxDot || c.minLine);
    EXPECT_EQ(Px(img, 350, row(60)) == 0x0000FF, c.avgAt350);
    // Dots stay single pixels; lines join column 349 to 350.
    EXPECT_EQ(Px(img, 349, row(20)) == 0x0000FF || Px(img, 350, row(20)) == 0x0000FF, c.minLine);
    if (c.style == 0) {
      EXPECT_FALSE(AnyLit(img, 0, 0, 399, 299));
    }
    EXPECT_EQ(wl.Axes[3].NewestColumn, c.style == 0 ? 350 : 350);
  }
  // Values below and above the scale: bottom and top rows.
  img.fill(Qt::black);
  wl.Pens[0].PenDisplayStyle = 1;
  wl.Pens[0].PenShowWhat = 3;
  Plot_DrawNewSamples(img, &wl, rec(-50, 500, 0), 0, PLOT_MAX_CHANNELS);
  EXPECT_EQ(Px(img, 350, 220), 0x0000FFu);
  EXPECT_EQ(Px(img, 350, 20), 0x0000FFu);
  // A non-finite value: no point, and the curve starts again after the gap.
  img.fill(Qt::black);
  wl.Pens[0].PenDisplayStyle = 3;
  wl.Pens[0].PenShowWhat = 4;
  Plot_DrawNewSamples(img, &wl, rec(0, 0, 50), 2, PLOT_MAX_CHANNELS);
  Plot_DrawNewSamples(img, &wl, rec(0, 0, kNaN), 1, PLOT_MAX_CHANNELS);
  Plot_DrawNewSamples(img, &wl, rec(0, 0, 60), 0, PLOT_MAX_CHANNELS);
  EXPECT_FALSE(AnyLit(img, 349, 0, 350, 299));
  Plot_ScrollLeft(img, &wl, 1);
  wl.Axes[3].NewestColumn = 349;  // the window moves the newest column with the scroll
  Plot_DrawNewSamples(img, &wl, rec(0, 0, 70), 0, PLOT_MAX_CHANNELS);
  EXPECT_EQ(Px(img, 350, row(70)), 0x0000FFu);
}

TEST_F(PlotDrawTest, ScrollingMovesThePlotAreaOnly)
{
  img.setPixelColor(350, 100, Qt::white);
  img.setPixelColor(200, 220, Qt::white);
  img.setPixelColor(40, 100, Qt::white);
  img.setPixelColor(352, 100, Qt::white);
  wl.BkgndColor = 0x00003F;
  Plot_ScrollLeft(img, &wl, 3);
  EXPECT_EQ(Px(img, 347, 100), kWhite);
  EXPECT_EQ(Px(img, 197, 220), kWhite);
  for (int x = 348; x <= 350; ++x) EXPECT_EQ(Px(img, x, 100), 0x00003Fu);
  EXPECT_EQ(Px(img, 40, 100), kWhite);
  EXPECT_EQ(Px(img, 352, 100), kWhite);
  EXPECT_EQ(Px(img, 200, 10), 0u);
  EXPECT_EQ(wl.ScrollCount, 3);
}

TEST_F(PlotDrawTest, DegenerateScalesDrawNoTicksAndEnd)
{
  struct Case {
    const char* what;
    double min, max;
    int top, bottom;
  } cases[] = {
      {"zero pixels", 0.0, 100.0, 120, 120},
      {"negative pixels", 0.0, 100.0, 200, 100},
      {"max equals min", 5.0, 5.0, 20, 220},
      {"max below min", 5.0, -5.0, 20, 220},
      {"NaN", kNaN, 1.0, 20, 220},
      {"infinite", 0.0, std::numeric_limits<double>::infinity(), 20, 220},
      {"tiny range at a huge magnitude", 1e300, std::nextafter(1e300, 2e300), 20, 220},
  };
  wl.GridColor = kWhite;
  wl.Axes[0].AxisAssign = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    img.fill(Qt::black);
    wl.Pens[0].ScaleMin = c.min;
    wl.Pens[0].ScaleMax = c.max;
    wl.PlotArea = {50, c.top, 350, c.bottom};
    Plot_DrawGridLines(img, &wl, -1, 1);
    EXPECT_FALSE(AnyLit(img, 0, 0, 399, 299));
    T_PlotScale s;
    s.Right = 40;
    s.Top = c.top;
    s.Bottom = c.bottom;
    s.SpanTop = c.top;
    s.SpanBottom = c.bottom;
    s.Min = c.min;
    s.Max = c.max;
    s.Color = kWhite;
    EXPECT_TRUE(Plot_DrawVertScale(img, s));
    EXPECT_FALSE(AnyLit(img, 0, 0, 37, 299));  // the axis line only, no tick or label
  }
}

class PlotCaptureTest : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    SndConfig.MsgDisplay = MSGDISP_ERRORS | MSGDISP_WARNINGS | MSGDISP_FILE_ACTIONS;
    Plot_RegisterCommandWord();
    img = QImage(64, 48, QImage::Format_RGB32);
    img.fill(QColor(10, 200, 30));
    g_PlotCaptureBitmap = &img;
    g_PlotWindowClosed = 0;
  }
  void TearDown() override
  {
    g_PlotCaptureBitmap = nullptr;
    g_PlotWindowClosed = 1;
    CliTest::TearDown();
  }
  QImage img;
  vt_test::TempDir dir;
};

TEST_F(PlotCaptureTest, CaptureWritesABitmap)
{
  const std::string path = dir.file("x.bmp");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, ("plot.capture(\"" + path + "\")").c_str()), 0);
  QImage back(QString::fromStdString(path));
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.size(), img.size());
  EXPECT_EQ(back.pixelColor(5, 5), QColor(10, 200, 30));
  ASSERT_FALSE(messages().empty());
  EXPECT_NE(messages().back().line.find("Captured plot diagram as \"" + path + "\""), std::string::npos);
  EXPECT_EQ(messages().back().source, CLI_SRC_WATCH);
}

TEST_F(PlotCaptureTest, CaptureErrors)
{
  struct Case {
    const char* cmd;
    int rc;
  } cases[] = {{"plot.capture x", CLI_ERR_ARG_MISSING}, {"plot.print", CLI_ERR_UNKNOWN_COMMAND},
               {"plot.capture(\"a.bmp\"", CLI_ERR_SYNTAX}};
  for (const Case& c : cases) EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, c.cmd), c.rc) << c.cmd;

  messages().clear();
  const std::string bad = dir.file("x.xyz");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, ("plot.capture(\"" + bad + "\")").c_str()), CLI_ERR_FAILED);
  bool failedShown = false;
  for (const auto& m : messages()) failedShown |= m.line.find("Failed to capture plot diagram as \"" + bad) != std::string::npos;
  EXPECT_TRUE(failedShown);

  g_PlotWindowClosed = 1;
  const std::string path = dir.file("closed.bmp");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, ("plot.capture(\"" + path + "\")").c_str()), CLI_ERR_FAILED);
  g_PlotWindowClosed = 0;
  g_PlotCaptureBitmap = nullptr;
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, ("plot.capture(\"" + path + "\")").c_str()), CLI_ERR_FAILED);
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
