// The watch list and plotter window offscreen: creation, showing, grid, channel selection,
// settings, plot file handling, import, erase, capture and the newest diagram column.
#include <gtest/gtest.h>
#include <sys/types.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "engine/DebugU1.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/DialogHooks.h"
#include "interp/CliCommands.h"
#include "interp/PlotData.h"
#include "interp/PlotScale.h"
#include "interp/WatchList.h"
#include "interp/forms/PlotCommand.h"
#include "interp/forms/WatchForm.h"
#include "platform/IniFile.h"

namespace {

class WatchFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_OldDir = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    g_InstanceIndex = 0;
    SetSettingsFileName(g_UserSettingsFileName, dir.file("SETTINGS.INI"));
    CLI_Init();
    Plot_RegisterCommandWord();
    SetDebugSink([this](const std::string& l) { debugLines.push_back(l); });
    TDialogHooks::DialogExecHook = [this](QDialog* d) {
      if (auto* box = qobject_cast<QMessageBox*>(d)) messagesShown.push_back(box->text().toStdString());
      return static_cast<int>(QDialog::Accepted);
    };
  }
  void TearDown() override
  {
    form.reset();
    PlotData_FreeMemory(&g_PlotData);
    PlotData_CloseFile(&g_PlotData);
    TDialogHooks::DialogExecHook = nullptr;
    TDialogHooks::FileDialogHook = nullptr;
    CLI_RegisterObjectWord("plot", nullptr);
    SetDebugSink(nullptr);
    std::filesystem::current_path(m_OldDir);
  }
  void Create()
  {
    form = std::make_unique<TWatchForm>();
    form->Clock = [this] { return now; };
  }
  void CreateAndShow()
  {
    Create();
    form->resize(600, 420);
    form->show();
    QApplication::processEvents();
  }
  template <typename T>
  T* Find(const char* name)
  {
    T* w = form->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  // n ticks of 100 ms.
  void Ticks(int n)
  {
    for (int i = 0; i < n; ++i) {
      now += 0.1;
      form->PeriodicUpdate();
    }
  }
  bool Logged(const std::string& part) const
  {
    for (const auto& l : debugLines)
      if (l.find(part) != std::string::npos) return true;
    return false;
  }
  void SetCell(int r, int c, const QString& text) { Find<QTableWidget>("SG_Watch")->item(r, c)->setText(text); }
  // Shows the window, watches one constant and records 25 ticks into the plot file; returns the
  // records written.
  uint32_t RecordIntoThePlotFile()
  {
    CreateAndShow();
    SetCell(1, 1, "50");
    Find<QAction>("Menu_RunStop")->trigger();
    Ticks(25);
    return g_PlotData.Header.WriteIndex;
  }
  // Pixels of the colour inside the plot area, and the lowest row holding one (-1: none).
  int PlotAreaPixels(uint32_t colour, int* lowestRow = nullptr)
  {
    const QImage& img = form->Diagram();
    const T_PlotRect& a = g_WatchList.PlotArea;
    int count = 0;
    if (lowestRow) *lowestRow = -1;
    for (int y = std::max(a.top, 0); y <= std::min(a.bottom, img.height() - 1); ++y)
      for (int x = std::max(a.left, 0); x <= std::min(a.right, img.width() - 1); ++x)
        if (QColorToColorRef(img.pixelColor(x, y)) == colour) {
          ++count;
          if (lowestRow) *lowestRow = y;
        }
    return count;
  }
  // Channel ch drawn in its own colour with the given style and curves (no grid lines).
  void Pen(int ch, uint32_t colour, int style, uint32_t showWhat)
  {
    g_WatchList.Pens[ch].PenColor = colour;
    g_WatchList.Pens[ch].PenDisplayStyle = style;
    g_WatchList.Pens[ch].PenShowWhat = showWhat;
    g_WatchList.VertScalePenStyle = 0;
    Find<QComboBox>("Cb_GridStyle")->setCurrentIndex(0);
  }
  // The default list's channels draw as well; a test shows only the ones it sets.
  static void AllPensOff()
  {
    for (T_WatchPen& p : g_WatchList.Pens) p.PenDisplayStyle = 0;
  }

  vt_test::TempDir dir;
  std::filesystem::path m_OldDir;
  std::unique_ptr<TWatchForm> form;
  double now = 1.7e9;
  std::vector<std::string> debugLines;
  std::vector<std::string> messagesShown;
};

