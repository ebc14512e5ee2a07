// The main window's pop-up menus and display switches: every item once, the pages they open,
// the settings they toggle with the redraw request, the layout switches' edge cases, the alert
// bits, the spectrum and sound-output switches, the control panel and the reference items.
#include <QAction>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>

#include "control/forms/ConfigDlg.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "interp/SpectrumAlert.h"
#include "mainwin/forms/SpecImage.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

struct OutputLink : CSoundThreadLink {
  bool exists = false;
  bool wanted = false;
  int calls = 0;
  bool ThreadExists() const override { return exists; }
  void SetSoundOutputWanted(bool w) override
  {
    wanted = w;
    ++calls;
  }
  bool SoundOutputWanted() const override { return wanted; }
};

class MenusTest : public MainWindowTest {
protected:
  void SetUp() override
  {
    MainWindowTest::SetUp();
    Make();
    SetSoundThreadLink(&link);
    ConfigDlg = new TConfigDlg;
  }
  void TearDown() override
  {
    TDialogHooks::FileDialogHook = nullptr;
    delete ConfigDlg;
    ConfigDlg = nullptr;
    MainWindowTest::TearDown();
  }
  QAction* Action(const char* name)
  {
    const auto all = form->findChildren<QAction*>(name);
    EXPECT_EQ(all.size(), 1) << name;
    return all.isEmpty() ? nullptr : all[0];
  }
  OutputLink link;
};

