// The test tone generator window, by control name: fields, change flags, the slider range,
// the on/off panel, the PTT line, placement and the refresh by the interpreter word.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QScrollBar>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/TestUtil.h"
#include "control/GeneratorWords.h"
#include "control/forms/GeneratorForm.h"
#include "engine/MachineConfig.h"
#include "engine/PortIO.h"
#include "engine/SampleRates.h"
#include "engine/SettingsFileNames.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliCommands.h"
#include "platform/SerialLines.h"

namespace {

void Type(QLineEdit* ed, const QString& text)
{
  ed->selectAll();
  ed->insert(text);
}

void ClickLabel(QWidget* w)
{
  const QPointF p(2, 2);
  QMouseEvent press(QEvent::MouseButtonPress, p, w->mapToGlobal(p), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(w, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, p, w->mapToGlobal(p), Qt::LeftButton,
                      Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(w, &release);
}

class GeneratorFormTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    m_oldCwd = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    SetSettingsFileName(g_UserSettingsFileName, "SETTINGS.INI");
    SetDefaultSettings();
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    g_NoiseParamsChanged = false;
    g_ProcessingSampleRate = 11025.0;
    Make();
  }
  void TearDown() override
  {
    form.reset();
    SetHelpContextHandler({});
    std::filesystem::current_path(m_oldCwd);
  }
  void Make()
  {
    form = std::make_unique<TGeneratorForm>();
    form->show();  // FormShow: UpdateCount 0
  }
  template <class T>
  T* Find(const char* name)
  {
    T* w = form->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  QColor Base(const char* name) { return Edit(name)->palette().color(QPalette::Base); }
  QColor WindowBase() { return QApplication::palette(Edit("Ed_FreqMin")).color(QPalette::Base); }
  void ClearFlags()
  {
    for (auto& s : SndConfig.Sine) s.ParamsChanged = false;
    g_NoiseParamsChanged = false;
  }

  vt_test::TempDir dir;
  std::unique_ptr<TGeneratorForm> form;

private:
  std::filesystem::path m_oldCwd;
};

TEST_F(GeneratorFormTest, WindowHasItsControlsAndFillsThemFromTheSettings)
{
  EXPECT_EQ(form->objectName(), "GeneratorForm");
  EXPECT_EQ(form->windowTitle(), "Test Tone Generators");
  EXPECT_GE(form->minimumWidth(), 500);
  EXPECT_GE(form->minimumHeight(), 230);
  for (const char* n : {"Chk_Enable1", "Chk_Enable3", "Chk_AM2", "Chk_FM3", "Chk_NoiseOn",
                        "Chk_UseTable", "Chk_PttOn"})
    Find<QCheckBox>(n);
  for (const char* n : {"Cb_Waveform1", "Cb_Waveform3", "Combo_AmplModWaveform", "Combo_FreqModWavefrm"})
    EXPECT_EQ(Find<QComboBox>(n)->itemText(3), "sawtooth") << n;
  for (const char* n : {"Pnl_OnOff", "Pnl_Help"}) Find<QLabel>(n);
  EXPECT_EQ(Edit("Ed_Freq2")->text(), "1000");
  EXPECT_EQ(Edit("Ed_Sin3Ampl")->text(), "-20");
  EXPECT_EQ(Edit("Ed_NoiseLevel")->text(), "-50");
  EXPECT_EQ(Edit("Ed_AmplModFreq")->text(), "12.3");
  EXPECT_EQ(Edit("Ed_FreqModIndex")->text(), "240.5");
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq3")->maximum(), 50000);
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq3")->value(), 11000);
  EXPECT_TRUE(Find<QCheckBox>("Chk_UseTable")->isChecked());
  // Filling the controls wrote nothing back.
  for (const auto& s : SndConfig.Sine) EXPECT_FALSE(s.ParamsChanged);
  EXPECT_FALSE(g_NoiseParamsChanged);
}

TEST_F(GeneratorFormTest, SliderMappingBothWaysForATableOfRanges)
{
  struct Case {
    const char *min, *max;
    const char* freq;  // typed into Ed_Freq1
    int pos;           // ScrBar_freq then
    int movedTo;       // position given to ScrBar_freq2
    const char* shown; // Ed_Freq2 then
    double field;      // SinFreq of oscillator 1 then
  } cases[] = {
      {"0", "5000", "1234.5", 12345, 12345, "1234.5", 1234.5},
      {"1000", "2000", "1500", 10000, 5000, "1250", 1250.0},
      {"1000", "2000", "500", 0, 0, "1000", 1000.0},
      {"1000", "2000", "3000", 20000, 20000, "2000", 2000.0},
      {"1000", "1000", "1000", 0, 5000, "1000", 1000.0},  // empty range: always 0 and fmin
      {"2000", "1000", "1500", 0, 5000, "1500", 1500.0},  // inverted: runs downwards
  };
  for (const Case& c : cases) {
    Type(Edit("Ed_FreqMin"), "0");
    Type(Edit("Ed_FreqMax"), c.max);
    Type(Edit("Ed_FreqMin"), c.min);
    ClearFlags();
    Type(Edit("Ed_Freq1"), c.freq);
    EXPECT_EQ(Find<QScrollBar>("ScrBar_freq")->value(), c.pos) << c.min << ".." << c.max;
    EXPECT_TRUE(SndConfig.Sine[0].ParamsChanged);
    EXPECT_DOUBLE_EQ(SndConfig.Sine[0].SinFreq, std::stod(c.freq));
    EXPECT_EQ(form->FreqToSliderPos(std::stod(c.freq)), c.pos);
    Find<QScrollBar>("ScrBar_freq2")->setValue(c.movedTo);
    EXPECT_EQ(Edit("Ed_Freq2")->text(), c.shown) << c.min << ".." << c.max;
    EXPECT_NEAR(SndConfig.Sine[1].SinFreq, c.field, 1e-9);
    EXPECT_TRUE(SndConfig.Sine[1].ParamsChanged);
    EXPECT_FALSE(SndConfig.Sine[2].ParamsChanged);
  }
}

TEST_F(GeneratorFormTest, EachEditWritesItsFieldAndRaisesItsFlag)
{
  SndConfig.NoiseLevel = -50.7;
  struct Case {
    const char* edit;
    const char* text;
    std::function<double()> field;
    double expected;
    int oscFlag;  // oscillator whose ParamsChanged is raised, -1 none, 3 the noise flag
  } cases[] = {
      {"Ed_Freq3", "777.7", [] { return SndConfig.Sine[2].SinFreq.load(); }, 777.7, 2},
      {"Ed_Freq3", "abc", [] { return SndConfig.Sine[2].SinFreq.load(); }, 777.7, 2},
      {"Ed_Sin1Ampl", "-6", [] { return SndConfig.Sine[0].SinAmpl.load(); }, 0.501187, 0},
      {"Ed_Sin2Ampl", "x", [] { return SndConfig.Sine[1].SinAmpl.load(); }, 0.01, 1},
      {"Ed_Sin3Ampl", "-6.5", [] { return SndConfig.Sine[2].SinAmpl.load(); }, 0.01, 2},
      {"Ed_NoiseLevel", "oops", [] { return SndConfig.NoiseLevel.load(); }, -50.0, 3},
      {"Ed_NoiseLevel", "-70", [] { return SndConfig.NoiseLevel.load(); }, -70.0, 3},
      {"Ed_AmplModFreq", "3.5", [] { return SndConfig.AmModFreq.load(); }, 3.5, -1},
      {"Ed_AmplModFreq", "?", [] { return SndConfig.AmModFreq.load(); }, 3.5, -1},
      {"Ed_AmplModFactor", "0.3", [] { return SndConfig.AmModFactor.load(); }, 0.3, -1},
      {"Ed_AmplModCarrier", "0.6", [] { return SndConfig.AmModCarrier.load(); }, 0.6, -1},
      {"Ed_FreqModFreq", "55", [] { return SndConfig.FmModFreq.load(); }, 55.0, -1},
      {"Ed_FreqModIndex", "12.5", [] { return SndConfig.FmModDeviation.load(); }, 12.5, -1},
      {"Ed_FreqModIndex", "", [] { return SndConfig.FmModDeviation.load(); }, 12.5, -1},
  };
  for (const Case& c : cases) {
    ClearFlags();
    Type(Edit(c.edit), c.text);
    EXPECT_NEAR(c.field(), c.expected, 1e-6) << c.edit << " '" << c.text << "'";
    for (int i = 0; i < 3; ++i)
      EXPECT_EQ(SndConfig.Sine[i].ParamsChanged.load(), i == c.oscFlag) << c.edit << " " << i;
    EXPECT_EQ(g_NoiseParamsChanged.load(), c.oscFlag == 3) << c.edit;
  }
}

TEST_F(GeneratorFormTest, SwitchesAndCombosWriteTheirFields)
{
  Find<QCheckBox>("Chk_Enable2")->setChecked(false);
  Find<QCheckBox>("Chk_AM3")->setChecked(true);
  Find<QCheckBox>("Chk_FM1")->setChecked(true);
  Find<QComboBox>("Cb_Waveform2")->setCurrentIndex(2);
  Find<QComboBox>("Combo_AmplModWaveform")->setCurrentIndex(1);
  Find<QComboBox>("Combo_FreqModWavefrm")->setCurrentIndex(3);
  EXPECT_FALSE(SndConfig.Sine[1].Enabled);
  EXPECT_TRUE(SndConfig.Sine[0].Enabled);
  EXPECT_TRUE(SndConfig.Sine[2].AmMod);
  EXPECT_FALSE(SndConfig.Sine[0].AmMod);
  EXPECT_TRUE(SndConfig.Sine[0].FmMod);
  EXPECT_EQ(SndConfig.Sine[1].Wave, 2);
  EXPECT_EQ(SndConfig.AmModWave, 1);
  EXPECT_EQ(SndConfig.FmModWave, 3);

  Find<QCheckBox>("Chk_NoiseOn")->setChecked(true);
  EXPECT_EQ(SndConfig.NoiseOn, 1);
  EXPECT_TRUE(g_NoiseParamsChanged);

  Find<QCheckBox>("Chk_UseTable")->setChecked(false);
  EXPECT_FALSE(g_GenUseSineTable);
  Find<QCheckBox>("Chk_UseTable")->setChecked(true);
  EXPECT_TRUE(g_GenUseSineTable);
}

TEST_F(GeneratorFormTest, HandlersStayQuietUnderUpdateCount)
{
  const T_SndConfig before = SndConfig;
  form->UpdateCount = 1;
  Type(Edit("Ed_Freq1"), "123");
  Find<QScrollBar>("ScrBar_freq2")->setValue(777);
  Type(Edit("Ed_Sin3Ampl"), "-3");
  Type(Edit("Ed_NoiseLevel"), "-80");
  Type(Edit("Ed_AmplModFreq"), "99");
  Find<QCheckBox>("Chk_NoiseOn")->setChecked(true);
  Find<QCheckBox>("Chk_Enable1")->setChecked(false);
  Find<QComboBox>("Cb_Waveform3")->setCurrentIndex(1);
  Find<QComboBox>("Combo_AmplModWaveform")->setCurrentIndex(2);
  Find<QComboBox>("Combo_FreqModWavefrm")->setCurrentIndex(2);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SndConfig.Sine[i].SinFreq, before.Sine[i].SinFreq);
    EXPECT_EQ(SndConfig.Sine[i].SinAmpl, before.Sine[i].SinAmpl);
    EXPECT_EQ(SndConfig.Sine[i].Enabled, before.Sine[i].Enabled);
    EXPECT_EQ(SndConfig.Sine[i].Wave, before.Sine[i].Wave);
    EXPECT_FALSE(SndConfig.Sine[i].ParamsChanged);
  }
  EXPECT_EQ(SndConfig.NoiseLevel, before.NoiseLevel);
  EXPECT_EQ(SndConfig.NoiseOn, before.NoiseOn);
  EXPECT_EQ(SndConfig.AmModFreq, before.AmModFreq);
  EXPECT_EQ(SndConfig.AmModWave, before.AmModWave);
  EXPECT_EQ(SndConfig.FmModWave, before.FmModWave);
  EXPECT_FALSE(g_NoiseParamsChanged);
  EXPECT_EQ(form->UpdateCount, 1);
}

