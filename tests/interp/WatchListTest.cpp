// The watch list: defaults, the settings sections, the plot step with an injected clock, the
// grid pass and the recording of each step's min/max/average.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "CliFixture.h"
#include "common/TestUtil.h"
#include "engine/ProgramInstance.h"
#include "interp/PlotData.h"
#include "interp/WatchDefaults.h"
#include "interp/WatchSampling.h"
#include "interp/WatchSettings.h"
#include "platform/IniFile.h"

namespace {

class WatchListTest : public CliTest {
protected:
  void SetUp() override
  {
    CliTest::SetUp();
    Plot_InitDefaults(&wl);
    Plot_ApplyCreationAxes(&wl);
  }
  void TearDown() override
  {
    PlotData_FreeMemory(&pd);
    CliTest::TearDown();
  }
  vt_test::TempDir dir;
  T_WatchList wl;
  T_WatchGrid grid;
  T_WatchFormFields fields;
  T_PlotData pd;
  double values[WATCH_MAX_CHANNELS] = {};
};

TEST_F(WatchListTest, FileWithoutWatchKeysGivesTheDefaults)
{
  const std::string path = dir.file("SETTINGS.INI");
  vt_test::WriteWholeFile(path, "[Other]\nKey=1\n");
  g_InstanceIndex = 0;
  WatchSettings_Load(path, &wl, &grid, &fields);
  EXPECT_EQ(grid.Cells[1][WATCH_COL_TITLE], "Noise");
  EXPECT_EQ(grid.Cells[3][WATCH_COL_EXPR], "peak_f(500,1000)");
  EXPECT_EQ(grid.Cells[3][WATCH_COL_MAXV], "2700");
  EXPECT_EQ(grid.Cells[6][WATCH_COL_EXPR], "peak_a(1500,2000)");
  EXPECT_EQ(grid.Cells[7][WATCH_COL_EXPR], "");
  EXPECT_EQ(fields.PlotMaxSamples, "2000");
  EXPECT_EQ(fields.PlotMaxChannels, "6");
  EXPECT_EQ(wl.ChannelCount, 6u);
  EXPECT_EQ(fields.PlotFileName, "plotter0.tmp");
  EXPECT_EQ(fields.PlotExportName, "pltexpt0.txt");
  EXPECT_EQ(wl.SecPerStep, 1.0);
  EXPECT_EQ(wl.SmallMarker, 3);
  EXPECT_STREQ(wl.LargeInterval, "2*60");
  EXPECT_EQ(wl.Pens[2].PenColor, 0xFF7F7Fu);
  EXPECT_EQ(wl.Axes[0].AxisAssign, 1);
  EXPECT_STREQ(wl.Axes[1].AxisLabel, "Frequency [Hz]");
  EXPECT_EQ(fields.ColWidths[0], 88);
  EXPECT_TRUE(fields.TakeOver);
  EXPECT_EQ(fields.BusyCount, 0);
}

TEST_F(WatchListTest, SettingsRoundTripKeepsEveryKeyAndLongTexts)
{
  const std::string longTitle(40, 'T'), longExpr = "1+" + std::string(300, '2'), longForm(120, '#');
  grid.Cells[2][WATCH_COL_TITLE] = longTitle;
  grid.Cells[2][WATCH_COL_EXPR] = longExpr;
  grid.Cells[2][WATCH_COL_FORMAT] = longForm;
  grid.Cells[20][WATCH_COL_MAXV] = "77";
  fields.PlotMaxSamples = "5000";
  fields.PlotMaxChannels = "12";
  fields.PlotFileName = "my.plt";
  fields.PlotExportTimeColumn = "3";
  fields.Running = 1;
  fields.ColWidths[0] = 99;
  fields.Left = 11;
  fields.Height = 333;
  fields.Visible = 1;
  wl.SecPerStep = 0.5;
  wl.SmallMarker = 5;
  std::snprintf(wl.SmallInterval, sizeof wl.SmallInterval, "%s", "10*6");
  std::snprintf(wl.DateLabelFormat, sizeof wl.DateLabelFormat, "%s", "DD.MM.");
  wl.BkgndColor = 0x102030;
  wl.Pens[19].PenColor = 0x123456;
  wl.Pens[19].PenShowWhat = 5;
  wl.Pens[19].PenDisplayStyle = 3;
  wl.LegendPos = 2;
  wl.LegendFontSize = 14;
  std::snprintf(wl.Axes[3].FontName, sizeof wl.Axes[3].FontName, "%s", "Mono");
  wl.Axes[3].FontSize = 11;
  wl.Axes[0].FontSize = 7;
  wl.Axes[2].AxisAssign = 4;
  std::snprintf(wl.Axes[2].AxisLabel, sizeof wl.Axes[2].AxisLabel, "%s", "lbl");
  const std::string path = dir.file("w.ini");
  WatchSettings_Save(path, &wl, &grid, &fields);

  T_WatchList back;
  Plot_InitDefaults(&back);
  T_WatchGrid grid2;
  T_WatchFormFields fields2;
  WatchSettings_Load(path, &back, &grid2, &fields2);
  for (int r = 1; r < WATCH_GRID_ROWS; ++r)
    for (int c : {0, 1, 3, 4, 5}) EXPECT_EQ(grid2.Cells[r][c], grid.Cells[r][c]) << r << "," << c;
  EXPECT_EQ(fields2.PlotMaxSamples, "5000");
  EXPECT_EQ(back.ChannelCount, 12u);
  EXPECT_EQ(fields2.PlotFileName, "my.plt");
  EXPECT_EQ(fields2.PlotExportTimeColumn, "3");
  EXPECT_EQ(fields2.Running, 1);
  EXPECT_EQ(fields2.ColWidths[0], 99);
  EXPECT_EQ(fields2.Left, 11);
  EXPECT_EQ(fields2.Height, 333);
  EXPECT_EQ(fields2.Visible, 1);
  EXPECT_EQ(back.SecPerStep, 0.5);
  EXPECT_EQ(back.SmallMarker, 5);
  EXPECT_STREQ(back.SmallInterval, "10*6");
  EXPECT_STREQ(back.DateLabelFormat, "DD.MM.");
  EXPECT_EQ(back.BkgndColor, 0x102030u);
  EXPECT_EQ(back.Pens[19].PenColor, 0x123456u);
  EXPECT_EQ(back.Pens[19].PenShowWhat, 5u);
  EXPECT_EQ(back.Pens[19].PenDisplayStyle, 3);
  EXPECT_EQ(back.LegendPos, 2);
  EXPECT_EQ(back.LegendFontSize, 14);
  EXPECT_STREQ(back.Axes[2].FontName, "Mono");  // the horizontal font serves axes 3 and 4
  EXPECT_EQ(back.Axes[2].FontSize, 11);
  EXPECT_EQ(back.Axes[0].FontSize, 7);
  EXPECT_EQ(back.Axes[2].AxisAssign, 4);
  EXPECT_STREQ(back.Axes[2].AxisLabel, "lbl");

  // The record's copies are cut, the grid keeps the whole texts.
  fields2.TakeOver = true;
  UpdateWatchGrid(&back, &grid2, &fields2, values, true);
  EXPECT_EQ(std::string(back.Titles[1]), longTitle.substr(0, 15));
  EXPECT_EQ(std::string(back.Formats[1]), longForm.substr(0, 80));
  EXPECT_EQ(grid2.Cells[2][WATCH_COL_TITLE], longTitle);

  struct Case {
    const char* text;
    double want;
  } cases[] = {{"0.5", 0.5}, {"abc", 1.0}, {"", 1.0}, {"2.25", 2.25}};
  for (const Case& c : cases) {
    {
      IniFile ini(path);
      ini.WriteString("WatchHistoryPlotter", "SecPerStep", c.text);
    }
    WatchSettings_Load(path, &back, &grid2, &fields2);
    EXPECT_EQ(back.SecPerStep, c.want) << c.text;
  }
}

TEST_F(WatchListTest, StepsFollowTheInjectedClock)
{
  struct Case {
    const char* what;
    double secPerStep;
    double ticks[8];
    bool steps[8];
  } cases[] = {
      {"one second at 100 ms ticks", 1.0,
       {100.0, 100.5, 100.9, 101.0, 101.05, 101.9, 102.05, 102.1},
       {true, false, false, true, false, false, true, false}},
      {"step below the tick", 0.05, {10.0, 10.1, 10.2, 10.3, 10.4, 10.5, 10.6, 10.7},
       {true, true, true, true, true, true, true, true}},
      {"clock set back by an hour", 60.0, {7200.0, 7210.0, 3610.0, 3620.0, 3670.0, 3671.0, 3680.0, 3730.0},
       {true, false, true, false, true, false, false, true}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    wl.SecPerStep = c.secPerStep;
    wl.StepStartTime = 0.0;
    for (int i = 0; i < 8; ++i) {
      EXPECT_EQ(Watch_StepChange(&wl, c.ticks[i]), c.steps[i]) << i;
      EXPECT_LE(wl.StepStartTime, c.ticks[i]);
    }
  }
}

TEST_F(WatchListTest, StepFoldsMinMaxAverageAndThePreviousSlotHoldsTheFinishedStep)
{
  pd.Header.Channels = 3;
  PlotData_AllocMemory(&pd, 100);
  T_WatchSampler s;
  const double samples[3][2] = {{5, -1}, {3, -2}, {8, -6}};
  for (int i = 0; i < 3; ++i) {
    values[0] = samples[i][0];
    values[1] = samples[i][1];
    RecordSample(&s, &wl, &pd, &grid, values, 50.0 + i * 0.1, i == 0);
  }
  T_PlotDataRecord r;
  ASSERT_TRUE(PlotData_GetRecord(&pd, 1, &r));
  EXPECT_EQ(r.Channel[0].Min, 3.0);
  EXPECT_EQ(r.Channel[0].Max, 8.0);
  EXPECT_DOUBLE_EQ(r.Channel[0].Average, 16.0 / 3.0);
  EXPECT_EQ(r.Channel[1].Min, -6.0);
  EXPECT_EQ(r.Channel[1].Max, -1.0);
  EXPECT_DOUBLE_EQ(r.Channel[1].Average, -3.0);
  EXPECT_DOUBLE_EQ(r.Time, 50.2);

  values[0] = 100.0;
  RecordSample(&s, &wl, &pd, &grid, values, 51.0, true);
  EXPECT_EQ(pd.Header.WriteIndex, 2u);
  ASSERT_TRUE(PlotData_GetRecord(&pd, 1, &r));
  EXPECT_EQ(r.Channel[0].Max, 8.0);  // the finished step
  ASSERT_TRUE(PlotData_GetRecord(&pd, 2, &r));
  EXPECT_EQ(r.Channel[0].Min, 100.0);
  EXPECT_EQ(r.Channel[0].Average, 100.0);
}

TEST_F(WatchListTest, GridPassShowsResultsAndErrors)
{
  struct Case {
    const char* expr;
    const char* format;
    const char* result;
    double value;  // the channel's value after the pass (it starts at 42)
  } cases[] = {
      {"1+2", "##0.0", "3.0", 3.0},
      {"2*(3", "##0.0", "syntax error", 42.0},
      {"7", "@\"#0.00\"", "7.00", 7.0},
      {"7", "@\"#0.0\"+\"0\"", "7.00", 7.0},
      {"7", "@bad", "string expected", 42.0},
      {"   ", "##0.0", "", 42.0},
      {"", "##0.0", "", 42.0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.expr);
    grid.Cells[1][WATCH_COL_EXPR] = c.expr;
    grid.Cells[1][WATCH_COL_FORMAT] = c.format;
    grid.Cells[1][WATCH_COL_RESULT] = "old";
    values[0] = 42.0;
    const char* before = g_CliParsePtr;
    UpdateWatchGrid(&wl, &grid, &fields, values, false);
    EXPECT_EQ(g_CliParsePtr, before);
    EXPECT_EQ(grid.Cells[1][WATCH_COL_RESULT], c.result);
    EXPECT_EQ(values[0], c.value);
  }
  EXPECT_EQ(grid.Cells[0][2], "Result (Value)");
}

TEST_F(WatchListTest, TakeOverCopiesTitlesFormatsAndScales)
{
  grid.Cells[4][WATCH_COL_TITLE] = "@\"Ti\"+\"tle\"";
  grid.Cells[4][WATCH_COL_EXPR] = "1";
  grid.Cells[4][WATCH_COL_FORMAT] = "#0.0";
  grid.Cells[4][WATCH_COL_MINV] = "-3*10";
  grid.Cells[4][WATCH_COL_MAXV] = "bad(";
  wl.Pens[3].ScaleMax = 55.0;
  fields.TakeOver = true;
  fields.SelectedChannel = 3;
  UpdateWatchGrid(&wl, &grid, &fields, values, false);
  EXPECT_STREQ(wl.Titles[3], "Title");
  EXPECT_STREQ(wl.Formats[3], "#0.0");
  EXPECT_EQ(wl.Pens[3].ScaleMin, -30.0);
  EXPECT_EQ(wl.Pens[3].ScaleMax, 55.0);
  EXPECT_EQ(fields.MeasureText, "1.0");
  EXPECT_FALSE(fields.TakeOver);
}

TEST_F(WatchListTest, MarkerIntervalsAreEvaluated)
{
  std::snprintf(wl.LargeInterval, sizeof wl.LargeInterval, "%s", "2*60");
  std::snprintf(wl.SmallInterval, sizeof wl.SmallInterval, "%s", "15");
  EvalMarkerIntervals(&wl);
  EXPECT_EQ(wl.LargeIntervalSec, 120.0);
  EXPECT_EQ(wl.SmallIntervalSec, 15.0);
}

}  // namespace