TEST_F(MenusTest, PageOpenersShowTheirPage)
{
  struct Case { const char* action; const char* page; };
  const Case cases[] = {
      {"Menu_FFTsettings", "TS_FFT_Settings"},   {"Menu_SpecPlotConfig", "TS_SpectrumDisplay"},
      {"Menu_WaterConfig", "TS_SpectrumDisplay"}, {"Menu_DisplayColors", "Ts_ExtDisplay"},
      {"Menu_WaterDisplayColors", "Ts_ExtDisplay"}, {"MM_WaveFileSettings", "TS_WaveFile"},
      {"Menu_PopSpectrumRef", "TS_FreqRespCalib"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    ConfigDlg->hide();
    QAction* a = Action(c.action);
    ASSERT_NE(a, nullptr);
    a->trigger();
    EXPECT_TRUE(ConfigDlg->isVisible());
    EXPECT_EQ(ConfigDlg->PC_Config->currentWidget()->objectName(), c.page);
  }
  // The control panel's button and the colour bar's dB scale open the display page too; the
  // scale puts the focus on the lowest amplitude.
  ConfigDlg->hide();
  form->findChild<QPushButton*>("Btn_DisplaySettings")->click();
  EXPECT_EQ(ConfigDlg->PC_Config->currentWidget(), ConfigDlg->TS_SpectrumDisplay);
  ConfigDlg->PC_Config->setCurrentIndex(0);
  form->Img_ColorLegendScale->OnClick();
  EXPECT_EQ(ConfigDlg->PC_Config->currentWidget(), ConfigDlg->TS_SpectrumDisplay);
  EXPECT_EQ(ConfigDlg->focusWidget(), ConfigDlg->Ed_AmplMin);
}

TEST_F(MenusTest, SwitchesToggleTheirSettingAndRequestARedraw)
{
  struct Case { const char* action; AtomicField<int>* field; };
  const Case cases[] = {
      {"Menu_SpecAmplitudeScale", &SndConfig.AmplitudeGrid},
      {"Menu_SpecFrequencyScale", &SndConfig.FrequencyGrid},
      {"Menu_SpecRotated", &SndConfig.SpectrumOrient},
      {"Menu_WaterRotated90", &SndConfig.SpectrumOrient},
      {"Menu_WaterTimeScale", &SndConfig.WaterTimeGrid},
      {"Menu_WaterFreqScale", &SndConfig.WaterFreqGrid},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    QAction* a = Action(c.action);
    ASSERT_NE(a, nullptr);
    const int before = *c.field;
    g_RedrawRequestMask = 0;
    a->trigger();
    EXPECT_EQ(int(*c.field), before ? 0 : 1);
    EXPECT_EQ(int(g_RedrawRequestMask), REDRAW_ALL);
    a->trigger();
    EXPECT_EQ(int(*c.field), before);
  }
  // The pop-ups check them from the settings.
  SndConfig.AmplitudeGrid = 0;
  SndConfig.FrequencyGrid = 1;
  SndConfig.WaterTimeGrid = 1;
  SndConfig.WaterFreqGrid = 0;
  form->PopupSpectrumPopup();
  form->Popup_WaterfallPopup();
  EXPECT_FALSE(Action("Menu_SpecAmplitudeScale")->isChecked());
  EXPECT_TRUE(Action("Menu_SpecFrequencyScale")->isChecked());
  EXPECT_TRUE(Action("Menu_WaterTimeScale")->isChecked());
  EXPECT_FALSE(Action("Menu_WaterFreqScale")->isChecked());
}

TEST_F(MenusTest, GraphAndWaterfallVisibilityFollowTheStyleTable)
{
  struct Case { const char* action; int from, to; };
  const Case cases[] = {
      {"Menu_SpectrumGraphVisible", 0, 2}, {"Menu_SpectrumGraphVisible", 1, 0},
      {"Menu_SpectrumGraphVisible", 2, 0}, {"Menu_SpectrumGraphVisible", 3, 0},
      {"Menu_SpectrumGraphVisible2", 3, 0}, {"Menu_WaterfallVisible", 0, 3},
      {"Menu_WaterfallVisible", 1, 3},     {"Menu_WaterfallVisible", 2, 3},
      {"Menu_WaterfallVisible", 3, 2},     {"Menu_WaterfallVisible2", 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.action << " from " << c.from);
    SndConfig.SpectrumStyleNPos = c.from;
    g_RedrawRequestMask = 0;
    Action(c.action)->trigger();
    EXPECT_EQ(int(SndConfig.SpectrumStyleNPos), c.to);
    EXPECT_EQ(int(g_RedrawRequestMask), REDRAW_ALL);
  }
  SndConfig.SpectrumStyleNPos = 3;  // graph only
  form->PopupSpectrumPopup();
  form->Popup_WaterfallPopup();
  EXPECT_TRUE(Action("Menu_SpectrumGraphVisible")->isChecked());
  EXPECT_FALSE(Action("Menu_WaterfallVisible2")->isChecked());
  EXPECT_FALSE(Action("Menu_WaterfallVisible")->isChecked());
  EXPECT_TRUE(Action("Menu_SpectrumGraphVisible2")->isChecked());
}

TEST_F(MenusTest, AlertItemsFlipTheirBitsWithoutARedraw)
{
  AlertSettings.Visualize = 0;
  AlertSettings.PlotOptions = 0;
  g_RedrawRequestMask = 0;
  struct Case { const char* action; int bit; };
  const Case cases[] = {{"Menu_VisualizeAlertPeaks", 1}, {"Menu_VisualizeNoiseLevel", 2},
                        {"Menu_PlotSmoothedInput", 4}, {"Menu_PlotSearchPatternMatch", 8}};
  int expected = 0;
  for (const Case& c : cases) {
    Action(c.action)->trigger();
    expected |= c.bit;
    EXPECT_EQ(AlertSettings.PlotOptions, expected) << c.action;
  }
  Action("Menu_PlotSmoothedInput")->trigger();
  EXPECT_EQ(AlertSettings.PlotOptions, 1 | 2 | 8);
  Action("Menu_VisualizeAlertParams")->trigger();
  EXPECT_EQ(AlertSettings.Visualize, 1);
  EXPECT_EQ(int(g_RedrawRequestMask), 0);
  form->PopupSpectrumPopup();
  EXPECT_TRUE(Action("Menu_VisualizeAlertParams")->isChecked());
  EXPECT_FALSE(Action("Menu_PlotSmoothedInput")->isChecked());
  EXPECT_TRUE(Action("Menu_PlotSearchPatternMatch")->isChecked());
  AlertSettings.Visualize = 0;
  AlertSettings.PlotOptions = 0;
}

TEST_F(MenusTest, SpectrumAndSoundOutputSwitches)
{
  Action("StopSpectrumWaterfall1")->trigger();
  EXPECT_EQ(int(SndConfig.SpectrumOn), 0);
  form->Analysis1Click();
  EXPECT_FALSE(Action("Menu_StartSpectrumWaterfall")->isChecked());
  Action("Menu_StartSpectrumWaterfall")->trigger();
  EXPECT_EQ(int(SndConfig.SpectrumOn), 1);

  // Without an audio thread the output items are disabled and do nothing.
  EXPECT_FALSE(Action("Menu_StartSoundOutput")->isEnabled());
  form->Menu_StartSoundOutputClick();
  EXPECT_EQ(link.calls, 0);
  link.exists = true;
  form->Analysis1Click();
  EXPECT_FALSE(Action("StopSoundOutput1")->isEnabled());
  Action("Menu_StartSoundOutput")->trigger();
  EXPECT_TRUE(link.wanted);
  form->Analysis1Click();
  EXPECT_TRUE(Action("Menu_StartSoundOutput")->isChecked());
  EXPECT_TRUE(Action("StopSoundOutput1")->isEnabled());
  Action("StopSoundOutput1")->trigger();
  EXPECT_FALSE(link.wanted);
  EXPECT_EQ(link.calls, 2);
}

TEST_F(MenusTest, ControlPanelHiddenAndShownByMenuAndDoubleClick)
{
  QAction* item = Action("Menu_ViewControls");
  ASSERT_FALSE(form->Grp_Controls->isHidden());
  item->trigger();
  EXPECT_TRUE(form->Grp_Controls->isHidden());
  form->View1Click();
  EXPECT_FALSE(item->isChecked());
  item->trigger();
  EXPECT_FALSE(form->Grp_Controls->isHidden());
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(3, 3), QPointF(3, 3), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(form->Grp_Controls, &dbl);
  EXPECT_TRUE(form->Grp_Controls->isHidden());
}

TEST_F(MenusTest, ReferenceThatCannotBeReadKeepsVisibilityButTakesTheName)
{
  const std::string bad = dir.file("missing.ref");
  TDialogHooks::FileDialogHook = [&](bool, const QString&, const QString&, QString& name) {
    name = QString::fromStdString(bad);
    return true;
  };
  SndConfig.SpectrumRefVisible = 0;
  Action("Menu_LoadReference")->trigger();
  EXPECT_EQ(int(SndConfig.SpectrumRefVisible), 0);
  EXPECT_EQ(std::string(SndConfig.SpectrumRefFileName), bad);
  ASSERT_EQ(messages.size(), 1);
  EXPECT_TRUE(messages[0].contains("could not read"));
}

TEST_F(MenusTest, PopupHelpItemsAskForTheirContexts)
{
  std::vector<uint32_t> asked;
  const HelpContextHandler old = SetHelpContextHandler([&](uint32_t c) {
    asked.push_back(c);
    return true;
  });
  Action("Menu_SpecHelp")->trigger();
  Action("Menu_WaterHelp")->trigger();
  SetHelpContextHandler(old);
  EXPECT_EQ(asked, (std::vector<uint32_t>{170, 180}));
}

}  // namespace

