// The main window's pop-up menus and display switches: every item once, the pages they open,
// the settings they toggle with the redraw request, the layout switches' edge cases, the alert
// bits, the spectrum and sound-output switches, the control panel and the reference items; one
// table triggers every item with all windows in place, and the opening handlers' marks.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>
#include <utility>

#include "control/forms/CircuitForm.h"
#include "control/forms/ConfigDlg.h"
#include "control/forms/FilterControlForm.h"
#include "control/forms/GeneratorForm.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/forms/DCF77Form.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/RedrawRequest.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/forms/DebugForm.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/HelpHook.h"
#include "imaging/forms/PicViewForm.h"
#include "interp/SpectrumAlert.h"
#include "interp/forms/AlertDlg.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "interp/forms/MenuDefU.h"
#include "interp/forms/PeriodicActionForm.h"
#include "interp/forms/WatchForm.h"
#include "mainwin/forms/AboutU.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/PaletteEditor.h"
#include "mainwin/forms/SecondSpectrogram.h"
#include "mainwin/forms/SpecImage.h"
#include "tests/mainwin/forms/MainWindowFixture.h"

namespace {

struct OutputLink : CSoundThreadLink {
  bool exists = false;
  bool suspended = false;
  bool wanted = false;
  int calls = 0;
  int created = 0;
  int terminated = 0;
  bool ThreadExists() const override { return exists; }
  bool ThreadSuspended() const override { return suspended; }
  void CreateThread() override { ++created; }
  bool TerminateThread() override
  {
    ++terminated;
    return true;
  }
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

namespace {

// The menus with every window they open in place, as the program creates them at start; the
// dialog hooks record what the items ask and answer Cancel.
class MenuWindowsTest : public MenusTest {
protected:
  void SetUp() override
  {
    MenusTest::SetUp();
    DebugForm = new TDebugForm;
    DebugForm->Timer1->stop();
    MonitorScope = new TMonitorScope("MonitorScope", ScopeChannel::Input);
    OutputScope = new TMonitorScope("OutputScope", ScopeChannel::Output);
    FilterControlForm = new TFilterControlForm;
    GeneratorForm = new TGeneratorForm;
    CircuitForm = new TCircuitForm;
    CircuitForm->Timer1->stop();
    DCF77Form = new TDCF77Form;
    TerminalForm = new TTerminalForm;
    TerminalForm->Timer1->stop();
    WatchForm = new TWatchForm;
    SecondSpectrogram = new TSecondSpectrogram;
    CommandForm = new TCommandForm;
    ExportForm = new TExportForm;
    AlertDlgForm = new TAlertDlgForm;
    AbtForm = new TAbtForm;
    PeriodicActionForm = new TPeriodicActionForm;
    MenuDefForm = new TMenuDefForm;
    PaletteEditorForm = new TPaletteEditorForm;
    PicViewFrm = new TPicViewFrm;
    TDialogHooks::DialogExecHook = [this](QDialog* d) {
      auto* tabs = d->findChild<QTabWidget*>();
      execed.push_back({d, tabs ? tabs->currentWidget() : nullptr});
      return int(QDialog::Rejected);
    };
    TDialogHooks::FileDialogHook = [this](bool save, const QString& title, const QString&,
                                          QString&) {
      asked.push_back({save, title});
      return false;
    };
    TDialogHooks::FileListDialogHook = [this](const QString& title, const QString&, QStringList&) {
      asked.push_back({false, title});
      return false;
    };
    oldHelp = SetHelpContextHandler([this](uint32_t c) {
      helpAsked.push_back(c);
      return true;
    });
  }
  void TearDown() override
  {
    SetHelpContextHandler(oldHelp);
    TDialogHooks::DialogExecHook = nullptr;
    TDialogHooks::FileListDialogHook = nullptr;
    MenusTest::TearDown();  // the main window goes first, as at the end of a run
    DeleteAll(PicViewFrm, PaletteEditorForm, MenuDefForm, PeriodicActionForm, AbtForm,
              AlertDlgForm, ExportForm, CommandForm, SecondSpectrogram, WatchForm, TerminalForm,
              DCF77Form, CircuitForm, GeneratorForm, FilterControlForm, OutputScope,
              MonitorScope, DebugForm);
    TCircuitForm::Upcalls = {};
    Digimode_Exit();
    SndConfig.DigimodeActive = 0;
    SndConfig.Dcf77Active = 0;
  }
  template <typename... W> static void DeleteAll(W*&... w) { ((delete w, w = nullptr), ...); }

