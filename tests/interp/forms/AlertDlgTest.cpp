// The spectrum alert dialog offscreen: every control of the settings table both ways, OK,
// Apply and Cancel (which also undoes "Test !" and "Calculate !"), the alarm test buttons, the
// live labels and the peak table after the timer, the drawn pattern, the settings file read at
// creation and written at close, and a failed save.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

#include "common/TestUtil.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "interp/SpectrumAlert.h"
#include "interp/forms/AlertDlg.h"
#include "platform/IniFile.h"

namespace {

constexpr QRgb kGreen = 0xFF008000;
constexpr QRgb kBlack = 0xFF000000;

class AlertDlgTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetSettingsFileName(g_UserSettingsFileName, settings);
    Alert_SetDefaults();
    Alert_Reset();
    g_AlertMessage.clear();
    std::memset(g_AlertPeakTable, 0, sizeof g_AlertPeakTable);
    TDialogHooks::DialogExecHook = [this](QDialog* d) {
      if (auto* box = qobject_cast<QMessageBox*>(d)) messages.push_back(box->text());
      return 0;
    };
  }
  void TearDown() override
  {
    TDialogHooks::DialogExecHook = nullptr;
    SetSettingsFileName(g_UserSettingsFileName, "SETTINGS.INI");
    g_InstanceIndex = 0;
    g_AlertActive = g_AlertAcknowledged = 0;
  }
  // A smoothed spectrum of 100 bins of 5 Hz from 400 Hz, bin i at -i dB.
  static void FeedRamp()
  {
    AlertSpectrum& in = g_AlertInputSpectrum;
    in.NrOfBins = 100;
    in.BinWidthHz = 5.0;
    in.FirstBinHz = 400.0;
    for (int i = 0; i < 100; ++i) in.Bins[i] = -i;
    Alert_Reset();
    Alert_ProcessSpectrum();
    g_AlertAvgSpectrum.Bins[100] = 0.0;
    std::memset(g_AlertPeakTable, 0, sizeof g_AlertPeakTable);  // counted by the evaluation
  }
  template <typename T>
  static T* Find(TAlertDlgForm& f, const char* name)
  {
    T* w = f.findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  static QString Cell(const TAlertDlgForm& f, int row, int col)
  {
    const QTableWidgetItem* item = f.SG_PeakTable->item(row, col);
    return item ? item->text() : QString();
  }

  vt_test::TempDir dir;
  const std::string settings = dir.file("SETTINGS.INI");
  std::vector<QString> messages;
};

struct EditRow {
  const char* name;
  double* field;
  double value;       // set before showing
  const char* shown;  // the edit's text then
  const char* typed;  // typed before Apply
  double taken;       // the field after Apply
};

struct CheckRow {
  const char* name;
  uint8_t* field;
};