namespace {

TEST_F(MenusTest, FixedPresetsApplyTheirSettingsWithARedraw)
{
  struct Case { const char* action; int preset; };
  const Case cases[] = {{"Menu_SlowCW4", 1},        {"Menu_SlowCW30", 2},
                        {"Menu_SlowCW120", 3},      {"Menu_FastCW1", 4},
                        {"QSMenu_LoranWatcher", 5}, {"QSMenu_MtHell7", 6}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.action);
    QAction* a = Action(c.action);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->text(), QString::fromLatin1(QuickSettingsMenuText(c.preset)));
    // The preset's own result, from the same starting settings.
    SndConfig.FreqMin = 1.0;
    SndConfig.FreqMax = 2.0;
    LoadQuickSettings(c.preset);
    const double wantMin = SndConfig.FreqMin, wantMax = SndConfig.FreqMax;
    SndConfig.FreqMin = 1.0;
    SndConfig.FreqMax = 2.0;
    g_RedrawRequestMask = 0;
    a->trigger();
    EXPECT_EQ(double(SndConfig.FreqMin), wantMin);
    EXPECT_EQ(double(SndConfig.FreqMax), wantMax);
    EXPECT_NE(double(SndConfig.FreqMax), 2.0);
    EXPECT_EQ(int(g_RedrawRequestMask), REDRAW_ALL);
  }
}

}  // namespace