TEST_F(WatchFormTest, CreationWithoutSettingsShowsTheDefaultRowsAndTheListPage)
{
  Create();
  auto* grid = Find<QTableWidget>("SG_Watch");
  const char* titles[6] = {"Noise", "Peak1_Ampl", "Peak1_Freq", "Peak2_Ampl", "Peak2_Freq", "Peak3_Ampl"};
  for (int r = 1; r <= 6; ++r) EXPECT_EQ(grid->item(r, 0)->text().toStdString(), titles[r - 1]);
  EXPECT_EQ(grid->item(7, 1)->text(), "");
  EXPECT_EQ(Find<QTabWidget>("PC_Watch")->currentIndex(), 0);
  EXPECT_EQ(form->Running(), 0);
  EXPECT_EQ(Find<QTabWidget>("PC_Watch")->count(), 6);
  form.reset();

  // Left open at the last exit: running, plotter page first.
  {
    IniFile ini(dir.file("SETTINGS.INI"));
    ini.WriteInteger("WatchWindow", "Visible", 1);
  }
  Create();
  EXPECT_EQ(form->Running(), 1);
  EXPECT_EQ(Find<QTabWidget>("PC_Watch")->currentIndex(), 1);
}

TEST_F(WatchFormTest, ShowingOpensThePlotFileOfTheInstance)
{
  CreateAndShow();
  EXPECT_EQ(Find<QLineEdit>("Ed_PlotFileName")->text(), "plotter0.tmp");
  EXPECT_TRUE(std::filesystem::exists(dir.file("plotter0.tmp")));
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_FILE);
  EXPECT_EQ(g_PlotData.Header.MaxRecords, 2000u);
  EXPECT_EQ(g_PlotData.Header.Channels, 6u);
  EXPECT_EQ(g_PlotWindowClosed, 0);
}

TEST_F(WatchFormTest, GridEditGivesItsResultAfterTheNextTick)
{
  CreateAndShow();
  SetCell(7, 3, "#0.0");
  SetCell(7, 1, "6*7");
  Ticks(6);
  EXPECT_EQ(Find<QTableWidget>("SG_Watch")->item(7, 2)->text(), "42.0");
  EXPECT_EQ(form->Grid().Cells[7][2], "42.0");
  EXPECT_EQ(g_WatchValues[6], 42.0);
}

TEST_F(WatchFormTest, LegendClickAndChannelNumberSelectChannels)
{
  CreateAndShow();
  Ticks(2);
  form->UpdatePlot(true, false);
  const T_PlotRect box = g_WatchList.LegendBoxes[2];
  ASSERT_GT(box.right, box.left);
  form->DiagramClick(box.right, box.bottom);  // edges included
  EXPECT_EQ(form->SelectedChannel(), 2);
  Find<QSpinBox>("Ed_ChannelNr")->setValue(12);
  EXPECT_EQ(form->SelectedChannel(), 11);
}