TEST_F(AlertDlgTest, EveryControlBothWays)
{
  TAlertSettings& s = AlertSettings;
  const EditRow edits[] = {
      {"Ed_SP_Bandwidth", &s.SearchPatternBWidth, 12.34, "12.3", " 7.5 ", 7.5},
      {"Ed_RangeAmin", &s.RangeA_Fmin, 1234.56, "1234.6", "1e3", 1000.0},
      {"Ed_RangeAmax", &s.RangeA_Fmax, 2000.0, "2000.0", "2100.25", 2100.25},
      {"Ed_RangeBmin", &s.RangeB_Fmin, 0.04, "0.0", "-5", -5.0},
      {"Ed_RangeBmax", &s.RangeB_Fmax, 99999.99, "100000.0", "3000", 3000.0},
      {"Ed_AverageDiffMin", &s.AvrgDiffMin, -3.26, "-3.3", "4.75", 4.75},
      {"Ed_PeakADiffMin", &s.PeakADiffMin, 6.04, "6.0", "12", 12.0},
      {"Ed_PeakBDiffMin", &s.PeakBDiffMin, 123.45, "123.5", "0.5", 0.5},
  };
  const CheckRow checks[] = {
      {"Chk_AlertEnabled", &s.Enable},
      {"Chk_Visualize", &s.Visualize},
      {"Chk_Compare2Ranges", &s.MethodCompareRanges},
      {"Chk_AutoPeakDetection", &s.MethodAutoPeak},
      {"Chk_AutoNoiseDetection", &s.MethodAutoNoise},
      {"Chk_ActionBell", &s.ActionRingBell},
      {"Chk_ActionStartFileLogging", &s.ActionStartLoggingWave},
      {"Chk_ActionScreenCapture", &s.ActionScreenCapture},
      {"Chk_RunOsCommand", &s.ActionExecOsCommand},
  };
  TAlertDlgForm f;
  for (int pass = 0; pass < 2; ++pass) {  // every check box on, then off
    SCOPED_TRACE(pass);
    for (const EditRow& e : edits) *e.field = e.value;
    for (const CheckRow& c : checks) *c.field = pass == 0;
    s.SearchPatternType = 3 + pass;
    s.MinSecondsToAlert = 45 + pass;
    std::strcpy(s.OsCommandLine, pass ? "beep" : "mpv '/home/x/alarm.ogg'");
    f.show();
    for (const EditRow& e : edits) EXPECT_EQ(Find<QLineEdit>(f, e.name)->text(), e.shown) << e.name;
    for (const CheckRow& c : checks)
      EXPECT_EQ(Find<QCheckBox>(f, c.name)->isChecked(), pass == 0) << c.name;
    EXPECT_EQ(f.LBox_ModPattern->currentRow(), 3 + pass);
    EXPECT_EQ(f.LBox_ModPattern->currentItem()->text(),
              pass ? "Rectangular (wide)" : "Rectangular (narrow)");
    EXPECT_EQ(f.Ed_ConditionMinTime->text(), QString::number(45 + pass));
    EXPECT_EQ(f.Ed_OsCmdLine1->text(), pass ? "beep" : "mpv '/home/x/alarm.ogg'");

    for (const EditRow& e : edits) Find<QLineEdit>(f, e.name)->setText(e.typed);
    for (const CheckRow& c : checks) Find<QCheckBox>(f, c.name)->setChecked(pass == 1);
    f.LBox_ModPattern->setCurrentRow(pass * 5);
    f.Ed_ConditionMinTime->setText(pass ? "-7.9" : "12.9");  // truncated toward zero
    f.Ed_OsCmdLine1->setText(QString(300, QChar('c')));
    f.Btn_Apply->click();
    EXPECT_TRUE(messages.empty());
    for (const EditRow& e : edits) EXPECT_EQ(*e.field, e.taken) << e.name;
    for (const CheckRow& c : checks) EXPECT_EQ(*c.field, pass == 1 ? 1 : 0) << c.name;
    EXPECT_EQ(s.SearchPatternType, pass * 5);
    EXPECT_EQ(s.MinSecondsToAlert, pass ? -7 : 12);
    EXPECT_EQ(std::string(s.OsCommandLine), std::string(255, 'c'));
    EXPECT_TRUE(f.isVisible());
    f.hide();
  }
}

// A text that is not a finite number stops the transfer at its field with a message: the
// fields before it are taken, the rest keep their values, and OK does not close.
TEST_F(AlertDlgTest, BadNumbersStopAtTheirField)
{
  TAlertDlgForm f;
  f.show();
  const struct {
    const char* edit;
    const char* text;
    const char* message;
  } table[] = {
      {"Ed_RangeAmax", "abc", "'abc' is not a valid floating point value"},
      {"Ed_RangeAmax", "inf", "'inf' is not a valid floating point value"},
      {"Ed_RangeAmax", "1e999", "'1e999' is not a valid floating point value"},
      {"Ed_ConditionMinTime", "1e12", "'1e12' is not a valid integer value"},
      {"Ed_ConditionMinTime", "", "'' is not a valid floating point value"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(c.text);
    Alert_SetDefaults();
    f.hide();
    f.show();
    messages.clear();
    f.Ed_SP_Bandwidth->setText("33");
    f.Ed_RangeAmin->setText("501");
    f.Ed_RangeBmin->setText("777");
    f.Chk_ActionBell->setChecked(true);
    Find<QLineEdit>(f, c.edit)->setText(c.text);
    f.Btn_OK->click();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], c.message);
    EXPECT_TRUE(f.isVisible());
    EXPECT_EQ(AlertSettings.SearchPatternBWidth, 33.0);  // before the bad field
    EXPECT_EQ(AlertSettings.RangeA_Fmin, 501.0);
    EXPECT_EQ(AlertSettings.RangeA_Fmax, 550.0);
    EXPECT_EQ(AlertSettings.MinSecondsToAlert, 30);
    EXPECT_EQ(AlertSettings.ActionRingBell, 0);  // after it
    if (std::strcmp(c.edit, "Ed_RangeAmax") == 0) {
      EXPECT_EQ(AlertSettings.RangeB_Fmin, 645.0);
    }
  }
}

