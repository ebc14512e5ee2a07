// The main window's displays offscreen: pixels of the graph, the waterfall and the frequency
// scale where the mappings put them, scrolling, the redraw from the history after a resize,
// the frequency edits.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/TestUtil.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/FreqScaleTicks.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/forms/SpecImage.h"
#include "mainwin/forms/SpecMain.h"
#include "mainwin/forms/Zub_graf.h"
#include "tests/mainwin/forms/DisplayTestSettings.h"

namespace {

QRgb Rgb(uint32_t colourRef) { return ColorRefToQColor(colourRef).rgb(); }

class SpecDisplayTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    const QString m = QString::fromStdString(dir.file("m.ini"));
    const QString u = QString::fromStdString(dir.file("u.ini"));
    w = std::make_unique<TSndMainForm>(QStringList{"m=" + m, "u=" + u}, dir.path().string());
    SetDisplayTestSettings();
    w->EffectiveSampleRate = 11025;
    w->resize(800, 600);
    w->show();
    QApplication::processEvents();
    w->SetFreqRange(0, 1000);
  }
  void TearDown() override { w.reset(); }

  // A record of 1 Hz bins from 0 Hz, every bin at `level` hundredths of a dB.
  static std::unique_ptr<SpectrumBuffer> Flat(int level, double time = 0)
  {
    auto r = std::make_unique<SpectrumBuffer>();
    r->structSize = SPECTRUM_BUFFER_SIZE;
    r->bin_width_hz = 1.0;
    r->nr_of_bins = SPECTRUM_MAX_BINS;
    r->scale_unit = SPECTRUM_UNIT_DB;
    r->scale_factor = 0.01;
    r->time = time;
    for (auto& b : r->bins) b = static_cast<int16_t>(level);
    return r;
  }
  // Stores a line in the history and draws it as the producer does.
  void AddLine(int level, double time = 0)
  {
    auto r = Flat(level, time);
    w->History.Store(r.get());
    w->UpdateWaterfall(1);
  }
  QRgb Palette(int index) { return Rgb(g_WaterfallPalette.entries[index]); }

  vt_test::TempDir dir;
  std::unique_ptr<TSndMainForm> w;
};

}  // namespace

TEST_F(SpecDisplayTest, AreasAreArrangedInTheGroup)
{
  const int gw = w->Grp_Spectra->width();
  EXPECT_GT(gw, 100);
  EXPECT_EQ(w->Img_SpectrumPlot->geometry(), QRect(4, 8, gw - 8, w->Disp.GraphHeight));
  EXPECT_EQ(w->Img_FreqScale1->y(), 8 + w->Disp.GraphHeight);
  EXPECT_EQ(w->Img_Waterfall->y(), 8 + w->Disp.GraphHeight + w->Disp.ScaleHeight);
  EXPECT_EQ(w->Img_Waterfall->geometry().bottom() + 1, w->Grp_Spectra->height() - 4);
  EXPECT_EQ(w->Img_Waterfall->Picture.size(), w->Img_Waterfall->size());
  EXPECT_EQ(w->Disp.FreqAxisLen, gw - 8 - 1);
  EXPECT_EQ(w->findChild<QWidget*>("Img_Waterfall"), w->Img_Waterfall);
}