  // What an item must do: arrange puts the state it changes, check looks at the result.
  struct Effect {
    std::function<void()> arrange;
    std::function<void()> check;
  };
  // The window shown on the page; it starts hidden on another page.
  static Effect ShowsPage(QWidget* window, QTabWidget* tabs, QWidget* page)
  {
    return {[=] {
              window->hide();
              tabs->setCurrentIndex((tabs->indexOf(page) + 1) % tabs->count());
            },
            [=] {
              EXPECT_TRUE(window->isVisible());
              EXPECT_EQ(tabs->currentWidget(), page) << page->objectName().toStdString();
            }};
  }
  Effect ConfigPage(QWidget* page) { return ShowsPage(ConfigDlg, ConfigDlg->PC_Config, page); }
  Effect DebugPage(QWidget* page) { return ShowsPage(DebugForm, DebugForm->PageControl1, page); }
  static Effect Shows(QWidget* window)
  {
    return {[=] { window->hide(); }, [=] { EXPECT_TRUE(window->isVisible()); }};
  }
  // Run modally through the dialog hook (on the page, when given).
  Effect Modal(QDialog* dialog, QWidget* page = nullptr)
  {
    return {[this] { execed.clear(); },
            [=, this] {
              ASSERT_EQ(execed.size(), 1u);
              EXPECT_EQ(execed[0].first, dialog);
              if (page) {
                EXPECT_EQ(execed[0].second, page);
              }
            }};
  }
  Effect Help(uint32_t context)
  {
    return {[this] { helpAsked.clear(); },
            [=, this] { EXPECT_EQ(helpAsked, std::vector<uint32_t>{context}); }};
  }
  // A file dialog of that kind whose title starts so.
  Effect AsksFile(bool save, const char* title)
  {
    return {[this] { asked.clear(); },
            [=, this] {
              ASSERT_EQ(asked.size(), 1u);
              EXPECT_EQ(asked[0].first, save);
              EXPECT_TRUE(asked[0].second.startsWith(title)) << asked[0].second.toStdString();
            }};
  }
  // I/Q pairs exist only with the complex FFT: the effect arranged with it switched on.
  static Effect WithComplexFft(Effect e)
  {
    return {[arrange = e.arrange] {
              SndConfig.ComplexFFT = 1;
              arrange();
            },
            e.check};
  }
  // Toggles between 0 and 1 with a full redraw.
  static Effect Toggles(AtomicField<int>* field)
  {
    auto before = std::make_shared<int>();
    return {[=] {
              *before = *field;
              g_RedrawRequestMask = 0;
            },
            [=] {
              EXPECT_EQ(int(*field), *before ? 0 : 1);
              EXPECT_EQ(int(g_RedrawRequestMask), REDRAW_ALL);
            }};
  }
  // Sets the field to the value; redraw tells whether a full redraw is asked.
  static Effect Sets(AtomicField<int>* field, int from, int to, bool redraw)
  {
    return {[=] {
              *field = from;
              g_RedrawRequestMask = 0;
            },
            [=] {
              EXPECT_EQ(int(*field), to);
              EXPECT_EQ(int(g_RedrawRequestMask), redraw ? REDRAW_ALL : 0);
            }};
  }
  static Effect FlipsAlertBit(int bit)
  {
    return {[] {
              AlertSettings.PlotOptions = 0;
              g_RedrawRequestMask = 0;
            },
            [=] {
              EXPECT_EQ(AlertSettings.PlotOptions, bit);
              EXPECT_EQ(int(g_RedrawRequestMask), 0);
            }};
  }
  // The preset's own settings from the same start, with a full redraw.
  static Effect Preset(int preset)
  {
    auto want = std::make_shared<std::pair<double, double>>();
    auto start = [] {
      SndConfig.FreqMin = 1.0;
      SndConfig.FreqMax = 2.0;
    };
    return {[=] {
              start();
              LoadQuickSettings(preset);
              *want = {SndConfig.FreqMin, SndConfig.FreqMax};
              start();
              g_RedrawRequestMask = 0;
            },
            [=] {
              EXPECT_EQ(double(SndConfig.FreqMin), want->first);
              EXPECT_EQ(double(SndConfig.FreqMax), want->second);
              EXPECT_NE(double(SndConfig.FreqMax), 2.0);
              EXPECT_EQ(int(g_RedrawRequestMask), REDRAW_ALL);
            }};
  }
  // The audio thread link: the state before (the opening handler sets the enables from it)
  // and the result.
  Effect Thread(bool exists, bool wanted, std::function<void()> check)
  {
    return {[=, this] {
              link.exists = exists;
              link.wanted = wanted;
              link.created = link.terminated = link.calls = 0;
              form->Analysis1Click();
            },
            std::move(check)};
  }