// OK takes the controls and closes (saving); Cancel restores the settings and the pattern of
// the showing, undoing Apply, "Test !" and "Calculate !".
TEST_F(AlertDlgTest, OkApplyCancel)
{
  TAlertDlgForm f;
  f.show();
  const std::vector<double> pattern(g_AlertSearchPattern, g_AlertSearchPattern + 100);
  f.Ed_RangeAmin->setText("600");
  f.Btn_Apply->click();
  EXPECT_EQ(AlertSettings.RangeA_Fmin, 600.0);
  f.Ed_PeakADiffMin->setText("20");
  f.Chk_ActionBell->setChecked(true);
  f.Btn_TestAction->click();
  EXPECT_EQ(AlertSettings.PeakADiffMin, 20.0);
  EXPECT_EQ(AlertSettings.ActionRingBell, 1);
  f.LBox_ModPattern->setCurrentRow(4);
  f.Ed_SP_Bandwidth->setText("100");
  f.Btn_CalcModPattern->click();
  EXPECT_EQ(AlertSettings.SearchPatternType, 4);
  EXPECT_EQ(g_AlertSearchPattern[10], 1.0);
  f.Btn_Cancel->click();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(AlertSettings.RangeA_Fmin, 500.0);
  EXPECT_EQ(AlertSettings.PeakADiffMin, 10.0);
  EXPECT_EQ(AlertSettings.ActionRingBell, 0);
  EXPECT_EQ(AlertSettings.SearchPatternType, 1);
  EXPECT_EQ(AlertSettings.SearchPatternBWidth, 20.0);
  EXPECT_EQ(std::vector<double>(g_AlertSearchPattern, g_AlertSearchPattern + 100), pattern);
  EXPECT_EQ(g_AlertScaledPattern.BinWidthHz, 0.0);
  {
    const IniFile ini(settings);  // closing saved the restored settings
    EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT", "RangeA_Fmin", ""), "500");
    EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT", "SearchPatternType", ""), "1");
  }

  f.show();  // a new showing, a new copy
  f.Ed_RangeAmax->setText("575.5");
  f.Btn_OK->click();
  EXPECT_FALSE(f.isVisible());
  EXPECT_EQ(AlertSettings.RangeA_Fmax, 575.5);
  const IniFile ini(settings);
  EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT", "RangeA_Fmax", ""), "575.5");
}

TEST_F(AlertDlgTest, TestAndResetButtons)
{
  TAlertDlgForm f;
  f.show();
  f.Chk_RunOsCommand->setChecked(true);
  g_AlertAcknowledged = 1;
  f.Btn_TestAction->click();
  EXPECT_EQ(f.Lab_AlertMessageText2->text(), "Testing..");
  EXPECT_EQ(g_AlertActive, 1);
  EXPECT_EQ(g_AlertAcknowledged, 0);
  EXPECT_EQ(AlertSettings.ActionExecOsCommand, 1);
  g_AlertAcknowledged = 1;
  f.Btn_TestReset->click();
  EXPECT_EQ(f.Lab_AlertMessageText2->text(), "Test Alarm stopped.");
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(g_AlertAcknowledged, 0);
  // A bad number: no alarm.
  f.Ed_PeakBDiffMin->setText("x");
  f.Btn_TestAction->click();
  EXPECT_EQ(g_AlertActive, 0);
  EXPECT_EQ(messages.size(), 1u);
}