TEST_F(SpecDisplayTest, FlatLineAtItsRowWithTheGridInItsColour)
{
  SndConfig.FrequencyGrid = 1;
  SndConfig.AmplitudeGrid = 0;
  auto rec = Flat(-5000);  // -50 dB
  QImage& img = w->Img_SpectrumPlot->Picture;
  w->UpdateSpectrumGraph(img, rec.get(), nullptr);
  const int a = img.height() - 1;
  const int row = static_cast<int>(-5000 * (-a / 10000.0));  // pixel = level x scale + offset
  // The grid: label ticks of the scale (every 100 Hz here).
  std::vector<TFreqTick> ticks;
  ComputeFreqTicks(0, 1000, w->Disp.FreqAxisLen, false, ticks);
  std::vector<int> grid;
  for (const TFreqTick& t : ticks)
    if (t.Label) grid.push_back(t.Pos);
  ASSERT_GE(grid.size(), 5u);
  for (int x : grid) EXPECT_EQ(img.pixel(x, 3), Rgb(SndConfig.SpectrumGridColor)) << x;
  const int free = grid[1] + 3;  // a column between grid lines
  EXPECT_EQ(img.pixel(free, 3), Rgb(SndConfig.SpectrumBgColor));
  EXPECT_EQ(img.pixel(free, row), Rgb(SndConfig.SpectrumPenColor[0]));
  EXPECT_EQ(img.pixel(free, row - 2), Rgb(SndConfig.SpectrumBgColor));
  EXPECT_EQ(img.pixel(free, row + 2), Rgb(SndConfig.SpectrumBgColor));

  // Amplitude grid: a line at -20 dB across the graph.
  SndConfig.AmplitudeGrid = 1;
  w->UpdateSpectrumGraph(img, rec.get(), nullptr);
  const int g20 = static_cast<int>(-20 * (-a / 100.0));
  EXPECT_EQ(img.pixel(free, g20), Rgb(SndConfig.SpectrumGridColor));
}

TEST_F(SpecDisplayTest, WideGraphShowsTheWholeAxis)
{
  w->resize(2200, 600);
  QApplication::processEvents();
  QImage& img = w->Img_SpectrumPlot->Picture;
  ASSERT_GT(img.width(), 2000);
  w->SetFreqRange(0, img.width() - 1);  // one bin per pixel
  auto rec = Flat(-9000);
  rec->bins[1950] = rec->bins[1951] = 0;  // a carrier beyond pixel 1023
  w->UpdateSpectrumGraph(img, rec.get(), nullptr);
  EXPECT_EQ(img.pixel(1951, 0), Rgb(SndConfig.SpectrumPenColor[0]));
}

TEST_F(SpecDisplayTest, BinLevelGivesThePaletteEntryAndScrollingPutsTheNewestOnTop)
{
  AddLine(-5000);  // -50 dB: index trunc(-127.5 + 255) = 127
  const QImage& img = w->Img_Waterfall->Picture;
  EXPECT_EQ(img.pixel(10, 0), Palette(127));
  EXPECT_EQ(img.pixel(img.width() - 1, 0), Palette(127));
  AddLine(0);      // 0 dB: index 255
  EXPECT_EQ(img.pixel(10, 0), Palette(255));  // the newest line enters at the top
  EXPECT_EQ(img.pixel(10, 1), Palette(127));
  AddLine(-10000);
  EXPECT_EQ(img.pixel(10, 0), Palette(0));
  EXPECT_EQ(img.pixel(10, 1), Palette(255));
  EXPECT_EQ(img.pixel(10, 2), Palette(127));

  // Frequency grid (solid) in its colour on the new line's row.
  SndConfig.WaterFreqGrid = 1;
  SndConfig.FreqGridStyle = 0;
  AddLine(-10000);
  std::vector<TFreqTick> ticks;
  ComputeFreqTicks(0, 1000, img.width() - 1, false, ticks);
  for (const TFreqTick& t : ticks)
    if (t.Label) {
      EXPECT_EQ(img.pixel(t.Pos, 0), Rgb(SndConfig.WaterGridColor)) << t.Pos;
      EXPECT_EQ(img.pixel(t.Pos + 1, 0), Palette(0));
    }
}

TEST_F(SpecDisplayTest, WithoutScrollingLinesFallLikeACurtain)
{
  SndConfig.WaterScrollEnabled = 0;
  const QImage& img = w->Img_Waterfall->Picture;
  const int L = img.height() - 1;
  AddLine(0);
  AddLine(-5000);
  AddLine(-10000);
  EXPECT_EQ(img.pixel(10, 0), Palette(255));      // 1st at the top
  EXPECT_EQ(img.pixel(10, L), Palette(127));      // 2nd at the bottom line L
  EXPECT_EQ(img.pixel(10, L - 1), Palette(0));    // 3rd at L - 1
}