TEST_F(WatchFormTest, ShowTogglesFlipTheirBitsAndApplyWritesTheRecord)
{
  CreateAndShow();
  form->SelectChannel(1);
  const uint32_t before = g_WatchList.Pens[1].PenShowWhat;
  struct Case {
    const char* name;
    uint32_t bit;
  } cases[] = {{"Chk_ShowMin", 1}, {"Chk_ShowMax", 2}, {"Chk_ShowAvrg", 4}};
  for (const Case& c : cases) {
    Find<QCheckBox>(c.name)->click();
    EXPECT_EQ(g_WatchList.Pens[1].PenShowWhat, before ^ c.bit) << c.name;
    Find<QCheckBox>(c.name)->click();
    EXPECT_EQ(g_WatchList.Pens[1].PenShowWhat, before) << c.name;
  }
  Find<QComboBox>("Cb_LegendPos")->setCurrentIndex(2);
  Find<QComboBox>("Cb_LargeMarker")->setCurrentIndex(6);
  Find<QLineEdit>("Ed_LargeInterval")->setText("5*60");
  Find<QComboBox>("Cb_LeftAxis")->setCurrentIndex(5);
  Find<QPushButton>("Btn_ApplyLayout")->click();
  EXPECT_EQ(g_WatchList.LegendPos, 2);
  EXPECT_EQ(g_WatchList.LargeMarker, 6);
  EXPECT_STREQ(g_WatchList.LargeInterval, "5*60");
  EXPECT_EQ(g_WatchList.LargeIntervalSec, 300.0);
  EXPECT_EQ(g_WatchList.Axes[0].AxisAssign, 4);
  EXPECT_EQ(Find<QTabWidget>("PC_Watch")->currentIndex(), 1);
}

TEST_F(WatchFormTest, RunStopCaptions)
{
  CreateAndShow();
  auto* menu = Find<QAction>("Menu_RunStop");
  auto* pages = Find<QTabWidget>("PC_Watch");
  Ticks(1);
  EXPECT_EQ(menu->text(), "Run (now stopped)");
  EXPECT_EQ(pages->tabText(1), "Plotter (stopped)");
  menu->trigger();
  Ticks(1);
  EXPECT_EQ(menu->text(), "Stop (now running)");
  EXPECT_TRUE(menu->isChecked());
  EXPECT_EQ(pages->tabText(1), "Plotter");
}

TEST_F(WatchFormTest, PlotDataOpenWithTheClampedCounts)
{
  CreateAndShow();
  struct Case {
    const char* samples;
    const char* channels;
    uint32_t records, chans;
  } cases[] = {
      {"50", "0", 100, 1},          {"99999999999", "25", 10000, 20}, {"abc", "-3", 2000, 20},
      {"500", "99999999999", 500, 20}, {"20000", "7", 10000, 7},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(n);
    Find<QLineEdit>("Ed_PlotMaxSamples")->setText(c.samples);
    Find<QLineEdit>("Ed_PlotMaxChannels")->setText(c.channels);
    form->OpenPlotData(QString::fromStdString(dir.file("c" + std::to_string(n++) + ".tmp")));
    EXPECT_EQ(g_PlotData.Header.MaxRecords, c.records);
    EXPECT_EQ(g_PlotData.Header.Channels, c.chans);
    EXPECT_EQ(g_WatchList.ChannelCount, c.chans);
  }
}

TEST_F(WatchFormTest, ChannelCountMessageAppearsOnce)
{
  CreateAndShow();
  Find<QLineEdit>("Ed_PlotMaxChannels")->setText("8");
  Find<QPushButton>("Btn_ApplyChannels")->click();
  Find<QPushButton>("Btn_ApplyChannels")->click();
  int count = 0;
  for (const auto& m : messagesShown)
    count += m == "You must start a new plot data file after changing the number of channels";
  EXPECT_EQ(count, 1);
  EXPECT_EQ(g_WatchList.ChannelCount, 8u);
}