TEST_F(AlertDlgTest, LiveLabelsAfterTheTimer)
{
  TAlertDlgForm f;
  EXPECT_TRUE(f.Timer1->isActive());  // runs with the dialog hidden
  EXPECT_EQ(f.Timer1->interval(), 1000);
  g_AlertRangeA = {500, 550, 10, -77.04, -79.5, -31.96, 5, 525.126, 45.0};
  g_AlertRangeB = {645, 700, 10, -3.0, 12.26, 7.0, 2, 1234.5, 123.44};
  g_AlertAvgSpectrum.BinWidthHz = 5.383;
  g_AlertMessage = "CreateProcess: No such file or directory";
  f.Timer1Timer();
  const struct {
    const char* label;
    const char* text;
  } table[] = {
      {"Lab_NoiseA", "-77.0 dB"},
      {"Lab_AverageA", "-79.5 dB"},
      {"Lab_PeakA", "-32.0 dB"},
      {"Lab_PeakFreqA", "525.13 Hz"},
      {"Lab_AlertPercentA", "Alert Percentage =45.0 %"},
      {"Lab_NoiseB", "-3.0 dB"},
      {"Lab_AverageB", "12.3 dB"},
      {"Lab_PeakB", "7.0 dB"},
      {"Lab_PeakFreqB", "1234.50 Hz"},
      {"Lab_AlertPercentB", "Alert Percentage =123.4 %"},
      {"Lab_ObervablePatternBandwidth", "538.3 Hz"},
      {"Lab_AlertMessageText", "CreateProcess: No such file or directory"},
      {"Lab_AlertMessageText2", "CreateProcess: No such file or directory"},
  };
  for (const auto& c : table) EXPECT_EQ(Find<QLabel>(f, c.label)->text(), c.text) << c.label;
  EXPECT_EQ(g_AlertMessage, "");
  f.Lab_AlertMessageText2->setText("kept");
  f.Timer1Timer();  // no new message: the labels keep theirs
  EXPECT_EQ(f.Lab_AlertMessageText2->text(), "kept");
  f.show();  // a showing clears the bottom message
  EXPECT_EQ(f.Lab_AlertMessageText->text(), "");
}

// One row per bin whose counter reaches the minimum, in bin order, at most 19 data rows and at
// least one; the timer refreshes the table only while its page is shown.
TEST_F(AlertDlgTest, PeakTableRows)
{
  FeedRamp();
  TAlertDlgForm f;
  f.show();
  EXPECT_EQ(Cell(f, 0, 0), "Index");
  EXPECT_EQ(Cell(f, 0, 4), "Status");
  for (int bin : {3, 7, 100}) g_AlertPeakTable[bin].Counter = 5;
  g_AlertPeakTable[7].Counter = 9;
  const struct {
    int min;
    int rows;
    std::vector<int> bins;
  } table[] = {{1, 4, {3, 7, 100}}, {6, 2, {7}}, {10, 2, {}}, {-10, 20, {0, 1, 2, 3, 4}}};
  for (const auto& c : table) {
    SCOPED_TRACE(c.min);
    f.UD_CounterMin->setValue(c.min);
    f.SG_PeakTable->clearContents();
    f.UpdatePeakTable(true);
    EXPECT_EQ(f.SG_PeakTable->rowCount(), c.rows);
    for (size_t r = 0; r < c.bins.size(); ++r) {
      const int bin = c.bins[r];
      const int row = static_cast<int>(r) + 1;
      EXPECT_EQ(Cell(f, row, 0), QString::number(row));
      EXPECT_EQ(Cell(f, row, 1), QString::number(400 + 5 * bin) + ".0 Hz");
      EXPECT_EQ(Cell(f, row, 2), QString::number(bin < 100 ? -bin : 0) + ".0 dB");
      EXPECT_EQ(Cell(f, row, 3), QString::number(g_AlertPeakTable[bin].Counter));
      EXPECT_EQ(Cell(f, row, 4), "0");
    }
  }
  EXPECT_EQ(Cell(f, 19, 1), "490.0 Hz");  // bin 18, the last row

  f.UD_CounterMin->setValue(1);
  f.PageControl1->setCurrentWidget(f.TS_General);
  f.Timer1Timer();
  EXPECT_EQ(f.SG_PeakTable->rowCount(), 20);
  f.PageControl1->setCurrentWidget(f.TS_PeakTables);
  f.Timer1Timer();
  EXPECT_EQ(f.SG_PeakTable->rowCount(), 4);
}