  std::vector<std::pair<QDialog*, QWidget*>> execed;
  std::vector<std::pair<bool, QString>> asked;
  std::vector<uint32_t> helpAsked;
  HelpContextHandler oldHelp;
};

// Every item of the menu bar and of the graph's and waterfall's pop-ups is one action whose
// trigger has its effect; the table has a row for each (the user entries of the quick settings
// and the image conversion, disabled here, excepted), and Exit closes the window last.
TEST_F(MenuWindowsTest, EveryItemHasItsEffect)
{
  form->show();  // enables the items that wait for the first show
  form->Timer1->stop();
  ConfigDlg->hide();
  struct Row { const char* action; Effect effect; };
  const Row rows[] = {
      {"Menu_SetupAudio", ConfigPage(ConfigDlg->TS_AudioSettings)},
      {"Menu_SetupAudioServer", ConfigPage(ConfigDlg->TS_AudioServer)},
      {"Menu_SetupFFT", ConfigPage(ConfigDlg->TS_FFT_Settings)},
      {"Menu_FFTsettings", ConfigPage(ConfigDlg->TS_FFT_Settings)},
      {"Menu_SetupInterface", ConfigPage(ConfigDlg->TS_Interface)},
      {"Menu_SetupSpectrumDisplay", ConfigPage(ConfigDlg->TS_SpectrumDisplay)},
      {"Menu_SpecPlotConfig", ConfigPage(ConfigDlg->TS_SpectrumDisplay)},
      {"Menu_WaterConfig", ConfigPage(ConfigDlg->TS_SpectrumDisplay)},
      {"Menu_SetupSpectrumColors", ConfigPage(ConfigDlg->Ts_ExtDisplay)},
      {"Menu_DisplayColors", ConfigPage(ConfigDlg->Ts_ExtDisplay)},
      {"Menu_WaterDisplayColors", ConfigPage(ConfigDlg->Ts_ExtDisplay)},
      {"Menu_SetupWaveFile", ConfigPage(ConfigDlg->TS_WaveFile)},
      {"MM_WaveFileSettings", ConfigPage(ConfigDlg->TS_WaveFile)},
      {"Menu_MarkerSettings", ConfigPage(ConfigDlg->Ts_Markers)},
      {"Menu_FreqRespCalib", ConfigPage(ConfigDlg->TS_FreqRespCalib)},
      {"Menu_PopSpectrumRef", ConfigPage(ConfigDlg->TS_FreqRespCalib)},
      {"Menu_SetupSystem", ConfigPage(ConfigDlg->TS_System)},
      {"DebuggingWindow1", DebugPage(DebugForm->TS_Debug)},
      {"Menu_ViewErrorHistory", DebugPage(DebugForm->TS_ErrorHistory)},
      {"Menu_CpuPerformanceWindow", DebugPage(DebugForm->TS_Performance)},
      {"ViewInputMonitor", Shows(MonitorScope)},
      {"ViewOutputMonitor", Shows(OutputScope)},
      {"FilterControlWindow1", Shows(FilterControlForm)},
      {"MultiToneGenerator1", Shows(GeneratorForm)},
      {"Menu_ViewCircuit", Shows(CircuitForm)},
      {"Menu_DigimodeTerminal", Shows(TerminalForm)},
      {"DCF77decoder",
       {[] {
          DCF77Form->hide();
          SndConfig.Dcf77Active = 0;
        },
        [] {
          EXPECT_TRUE(DCF77Form->isVisible());
          EXPECT_EQ(int(SndConfig.Dcf77Active), 1);
        }}},
      {"Menu_ViewWatchWindow", Shows(WatchForm)},
      {"Menu_SecondSpectrogram", Shows(SecondSpectrogram)},
      {"Menu_ViewCmdInterpreter", Shows(CommandForm)},
      {"Menu_Export", Shows(ExportForm)},
      {"Menu_AlertConfig", Shows(AlertDlgForm)},
      {"About1", Modal(AbtForm)},
      {"QSMenu_UserDefined", Modal(MenuDefForm)},
      {"Menu_PeriodicActions", Modal(PeriodicActionForm, PeriodicActionForm->TS_Periodic)},
      {"Menu_ScheduledActions", Modal(PeriodicActionForm, PeriodicActionForm->TS_Schedule)},
      {"EditColorPalette1", Modal(PaletteEditorForm)},
      {"Menu_HelpIndex", Help(100)},
      {"Menu_HelpDisplay", Help(170)},
      {"Menu_HelpComponents", Help(900)},
      {"Menu_HelpPeriodic", Help(1000)},
      {"Menu_HelpInterpreter", Help(1600)},
      {"Menu_HelpWatch", Help(1810)},
      {"Menu_SpecHelp", Help(170)},
      {"Menu_WaterHelp", Help(180)},
      {"AnalyzeInputFile", AsksFile(false, "Analyze Input from *.WAV-File")},
      {"AnalyzeAndPlayWAV", AsksFile(false, "Analyze and Play  *.WAV-File")},
      {"LogToWavFile", AsksFile(true, "Log audio input as Wave-file (")},
      {"LogOutputToWAV", AsksFile(true, "Log audio output as Wave-file (")},
      {"Menu_LogDecimatedIQ", WithComplexFft(AsksFile(true, "Log decimated I/Q samples as file ("))},
      {"Menu_LoadReference", AsksFile(false, "Load Reference Spectrum")},
      {"Menu_SaveReference", AsksFile(true, "Save Reference Spectrum")},
      {"LoadColorPalette1", AsksFile(false, "Load Color Palette")},
      {"SaveColorPalette1", AsksFile(true, "Save Color Palette")},
      {"SaveSpectrumAsFile", AsksFile(true, "Save Spectrum Plot as File")},
      {"SaveWaterfallasFile", AsksFile(true, "Save Waterfall as File")},
      {"SaveSpectrumAndWaterfall", AsksFile(true, "Save Spectrum+Waterfall as File")},
      {"Menu_ImageViewer", AsksFile(false, "Select image(s) to display")},
      {"Menu_SpecAmplitudeScale", Toggles(&SndConfig.AmplitudeGrid)},
      {"Menu_SpecFrequencyScale", Toggles(&SndConfig.FrequencyGrid)},
      {"Menu_SpecRotated", Toggles(&SndConfig.SpectrumOrient)},
      {"Menu_WaterRotated90", Toggles(&SndConfig.SpectrumOrient)},
      {"Menu_WaterTimeScale", Toggles(&SndConfig.WaterTimeGrid)},
      {"Menu_WaterFreqScale", Toggles(&SndConfig.WaterFreqGrid)},
      {"Menu_SpectrumGraphVisible", Sets(&SndConfig.SpectrumStyleNPos, 0, 2, true)},
      {"Menu_SpectrumGraphVisible2", Sets(&SndConfig.SpectrumStyleNPos, 3, 0, true)},
      {"Menu_WaterfallVisible", Sets(&SndConfig.SpectrumStyleNPos, 1, 3, true)},
      {"Menu_WaterfallVisible2", Sets(&SndConfig.SpectrumStyleNPos, 3, 2, true)},
      {"Menu_StartSpectrumWaterfall", Sets(&SndConfig.SpectrumOn, 0, 1, false)},
      {"StopSpectrumWaterfall1", Sets(&SndConfig.SpectrumOn, 1, 0, false)},
      {"Menu_VisualizeAlertParams",
       {[] { AlertSettings.Visualize = 0; g_RedrawRequestMask = 0; },
        [] {
          EXPECT_EQ(AlertSettings.Visualize, 1);
          EXPECT_EQ(int(g_RedrawRequestMask), 0);
        }}},
      {"Menu_VisualizeAlertPeaks", FlipsAlertBit(1)},
      {"Menu_VisualizeNoiseLevel", FlipsAlertBit(2)},
      {"Menu_PlotSmoothedInput", FlipsAlertBit(4)},
      {"Menu_PlotSearchPatternMatch", FlipsAlertBit(8)},
      {"Menu_StartSoundThd", Thread(false, false, [this] { EXPECT_EQ(link.created, 1); })},
      {"Stop1", Thread(true, false, [this] { EXPECT_EQ(link.terminated, 1); })},
      {"Menu_StartSoundOutput", Thread(true, false, [this] { EXPECT_TRUE(link.wanted); })},
      {"StopSoundOutput1", Thread(true, true, [this] { EXPECT_FALSE(link.wanted); })},
      {"Menu_ViewControls",
       {[this] { form->Grp_Controls->show(); },
        [this] { EXPECT_TRUE(form->Grp_Controls->isHidden()); }}},
      {"Menu_SlowCW4", Preset(1)},
      {"Menu_SlowCW30", Preset(2)},
      {"Menu_SlowCW120", Preset(3)},
      {"Menu_FastCW1", Preset(4)},
      {"QSMenu_LoranWatcher", Preset(5)},
      {"QSMenu_MtHell7", Preset(6)},
      // Last: the whole close runs, the tool windows shown above close with the window.
      {"Exit1",
       {[] {},
        [this] {
          EXPECT_FALSE(form->isVisible());
          EXPECT_FALSE(DebugForm->isVisible());
          EXPECT_FALSE(CommandForm->isVisible());
          EXPECT_NE(Read("SETTINGS.INI").find("[MAIN_WINDOW]"), std::string::npos);
        }}},
  };
  QStringList covered;
  for (const Row& r : rows) {
    SCOPED_TRACE(r.action);
    covered << r.action;
    QAction* a = Action(r.action);
    ASSERT_NE(a, nullptr);
    r.effect.arrange();
    a->trigger();
    r.effect.check();
  }

  // No item of the menus without a row.
  QStringList items;
  std::function<void(QMenu*)> collect = [&](QMenu* menu) {
    for (QAction* a : menu->actions()) {
      if (a->menu())
        collect(a->menu());
      else if (!a->isSeparator())
        items << a->objectName();
    }
  };
  for (QAction* top : form->MainMenu1->actions())
    if (top->menu()) collect(top->menu());
  collect(form->findChild<QMenu*>("PopupSpectrum"));
  collect(form->findChild<QMenu*>("Popup_Waterfall"));
  const QRegularExpression userEntry("^QSMenu_User\\d+$");
  for (const QString& name : items) {
    if (!userEntry.match(name).hasMatch() && name != "Menu_ConvertImage") {
      EXPECT_TRUE(covered.contains(name)) << name.toStdString();
    }
  }
}

}  // namespace

namespace {

// The View menu marks each window's entry by that window's visibility (and the control panel's
// by the panel's), whichever others are shown; the Analysis menu marks and enables the thread's
// entries by its state.
TEST_F(MenuWindowsTest, OpeningHandlersSetChecksAndEnables)
{
  form->show();
  form->Timer1->stop();
  struct Item { const char* action; QWidget* window; };
  const Item items[] = {
      {"DebuggingWindow1", DebugForm},       {"ViewInputMonitor", MonitorScope},
      {"ViewOutputMonitor", OutputScope},    {"FilterControlWindow1", FilterControlForm},
      {"MultiToneGenerator1", GeneratorForm}, {"Menu_ViewCircuit", CircuitForm},
      {"DCF77decoder", DCF77Form},           {"Menu_DigimodeTerminal", TerminalForm},
      {"Menu_ViewWatchWindow", WatchForm},   {"Menu_SecondSpectrogram", SecondSpectrogram},
      {"Menu_ViewCmdInterpreter", CommandForm}, {"Menu_Export", ExportForm},
      {"Menu_AlertConfig", AlertDlgForm},    {"Menu_ViewControls", form->Grp_Controls},
  };
  const int n = int(std::size(items));
  // Every other one shown, then the rest, then none; the last time through the menu's signal.
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    auto shown = [&](int i) { return round < 2 && i % 2 == round; };
    for (int i = 0; i < n; ++i) items[i].window->setVisible(shown(i));
    if (round < 2)
      form->View1Click();
    else
      emit form->View1->aboutToShow();
    for (int i = 0; i < n; ++i) {
      QAction* a = Action(items[i].action);
      ASSERT_NE(a, nullptr);
      EXPECT_TRUE(a->isCheckable()) << items[i].action;
      EXPECT_EQ(a->isChecked(), shown(i)) << items[i].action;
    }
  }