// A row beyond the plot file's channels is evaluated but not recorded: the row count says so
// until a plot file with enough channels is started; the channel count is applied from its own
// page.
TEST_F(WatchFormTest, RowsBeyondThePlotFileChannelsAreNamedBesideTheRowCount)
{
  CreateAndShow();
  Ticks(6);
  auto* rows = Find<QLabel>("Lab_RowCount");
  EXPECT_EQ(rows->text(), "6 rows");
  SetCell(7, 1, "6*7");
  Ticks(6);
  EXPECT_EQ(rows->text(), "7 rows, plot file holds 6 channels: start a new plot file to plot them");

  auto* tabs = Find<QTabWidget>("PC_Watch");
  auto* apply = Find<QPushButton>("Btn_ApplyOther");
  ASSERT_NE(apply, nullptr);
  EXPECT_TRUE(tabs->widget(5)->isAncestorOf(apply));
  EXPECT_TRUE(tabs->widget(5)->isAncestorOf(Find<QLineEdit>("Ed_PlotMaxChannels")));
  Find<QLineEdit>("Ed_PlotMaxChannels")->setText("8");
  apply->click();
  EXPECT_EQ(g_WatchList.ChannelCount, 8u);
  ASSERT_EQ(messagesShown.size(), 1u);
  EXPECT_EQ(messagesShown[0], "You must start a new plot data file after changing the number of channels");
  Ticks(6);
  EXPECT_EQ(rows->text(), "7 rows, plot file holds 6 channels: start a new plot file to plot them");

  form->OpenPlotData(QString::fromStdString(dir.file("eight.tmp")));
  EXPECT_EQ(g_PlotData.Header.Channels, 8u);
  EXPECT_EQ(rows->text(), "7 rows");
}

TEST_F(WatchFormTest, ImportShowsTheResultAndTheIgnoredColumns)
{
  CreateAndShow();
  const std::string path = dir.file("in.txt");
  vt_test::WriteWholeFile(path, "Noise\tOther\tPeak1_Ampl\n-50\t1\t-20\n-51\t2\t-21\n");
  Find<QLineEdit>("Ed_TimeColumn")->setText("0");
  TDialogHooks::FileDialogHook = [&](bool save, const QString&, const QString&, QString& name) {
    EXPECT_FALSE(save);
    name = QString::fromStdString(path);
    return true;
  };
  const uint32_t before = g_PlotData.Header.WriteIndex;
  Find<QAction>("Menu_Import")->trigger();
  ASSERT_FALSE(messagesShown.empty());
  EXPECT_EQ(messagesShown.back(), "2 columns could be decoded from the import file.\nIgnored data columns:\n  Other");
  EXPECT_EQ(g_PlotData.Header.WriteIndex, before + 2);

  vt_test::WriteWholeFile(path, "nothing\n");
  Find<QAction>("Menu_Import")->trigger();
  EXPECT_EQ(messagesShown.back(), "No data imported: No column titles recognized.\nIgnored data columns:\n  nothing");

  // Unreadable or huge time-column and separator texts take their defaults (no time column,
  // tab) or clamp, without overflow: the tab-separated file still imports.
  vt_test::WriteWholeFile(path, "Noise\tOther\tPeak1_Ampl\n-50\t1\t-20\n");
  const std::pair<const char*, const char*> fields[] = {
      {"abc", "x"}, {"99999999999", "99999999999"}, {"-99999999999", "-1"}, {"", "256"}};
  for (const auto& [timeColumn, separator] : fields) {
    Find<QLineEdit>("Ed_TimeColumn")->setText(timeColumn);
    Find<QLineEdit>("Ed_ColumnSeparator")->setText(separator);
    const uint32_t at = g_PlotData.Header.WriteIndex;
    Find<QAction>("Menu_Import")->trigger();
    EXPECT_EQ(messagesShown.back(), "2 columns could be decoded from the import file.\nIgnored data columns:\n  Other")
        << timeColumn << " / " << separator;
    EXPECT_EQ(g_PlotData.Header.WriteIndex, at + 1) << timeColumn << " / " << separator;
  }
}

TEST_F(WatchFormTest, EraseLeavesAnEmptyHistoryAndOnlyDeletesRegularFiles)
{
  CreateAndShow();
  Find<QAction>("Menu_RunStop")->trigger();
  Ticks(30);
  ASSERT_GT(g_PlotData.Header.HighestIndex, 0u);
  Find<QAction>("Menu_EraseData")->trigger();
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_FILE);
  EXPECT_EQ(g_PlotData.Header.HighestIndex, 0u);
  EXPECT_EQ(g_PlotData.Header.WriteIndex, 0u);

  std::filesystem::create_directory(dir.file("adir"));
  Find<QLineEdit>("Ed_PlotFileName")->setText(QString::fromStdString(dir.file("adir")));
  debugLines.clear();
  Find<QAction>("Menu_EraseData")->trigger();
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("adir")));
  EXPECT_TRUE(Logged("Can't delete \"" + dir.file("adir") + "\", Windoze says \""));
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);

  // A device named as the plot file is left alone as well.
  Find<QLineEdit>("Ed_PlotFileName")->setText("/dev/null");
  debugLines.clear();
  Find<QAction>("Menu_EraseData")->trigger();
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  EXPECT_TRUE(Logged("Can't delete \"/dev/null\", Windoze says \""));
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);
}