TEST_F(AlertDlgTest, PatternDrawnAtItsPixels)
{
  TAlertDlgForm f;
  f.show();
  const QImage& img = f.PatternBitmap;
  ASSERT_EQ(img.size(), f.Img_ModulationPattern->size());
  const int w = img.width() - 1, h = img.height();
  f.LBox_ModPattern->setCurrentRow(3);  // rectangular (narrow): 1 at points 25..74
  f.Ed_SP_Bandwidth->setText("20");
  f.Btn_CalcModPattern->click();
  EXPECT_EQ(f.Lab_SP_fmin->text(), "fc-10.00Hz");
  EXPECT_EQ(f.Lab_SP_fmax->text(), "fc+10.00Hz");
  const int top = (h - 1) - (h - 4);  // a point of 1
  // Column x shows point trunc(x x 99 / w + 0.5).
  auto point = [&](int x) { return static_cast<int>(x * 99.0 / w + 0.5); };
  int checked = 0;
  for (int x = 0; x <= w; x += 7) {
    const int p = point(x);
    if ((p >= 23 && p <= 26) || (p >= 73 && p <= 76)) continue;  // the steps
    const int y = (p >= 25 && p <= 74) ? top : h - 1;
    const int other = (p >= 25 && p <= 74) ? h - 1 : top;
    EXPECT_EQ(img.pixel(x, y), kGreen) << x;
    EXPECT_EQ(img.pixel(x, other), kBlack) << x;
    EXPECT_EQ(img.pixel(x, h / 2), kBlack) << x;
    ++checked;
  }
  EXPECT_GT(checked, 30);

  // An image one pixel wide or high has no room: nothing is drawn, nothing breaks.
  for (QSize size : {QSize(1, 50), QSize(50, 1), QSize(1, 1)}) {
    f.PatternBitmap = QImage(size, QImage::Format_RGB32);
    f.DrawModulationPattern();
    for (int y = 0; y < size.height(); ++y)
      for (int x = 0; x < size.width(); ++x) EXPECT_EQ(f.PatternBitmap.pixel(x, y), kBlack);
  }
}

TEST_F(AlertDlgTest, GetFromSpectrum)
{
  FeedRamp();
  TAlertDlgForm f;
  f.show();
  f.Ed_SP_Bandwidth->setText("100");
  f.Ed_BestPatternMatchFreq->setText("410");
  f.Btn_GetFromSpectrumClick();
  EXPECT_EQ(AlertSettings.SearchPatternType, ALERT_PATTERN_USER);
  EXPECT_EQ(f.LBox_ModPattern->currentRow(), ALERT_PATTERN_USER);
  EXPECT_EQ(AlertSettings.SearchPatternBWidth, 100.0);
  EXPECT_EQ(g_AlertSearchPattern[32], 0.0);  // below the spectrum
  EXPECT_EQ(g_AlertSearchPattern[33], 1.0);  // bin 0, the highest
  // Column 90 of 257 shows point 35 (1: the top row), column 26 point 10 (0: the bottom row).
  ASSERT_EQ(f.PatternBitmap.width(), 257);
  EXPECT_EQ(f.PatternBitmap.pixel(90, 3), kGreen);
  EXPECT_EQ(f.PatternBitmap.pixel(26, f.PatternBitmap.height() - 1), kGreen);
  EXPECT_EQ(f.PatternBitmap.pixel(26, 3), kBlack);
  // Not a number: captured around 0 Hz, far below the spectrum: all zero.
  f.Ed_BestPatternMatchFreq->setText("near 500");
  f.Btn_GetFromSpectrum->click();
  for (double p : g_AlertSearchPattern) ASSERT_EQ(p, 0.0);
}