namespace {

// Every command of the menu bar and the pop-ups is one action (or one control) of the window.
TEST_F(MenusTest, EveryCommandExistsOnce)
{
  const char* actions[] = {
      "Menu_SetupAudio", "Menu_SetupAudioServer", "Menu_SetupFFT", "Menu_FFTsettings",
      "Menu_SetupInterface", "Menu_SetupSpectrumDisplay", "Menu_SpecPlotConfig",
      "Menu_WaterConfig", "Menu_SetupSpectrumColors", "Menu_DisplayColors",
      "Menu_WaterDisplayColors", "Menu_SetupWaveFile", "MM_WaveFileSettings",
      "Menu_MarkerSettings", "Menu_FreqRespCalib", "Menu_PopSpectrumRef", "Menu_SetupSystem",
      "DebuggingWindow1", "Menu_ViewErrorHistory", "Menu_CpuPerformanceWindow",
      "MultiToneGenerator1", "ViewInputMonitor", "ViewOutputMonitor", "Menu_AlertConfig",
      "FilterControlWindow1", "Menu_ViewCircuit", "Menu_Export", "DCF77decoder",
      "Menu_DigimodeTerminal",
      "Menu_ViewCmdInterpreter", "Menu_ViewWatchWindow", "Menu_SecondSpectrogram", "About1",
      "QSMenu_UserDefined", "Exit1", "Menu_SpecAmplitudeScale", "Menu_SpecFrequencyScale",
      "Menu_SpecRotated", "Menu_WaterRotated90", "Menu_WaterTimeScale", "Menu_WaterFreqScale",
      "Menu_SpectrumGraphVisible", "Menu_SpectrumGraphVisible2", "Menu_WaterfallVisible",
      "Menu_WaterfallVisible2", "Menu_VisualizeAlertParams", "Menu_VisualizeAlertPeaks",
      "Menu_VisualizeNoiseLevel", "Menu_PlotSmoothedInput", "Menu_PlotSearchPatternMatch",
      "Menu_StartSpectrumWaterfall", "StopSpectrumWaterfall1", "Menu_StartSoundOutput",
      "StopSoundOutput1", "Menu_PeriodicActions", "Menu_ScheduledActions", "Menu_ViewControls",
      "Menu_LoadReference", "Menu_SaveReference", "LoadColorPalette1", "SaveColorPalette1",
      "EditColorPalette1", "Menu_HelpIndex", "Menu_HelpDisplay", "Menu_HelpComponents",
      "Menu_HelpPeriodic", "Menu_HelpInterpreter", "Menu_HelpWatch", "Menu_SpecHelp",
      "Menu_WaterHelp", "Menu_SlowCW4", "Menu_SlowCW30", "Menu_SlowCW120", "Menu_FastCW1",
      "QSMenu_LoranWatcher", "QSMenu_MtHell7", "Menu_QuickSettings", "Menu_StartSoundThd",
      "Stop1", "AnalyzeInputFile", "AnalyzeAndPlayWAV", "LogToWavFile", "LogOutputToWAV",
      "SaveSpectrumAsFile", "SaveWaterfallasFile", "SaveSpectrumAndWaterfall",
      "Menu_ImageViewer", "Menu_ConvertImage",
  };
  for (const char* name : actions) {
    // Menus are found by their own object; their menu action carries no name of its own here.
    const int menus = int(form->findChildren<QMenu*>(name).size());
    const int items = int(form->findChildren<QAction*>(name).size());
    EXPECT_EQ(menus > 0 ? 1 : items, 1) << name;
  }
  for (int i = 1; i <= 10; ++i) {
    const QString name = QString("QSMenu_User%1").arg(i);
    EXPECT_EQ(form->findChildren<QAction*>(name).size(), 1) << name.toStdString();
  }
  EXPECT_EQ(form->findChildren<QPushButton*>("Btn_DisplaySettings").size(), 1);
  EXPECT_NE(form->findChild<QMenu*>("PopupSpectrum"), nullptr);
  EXPECT_NE(form->findChild<QMenu*>("Popup_Waterfall"), nullptr);
}

}  // namespace