TEST_F(WatchFormTest, ForeignOrLockedPlotFileFallsBackToMemory)
{
  vt_test::WriteWholeFile(dir.file("plotter0.tmp"), std::string(50, 'x'));
  CreateAndShow();
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);
  EXPECT_EQ(g_PlotData.Header.MaxRecords, 2000u);
  EXPECT_TRUE(Logged("\"plotter0.tmp\" is no plot file"));
  EXPECT_EQ(vt_test::ReadWholeFile(dir.file("plotter0.tmp")), std::string(50, 'x'));

  T_PlotData other;
  T_WatchList wl;
  const std::string locked = dir.file("locked.tmp");
  ASSERT_TRUE(PlotData_OpenFile(&other, &wl, locked.c_str(), 100, 2, 1));
  debugLines.clear();
  form->OpenPlotData(QString::fromStdString(locked));
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);
  EXPECT_TRUE(Logged("Can't create \"" + locked + "\""));
  PlotData_CloseFile(&other);
}

TEST_F(WatchFormTest, ClosingWritesTheInstanceSettingsAndReopeningRestoresThem)
{
  CreateAndShow();
  SetCell(9, 0, "MyTitle");
  SetCell(9, 1, "1+1");
  Find<QLineEdit>("Ed_PlotMaxSamples")->setText("3000");
  Find<QLineEdit>("Ed_SecPerStep")->setText("2.5");
  form->close();
  EXPECT_EQ(g_PlotWindowClosed, 1);
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_CLOSED);
  IniFile ini(dir.file("SETTINGS.INI"));
  EXPECT_EQ(ini.ReadString("WatchList", "Title9", ""), "MyTitle");
  EXPECT_EQ(ini.ReadString("WatchHistoryPlotter", "SecPerStep", ""), "2.5");
  form.reset();
  Create();
  EXPECT_EQ(Find<QTableWidget>("SG_Watch")->item(9, 1)->text(), "1+1");
  EXPECT_EQ(Find<QLineEdit>("Ed_PlotMaxSamples")->text(), "3000");
  EXPECT_EQ(g_WatchList.SecPerStep, 2.5);
}

TEST_F(WatchFormTest, CaptureAfterADrawnDiagramWritesABitmap)
{
  CreateAndShow();
  Find<QAction>("Menu_RunStop")->trigger();
  Ticks(15);
  const std::string path = dir.file("plot.bmp");
  EXPECT_EQ(CLI_ExecuteMacro(CLI_SRC_CMDWIN, ("plot.capture(\"" + path + "\")").c_str()), 0);
  QImage back(QString::fromStdString(path));
  ASSERT_FALSE(back.isNull());
  EXPECT_EQ(back.size(), form->Diagram().size());
}

TEST_F(WatchFormTest, NewestRecordSitsInTheNewestColumn)
{
  CreateAndShow();
  SetCell(1, 1, "50");
  SetCell(1, 4, "0");
  SetCell(1, 5, "100");
  form->RefreshDisplayClick();
  g_WatchList.Pens[0].PenDisplayStyle = 1;
  g_WatchList.Pens[0].PenShowWhat = 4;
  g_WatchList.Pens[0].PenColor = 0x00FF00;
  g_WatchList.VertScalePenStyle = 0;
  Find<QComboBox>("Cb_GridStyle")->setCurrentIndex(0);
  Find<QAction>("Menu_RunStop")->trigger();
  Ticks(45);  // four steps of one second
  const QImage& img = form->Diagram();
  const int x = g_WatchList.PlotArea.right;
  const int y = Plot_ScaleY(50.0, 0.0, 100.0, g_WatchList.PlotArea.top, g_WatchList.PlotArea.bottom);
  EXPECT_EQ(QColorToColorRef(img.pixelColor(x, y)), 0x00FF00u);
  EXPECT_EQ(QColorToColorRef(img.pixelColor(x - 1, y)), 0x00FF00u);  // the step before, scrolled
  EXPECT_NE(QColorToColorRef(img.pixelColor(x, y - 3)), 0x00FF00u);
}