TEST_F(GeneratorFormTest, RangeEditsClampColourAndRescaleTheSliders)
{
  const QColor red = ColorRefToQColor(TGeneratorForm::kRangeRed);
  const QColor yellow = ColorRefToQColor(TGeneratorForm::kRangeYellow);
  struct Case {
    const char* edit;
    const char* text;
    double min, max;  // FSliderMin, FSliderMax afterwards
    int colour;       // 0 window, 1 red, 2 yellow
  } cases[] = {
      {"Ed_FreqMax", "30000", 0, 5512.5, 1},  // half of 11,025 Hz
      {"Ed_FreqMax", "4000", 0, 4000, 0},
      {"Ed_FreqMin", "-5", 0, 4000, 1},
      {"Ed_FreqMin", "100", 100, 4000, 0},
      {"Ed_FreqMin", "4000", 4000, 4000, 2},  // not below the maximum
      {"Ed_FreqMin", "9999", 5512.5, 4000, 2},  // limited, and above the maximum
      {"Ed_FreqMin", "junk", 5512.5, 4000, 2},  // keeps the old value
      {"Ed_FreqMin", "1000", 1000, 4000, 0},
      {"Ed_FreqMax", "500", 1000, 500, 2},
      {"Ed_FreqMax", "-1", 1000, 0, 2},  // limited to 0: red, then yellow below the minimum
      {"Ed_FreqMax", "2000", 1000, 2000, 0},
  };
  for (const Case& c : cases) {
    Type(Edit(c.edit), c.text);
    EXPECT_DOUBLE_EQ(form->FSliderMin, c.min) << c.edit << " " << c.text;
    EXPECT_DOUBLE_EQ(form->FSliderMax, c.max) << c.edit << " " << c.text;
    const QColor want = c.colour == 1 ? red : c.colour == 2 ? yellow : WindowBase();
    EXPECT_EQ(Base(c.edit), want) << c.edit << " " << c.text;
  }
  // 1,000 .. 2,000 Hz: maximum 20,000; the oscillators keep their frequencies, the sliders move.
  ClearFlags();
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq")->maximum(), 20000);
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq")->value(), 0);        // 900 Hz below the range
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq2")->value(), 0);       // 1,000 Hz
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq3")->value(), 2000);    // 1,100 Hz
  Type(Edit("Ed_FreqMax"), "1200");
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq3")->value(), 6000);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(SndConfig.Sine[i].SinFreq, 900.0 + 100.0 * i);
    EXPECT_FALSE(SndConfig.Sine[i].ParamsChanged);
  }
}