  struct Case { bool exists, suspended, output; int spectrumOn; };
  const Case cases[] = {
      {false, false, false, 1}, {true, true, false, 0}, {true, false, true, 1}, {true, false, false, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.exists << c.suspended << c.output << c.spectrumOn);
    link.exists = c.exists;
    link.suspended = c.suspended;
    link.wanted = c.output;
    SndConfig.SpectrumOn = c.spectrumOn;
    emit form->Analysis1->aboutToShow();
    EXPECT_EQ(Action("Menu_StartSoundThd")->isChecked(), c.exists && !c.suspended);
    EXPECT_EQ(Action("Stop1")->isEnabled(), c.exists);
    EXPECT_EQ(Action("Menu_StartSpectrumWaterfall")->isChecked(), c.spectrumOn != 0);
    EXPECT_EQ(Action("Menu_StartSoundOutput")->isChecked(), c.exists && c.output);
    EXPECT_EQ(Action("Menu_StartSoundOutput")->isEnabled(), c.exists);
    EXPECT_EQ(Action("StopSoundOutput1")->isEnabled(), c.exists && c.output);
  }
}

// A reference that cannot be written (the name is a directory, or its folder does not exist) is
// reported naming the file; the name is taken all the same. A good name writes without a word.
TEST_F(MenusTest, FailedReferenceSaveIsReported)
{
  std::filesystem::create_directory(dir.file("refs"));
  struct Case { std::string name; bool fails; };
  const Case cases[] = {
      {dir.file("refs"), true}, {dir.file("none/x.ref"), true}, {dir.file("good.ref"), false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TDialogHooks::FileDialogHook = [&](bool save, const QString&, const QString&, QString& name) {
      EXPECT_TRUE(save);
      name = QString::fromStdString(c.name);
      return true;
    };
    messages.clear();
    Action("Menu_SaveReference")->trigger();
    EXPECT_EQ(std::string(SndConfig.SpectrumRefFileName), c.name);
    if (c.fails) {
      ASSERT_EQ(messages.size(), 1);
      EXPECT_EQ(messages[0].toStdString(),
                "Error: could not write the reference file \"" + c.name + "\" !");
    } else {
      EXPECT_TRUE(messages.isEmpty());
      EXPECT_EQ(vt_test::ReadWholeFile(c.name).rfind("; Saved by Vartumo", 0), 0u);
    }
  }
  EXPECT_TRUE(std::filesystem::is_directory(dir.file("refs")));
  EXPECT_FALSE(std::filesystem::exists(dir.file("none")));
}

}  // namespace

namespace {

// Every file dialog that has a help topic shows it on F1: the hook sees the context of the
// dialog being asked.
TEST_F(MenuWindowsTest, FileDialogsCarryTheirHelpContexts)
{
  std::vector<std::pair<QString, uint32_t>> seen;
  TDialogHooks::FileDialogHook = [&](bool, const QString& title, const QString&, QString&) {
    seen.push_back({title, TDialogHooks::FileDialogHelpContext});
    return false;
  };
  TDialogHooks::FileListDialogHook = [&](const QString& title, const QString&, QStringList&) {
    seen.push_back({title, TDialogHooks::FileDialogHelpContext});
    return false;
  };
  struct Row { const char* title; std::function<void()> open; uint32_t context; };
  const Row rows[] = {
      {"Load Reference Spectrum", [this] { Action("Menu_LoadReference")->trigger(); }, 250},
      {"Save Reference Spectrum", [this] { Action("Menu_SaveReference")->trigger(); }, 250},
      {"Load Filter Coefficients", [] { FilterControlForm->Btn_Load->click(); }, 800},
      {"Save Filter Coefficients", [] { FilterControlForm->Btn_Save->click(); }, 800},
      {"Load Chain Filter Design", [] { FilterControlForm->Btn_IIR2_Load->click(); }, 800},
      {"Load Remez Filter Design", [] { FilterControlForm->Btn_FIR2Des_Load->click(); }, 800},
      {"Open a command file", [] { CommandForm->Menu_LoadCommands->trigger(); }, 1600},
      {"Select image(s) to display", [this] { Action("Menu_ImageViewer")->trigger(); }, 1850},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.title);
    seen.clear();
    r.open();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].first.startsWith(r.title)) << seen[0].first.toStdString();
    EXPECT_EQ(seen[0].second, r.context);
  }
}

}  // namespace