// Drawing the step in progress (the slot at WriteIndex) instead of the finished one would show
// the new value in the newest column one step early.
TEST_F(WatchFormTest, NewestColumnShowsTheFinishedStep)
{
  CreateAndShow();
  SetCell(1, 1, "20");
  SetCell(1, 4, "0");
  SetCell(1, 5, "100");
  form->RefreshDisplayClick();
  AllPensOff();
  Pen(0, 0x00FF00, 1, 4);
  Find<QLineEdit>("Ed_SecPerStep")->setText("0.05");  // every tick begins a step
  Find<QAction>("Menu_RunStop")->trigger();
  Ticks(5);
  SetCell(1, 1, "80");
  form->UpdateWatchGrid(false);
  Ticks(1);  // the step of 80 begins; the finished step holds 20
  const QImage& img = form->Diagram();
  const T_PlotRect& a = g_WatchList.PlotArea;
  const int y20 = Plot_ScaleY(20.0, 0.0, 100.0, a.top, a.bottom);
  const int y80 = Plot_ScaleY(80.0, 0.0, 100.0, a.top, a.bottom);
  EXPECT_EQ(QColorToColorRef(img.pixelColor(a.right, y20)), 0x00FF00u);
  EXPECT_NE(QColorToColorRef(img.pixelColor(a.right, y80)), 0x00FF00u);
  Ticks(1);  // now the step of 80 is finished
  EXPECT_EQ(QColorToColorRef(img.pixelColor(a.right, y80)), 0x00FF00u);
  EXPECT_EQ(QColorToColorRef(img.pixelColor(a.right - 1, y20)), 0x00FF00u);
  EXPECT_NE(QColorToColorRef(img.pixelColor(a.right - 1, y80)), 0x00FF00u);
}

// A file of 6 channels while the watch list asks for 10 (raised and applied, and again after a
// restart): the records hold 6 channels, so channels 7..10 have nothing to draw, and the label
// gives the file's count.
TEST_F(WatchFormTest, PlotterDrawsOnlyTheChannelsTheFileHolds)
{
  constexpr uint32_t kBeyond = 0x13579B;
  const auto run = [&] {
    SetCell(1, 1, "50");
    AllPensOff();
    for (int ch = 0; ch < 6; ++ch) Pen(ch, 0x00FF00, 3, 7);
    for (int ch = 6; ch < 10; ++ch) Pen(ch, kBeyond, 1, 7);
    if (!form->Running()) Find<QAction>("Menu_RunStop")->trigger();
    Ticks(35);
    EXPECT_EQ(PlotAreaPixels(kBeyond), 0) << "newest columns";
    form->UpdatePlot(true, false);
    EXPECT_EQ(PlotAreaPixels(kBeyond), 0) << "whole history";
    EXPECT_GT(PlotAreaPixels(0x00FF00), 0);
  };
  CreateAndShow();
  ASSERT_EQ(g_PlotData.Header.Channels, 6u);
  Find<QLineEdit>("Ed_PlotMaxChannels")->setText("10");
  Find<QPushButton>("Btn_ApplyChannels")->click();
  ASSERT_EQ(g_WatchList.ChannelCount, 10u);
  EXPECT_EQ(Find<QLabel>("Lab_ChannelsInUse")->text(), "( 6 used in file)");
  run();

  form->close();
  form.reset();
  CreateAndShow();  // the settings ask for 10 channels, the file keeps its 6
  EXPECT_EQ(g_WatchList.ChannelCount, 10u);
  EXPECT_EQ(g_PlotData.Header.Channels, 6u);
  EXPECT_EQ(Find<QLabel>("Lab_ChannelsInUse")->text(), "( 6 used in file)");
  run();
}