TEST_F(GeneratorFormTest, ModulatorWaveformsAboveThreeAreClampedAndStoredBack)
{
  SndConfig.AmModWave = 7;
  SndConfig.FmModWave = -2;
  form->SettingsToControls();
  EXPECT_EQ(Find<QComboBox>("Combo_AmplModWaveform")->currentText(), "sawtooth");
  EXPECT_EQ(SndConfig.AmModWave, 3);
  EXPECT_EQ(Find<QComboBox>("Combo_FreqModWavefrm")->currentText(), "sine");
  EXPECT_EQ(SndConfig.FmModWave, 0);
  EXPECT_EQ(form->UpdateCount, 0);
}

TEST_F(GeneratorFormTest, OnOffPanelShowsAndTogglesTheGenerator)
{
  auto* pnl = Find<QLabel>("Pnl_OnOff");
  const QColor face = QApplication::palette(pnl).color(QPalette::Button);
  EXPECT_EQ(SndConfig.StartSignalGenerator, 0);
  EXPECT_EQ(pnl->text(), "Turn ON");
  EXPECT_EQ(pnl->palette().color(QPalette::Window), face);
  ClickLabel(pnl);
  EXPECT_EQ(SndConfig.StartSignalGenerator, 1);
  EXPECT_EQ(pnl->text(), "Turn Off");
  EXPECT_EQ(pnl->palette().color(QPalette::Window), QColor(0, 255, 0));
  ClickLabel(pnl);
  EXPECT_EQ(SndConfig.StartSignalGenerator, 0);
  EXPECT_EQ(pnl->text(), "Turn ON");
  EXPECT_EQ(pnl->palette().color(QPalette::Window), face);
  SndConfig.StartSignalGenerator = 1;
  form->Btn_StopClick();
  EXPECT_EQ(SndConfig.StartSignalGenerator, 0);
}

