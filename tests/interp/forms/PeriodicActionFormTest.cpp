// The periodic and scheduled actions dialog offscreen: settings in and out, Cancel, the test
// button and the word period while the dialog is visible.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <cstring>

#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "interp/Interpreter.h"
#include "interp/PeriodicActions.h"
#include "interp/forms/PeriodicActionForm.h"

namespace {

void SetText(char (&field)[256], const char* text) { std::snprintf(field, sizeof field, "%s", text); }

class PeriodicFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    CLI_Init();
    CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
    g_RedrawRequestMask = 0;
    SndConfig.Time_From = 75600.9;  // shown truncated: 21:00:00
    SndConfig.Time_To = 18000;
    SndConfig.TimeInterval = 900;
    SndConfig.TimerActive = true;
    SetText(SndConfig.PeriodicAction, "capture");
    SndConfig.ScheduleActive = false;
    for (int i = 0; i < kNrScheduleEntries; ++i) {
      SndConfig.Schedule[i].Time = i < 4 ? i * 3600 + 300 : -1;
      std::snprintf(SndConfig.Schedule[i].ActionCmd, 256, "print %d", i);
    }
    SndConfig.CaptureOptions = 2;
    SndConfig.SequenceNr = 17;
    SetText(SndConfig.SequenceName, "/tmp/capt");
    SndConfig.UseJpegFormat = 0;
  }
  void TearDown() override
  {
    TDialogHooks::DialogExecHook = nullptr;
    CLI_RegisterObjectWord("period", nullptr);
    CLI_RegisterObjectWord("capture", nullptr);
  }
  // Runs the dialog; the hook edits the controls and then clicks the button.
  int Run(TPeriodicActionForm& f, QPushButton* button, const std::function<void()>& edit = {})
  {
    TDialogHooks::DialogExecHook = [&](QDialog* d) {
      if (edit) edit();
      button->click();
      return d->result();
    };
    return f.Execute(f.TS_Schedule);
  }
};

TEST_F(PeriodicFormTest, UnchangedRoundTripKeepsEverySetting)
{
  TPeriodicActionForm f;
  f.Rbtn_ImgFormJPEG->setChecked(true);  // left over from an earlier showing
  EXPECT_EQ(Run(f, f.Btn_Ok), QDialog::Accepted);
  EXPECT_EQ(f.PageControl1->currentWidget(), f.TS_Schedule);
  EXPECT_EQ(f.Ed_From->text(), "21:00:00");
  EXPECT_EQ(f.Sg_Schedule->item(0, 1)->text(), "Time of day");
  EXPECT_EQ(f.Sg_Schedule->item(2, 1)->text(), "01:05");
  EXPECT_EQ(f.Sg_Schedule->item(12, 1)->text(), "");
  EXPECT_EQ(SndConfig.Time_From, 75600.0);
  EXPECT_EQ(SndConfig.Time_To, 18000.0);
  EXPECT_EQ(SndConfig.TimeInterval, 900.0);
  EXPECT_TRUE(SndConfig.TimerActive);
  EXPECT_STREQ(SndConfig.PeriodicAction, "capture");
  EXPECT_FALSE(SndConfig.ScheduleActive);
  for (int i = 0; i < kNrScheduleEntries; ++i) {
    EXPECT_EQ(SndConfig.Schedule[i].Time, i < 4 ? i * 3600 + 300 : -1) << i;
    EXPECT_EQ(std::string(SndConfig.Schedule[i].ActionCmd), "print " + std::to_string(i));
  }
  EXPECT_EQ(SndConfig.CaptureOptions, 2);
  EXPECT_EQ(SndConfig.SequenceNr, 17);
  EXPECT_STREQ(SndConfig.SequenceName, "/tmp/capt");
  EXPECT_EQ(SndConfig.UseJpegFormat, 0);  // BMP shown and stored
  EXPECT_EQ(g_RedrawRequestMask & 4, 4);
}

