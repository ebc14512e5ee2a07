// The signal-path window by control name, with a fake engine link whose stats each test sets
// and the timer handler called directly.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QSlider>
#include <QTimer>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "control/forms/CircuitForm.h"
#include "control/forms/GeneratorForm.h"
#include "control/forms/StrEditU.h"
#include "engine/FreqMixer.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SampleRates.h"
#include "engine/SettingsFileNames.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "engine/TestSignalGen.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"

namespace {

// An engine whose state the test sets; the clip counters are handed out once.
struct FakeCircuitLink : CSoundThreadLink {
  SoundEngineStats stats;
  int inClips[2] = {}, outClips[2] = {};
  // The wanted device states are the engine's own, as the real link reads them.
  SoundEngineStats Stats() const override
  {
    SoundEngineStats s = stats;
    s.inputWanted = g_SoundInputWanted;
    s.outputWanted = g_SoundOutputWanted;
    return s;
  }
  void TakeMixClips(int in[2], int out[2]) override
  {
    for (int ch = 0; ch < 2; ++ch) {
      in[ch] = inClips[ch];
      out[ch] = outClips[ch];
      inClips[ch] = outClips[ch] = 0;
    }
  }
  // A running thread with open, wanted devices and every stage active.
  void Running()
  {
    stats = {};
    stats.soundExists = stats.threadExists = true;
    stats.inputOpen = stats.outputOpen = true;
    g_SoundInputWanted = g_SoundOutputWanted = true;
    for (uint32_t& f : stats.blockStats) f = 1;
  }
};

void ClickOn(QWidget* w)
{
  ASSERT_NE(w, nullptr);
  const QPointF p(2, 2);
  QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

class CircuitFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetSettingsFileName(g_UserSettingsFileName, "SETTINGS.INI");
    SetDefaultSettings();
    g_ProcessingSampleRate = 11025.0;
    for (auto& m : g_FreqMixers) FreqMixer_Clear(&m);
    g_RedrawRequestMask = 0;
    link.Running();
    SetSoundThreadLink(&link);
    TCircuitForm::Upcalls = {};
    TCircuitForm::Upcalls.ShowScope = [this](int ch) { calls.push_back("scope" + std::to_string(ch)); };
    TCircuitForm::Upcalls.ShowMainWindow = [this] { calls.push_back("main"); };
    TCircuitForm::Upcalls.ShowFilterControl = [this](int ch) { calls.push_back("filter" + std::to_string(ch)); };
    form = std::make_unique<TCircuitForm>();
    form->Timer1->stop();  // the tests call the handler
  }
  void TearDown() override
  {
    form.reset();
    TCircuitForm::Upcalls = {};
    TDialogHooks::DialogExecHook = nullptr;
    SetHelpContextHandler({});
    SetSoundThreadLink(nullptr);
    g_InstanceIndex = 0;
    std::filesystem::current_path(m_oldCwd);
  }
  template <class T = QWidget>
  T* Find(const char* name)
  {
    T* w = form->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QAction* Action(const char* name) { return Find<QAction>(name); }

  vt_test::TempDir dir;
  FakeCircuitLink link;
  std::unique_ptr<TCircuitForm> form;
  std::vector<std::string> calls;

private:
  std::filesystem::path m_oldCwd;
};

TEST_F(CircuitFormTest, CaptionControlsAndInstanceSuffix)
{
  EXPECT_EQ(form->objectName(), "CircuitForm");
  EXPECT_EQ(form->windowTitle(), "Vartumo  Components");
  for (const char* n :
       {"Pnl_SoundIn", "Pnl_SoundOut", "Pnl_InputMon", "Pnl_OutputMon", "Pnl_Filter1Left",
        "Pnl_Filter1Right", "Pnl_Spectrum", "Pnl_Generator", "Pnl_DigiModulator", "Pnl_DigiDemod",
        "Pnl_Mixer", "Pnl_Mixer2", "Pnl_LeftLO", "Pnl_RightLO", "Img_SpectrumSwitch",
        "Img_LeftGeneratorSwitch", "Img_RightGeneratorSwitch", "Shp_SpectrumFromInput",
        "Shp_SpectrumFromOutput", "Shp_GeneratorToInput", "Shp_GeneratorToOutput",
        "Img_FilterAmplifier1", "Img_FilterAmplifier2", "Img_DigimodeOutputAmplifier",
        "Img_LeftGenerator2OutputAmp", "Img_RightGenerator2OutputAmp", "Img_OutputAmpLeft2Right",
        "Img_OutputAmpRight2Left", "Ed_LeftLoFreq", "Ed_RightLoFreq", "TrackBar1",
        "Combo_ConnSlider1", "Lab_Slider1Value"})
    Find(n);
  for (const char* n : {"Menu_MixerEnable", "Menu_MixDcReject", "Menu_MixBothBands", "Menu_MixLSBOnly",
                        "Menu_MixUSBOnly", "Menu_MixLSBdown", "Menu_MixUSBdown",
                        "Menu_MixerHilbertLength", "Menu_LOfrequency", "Pop_ConnectVfoToSlider1",
                        "Menu_StayOnTop", "Help1"})
    Action(n);
  EXPECT_EQ(Find<QTimer>("Timer1")->interval(), 500);
  EXPECT_EQ(Find<QComboBox>("Combo_ConnSlider1")->count(), 15);

  form.reset();
  g_InstanceIndex = 1;
  form = std::make_unique<TCircuitForm>();
  EXPECT_EQ(form->windowTitle(), "Vartumo  Components [2]");
}

TEST_F(CircuitFormTest, EachBlockStateFromATableOfStats)
{
  GeneratorForm = new TGeneratorForm;
  struct Case {
    const char* what;
    std::function<void(FakeCircuitLink&)> set;
    const char* block;
    CircuitBlock id;
    int state;
  } cases[] = {
      {"input reads", [](auto&) {}, "Pnl_SoundIn", CB_SOUND_IN, 1},
      {"input not open", [](auto& l) { l.stats.inputOpen = false; }, "Pnl_SoundIn", CB_SOUND_IN, 4},
      {"card error", [](auto& l) { l.stats.inStatus = -5; }, "Pnl_SoundIn", CB_SOUND_IN, 3},
      {"no thread", [](auto& l) { l.stats.threadExists = false; }, "Pnl_SoundIn", CB_SOUND_IN, 0},
      {"output failed", [](auto& l) { l.stats.outputOk = false; }, "Pnl_SoundOut", CB_SOUND_OUT, 3},
      {"output suspended", [](auto& l) { l.stats.threadSuspended = true; }, "Pnl_SoundOut", CB_SOUND_OUT, 0},
      {"left mixer on, running", [](auto&) {
         SndConfig.ConnectSlider1 = 42;  // not its oscillator (the default is)
         SndConfig.FreqMixerEnabled = true;
         FreqMixer_Init(&g_FreqMixers[0], 500, 0, false, true);
       }, "Pnl_Mixer", CB_MIXER_LEFT, 1},
      {"left mixer on the slider", [](auto&) {
         SndConfig.FreqMixerEnabled = true;
         FreqMixer_Init(&g_FreqMixers[0], 500, 0, false, true);
         SndConfig.ConnectSlider1 = 1;
       }, "Pnl_Mixer", CB_MIXER_LEFT, 2},
      {"right mixer running against its setting", [](auto&) {
         FreqMixer_Init(&g_FreqMixers[1], 500, 0, false, true);
       }, "Pnl_Mixer2", CB_MIXER_RIGHT, 4},
      {"right mixer stopped", [](auto&) {}, "Pnl_Mixer2", CB_MIXER_RIGHT, 0},
      {"filter ran", [](auto&) {}, "Pnl_Filter1Right", CB_FILTER_RIGHT, 1},
      {"filter edited", [](auto&) {
         TCircuitForm::Upcalls.FilterControlEdits = [](int ch) { return ch == 0; };
       }, "Pnl_Filter1Left", CB_FILTER_LEFT, 2},
      {"generator off", [](auto&) {}, "Pnl_Generator", CB_GENERATOR, 0},
      {"generator on", [](auto&) { SndConfig.StartSignalGenerator = 1; }, "Pnl_Generator", CB_GENERATOR, 1},
      {"generator on the slider", [](auto&) {
         SndConfig.StartSignalGenerator = 1;
         SndConfig.ConnectSlider1 = 42;
       }, "Pnl_Generator", CB_GENERATOR, 2},
      {"input adder clipped", [](auto& l) { l.inClips[1] = 4; }, "Shp_InputAdderRight", CB_IN_ADDER_RIGHT, 3},
      {"output adder clipped", [](auto& l) { l.outClips[0] = 1; }, "Shp_OutputAdderLeft", CB_OUT_ADDER_LEFT, 3},
      {"amplifier on", [](auto&) {}, "Img_OutputAmpLeft2Right", static_cast<CircuitBlock>(CB_AMPLIFIER5 + 6), 1},
      {"amplifier connected", [](auto&) { SndConfig.ConnectSlider1 = 6; }, "Img_FilterAmplifier2",
       static_cast<CircuitBlock>(CB_AMPLIFIER5 + 1), 2},
      {"amplifier gain 0", [](auto&) { SndConfig.Gain[4] = 0.0; }, "Img_LeftGenerator2OutputAmp",
       static_cast<CircuitBlock>(CB_AMPLIFIER5 + 4), 0},
      {"input monitor shown", [](auto&) {
         TCircuitForm::Upcalls.ScopeVisible = [](int ch) { return ch == 0; };
       }, "Pnl_InputMon", CB_IN_MONITOR, 1},
      {"spectrum off", [](auto&) { SndConfig.SpectrumOn = 0; }, "Pnl_Spectrum", CB_SPECTRUM, 0},
      {"digimode receiving", [](auto& l) {
         SndConfig.DigimodeActive = 1;
         l.stats.digimodeRx = true;
       }, "Pnl_DigiDemod", CB_DIGI_DEMOD, 1},
  };
  for (const Case& c : cases) {
    SetDefaultSettings();
    SndConfig.SpectrumOn = 1;
    for (auto& m : g_FreqMixers) FreqMixer_Clear(&m);
    link.Running();
    TCircuitForm::Upcalls.FilterControlEdits = nullptr;
    TCircuitForm::Upcalls.ScopeVisible = nullptr;
    c.set(link);
    form->Timer1Timer();  // a changed slider connection shows from the next tick on
    c.set(link);          // (clip counts are taken by each tick)
    form->Timer1Timer();
    EXPECT_EQ(form->BlockState(c.id), c.state) << c.what;
    EXPECT_EQ(Find(c.block)->property("BlockState").toInt(), c.state) << c.what;
    const uint32_t colour = TCircuitForm::kStateColours[c.state];
    EXPECT_EQ(Find(c.block)->palette().color(QPalette::Window),
              QColor(colour & 0xFF, (colour >> 8) & 0xFF, colour >> 16)) << c.what;
  }
  // The clip counters were taken and cleared: the next tick shows the adders fine again.
  link.outClips[0] = 2;
  form->Timer1Timer();
  EXPECT_EQ(form->BlockState(CB_OUT_ADDER_LEFT), 3);
  EXPECT_EQ(link.outClips[0], 0);
  form->Timer1Timer();
  EXPECT_EQ(form->BlockState(CB_OUT_ADDER_LEFT), 0);
  // The generator window's caption follows the generator block.
  SndConfig.StartSignalGenerator = 0;
  form->Timer1Timer();
  EXPECT_EQ(GeneratorForm->windowTitle(), "Test Tone Generators (OFF)");
  SndConfig.StartSignalGenerator = 1;
  form->Timer1Timer();
  EXPECT_EQ(GeneratorForm->windowTitle(), "Test Tone Generators");
  delete GeneratorForm;
  GeneratorForm = nullptr;
}

TEST_F(CircuitFormTest, EachClickSetsItsFieldMaskAndRedraw)
{
  struct Case {
    const char* control;
    std::function<int()> field;
    int value;
    bool fullRedraw;
  } cases[] = {
      {"Img_SpectrumSwitch", [] { return SndConfig.ConnectSpectrumToInput.load(); }, 0, true},
      {"Img_SpectrumSwitch", [] { return SndConfig.ConnectSpectrumToInput.load(); }, 1, true},
      {"Shp_SpectrumFromOutput", [] { return SndConfig.ConnectSpectrumToInput.load(); }, 0, true},
      {"Shp_SpectrumFromInput", [] { return SndConfig.ConnectSpectrumToInput.load(); }, 1, true},
      {"Shp_GeneratorToOutput", [] { return SndConfig.ConnectGeneratorToInput.load(); }, 0, true},
      {"Shp_GeneratorToInput", [] { return SndConfig.ConnectGeneratorToInput.load(); }, 3, true},
      {"Pnl_SoundIn", [] { return SndConfig.StartSoundInput.load(); }, 0, false},
      {"Pnl_SoundOut", [] { return SndConfig.StartSoundOutput.load(); }, 1, false},
      {"Pnl_Spectrum", [] { return SndConfig.SpectrumOn.load(); }, 0, false},
      {"Img_FilterAmplifier1", [] { return SndConfig.ConnectSlider1.load(); }, 5, false},
      {"Img_DigimodeOutputAmplifier", [] { return SndConfig.ConnectSlider1.load(); }, 7, false},
      {"Img_OutputAmpRight2Left", [] { return SndConfig.ConnectSlider1.load(); }, 12, false},
  };
  SndConfig.SpectrumOn = 1;
  for (const Case& c : cases) {
    g_RedrawRequestMask = 0;
    ClickOn(Find(c.control));
    EXPECT_EQ(c.field(), c.value) << c.control;
    EXPECT_EQ(g_RedrawRequestMask.load(), c.fullRedraw ? REDRAW_ALL : 0) << c.control;
  }
  EXPECT_FALSE(g_SoundInputWanted);
  EXPECT_TRUE(g_SoundOutputWanted);
  EXPECT_EQ(Find("Pnl_SoundIn")->property("BlockState").toInt(), 0);  // redrawn at once

  // The left generator switch: input -> output -> off -> input; the picture follows on a tick.
  SndConfig.ConnectGeneratorToInput = 1;
  SndConfig.GeneratorChannelMask = 0;
  const struct {
    int toInput, mask;
    const char* picture;
  } steps[] = {{0, 1, "Img_SwitchDownRight"}, {0, 0, "Img_SwitchDownNone"}, {1, 0, "Img_SwitchDownLeft"}};
  for (const auto& s : steps) {
    g_RedrawRequestMask = 0;
    ClickOn(Find("Img_LeftGeneratorSwitch"));
    EXPECT_EQ(SndConfig.ConnectGeneratorToInput, s.toInput);
    EXPECT_EQ(SndConfig.GeneratorChannelMask, s.mask);
    EXPECT_EQ(g_RedrawRequestMask.load(), REDRAW_ALL);
    form->Timer1Timer();
    EXPECT_EQ(Find("Img_LeftGeneratorSwitch")->property("Picture").toString(), s.picture);
  }
  // Set in both: the first click leaves it on the output only.
  SndConfig.ConnectGeneratorToInput = 2;
  SndConfig.GeneratorChannelMask = 2;
  form->Timer1Timer();
  EXPECT_EQ(Find("Img_RightGeneratorSwitch")->property("Picture").toString(), "Img_SwitchDownBoth");
  ClickOn(Find("Img_RightGeneratorSwitch"));
  EXPECT_EQ(SndConfig.ConnectGeneratorToInput, 0);
  EXPECT_EQ(SndConfig.GeneratorChannelMask, 2);

  // Windows opened through the main window's calls.
  ClickOn(Find("Pnl_InputMon"));
  ClickOn(Find("Pnl_OutputMon"));
  ClickOn(Find("Pnl_Filter1Right"));
  ClickOn(Find("Pnl_Filter1Left"));
  ClickOn(Find("Pnl_DigiModulator"));  // no terminal yet: nothing happens
  EXPECT_EQ(calls, (std::vector<std::string>{"main", "scope0", "scope1", "filter1", "filter0"}));
}

TEST_F(CircuitFormTest, MixerPopupPerChannel)
{
  SndConfig.MixerFrequency = 600;
  SndConfig.MixerSideband = 0;
  SndConfig.SecondMixer.MixerFrequency = 800;
  SndConfig.SecondMixer.MixerSideband = 3;
  SndConfig.SecondMixer.MixerDcReject = true;
  SndConfig.MixerHilbertLength = 41;
  form->ApplyMixerSettings(0);
  form->ApplyMixerSettings(1);

  form->MixerChannel = 1;
  form->Popup_FreqMixerPopup();
  EXPECT_EQ(Action("Menu_MixerAndOscillator")->text(), "Mixer and Oscillator for RIGHT channel..");
  EXPECT_FALSE(Action("Menu_MixerEnable")->isChecked());
  EXPECT_TRUE(Action("Menu_MixDcReject")->isChecked());
  EXPECT_TRUE(Action("Menu_MixLSBdown")->isChecked());
  EXPECT_FALSE(Action("Menu_MixBothBands")->isChecked());
  EXPECT_TRUE(Action("Menu_MixerHilbertLength")->isEnabled());
  EXPECT_EQ(Action("Menu_MixerHilbertLength")->text(), "Hilbert FIR length = 41");
  EXPECT_TRUE(Action("Menu_LOfrequency")->text().startsWith("LO freq=")) ;
  EXPECT_TRUE(Action("Menu_LOfrequency")->text().endsWith(" Hz"));

  Action("Menu_MixerEnable")->trigger();
  EXPECT_TRUE(SndConfig.SecondMixer.FreqMixerEnabled);
  EXPECT_TRUE(g_FreqMixers[1].Enabled);
  EXPECT_FALSE(g_FreqMixers[0].Enabled);
  Action("Menu_MixDcReject")->trigger();
  EXPECT_FALSE(SndConfig.SecondMixer.MixerDcReject);
  Action("Menu_MixUSBOnly")->trigger();
  EXPECT_EQ(SndConfig.SecondMixer.MixerSideband, 2);
  EXPECT_EQ(g_FreqMixers[1].Sideband, 2);
  EXPECT_EQ(SndConfig.MixerSideband, 0);
  form->Popup_FreqMixerPopup();
  EXPECT_TRUE(Action("Menu_MixerEnable")->isChecked());
  EXPECT_TRUE(Action("Menu_MixUSBOnly")->isChecked());

  form->MixerChannel = 0;
  form->Popup_FreqMixerPopup();
  EXPECT_EQ(Action("Menu_MixerAndOscillator")->text(), "Mixer and Oscillator for LEFT channel..");
  EXPECT_FALSE(Action("Menu_MixDcReject")->isChecked());
  EXPECT_TRUE(Action("Menu_MixBothBands")->isChecked());
  EXPECT_FALSE(Action("Menu_MixerHilbertLength")->isEnabled());
  Action("Menu_MixerEnable")->trigger();
  EXPECT_TRUE(SndConfig.FreqMixerEnabled);
  EXPECT_TRUE(g_FreqMixers[0].Enabled);
  Action("Menu_MixLSBOnly")->trigger();
  EXPECT_EQ(SndConfig.MixerSideband, 1);
  Action("Pop_ConnectVfoToSlider1")->trigger();
  EXPECT_EQ(SndConfig.ConnectSlider1, 1);
  EXPECT_EQ(Find<QComboBox>("Combo_ConnSlider1")->currentText(), "Local Oscillator frequency");

  form->MixerChannel = 5;
  form->Popup_FreqMixerPopup();
  EXPECT_EQ(Action("Menu_MixerAndOscillator")->text(), "Mixer and Oscillator for unknown channel..");
  EXPECT_EQ(form->MixerChannel, 0);

  std::vector<uint32_t> help;
  SetHelpContextHandler([&](uint32_t id) {
    help.push_back(id);
    return true;
  });
  Action("Menu_MixerAndOscillator")->trigger();
  Action("Help1")->trigger();
  ClickOn(Find("Btn_Help"));
  EXPECT_EQ(help, (std::vector<uint32_t>{750, 900, 900}));
}

TEST_F(CircuitFormTest, HilbertLengthThroughTheStringEditor)
{
  struct Case {
    const char* typed;
    int result;  // 1 OK, 2 cancel
    int length;
  } cases[] = {{"40", 1, 41}, {"39", 1, 37}, {"7", 1, 37}, {"200", 1, 37}, {"61", 2, 37},
               {"61", 1, 61}, {"x", 1, 61}, {"9", 1, 9}};
  SndConfig.MixerHilbertLength = 37;
  for (const Case& c : cases) {
    QString caption, prompt, shown;
    TDialogHooks::DialogExecHook = [&](QDialog* d) {
      auto* dlg = static_cast<TStringEditForm*>(d);
      caption = dlg->windowTitle();
      prompt = dlg->Label->text();
      shown = dlg->Edit->text();
      dlg->Edit->setText(c.typed);
      return c.result;
    };
    const int before = SndConfig.MixerHilbertLength;
    Action("Menu_MixerHilbertLength")->trigger();
    EXPECT_EQ(caption, "Set Hilbert FIR length");
    EXPECT_EQ(prompt, "(37..101)");
    EXPECT_EQ(shown, QString::number(before));
    EXPECT_EQ(SndConfig.MixerHilbertLength, c.length) << c.typed;
    EXPECT_EQ(g_FreqMixers[1].Slots[g_FreqMixers[1].Back].HilbertLength >= 0, true);
  }
}

TEST_F(CircuitFormTest, TypedLoFrequencyAppliedAfterSixTicksAndReArmedByTyping)
{
  SndConfig.SecondMixer.MixerFrequency = 800;
  form->ApplyMixerSettings(0);
  form->ApplyMixerSettings(1);
  form->Timer1Timer();  // shows the current oscillator frequencies
  auto* ed = Find<QLineEdit>("Ed_RightLoFreq");
  EXPECT_EQ(ed->text(), "800");
  EXPECT_EQ(form->LoEditCountdown, 0);

  ed->setText("1200");
  EXPECT_EQ(form->LoEditCountdown, 6);
  EXPECT_EQ(ed->palette().color(QPalette::Base), QColor(0, 255, 255));  // cyan while waiting
  for (int i = 0; i < 3; ++i) form->Timer1Timer();
  ed->setText("1500");  // typing again restarts the wait
  for (int i = 0; i < 5; ++i) form->Timer1Timer();
  EXPECT_EQ(SndConfig.SecondMixer.MixerFrequency, 800.0);
  form->Timer1Timer();
  EXPECT_EQ(SndConfig.SecondMixer.MixerFrequency, 1500.0);
  EXPECT_NEAR(g_FreqMixers[1].OscFrequency, 1500.0, 3.0);
  EXPECT_EQ(SndConfig.MixerFrequency, 700.0);  // the left one only re-read its own edit

  ed->setText("no number");
  for (int i = 0; i < 6; ++i) form->Timer1Timer();
  EXPECT_EQ(SndConfig.SecondMixer.MixerFrequency, 1500.0);

  // A frequency changed elsewhere is shown without starting a countdown.
  FreqMixer_SetFrequency(&g_FreqMixers[0], 440.0);
  form->Timer1Timer();
  EXPECT_EQ(Find<QLineEdit>("Ed_LeftLoFreq")->text().toDouble(), std::round(g_FreqMixers[0].OscFrequency));
  EXPECT_EQ(form->LoEditCountdown, 0);
}

TEST_F(CircuitFormTest, EachSliderParameterRangeValueAndWrite)
{
  SndConfig.Gain[2] = 0.5;
  FreqMixer_SetFrequency(&g_FreqMixers[0], 700.0);
  auto* combo = Find<QComboBox>("Combo_ConnSlider1");
  auto* slider = Find<QSlider>("TrackBar1");
  auto* label = Find<QLabel>("Lab_Slider1Value");
  struct Case {
    int row, number;
    int min, max;
    const char* label;  // value shown after connecting
    int moveTo;         // position then
    std::function<double()> field;
    double stored;
  } cases[] = {
      {0, 1, 0, 5512, nullptr, 5512 - 1000, [] { return SndConfig.MixerFrequency.load(); }, 1000},
      {1, 5, -100, 100, "0.0 dB", 6, [] { return SndConfig.Gain[0].load(); }, 0.501187},
      {2, 6, -100, 100, "0.0 dB", -20, [] { return SndConfig.Gain[1].load(); }, 10.0},
      {3, 7, -100, 100, "-6.0 dB", 0, [] { return SndConfig.Gain[2].load(); }, 1.0},
      {4, 9, -100, 100, "0.0 dB", 20, [] { return SndConfig.Gain[4].load(); }, 0.1},
      {5, 10, -100, 100, "0.0 dB", 40, [] { return SndConfig.Gain[5].load(); }, 0.01},
      {6, 11, -100, 100, "0.0 dB", -6, [] { return SndConfig.Gain[6].load(); }, 1.995262},
      {7, 12, -100, 100, "0.0 dB", 100, [] { return SndConfig.Gain[7].load(); }, 1e-5},
      {8, 36, 0, 5512, "900.0 Hz", 5512 - 1500, [] { return SndConfig.Sine[0].SinFreq.load(); }, 1500},
      {9, 37, 0, 5512, "1000.0 Hz", 5512 - 2500, [] { return SndConfig.Sine[1].SinFreq.load(); }, 2500},
      {10, 38, 0, 5512, "1100.0 Hz", 5512, [] { return SndConfig.Sine[2].SinFreq.load(); }, 0},
      {11, 39, -100, 10, "-20.0 dB", -90, [] { return SndConfig.Sine[0].SinAmpl.load(); }, 1.0},
      {12, 40, -100, 10, "-20.0 dB", -84, [] { return SndConfig.Sine[1].SinAmpl.load(); }, 0.501187},
      {13, 41, -100, 10, "-20.0 dB", -50, [] { return SndConfig.Sine[2].SinAmpl.load(); }, 0.01},
      {14, 42, -150, -30, "-50.0 dB", -110, [] { return SndConfig.NoiseLevel.load(); }, -70},
  };
  for (const Case& c : cases) {
    combo->setCurrentIndex(c.row);
    EXPECT_EQ(SndConfig.ConnectSlider1, c.number);
    EXPECT_EQ(form->ConnectedNumber, c.number);
    EXPECT_EQ(slider->minimum(), c.min) << c.number;
    EXPECT_EQ(slider->maximum(), c.max) << c.number;
    if (c.label) {
      EXPECT_EQ(label->text(), c.label) << c.number;
    }
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    g_NoiseParamsChanged = false;
    slider->setValue(c.moveTo);
    EXPECT_NEAR(c.field(), c.stored, 1e-5 * std::max(1.0, std::fabs(c.stored))) << c.number;
    if (c.number >= 36 && c.number <= 41) {
      EXPECT_TRUE(SndConfig.Sine[(c.number - 36) % 3].ParamsChanged);
    }
    if (c.number == 42) {
      EXPECT_TRUE(g_NoiseParamsChanged);
    }
  }
  EXPECT_NEAR(g_FreqMixers[0].OscFrequency, 1000.0, 3.0);

  // A rate change re-ranges a frequency parameter at the next tick.
  combo->setCurrentIndex(9);
  g_ProcessingSampleRate = 48000.0;
  form->Timer1Timer();
  EXPECT_EQ(slider->maximum(), 24000);
  EXPECT_EQ(slider->value(), 24000 - 2500);
  // A value changed elsewhere moves the slider at the next tick.
  SndConfig.Sine[1].SinFreq = 3000.0;
  form->Timer1Timer();
  EXPECT_EQ(slider->value(), 24000 - 3000);
}

TEST_F(CircuitFormTest, UnknownStoredNumberLeavesTheSliderUnconnected)
{
  form.reset();
  SndConfig.ConnectSlider1 = 8;
  const T_SndConfig before = SndConfig;
  form = std::make_unique<TCircuitForm>();
  form->Timer1->stop();
  form->Timer1Timer();
  EXPECT_EQ(form->ConnectedNumber, -1);
  EXPECT_EQ(Find<QComboBox>("Combo_ConnSlider1")->currentIndex(), -1);
  Find<QSlider>("TrackBar1")->setValue(Find<QSlider>("TrackBar1")->maximum());
  for (int i = 0; i < 8; ++i) EXPECT_EQ(SndConfig.Gain[i], before.Gain[i]);
  EXPECT_EQ(SndConfig.MixerFrequency, before.MixerFrequency);
  EXPECT_EQ(SndConfig.ConnectSlider1, 8);
}

TEST_F(CircuitFormTest, PlacementAndStyleSurviveCloseAndRecreate)
{
  form->show();
  form->setGeometry(150, 90, 700, 320);
  Action("Menu_StayOnTop")->trigger();
  EXPECT_EQ(GetFormStyle(form.get()), FORM_STYLE_STAY_ON_TOP);
  const QPoint pos = form->geometry().topLeft();
  form->close();
  form.reset();
  const std::string ini = vt_test::ReadWholeFile(dir.file("SETTINGS.INI"));
  EXPECT_NE(ini.find("[CircuitForm]"), std::string::npos);

  form = std::make_unique<TCircuitForm>();
  EXPECT_TRUE(form->isVisible());
  EXPECT_EQ(form->geometry().topLeft(), pos);
  EXPECT_EQ(GetFormStyle(form.get()), FORM_STYLE_STAY_ON_TOP);
  EXPECT_TRUE(Action("Menu_StayOnTop")->isChecked());
}

}  // namespace