// Fake modem lines for the pseudo-terminal that stands in for the serial port.
struct FakeLines {
  static inline int state = 0;
  static int Ioctl(int fd, unsigned long request, void* arg)
  {
    if (request == TIOCMBIS) state |= *static_cast<int*>(arg);
    else if (request == TIOCMBIC) state &= ~*static_cast<int*>(arg);
    else if (request == TIOCSBRK) state |= 0x10000;
    else if (request == TIOCCBRK) state &= ~0x10000;
    else return ::ioctl(fd, request, arg);
    return 0;
  }
};

TEST_F(GeneratorFormTest, PttRaisesAndDropsTheConfiguredLine)
{
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(::grantpt(master), 0);
  ASSERT_EQ(::unlockpt(master), 0);
  setenv("VARTUMO_COM3", ::ptsname(master), 1);
  SerialLines_SetIoctlHook(FakeLines::Ioctl);
  MachineConfig.PttPortNumber = 3;
  const struct {
    int line;
    int bit;
  } cases[] = {{1, 0x10000}, {2, TIOCM_RTS}, {3, TIOCM_DTR}};
  auto* ptt = Find<QCheckBox>("Chk_PttOn");
  for (const auto& c : cases) {
    MachineConfig.PttLineNr = c.line;
    ASSERT_TRUE(ComPort_Open());
    FakeLines::state = 0;
    ptt->click();
    EXPECT_EQ(FakeLines::state, c.bit) << "line " << c.line;
    ptt->click();
    EXPECT_EQ(FakeLines::state, 0) << "line " << c.line;
  }
  ComPort_CloseIfOpen();
  SerialLines_SetIoctlHook(nullptr);
  unsetenv("VARTUMO_COM3");
  MachineConfig.PttPortNumber = 0;
  ::close(master);
}