// On a fresh file the ring starts at slot 1: slot 0 was never written (time 0) and must not
// become a point at value 0 joined to the first real value by a full-height line.
TEST_F(WatchFormTest, NeverWrittenSlotIsNotDrawn)
{
  CreateAndShow();
  ASSERT_EQ(g_PlotData.Header.HighestIndex, 0u);
  SetCell(1, 1, "100");
  SetCell(1, 4, "0");
  SetCell(1, 5, "100");
  form->RefreshDisplayClick();
  AllPensOff();
  Pen(0, 0x00FF00, 2, 7);
  Find<QLineEdit>("Ed_SecPerStep")->setText("0.05");
  Find<QAction>("Menu_RunStop")->trigger();
  Ticks(6);
  const int top = Plot_ScaleY(100.0, 0.0, 100.0, g_WatchList.PlotArea.top, g_WatchList.PlotArea.bottom);
  int lowest = -1;
  EXPECT_GT(PlotAreaPixels(0x00FF00, &lowest), 0);
  EXPECT_LE(lowest, top + 1) << "newest columns";
  form->UpdatePlot(true, false);
  EXPECT_GT(PlotAreaPixels(0x00FF00, &lowest), 0);
  EXPECT_LE(lowest, top + 1) << "whole history";
}

// Another program cuts the mapped plot file short (to the given size) while the window records:
// the window goes on with a memory history (no SIGBUS), reports it, keeps recording and drawing,
// and closes normally with its settings.
TEST_F(WatchFormTest, ShrunkPlotFileGoesOnInMemory)
{
  // Cut to nothing: the next access faults.
  const uint32_t written = RecordIntoThePlotFile();
  ASSERT_GT(written, 1u);
  ASSERT_EQ(g_PlotData.State, PLOT_STATE_FILE);
  ASSERT_EQ(truncate(dir.file("plotter0.tmp").c_str(), 0), 0);
  Ticks(25);
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);
  EXPECT_TRUE(Logged("The plot file shrank to 0 bytes while in use; the plot history goes on in memory"));
  EXPECT_GT(g_PlotData.Header.WriteIndex, written);
  EXPECT_EQ(g_PlotData.Header.MaxRecords, 2000u);
  form->RefreshDisplayClick();
  form->close();
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_CLOSED);
  EXPECT_EQ(std::filesystem::file_size(dir.file("plotter0.tmp")), 0u);
  EXPECT_EQ(IniFile(dir.file("SETTINGS.INI")).ReadString("WatchList", "Expr1", ""), "50");
}

// Cut by a few bytes, every record still lies inside the file (it is sized for 20-channel
// records), so no access faults: the window's timer tick finds the file shorter and the history
// goes on in memory all the same, with every record kept.
TEST_F(WatchFormTest, PlotFileCutShortWhereNoAccessFaultsIsFoundByTheTick)
{
  const uint32_t written = RecordIntoThePlotFile();
  ASSERT_GT(written, 1u);
  ASSERT_EQ(g_PlotData.State, PLOT_STATE_FILE);
  const std::string path = dir.file("plotter0.tmp");
  const uintmax_t cut = std::filesystem::file_size(path) - 1000;
  ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(cut)), 0);
  Ticks(1);
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_MEMORY);
  EXPECT_TRUE(Logged("The plot file shrank to " + std::to_string(cut) +
                     " bytes while in use; the plot history goes on in memory (2000 records kept)."));
  T_PlotDataRecord rec;
  ASSERT_TRUE(PlotData_GetRecord(&g_PlotData, static_cast<int>(written) - 1, &rec));
  EXPECT_NE(rec.Time, 0.0);
  Ticks(25);
  EXPECT_GT(g_PlotData.Header.WriteIndex, written);
  form->close();
  EXPECT_EQ(g_PlotData.State, PLOT_STATE_CLOSED);
  EXPECT_EQ(std::filesystem::file_size(path), cut);
}

}  // namespace