TEST_F(SpecDisplayTest, ResizeRedrawsTheSameLinesFromTheHistory)
{
  const int levels[] = {-10000, -8000, -6000, -4000, -2000};
  for (int i = 0; i < 5; ++i) AddLine(levels[i], 1000.0 + i);
  std::vector<QRgb> before;
  for (int y = 0; y < 5; ++y) before.push_back(w->Img_Waterfall->Picture.pixel(30, y));
  EXPECT_EQ(before[0], Palette(204));  // -20 dB newest at the top

  w->resize(700, 650);
  QApplication::processEvents();
  ASSERT_EQ(w->Disp.RedrawPos, 0);  // the resize restarted the redraw
  for (int k = 0; k < 100 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
  EXPECT_EQ(w->Disp.RedrawPos, -1);
  const QImage& img = w->Img_Waterfall->Picture;
  for (int y = 0; y < 5; ++y) EXPECT_EQ(img.pixel(30, y), before[y]) << y;
  EXPECT_EQ(img.pixel(30, 5), qRgb(0, 0, 0));  // below the history: cleared
  EXPECT_EQ(img.pixel(img.width() - 1, 4), before[4]);

  // The time scroll bar looks back: line 0 shows the line two before the newest.
  w->SBR_Time->setValue(2);
  for (int k = 0; k < 100 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
  EXPECT_EQ(img.pixel(30, 0), before[2]);
}

// Scrolled back to the far end of a full history, the frozen waterfall stops at the oldest line
// stored: below it the picture is cleared, it does not go on with the newest lines.
TEST_F(SpecDisplayTest, FrozenViewStopsAtTheOldestLine)
{
  SndConfig.WaterTimeGrid = 0;
  const int lines = w->History.HistoryLines;
  ASSERT_GT(lines, 20);
  for (int i = 0; i < lines; ++i) {  // the ten newest at 0 dB, all older ones at -100 dB
    auto r = Flat(i >= lines - 10 ? 0 : -10000, 1000.0 + i);
    w->History.Store(r.get());
  }
  const int back = w->SBR_Time->maximum();
  ASSERT_GE(back, lines - 20);
  w->SBR_Time->setValue(back);
  for (int k = 0; k < 1000 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
  ASSERT_EQ(w->Disp.RedrawPos, -1);
  const QImage& img = w->Img_Waterfall->Picture;
  const int stored = lines - back;  // lines from the one in view down to the oldest
  ASSERT_LT(stored + 10, img.height());
  for (int y = 0; y < stored; ++y) ASSERT_EQ(img.pixel(30, y), Palette(0)) << y;
  for (int y = stored; y < stored + 10; ++y) EXPECT_EQ(img.pixel(30, y), qRgb(0, 0, 0)) << y;
}

// Shrunk as far as it goes, in every layout of the displays, the window keeps its controls and
// display areas apart and inside it.
TEST_F(SpecDisplayTest, SmallestWindowKeepsControlsApart)
{
  const char* names[] = {"ProgressButton", "Lab_TimeNow", "SBR_Brightness", "SBR_Contrast",
                         "PC_Controls", "Grp_Cursor", "Img_ColorLegend", "Img_ColorLegendScale",
                         "Img_SpectrumPlot", "Img_FreqScale1", "Img_Waterfall"};
  for (const int orient : {ORIENT_HORIZONTAL, ORIENT_ROTATED})
    for (const int style : {0, 1, 2, 3}) {
      SCOPED_TRACE(std::to_string(orient) + "/" + std::to_string(style));
      SndConfig.SpectrumOrient = orient;
      SndConfig.SpectrumStyleNPos = style;
      w->ReapplyDisplaySettings();
      w->resize(40, 40);
      QApplication::processEvents();
      const QRect window(QPoint(0, 0), w->size());
      EXPECT_GE(w->width(), w->minimumWidth());
      std::vector<std::pair<const char*, QRect>> shown;
      for (const char* n : names) {
        auto* c = w->findChild<QWidget*>(n);
        ASSERT_NE(c, nullptr) << n;
        if (!c->isVisibleTo(w.get())) continue;
        const QRect r(c->mapTo(w.get(), QPoint(0, 0)), c->size());
        EXPECT_TRUE(window.contains(r)) << n << " " << r.x() << "," << r.y() << " " << r.width()
                                        << "x" << r.height() << " in " << window.width() << "x"
                                        << window.height();
        for (const auto& [m, q] : shown)
          EXPECT_FALSE(r.intersects(q)) << n << " overlaps " << m;
        shown.emplace_back(n, r);
      }
      const QRect group(QPoint(0, 0), w->Grp_Spectra->size());
      for (QWidget* a : {static_cast<QWidget*>(w->Img_SpectrumPlot), static_cast<QWidget*>(w->Img_FreqScale1),
                         static_cast<QWidget*>(w->Img_Waterfall)})
        if (a->isVisibleTo(w.get())) {
          EXPECT_TRUE(group.contains(a->geometry())) << a->objectName().toStdString();
          EXPECT_GE(std::min(a->width(), a->height()), 8) << a->objectName().toStdString();
        }
    }
}

TEST_F(SpecDisplayTest, FrequencyScaleTicksAtTheirPositions)
{
  const QImage& img = w->Img_FreqScale1->Picture;
  const QRgb fg = Rgb(SndConfig.FreqscaleFgColor), bg = Rgb(SndConfig.FreqscaleBgColor);
  const int n = img.width() - 1;
  struct {
    double fmin, fmax;
  } spans[] = {{0, 1000}, {0, 5000}, {100, 130}, {1234.5, 1300}};
  for (const auto& sp : spans) {
    w->SetFreqRange(sp.fmin, sp.fmax);
    const double span = sp.fmax - sp.fmin;
    double s = 0, l = 0;
    FreqTickSteps(span * 20.0 / n, &s, &l);
    int seen = 0;
    for (double f = std::ceil(sp.fmin / s - 1e-9) * s; f <= sp.fmax; f += s) {
      const int pos = static_cast<int>(n * (f - sp.fmin) / span);
      if (pos < 0 || pos >= n) continue;
      const bool label = std::fabs(f / l - std::floor(f / l + 0.5)) < 0.001;
      EXPECT_EQ(img.pixel(pos, 10), fg) << sp.fmin << ".." << sp.fmax << " f " << f;
      EXPECT_EQ(img.pixel(pos, 2), label ? fg : bg) << "f " << f;
      ++seen;
    }
    EXPECT_GE(seen, 10);
    // Between the first two ticks the strip is background.
    const int p0 = static_cast<int>(n * (std::ceil(sp.fmin / s - 1e-9) * s - sp.fmin) / span);
    EXPECT_EQ(img.pixel(p0 + 2, 10), bg);
  }
}

TEST_F(SpecDisplayTest, FrequencyEditsTakeExpressionsAndRefuseGarbage)
{
  w->Ed_FreqMin->setText("100+2*50");
  EXPECT_TRUE(w->ApplyFreqEdit(0));
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 200);
  EXPECT_EQ(w->Ed_FreqMin->text(), "200.0");
  for (const char* bad : {"garbage(", "12abc", "", "(1+", "1e308", "-1e308", "2e12"}) {
    w->Ed_FreqMin->setText(bad);
    EXPECT_FALSE(w->ApplyFreqEdit(0)) << bad;
    EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 200) << bad;
    EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 1000) << bad;
    EXPECT_EQ(w->Ed_FreqMin->text(), "200.0") << bad;
  }
  // An upper edge beyond what the analyser delivers is lowered to it.
  w->Ed_FreqMax->setText("20000");
  EXPECT_TRUE(w->ApplyFreqEdit(1));
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 5512.5);

  // The step button edits the text (aqua, pending) and arms the countdown; the range waits.
  w->SetFreqRange(0, 1000);
  w->findChild<QToolButton*>("Btn_FreqMinUp")->click();
  EXPECT_EQ(w->Ed_FreqMin->text(), "100.0");  // step 100 for a span of 1,000 Hz
  EXPECT_TRUE(w->Ed_FreqMin->styleSheet().contains("#00ffff"));  // aqua while pending
  EXPECT_EQ(w->FreqMinApplyTicks, 30);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 0);
  EXPECT_TRUE(w->ApplyFreqEdit(0));
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 100);
  EXPECT_TRUE(w->Ed_FreqMin->styleSheet().isEmpty());
}