TEST_F(PeriodicFormTest, EditedControlsReachTheSettings)
{
  TPeriodicActionForm f;
  const struct {
    const char* cell;
    int time;
  } cells[] = {{"07:05", 25500}, {"7:05", 300}, {"", -1}, {"12", -1}, {"23:59", 86340}};
  EXPECT_EQ(Run(f, f.Btn_Ok,
                [&] {
                  f.Ed_From->setText("08:30:15");
                  f.Ed_To->setText("09:00:00");
                  f.Ed_Interval->setText("00:01:30");
                  f.Chk_TimerActive->setChecked(false);
                  f.Ed_PeriodicAction->setText("print 1:capture");
                  f.Chk_ScheduleActive->setChecked(true);
                  for (int r = 0; r < 5; ++r) f.Sg_Schedule->item(r + 1, 1)->setText(cells[r].cell);
                  f.Sg_Schedule->item(12, 2)->setText("capture");
                  f.Us_SequenceIndex->setValue(30000);
                  f.Chk_TimeLabel->setChecked(true);
                  f.Chk_FreqLabel->setChecked(false);
                  f.Ed_SequenceName->setText("seq");
                  f.Rbtn_ImgFormJPEG->setChecked(true);
                }),
            QDialog::Accepted);
  EXPECT_EQ(SndConfig.Time_From, 8 * 3600 + 30 * 60 + 15.0);
  EXPECT_EQ(SndConfig.Time_To, 9 * 3600.0);
  EXPECT_EQ(SndConfig.TimeInterval, 90.0);
  EXPECT_FALSE(SndConfig.TimerActive);
  EXPECT_STREQ(SndConfig.PeriodicAction, "print 1:capture");
  EXPECT_TRUE(SndConfig.ScheduleActive);
  for (int r = 0; r < 5; ++r) EXPECT_EQ(SndConfig.Schedule[r].Time, cells[r].time) << cells[r].cell;
  EXPECT_STREQ(SndConfig.Schedule[11].ActionCmd, "capture");
  EXPECT_EQ(SndConfig.SequenceNr, 30000);
  EXPECT_EQ(SndConfig.CaptureOptions, 1);
  EXPECT_STREQ(SndConfig.SequenceName, "seq");
  EXPECT_EQ(SndConfig.UseJpegFormat, 1);
}

// Macros and names stored in Latin-1 (settings files written by hand or by other tools) show
// as their characters and survive OK byte for byte; an edited one stays Latin-1, and UTF-8
// stays UTF-8.
TEST_F(PeriodicFormTest, Latin1AndUtf8TextsKeepTheirBytes)
{
  SetText(SndConfig.PeriodicAction, "print \"Gr\xFC\xDF\"");
  SetText(SndConfig.Schedule[1].ActionCmd, "print \"\xE9t\xE9\"");
  SetText(SndConfig.Schedule[2].ActionCmd, "print \"\xC3\xA9t\xC3\xA9\"");
  SetText(SndConfig.SequenceName, "/tmp/M\xFCll");
  TPeriodicActionForm f;
  ASSERT_EQ(Run(f, f.Btn_Ok), QDialog::Accepted);
  EXPECT_EQ(f.Ed_PeriodicAction->text(), QString::fromUtf8("print \"Grüß\""));
  EXPECT_EQ(f.Sg_Schedule->item(2, 2)->text(), QString::fromUtf8("print \"été\""));
  EXPECT_EQ(f.Sg_Schedule->item(3, 2)->text(), QString::fromUtf8("print \"été\""));
  EXPECT_EQ(f.Ed_SequenceName->text(), QString::fromUtf8("/tmp/Müll"));
  EXPECT_STREQ(SndConfig.PeriodicAction, "print \"Gr\xFC\xDF\"");
  EXPECT_STREQ(SndConfig.Schedule[1].ActionCmd, "print \"\xE9t\xE9\"");
  EXPECT_STREQ(SndConfig.Schedule[2].ActionCmd, "print \"\xC3\xA9t\xC3\xA9\"");
  EXPECT_STREQ(SndConfig.SequenceName, "/tmp/M\xFCll");

  ASSERT_EQ(Run(f, f.Btn_Ok,
                [&] {
                  f.Ed_PeriodicAction->setText(QString::fromUtf8("print \"Grüße\""));
                  f.Sg_Schedule->item(2, 2)->setText(QString::fromUtf8("print \"étéé\""));
                  f.Sg_Schedule->item(3, 2)->setText(QString::fromUtf8("print \"ét\""));
                }),
            QDialog::Accepted);
  EXPECT_STREQ(SndConfig.PeriodicAction, "print \"Gr\xFC\xDF" "e\"");
  EXPECT_STREQ(SndConfig.Schedule[1].ActionCmd, "print \"\xE9t\xE9\xE9\"");
  EXPECT_STREQ(SndConfig.Schedule[2].ActionCmd, "print \"\xC3\xA9t\"");
  EXPECT_STREQ(SndConfig.SequenceName, "/tmp/M\xFCll");
}