// Created with the file's settings; closed, every key and the pattern are in the file.
TEST_F(AlertDlgTest, SettingsFileAtCreationAndClose)
{
  std::string text = "[SPECTRUM_ALERT]\r\nAlertFunctionEnable=1\r\nRangeA_Fmin=1000\r\n"
                     "SearchPatternType=5\r\nOsCommandLine=play bell.wav\r\n"
                     "[SPECTRUM_ALERT_PATTERN]\r\n";
  for (int i = 0; i < 100; ++i) text += "Pat" + std::to_string(i) + "=" + std::to_string(i % 2) + "\r\n";
  vt_test::WriteWholeFile(settings, text);
  TAlertDlgForm f;
  EXPECT_EQ(AlertSettings.Enable, 1);
  EXPECT_EQ(AlertSettings.RangeA_Fmin, 1000.0);
  EXPECT_EQ(AlertSettings.RangeA_Fmax, 550.0);
  EXPECT_STREQ(AlertSettings.OsCommandLine, "play bell.wav");
  EXPECT_EQ(g_AlertSearchPattern[0], 0.0);
  EXPECT_EQ(g_AlertSearchPattern[1], 1.0);
  AlertSettings.PeakBDiffMin = 8.5;
  f.close();  // hidden: the close handler still runs
  const IniFile ini(settings);
  EXPECT_EQ(ini.ReadSection("SPECTRUM_ALERT").size(), 21u);
  EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT", "PeakBDiffMin", ""), "8.5");
  EXPECT_EQ(ini.ReadSection("SPECTRUM_ALERT_PATTERN").size(), 100u);
  EXPECT_EQ(ini.ReadString("SPECTRUM_ALERT_PATTERN", "Pat99", ""), "1");
}

TEST_F(AlertDlgTest, FailedSaveIsReportedNotThrown)
{
  TAlertDlgForm f;
  SetSettingsFileName(g_UserSettingsFileName, dir.file("missing/dir/SETTINGS.INI"));
  f.show();
  f.Btn_OK->click();  // a message box
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(messages[0].contains("Unable to write to")) << messages[0].toStdString();
  EXPECT_FALSE(f.isVisible());
  QStringList reported;
  f.OnSaveError = [&](const QString& t) { reported << t; };
  f.show();
  f.Btn_Cancel->click();  // to whoever collects them
  EXPECT_EQ(messages.size(), 1u);
  ASSERT_EQ(reported.size(), 1);
  EXPECT_TRUE(reported[0].contains("missing/dir/SETTINGS.INI"));
}

TEST_F(AlertDlgTest, CaptionHelpAndPages)
{
  g_InstanceIndex = 1;
  TAlertDlgForm f;
  EXPECT_EQ(f.windowTitle(), "Spectrum Alert Function [2]");
  std::vector<uint32_t> asked;
  const HelpContextHandler old = SetHelpContextHandler([&](uint32_t c) {
    asked.push_back(c);
    return true;
  });
  f.Btn_Help->click();
  SetHelpContextHandler(old);
  EXPECT_EQ(asked, std::vector<uint32_t>{1100});
  QStringList tabs;
  for (int i = 0; i < f.PageControl1->count(); ++i) tabs << f.PageControl1->tabText(i);
  EXPECT_EQ(tabs, QStringList({"General", "Frequency Ranges", "Search Pattern", "Peak Tables",
                               "Conditions", "Alert Action(s)"}));
  EXPECT_EQ(f.PageControl1->currentWidget(), f.TS_FrequencyRanges);
  for (const char* name : {"Btn_OK", "Btn_Apply", "Btn_Cancel", "Btn_Help", "Btn_TestAction",
                           "Btn_TestReset", "Btn_CalcModPattern", "Btn_GetFromSpectrum"})
    EXPECT_NE(f.findChild<QPushButton*>(name), nullptr) << name;
  EXPECT_FALSE(f.Chk_ActionScreenCapture->isEnabled());
  EXPECT_FALSE(f.Chk_ActionStartFileLogging->isEnabled());
}

}  // namespace