// Values the scale cannot draw are refused in the offset edit too; the scale keeps its labels.
TEST_F(SpecDisplayTest, HugeOffsetIsRefused)
{
  w->Ed_FreqOffset->setText("1e308");
  EXPECT_FALSE(w->ApplyFreqEdit(2));
  EXPECT_DOUBLE_EQ(SndConfig.FreqOffset, 0);
  EXPECT_EQ(w->Ed_FreqOffset->text(), "0.0");
  w->Ed_FreqOffset->setText("1e9");
  EXPECT_TRUE(w->ApplyFreqEdit(2));
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 1e9);
}

// A second edit typed while the first one waits for its countdown: both apply.
TEST_F(SpecDisplayTest, TwoEditsTypedWithinTheirCountdownsBothApply)
{
  w->Timer1->stop();
  for (int i = 0; i < 21; ++i) w->Timer1Timer();  // past the start-up ticks
  w->Ed_FreqMin->setText("300");
  w->Ed_FreqChange(0);
  for (int i = 0; i < 10; ++i) w->Timer1Timer();  // one second later
  w->Ed_FreqMax->setText("900");
  w->Ed_FreqChange(1);
  for (int i = 0; i < 25; ++i) w->Timer1Timer();  // the first one applies now
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 300);
  EXPECT_EQ(w->Ed_FreqMax->text(), "900");  // still pending, not overwritten
  for (int i = 0; i < 10; ++i) w->Timer1Timer();
  EXPECT_DOUBLE_EQ(SndConfig.FreqMin, 300);
  EXPECT_DOUBLE_EQ(SndConfig.FreqMax, 900);
  EXPECT_EQ(w->Ed_FreqMin->text(), "300.0");
  EXPECT_EQ(w->Ed_FreqMax->text(), "900.0");
}

