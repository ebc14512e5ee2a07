// The Setup menu opens the configuration dialog on its pages; the main loop serves the
// dialog's refresh requests (bits 16 and 32 of the redraw request mask) and refreshes the watch
// list while it is shown.
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QTabWidget>

#include "control/forms/ConfigDlg.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "interp/CliCommands.h"
#include "interp/forms/WatchForm.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

class SetupMenuTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    Make();
    ConfigDlg = new TConfigDlg;
  }
  void TearDown() override
  {
    delete ConfigDlg;
    MainWindowTest::TearDown();
  }
};

TEST_F(SetupMenuTest, EachItemShowsItsPage)
{
  struct Case { const char* action; const char* page; };
  const Case cases[] = {
      {"Menu_SetupAudio", "TS_AudioSettings"},     {"Menu_SetupAudioServer", "TS_AudioServer"},
      {"Menu_SetupFFT", "TS_FFT_Settings"},        {"Menu_SetupInterface", "TS_Interface"},
      {"Menu_SetupSpectrumDisplay", "TS_SpectrumDisplay"},
      {"Menu_SetupSpectrumColors", "Ts_ExtDisplay"}, {"Menu_SetupWaveFile", "TS_WaveFile"},
      {"Menu_MarkerSettings", "Ts_Markers"},       {"Menu_FreqRespCalib", "TS_FreqRespCalib"},
      {"Menu_SetupSystem", "TS_System"},
  };
  auto* setup = form->findChild<QMenu*>("Setup1");
  ASSERT_NE(setup, nullptr);
  EXPECT_EQ(setup->actions().size(), static_cast<qsizetype>(std::size(cases)));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    ConfigDlg->hide();
    auto* a = form->findChild<QAction*>(c.action);
    ASSERT_NE(a, nullptr);
    a->trigger();
    EXPECT_TRUE(ConfigDlg->isVisible());
    EXPECT_EQ(ConfigDlg->PC_Config->currentWidget()->objectName(), c.page);
  }
}

TEST_F(SetupMenuTest, MainLoopServesTheDialogsRefreshRequests)
{
  ConfigDlg->show();
  auto* size = ConfigDlg->findChild<QComboBox*>("Combo_InputFftSize");
  auto* resolution = ConfigDlg->findChild<QLabel*>("Lab_FftResolution");
  ASSERT_TRUE(size && resolution);

  // 32: all controls afresh from the settings.
  SndConfig.NrOfSamples = 2048;
  g_RedrawRequestMask = 32;
  form->LoopHost->ToolWindowRefresh(0);
  EXPECT_EQ(size->currentText(), "2048");
  EXPECT_EQ(g_RedrawRequestMask & 32, 0);

  // 16: only the rate texts (the FFT size text keeps what the user typed).
  SndConfig.SampleRate = 8000;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.RateDivisor = 1;
  ConfigDlg->UpdateCount = 1;  // the typed text does not refresh the labels by itself
  size->setEditText("1024");
  ConfigDlg->UpdateCount = 0;
  const QString before = resolution->text();
  g_RedrawRequestMask = 16;
  form->LoopHost->ToolWindowRefresh(0);
  EXPECT_EQ(g_RedrawRequestMask & 16, 0);
  EXPECT_NE(resolution->text(), before);
  EXPECT_EQ(resolution->text(), "10.7666 Hz");  // 11,025 Hz shown in the rate combo / 1,024
  EXPECT_EQ(size->currentText(), "1024");

  // A hidden dialog is not refilled, but the request is consumed.
  ConfigDlg->hide();
  SndConfig.NrOfSamples = 512;
  g_RedrawRequestMask = 32;
  form->LoopHost->ToolWindowRefresh(0);
  EXPECT_EQ(g_RedrawRequestMask & 32, 0);
  EXPECT_EQ(size->currentText(), "1024");
}

TEST_F(SetupMenuTest, WatchListIsRefreshedOnlyWhenShownAndNoMacroRuns)
{
  WatchForm = new TWatchForm;
  int updates = 0;  // every refresh of the watch list reads its clock once first
  WatchForm->Clock = [&updates] { ++updates; return 1.7e9; };
  form->WaitFullResolution = false;

  struct Case { bool shown; int macroDepth; bool waitFull; int expected; };
  const Case cases[] = {
      {false, 0, false, 0}, {true, 0, false, 1}, {true, 1, false, 0}, {true, 0, true, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.shown << c.macroDepth << c.waitFull);
    WatchForm->setVisible(c.shown);
    g_CliMacroDepth = c.macroDepth;
    form->WaitFullResolution = c.waitFull;
    updates = 0;
    form->LoopHost->ToolWindowRefresh(0);
    EXPECT_EQ(updates, c.expected);
  }
  g_CliMacroDepth = 0;
  delete WatchForm;
  WatchForm = nullptr;
}

}  // namespace