namespace {

// A window opened again from its menu item comes back from the task bar: each minimised tool
// window is restored, shown and made the active window by its item; the image viewer too when
// files are chosen for it again.
TEST_F(MenuWindowsTest, ReopenedWindowsComeForward)
{
  form->show();
  form->Timer1->stop();
  struct Item { const char* action; QWidget* window; };
  const Item items[] = {
      {"DebuggingWindow1", DebugForm}, {"ViewInputMonitor", MonitorScope},
      {"ViewOutputMonitor", OutputScope}, {"FilterControlWindow1", FilterControlForm},
      {"MultiToneGenerator1", GeneratorForm}, {"Menu_ViewCircuit", CircuitForm},
      {"Menu_DigimodeTerminal", TerminalForm}, {"DCF77decoder", DCF77Form},
      {"Menu_ViewWatchWindow", WatchForm}, {"Menu_SecondSpectrogram", SecondSpectrogram},
      {"Menu_ViewCmdInterpreter", CommandForm}, {"Menu_Export", ExportForm},
      {"Menu_AlertConfig", AlertDlgForm}, {"Menu_ImageViewer", PicViewFrm},
  };
  const std::string image = dir.file("none.bmp");  // the viewer shows its error in the caption
  TDialogHooks::FileListDialogHook = [&](const QString&, const QString&, QStringList& names) {
    names = QStringList{QString::fromStdString(image)};
    return true;
  };
  for (const Item& it : items) {
    SCOPED_TRACE(it.action);
    it.window->show();
    it.window->setWindowState(Qt::WindowMinimized);
    form->activateWindow();
    Action(it.action)->trigger();
    QApplication::processEvents();  // the activation comes back from the platform
    EXPECT_TRUE(it.window->isVisible());
    EXPECT_FALSE(it.window->isMinimized());
    EXPECT_EQ(QApplication::activeWindow(), it.window);
    it.window->hide();
  }
}

// A message box of the main window opened while the configuration dialog is the active window
// (a recording ended by an applied rate change) opens over that dialog: under it the modal box
// would wait unseen and block every window.
TEST_F(MenusTest, MessageBoxOpensOverTheActiveWindow)
{
  form->show();
  ConfigDlg->show();
  ConfigDlg->activateWindow();
  for (int i = 0; i < 200 && QApplication::activeWindow() != ConfigDlg; ++i) {
    QApplication::processEvents();
    QThread::msleep(5);
  }
  ASSERT_EQ(QApplication::activeWindow(), ConfigDlg);
  TSndMainForm::MessageHook = nullptr;
  QWidget* parent = nullptr;
  QString shown;
  QTimer closer;  // answers the box as soon as it is up
  QObject::connect(&closer, &QTimer::timeout, [&] {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
        parent = box->parentWidget();
        shown = box->text();
        box->accept();
      }
  });
  closer.start(10);
  form->ShowMessage("Recording stopped");
  closer.stop();
  EXPECT_EQ(shown, "Recording stopped");
  EXPECT_EQ(parent, ConfigDlg);
  ConfigDlg->hide();
}

}  // namespace