TEST_F(GeneratorFormTest, PlacementStayOnTopAndRangeSurviveCloseAndRecreate)
{
  form->move(123, 77);
  form->resize(640, 300);
  form->PopupMenu1Popup();
  EXPECT_FALSE(form->Menu_StayOnTop->isChecked());
  form->Menu_StayOnTop->trigger();
  EXPECT_EQ(GetFormStyle(form.get()), FORM_STYLE_STAY_ON_TOP);
  Type(Edit("Ed_FreqMin"), "300");
  Type(Edit("Ed_FreqMax"), "3300");
  const QPoint pos = form->geometry().topLeft();
  form->close();
  form.reset();
  const std::string ini = vt_test::ReadWholeFile(dir.file("SETTINGS.INI"));
  EXPECT_NE(ini.find("[GeneratorForm]"), std::string::npos);
  EXPECT_EQ(ini.find("Width"), std::string::npos);  // placement without size

  form = std::make_unique<TGeneratorForm>();
  EXPECT_TRUE(form->isVisible());  // it was shown when closed
  EXPECT_EQ(form->geometry().topLeft(), pos);
  EXPECT_EQ(GetFormStyle(form.get()), FORM_STYLE_STAY_ON_TOP);
  form->PopupMenu1Popup();
  EXPECT_TRUE(form->Menu_StayOnTop->isChecked());
  EXPECT_EQ(Edit("Ed_FreqMin")->text(), "300");
  EXPECT_EQ(Edit("Ed_FreqMax")->text(), "3300");
  EXPECT_DOUBLE_EQ(form->FSliderMin, 300.0);
  EXPECT_DOUBLE_EQ(form->FSliderMax, 3300.0);
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq")->maximum(), 33000);

  form->Menu_StayOnTop->trigger();
  form->hide();
  form->close();
  form = std::make_unique<TGeneratorForm>();
  EXPECT_FALSE(form->isVisible());
  EXPECT_EQ(GetFormStyle(form.get()), FORM_STYLE_NORMAL);
}

TEST_F(GeneratorFormTest, WordRefreshesTheWindowOnlyWhenVisibleAndChanged)
{
  Generator_RegisterWords();
  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[1].freq=1500"), 0);
  EXPECT_EQ(Edit("Ed_Freq2")->text(), "1500");
  EXPECT_EQ(Find<QScrollBar>("ScrBar_freq2")->value(), 15000);
  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[2].level=-6"), 0);
  EXPECT_EQ(Edit("Ed_Sin3Ampl")->text(), "-6");

  Type(Edit("Ed_Freq2"), "1400");
  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[1].freq=1400"), 0);  // unchanged: no refresh
  Edit("Ed_Freq2")->blockSignals(true);
  Edit("Ed_Freq2")->setText("typed");
  Edit("Ed_Freq2")->blockSignals(false);
  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[1].freq=1400"), 0);
  EXPECT_EQ(Edit("Ed_Freq2")->text(), "typed");

  form->hide();
  ASSERT_EQ(CLI_ExecuteMacro(2, "generator[1].freq=1600"), 0);
  EXPECT_EQ(Edit("Ed_Freq2")->text(), "typed");
  EXPECT_EQ(SndConfig.Sine[1].SinFreq, 1600.0);
  form->show();
  EXPECT_EQ(Edit("Ed_Freq2")->text(), "1600");
  CLI_RegisterObjectWord("generator", nullptr);
}

TEST_F(GeneratorFormTest, HelpPanelAndMenuAskForTopic700)
{
  std::vector<uint32_t> asked;
  SetHelpContextHandler([&](uint32_t id) {
    asked.push_back(id);
    return true;
  });
  ClickLabel(Find<QLabel>("Pnl_Help"));
  form->Menu_Help->trigger();
  EXPECT_EQ(asked, (std::vector<uint32_t>{700, 700}));
}

}  // namespace