TEST_F(SpecDisplayTest, ColourBarShowsTheLookUpTable)
{
  w->DrawColorBar();
  const QImage& img = w->Img_ColorLegend->Picture;
  const int wd = img.width();
  for (int x : {0, 1, wd / 2, wd - 1})
    EXPECT_EQ(img.pixel(x, img.height() / 2), Palette(std::min(x * 255 / wd, 255))) << x;
}

TEST_F(SpecDisplayTest, FullRedrawRequestReArrangesTheAreas)
{
  w->Timer1->stop();
  for (int i = 0; i < 21; ++i) w->Timer1Timer();  // past the start-up ticks
  SndConfig.SpectrumStyleNPos = 3;                  // graph only
  g_RedrawRequestMask = REDRAW_ALL;
  w->Timer1Timer();
  EXPECT_FALSE(w->Img_Waterfall->isVisible());
  EXPECT_TRUE(w->Img_SpectrumPlot->isVisible());
  EXPECT_EQ(w->Img_FreqScale1->geometry().bottom() + 1, w->Grp_Spectra->height() - 4);
  EXPECT_EQ(w->Disp.AppliedStyle, 3);
}

// The alert's curves: the smoothed input in green with option bit 4, the match curve in red
// with bit 8, each only while the alert is enabled and visualised; over the smoothed
// spectrum's bins (here 300 bins of 1 Hz from 200 Hz: the graph's 200..499 Hz).
TEST_F(SpecDisplayTest, AlertCurvesOnlyWithTheirBitEnableAndVisualize)
{
  SndConfig.FrequencyGrid = 0;
  SndConfig.AmplitudeGrid = 0;
  g_DbOffsetValue = 0;
  g_AlertAvgSpectrum.NrOfBins = 300;
  g_AlertAvgSpectrum.BinWidthHz = 1.0;
  g_AlertAvgSpectrum.FirstBinHz = 200.0;
  for (int i = 0; i < 300; ++i) {
    g_AlertAvgSpectrum.Bins[i] = -30.0;  // dB
    g_AlertPatternMatch[i] = -70.0;      // drawn on the same scale
  }
  for (int i = 300; i < 1000; ++i) g_AlertPatternMatch[i] = g_AlertAvgSpectrum.Bins[i] = -50.0;
  const QRgb green = Rgb(0x008000), red = Rgb(0x0000FF);
  auto rec = Flat(-9000);
  QImage& img = w->Img_SpectrumPlot->Picture;
  const int a = img.height() - 1;
  const int rowGreen = static_cast<int>(-30 * (-a / 100.0));
  const int rowRed = static_cast<int>(-70 * (-a / 100.0));
  // The columns of the 0..1000 Hz axis that show 250 Hz and 450 Hz (inside) and 700 Hz (past
  // the smoothed bins).
  const int inside1 = w->Disp.FreqAxisLen / 4, inside2 = w->Disp.FreqAxisLen * 45 / 100;
  const int outside = w->Disp.FreqAxisLen * 7 / 10;
  // Whether the column holds the colour within a pixel of the row (the pen is 2 wide).
  auto near = [&](int x, int row, QRgb colour) {
    for (int y = row - 1; y <= row + 1; ++y)
      if (img.pixel(x, y) == colour) return true;
    return false;
  };
  auto anywhere = [&](QRgb colour) {
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x)
        if (img.pixel(x, y) == colour) return true;
    return false;
  };
  const struct {
    int enable, visualize, options;
    bool green, red;
  } table[] = {
      {1, 1, 8, false, true}, {1, 1, 4, true, false}, {1, 1, 12, true, true},
      {1, 1, 3, false, false}, {0, 1, 12, false, false}, {1, 0, 12, false, false},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(testing::Message() << c.enable << c.visualize << " " << c.options);
    AlertSettings.Enable = c.enable;
    AlertSettings.Visualize = c.visualize;
    AlertSettings.PlotOptions = c.options;
    g_AlertRangeA = g_AlertRangeB = AlertRangeResult{};
    w->UpdateSpectrumGraph(img, rec.get(), nullptr);
    EXPECT_EQ(near(inside1, rowGreen, green), c.green);
    EXPECT_EQ(near(inside2, rowGreen, green), c.green);
    EXPECT_EQ(near(inside1, rowRed, red), c.red);
    EXPECT_EQ(near(inside2, rowRed, red), c.red);
    EXPECT_FALSE(near(outside, static_cast<int>(-50 * (-a / 100.0)), red));
    EXPECT_FALSE(near(outside, static_cast<int>(-50 * (-a / 100.0)), green));
    if (!c.red) {
      EXPECT_FALSE(anywhere(red));
    }
  }
  AlertSettings.Enable = 0;
}