TEST_F(PeriodicFormTest, CancelCopiesNothing)
{
  TPeriodicActionForm f;
  EXPECT_EQ(Run(f, f.Btn_Cancel,
                [&] {
                  f.Ed_Interval->setText("00:00:05");
                  f.Chk_TimerActive->setChecked(false);
                  f.Sg_Schedule->item(1, 1)->setText("");
                  f.Rbtn_ImgFormJPEG->setChecked(true);
                }),
            QDialog::Rejected);
  EXPECT_EQ(SndConfig.TimeInterval, 900.0);
  EXPECT_TRUE(SndConfig.TimerActive);
  EXPECT_EQ(SndConfig.Schedule[0].Time, 300);
  EXPECT_EQ(SndConfig.UseJpegFormat, 0);
  EXPECT_EQ(g_RedrawRequestMask, 0);
}

// A capture stand-in that advances the sequence number as the real one does.
int FakeCapture(int, double*)
{
  SndConfig.SequenceNr = SndConfig.SequenceNr + 1;
  return CLI_OK;
}

TEST_F(PeriodicFormTest, TestButton)
{
  CLI_RegisterObjectWord("capture", FakeCapture);
  TPeriodicActionForm f;
  f.FormActivate();
  const struct {
    const char* macro;
    const char* result;
  } table[] = {
      {"click", "no CLI error"},
      {"click: click", "syntax error(Error near \" click\")"},
      {"capture", "no CLI error"},
  };
  for (const auto& c : table) {
    f.Ed_PeriodicAction->setText(c.macro);
    f.Btn_TestPeriodicMacro->click();
    EXPECT_EQ(f.Ed_PeriodicTestResult->text().toStdString(), c.result) << c.macro;
  }
  EXPECT_EQ(SndConfig.SequenceNr, 18);  // the index shown, advanced by the capture
  EXPECT_EQ(f.Us_SequenceIndex->value(), 18);
  f.Us_SequenceIndex->setValue(40);
  f.Btn_TestPeriodicMacro->click();
  EXPECT_EQ(SndConfig.SequenceNr, 41);
  EXPECT_EQ(f.Ed_SequenceIndex->text(), "41");
}

TEST_F(PeriodicFormTest, VisibleDialogFollowsThePeriodWord)
{
  TPeriodicActionForm f;
  f.FormActivate();
  SndConfig.TimerActive = false;
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(600)");  // hidden: the controls stay
  EXPECT_TRUE(f.Chk_TimerActive->isChecked());
  EXPECT_EQ(f.Ed_Interval->text(), "00:15:00");
  f.show();
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.stop");
  EXPECT_FALSE(f.Chk_TimerActive->isChecked());
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(3725)");
  EXPECT_TRUE(f.Chk_TimerActive->isChecked());
  EXPECT_EQ(f.Ed_Interval->text(), "01:02:05");
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, "period.start(1e308*10)");  // refused: nothing follows
  EXPECT_EQ(f.Ed_Interval->text(), "01:02:05");
  f.hide();
}

}  // namespace