// Lines that come faster than the time grid (an analysed file, or the first seconds after the
// start) cross a grid time every few lines: the labels keep at least their own height apart,
// as the lines arrive and in the redraw from the history, so none is written over another.
TEST_F(SpecDisplayTest, TimeLabelsKeepTheirHeightApartWithFastLines)
{
  SndConfig.WaterTimeGrid = 1;
  SndConfig.TimeGridSeconds = 1;
  SndConfig.TimeGridStyle = 0;
  SndConfig.WaterTimeLabel = 3;
  SndConfig.WaterLabelTransparent = 0;
  SndConfig.WaterGridColor = 0x00FF00;
  SndConfig.WaterLabelTextColor = 0x0000FF;
  const QFont font("Arial Narrow", 8);
  const QFontMetrics fm(font);
  const int labelWidth = fm.horizontalAdvance("00:00:00");
  // Rows mostly of the label background: the label boxes; each run of them is one label.
  const auto labelRuns = [&](const QImage& img, int rows) {
    std::vector<std::pair<int, int>> runs;  // first row, length
    const QRgb bg = Rgb(0x00FF00);
    for (int y = 0; y < rows; ++y) {
      int n = 0;
      for (int x = 2; x < 2 + labelWidth; ++x) n += img.pixel(x, y) == bg;
      if (2 * n < labelWidth) continue;
      if (!runs.empty() && runs.back().first + runs.back().second == y)
        ++runs.back().second;
      else
        runs.push_back({y, 1});
    }
    return runs;
  };
  const int lines = std::min(w->History.HistoryLines, 150);
  for (int i = 0; i < lines; ++i) AddLine(-10000, 1000.0 + 0.2 * i);  // a grid second every 5 lines
  const QImage& img = w->Img_Waterfall->Picture;
  const int rows = std::min(img.height(), lines);
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "as the lines arrive" : "redrawn from the history");
    const auto runs = labelRuns(img, rows - fm.height());
    ASSERT_GE(runs.size(), 3u);
    for (const auto& r : runs) EXPECT_LE(r.second, fm.height() + 1) << "label at " << r.first;
    // Back one line in the history: the picture is drawn anew from the stored lines.
    w->SBR_Time->setValue(1);
    for (int k = 0; k < 1000 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
    ASSERT_EQ(w->Disp.RedrawPos, -1);
  }
}

// Rotated, the newest line is the rightmost column: a time mark made as the lines arrive carries
// its text on the older side of the mark (to its left, inside the picture), where the redraw
// from the history puts it as well.
TEST_F(SpecDisplayTest, RotatedLiveTimeMarkCarriesItsText)
{
  SndConfig.SpectrumOrient = ORIENT_ROTATED;
  w->ReapplyDisplaySettings();
  QApplication::processEvents();
  SndConfig.WaterTimeGrid = 1;
  SndConfig.TimeGridSeconds = 10;
  SndConfig.TimeGridStyle = 0;
  SndConfig.WaterTimeLabel = 3;
  SndConfig.WaterLabelTransparent = 1;
  SndConfig.WaterGridColor = 0x00FF00;
  SndConfig.WaterLabelTextColor = 0xFFFFFF;
  const QImage& img = w->Img_Waterfall->Picture;
  ASSERT_GT(img.width(), 100);
  ASSERT_GT(img.height(), 60);
  const QRgb grid = Rgb(0x00FF00);
  const QRgb dark = Palette(0);
  const int labelHeight = QFontMetrics(QFont("Arial Narrow", 8)).height();

  // Columns of the time marks (the grid colour over the whole height), newest first.
  const auto marks = [&] {
    std::vector<int> xs;
    for (int x = img.width() - 1; x >= 0; --x) {
      int n = 0;
      for (int y = 0; y < img.height(); ++y) n += img.pixel(x, y) == grid;
      if (n == img.height()) xs.push_back(x);
    }
    return xs;
  };
  // Text pixels (anything but the dark lines and the grid) in columns [from, to).
  const auto inked = [&](int from, int to) {
    int n = 0;
    for (int x = std::max(from, 0); x < std::min(to, img.width()); ++x)
      for (int y = 0; y < img.height(); ++y) n += img.pixel(x, y) != dark && img.pixel(x, y) != grid;
    return n;
  };

  // 61 lines one second apart from 995 s: a mark every 15 lines or so, the newest a few lines
  // before the newest line.
  for (int i = 0; i <= 60; ++i) AddLine(-10000, 995.0 + i);
  for (int pass = 0; pass < 2; ++pass) {
    SCOPED_TRACE(pass == 0 ? "as the lines arrive" : "redrawn from the history");
    const std::vector<int> xs = marks();
    ASSERT_GE(xs.size(), 2u);
    const int newest = xs[0];
    EXPECT_GT(newest, img.width() - 1 - 2 * labelHeight);
    EXPECT_GE(inked(newest - labelHeight - 1, newest), 20) << "newest mark at x = " << newest;
    EXPECT_EQ(inked(newest + 1, img.width()), 0) << "newest mark at x = " << newest;
    EXPECT_GE(inked(xs[1] - labelHeight - 1, xs[1]), 20) << "older mark at x = " << xs[1];
    // Back one line and live again: the picture is drawn anew from the stored lines.
    w->SBR_Time->setValue(1);
    for (int k = 0; k < 1000 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
    w->SBR_Time->setValue(0);
    for (int k = 0; k < 1000 && w->Disp.RedrawPos >= 0; ++k) w->RedrawWaterfallFromHistory();
    ASSERT_EQ(w->Disp.RedrawPos, -1);
  }
}
