// The configuration dialog offscreen: controls by name, a fake wave back end, a fake engine link
// and the dialog hooks. Checks settings, controls' texts and colours, and the messages.
#include <QApplication>
#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <cstring>
#include <gtest/gtest.h>
#include <memory>
#include <string>

#include "common/TestUtil.h"
#include "control/forms/ConfigDlg.h"
#include "engine/BigSampleBuffer.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/RedrawRequest.h"
#include "engine/SampleRates.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliSpectrum.h"
#include "tests/engine/FakeWaveBackend.h"

namespace {

// Four devices each way: 0 "alpha", 1 whose query fails, 2 without 44.1 kHz mono 16 bit,
// 3 the loop-back device.
class CListBackend : public CFakeWaveBackend {
public:
  int NumDevices(bool) override { return 4; }
  int GetCaps(bool, int devId, WAVEINCAPSA* caps) override
  {
    if (devId == 1 || devId > 3) return MMSYSERR_NODRIVER;
    std::memset(caps, 0, sizeof(*caps));
    std::strcpy(caps->szPname, devId == 0 ? "alpha" : devId == 2 ? "stereo only" : WAVE_LOOPBACK_NAME);
    caps->dwFormats = devId == 2 ? uint32_t{WAVE_FORMAT_4S16} : 0xFFFu;
    return 0;
  }
};

class CCountingLink : public CSoundThreadLink {
public:
  void RequestDeviceReopen() override { ++reopens; }
  int reopens = 0;
};

class ConfigDlgTest : public ::testing::Test {
protected:
  void SetUp() override
  {
    SetDefaultSettings();
    SettingsCopyText(SndConfig.SpectrumRefFileName, dir.file("spectrum.ref").c_str());
    g_LocalMinusUtcHours = 0;
    g_InputSampleRate = 11025.0;
    g_OutputSampleRate = 11025.0;
    g_BigBuffers[0].MixerCenterFreq = 1000.0;
    SetSoundThreadLink(&link);
    m_oldHelp = SetHelpContextHandler([this](uint32_t c) {
      helpAsked = static_cast<int>(c);
      return true;
    });
    dlg = std::make_unique<TConfigDlg>();
    dlg->show();
  }
  void TearDown() override
  {
    dlg.reset();
    SetSoundThreadLink(nullptr);
    SetHelpContextHandler(m_oldHelp);
    TDialogHooks::FileDialogHook = nullptr;
    TDialogHooks::DialogExecHook = nullptr;
  }

  template <typename T>
  T* Find(const char* name)
  {
    T* w = dlg->findChild<T*>(name);
    EXPECT_NE(w, nullptr) << name;
    return w;
  }
  QLineEdit* Edit(const char* name) { return Find<QLineEdit>(name); }
  void Apply() { Find<QPushButton>("Btn_Apply")->click(); }
  QString Messages() { return dlg->Memo_Messages->toPlainText(); }
  static bool IsRed(const QWidget* w) { return w->styleSheet().contains("#ff0000"); }
  // Another window gave the activation back.
  void Reactivate()
  {
    QEvent e(QEvent::WindowActivate);
    QApplication::sendEvent(dlg.get(), &e);
  }
  std::string SavedSettings(const char* name)
  {
    SaveSettingsToIni(dir.file(name), SETTINGS_PART_MACHINE | SETTINGS_PART_PROCESS |
                                          SETTINGS_PART_USERMENU);
    return vt_test::ReadWholeFile(dir.file(name));
  }

  vt_test::TempDir dir;
  CListBackend backend;
  CCountingLink link;
  std::unique_ptr<TConfigDlg> dlg;
  int helpAsked = -1;

private:
  HelpContextHandler m_oldHelp;
};

TEST_F(ConfigDlgTest, ConstructedWithItsCaptionPagesAndButtons)
{
  EXPECT_EQ(dlg->objectName(), "ConfigDlg");
  EXPECT_EQ(dlg->windowTitle(), "Vartumo   Configuration and Display Control");
  EXPECT_TRUE(dlg->windowFlags() & Qt::WindowStaysOnTopHint);
  const char* pages[] = {"TS_AudioSettings", "TS_AudioServer", "TS_Interface", "TS_Memory",
                         "TS_FFT_Settings", "TS_SpectrumDisplay", "Ts_ExtDisplay", "TS_WaveFile",
                         "Ts_Markers", "TS_System", "TS_FreqRespCalib"};
  auto* tabs = Find<QTabWidget>("PC_Config");
  ASSERT_EQ(tabs->count(), 11);
  for (int i = 0; i < 11; ++i) EXPECT_EQ(tabs->widget(i)->objectName(), pages[i]);
  EXPECT_EQ(tabs->tabText(6), "Display Colors ");
  EXPECT_EQ(Find<QPushButton>("Btn_Apply")->text(), "Apply !");
  EXPECT_EQ(dlg->UpdateCount, 0);
  EXPECT_FALSE(dlg->DeviceChanged);
}

// The dialog fits a 1,024 x 768 screen with its frame: at its minimum size every page shows
// all of its controls, the tab bar scrolls to the tab of the current page, and "Apply !",
// "Close" and "Help" lie inside the window.
TEST_F(ConfigDlgTest, FitsAScreenOf1024By768)
{
  // Shown, it lies on the screen with its frame.
  const QRect screen = dlg->screen()->availableGeometry();
  const QRect shown(dlg->pos(), dlg->size().grownBy(WindowFrameMargins()));
  EXPECT_TRUE(screen.contains(shown)) << shown.x() << "," << shown.y() << " " << shown.width()
                                      << "x" << shown.height();

  const QMargins frame(4, 28, 4, 4);  // a common title bar and border
  const QSize least = dlg->minimumSizeHint().expandedTo(dlg->minimumSize());
  EXPECT_LE(least.width() + frame.left() + frame.right(), 1024) << least.width();
  EXPECT_LE(least.height() + frame.top() + frame.bottom(), 768) << least.height();
  dlg->resize(least);
  auto* tabs = Find<QTabWidget>("PC_Config");
  QTabBar* bar = tabs->tabBar();
  for (int i = 0; i < tabs->count(); ++i) {
    SCOPED_TRACE(tabs->tabText(i).toStdString());
    tabs->setCurrentIndex(i);
    dlg->layout()->activate();
    QApplication::processEvents();
    EXPECT_EQ(dlg->size(), least);
    QWidget* page = tabs->widget(i);
    const QSize pageNeeds = page->minimumSizeHint();
    EXPECT_GE(page->width(), pageNeeds.width());
    EXPECT_GE(page->height(), pageNeeds.height());
    // The current tab can be seen and clicked.
    const QRect tab = bar->tabRect(i);
    EXPECT_TRUE(bar->rect().contains(tab)) << tab.x() << " " << tab.width() << " in "
                                          << bar->width();
    EXPECT_TRUE(dlg->rect().contains(QRect(bar->mapTo(dlg.get(), QPoint()), bar->size())));
    for (const char* name : {"Btn_Apply", "Btn_Close", "Btn_Help", "Memo_Messages"}) {
      QWidget* w = Find<QWidget>(name);
      const QRect r(w->mapTo(dlg.get(), QPoint()), w->size());
      EXPECT_TRUE(dlg->rect().contains(r)) << name << " " << r.x() << "," << r.y();
      EXPECT_TRUE(w->isVisible()) << name;
    }
  }
}

TEST_F(ConfigDlgTest, UntouchedApplyChangesNoSetting)
{
  // Values whose shown text is rounded or whose unit division once shortened them.
  SndConfig.AmplMin = -100.25;
  SndConfig.WaterScrollTime = 7500;
  SndConfig.TimeGridSeconds = 301;
  SndConfig.SampleRate = 96000;
  MachineConfig.CalibADC[2] = 11013.98601;
  SndConfig.RateDivisor = 5;
  SndConfig.FreqOffset = 0.004;
  SettingsCopyText(SndConfig.FreqMarker[1].GetFunc, "peak(100,200)");
  dlg->SettingsToControls();
  const std::string before = SavedSettings("before.ini");
  const double centre = g_BigBuffers[0].MixerCenterFreq;
  Apply();
  EXPECT_EQ(SavedSettings("after.ini"), before);
  EXPECT_EQ(g_BigBuffers[0].MixerCenterFreq, centre);
  EXPECT_EQ(Messages(), "");
  EXPECT_EQ(g_RedrawRequestMask & 2, 2);  // the main loop re-applies everything
  EXPECT_EQ(link.reopens, 0);
}

TEST_F(ConfigDlgTest, CorrectedValuesAreMarkedRedAndReported)
{
  struct Case {
    const char* edit;
    const char* text;
    const char* control;  // the control that turns red
    std::function<double()> setting;
    double expected;
    const char* message;  // a line the memo must hold ("" none besides the final warning)
  };
  const Case cases[] = {
      {"Ed_AmplMin", "-200", "Ed_AmplMin", [] { return SndConfig.AmplMin.load(); }, -150,
       "Error: max. Amplitude Range -150 to +150 dB"},
      {"Ed_AmplMax", "200", "Ed_AmplMax", [] { return SndConfig.AmplMax.load(); }, 150,
       "Error: max. Amplitude Range -150 to +150 dB"},
      {"Ed_BufferedSpectrumLines", "10", "Ed_BufferedSpectrumLines",
       [] { return double(MachineConfig.BufferedSpcLines); }, 20, ""},
      {"Ed_BufferedSpectrumLines", "5000", "Ed_BufferedSpectrumLines",
       [] { return double(MachineConfig.BufferedSpcLines); }, 2000, ""},
      {"Ed_PlayWaveSpeedPercent", "0", "Ed_PlayWaveSpeedPercent",
       [] { return double(SndConfig.SpeedPercent); }, 1, ""},
      {"Combo_InputFftSize", "1000", "Combo_InputFftSize",
       [] { return double(SndConfig.NrOfSamples); }, 512,
       "Warning: FFT size must be a power of two from 256 to 65536 (32768 for a complex FFT) !"},
      {"Combo_InputFftSize", "131072", "Combo_InputFftSize",
       [] { return double(SndConfig.NrOfSamples); }, 65536, ""},
      {"Combo_FftRateDivisor", "0", "Combo_FftRateDivisor",
       [] { return double(SndConfig.RateDivisor); }, 1, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.edit) + "=" + c.text);
    SetDefaultSettings();
    dlg->FormActivate();
    if (auto* combo = dlg->findChild<QComboBox*>(c.edit))
      combo->setEditText(c.text);
    else
      Edit(c.edit)->setText(c.text);
    Apply();
    EXPECT_DOUBLE_EQ(c.setting(), c.expected);
    EXPECT_TRUE(IsRed(dlg->findChild<QWidget*>(c.control)));
    if (*c.message) {
      EXPECT_TRUE(Messages().contains(c.message)) << Messages().toStdString();
    }
    EXPECT_TRUE(Messages().endsWith("Warning: Some parameters were corrected !"));
    dlg->FormActivate();  // the next activation gives the edits their normal colour again
    if (std::string(c.control).rfind("Ed_", 0) == 0) {
      EXPECT_FALSE(IsRed(dlg->findChild<QWidget*>(c.control)));
    }
  }

  // The scroll interval: 2 ms becomes 5 ms.
  Edit("Ed_WaterfallScrollInterval")->setText("2");
  Find<QRadioButton>("Rbtn_WaterScroll_ms")->setChecked(true);
  Apply();
  EXPECT_EQ(SndConfig.WaterScrollTime, 5);
  EXPECT_TRUE(IsRed(Edit("Ed_WaterfallScrollInterval")));

  // A complex FFT is limited to 32,768.
  Find<QRadioButton>("RBtn_ComplexFFT")->setChecked(true);
  Find<QComboBox>("Combo_InputFftSize")->setEditText("65536");
  Apply();
  EXPECT_EQ(SndConfig.NrOfSamples, 32768);
  EXPECT_EQ(SndConfig.ComplexFFT, 1);

  // An empty range falls back to -90 .. 10; -150 .. 150 passes without a word.
  Edit("Ed_AmplMin")->setText("50");
  Edit("Ed_AmplMax")->setText("20");
  Apply();
  EXPECT_EQ(SndConfig.AmplMin, -90);
  EXPECT_EQ(SndConfig.AmplMax, 10);
  EXPECT_TRUE(Messages().contains("Error: max. Amplitude Range"));
  Edit("Ed_AmplMin")->setText("-150");
  Edit("Ed_AmplMax")->setText("150");
  Apply();
  EXPECT_EQ(SndConfig.AmplMin, -150);
  EXPECT_EQ(SndConfig.AmplMax, 150);
  EXPECT_EQ(Messages(), "");
}

TEST_F(ConfigDlgTest, ABadStrictFieldAppliesNothing)
{
  const char* fields[] = {"Combo_FftRateDivisor", "Combo_InputFftSize", "Ed_WaterGridInterval",
                          "Ed_BufferedSpectrumLines", "Ed_WaterfallScrollInterval"};
  for (const char* field : fields) {
    SCOPED_TRACE(field);
    dlg->FormActivate();
    const std::string before = SavedSettings("before.ini");
    Edit("Ed_AmplMin")->setText("-42");          // an earlier step's edit
    Find<QListWidget>("LBox_PTTLine")->setCurrentRow(3);
    Edit("Ed_SaveWaveMaxSize")->setText("99");  // a later step's edit
    if (auto* combo = dlg->findChild<QComboBox*>(field))
      combo->setEditText("12x");
    else
      Edit(field)->setText("12x");
    Apply();
    EXPECT_EQ(SavedSettings("after.ini"), before);
    EXPECT_TRUE(IsRed(dlg->findChild<QWidget*>(field)));
    EXPECT_TRUE(Messages().contains("\"12x\" is no valid integer")) << Messages().toStdString();
    EXPECT_TRUE(Messages().contains("Nothing was applied."));
  }
  // A time grid that overflows in seconds is refused the same way.
  dlg->FormActivate();
  Edit("Ed_WaterGridInterval")->setText("40000000");
  Find<QRadioButton>("Rbtn_WaterTGrid_min")->setChecked(true);
  Apply();
  EXPECT_EQ(SndConfig.TimeGridSeconds, 30);
  EXPECT_TRUE(Messages().contains("time grid interval"));
}

TEST_F(ConfigDlgTest, SettingsShownAsAndReadBackAs)
{
  struct Case {
    std::function<void()> set;
    std::function<bool()> shown;
    std::function<bool()> readBack;  // after an untouched Apply
  };
  auto text = [this](const char* name) { return Edit(name)->text(); };
  auto checked = [this](const char* name) { return Find<QAbstractButton>(name)->isChecked(); };
  const Case cases[] = {
      {[] { SndConfig.TimeGridSeconds = 0; },
       [&] { return text("Ed_WaterGridInterval") == "0" && checked("Rbtn_WaterTGrid_min"); },
       [] { return SndConfig.TimeGridSeconds == 0; }},
      {[] { SndConfig.TimeGridSeconds = 45; },
       [&] { return text("Ed_WaterGridInterval") == "45" && checked("Rbtn_WaterTGrid_sec"); },
       [] { return SndConfig.TimeGridSeconds == 45; }},
      {[] { SndConfig.TimeGridSeconds = 600; },
       [&] { return text("Ed_WaterGridInterval") == "10" && checked("Rbtn_WaterTGrid_min"); },
       [] { return SndConfig.TimeGridSeconds == 600; }},
      {[] { SndConfig.WaterScrollTime = 90000; },
       [&] { return text("Ed_WaterfallScrollInterval") == "90" && checked("Rbtn_WaterScroll_sec"); },
       [] { return SndConfig.WaterScrollTime == 90000; }},
      {[] { SndConfig.WaterScrollTime = 120000; },
       [&] { return text("Ed_WaterfallScrollInterval") == "2" && checked("Rbtn_WaterScroll_min"); },
       [] { return SndConfig.WaterScrollTime == 120000; }},
      {[] { SndConfig.WaterScrollTime = 301000; },
       [&] { return text("Ed_WaterfallScrollInterval") == "301" && checked("Rbtn_WaterScroll_sec"); },
       [] { return SndConfig.WaterScrollTime == 301000; }},
      {[] { SndConfig.WaterScrollTime = 4500; },
       [&] { return text("Ed_WaterfallScrollInterval") == "4500" && checked("Rbtn_WaterScroll_ms"); },
       [] { return SndConfig.WaterScrollTime == 4500; }},
      {[] { SndConfig.WaterScrollTime = 7500; },
       [&] { return text("Ed_WaterfallScrollInterval") == "7500" && checked("Rbtn_WaterScroll_ms"); },
       [] { return SndConfig.WaterScrollTime == 7500; }},
      {[] { SndConfig.RateDivisor = 5; },
       [&] {
         auto* c = Find<QComboBox>("Combo_FftRateDivisor");
         return c->currentText() == "5" && c->itemText(c->count() - 1) == "5";
       },
       [] { return SndConfig.RateDivisor == 5; }},
      {[] { SndConfig.SampleRate = 22050; },
       [&] { return Find<QComboBox>("Combo_InputSampleRate")->currentIndex() == 3; },
       [] { return SndConfig.SampleRate == 22050; }},
      {[] { SndConfig.WaterScrollEnabled = 0; }, [&] { return checked("Chk_NoWaterScroll"); },
       [] { return SndConfig.WaterScrollEnabled == 0; }},
      {[] { SndConfig.WaterLineWidth = 2; }, [&] { return checked("Chk_DoubleWidthLines"); },
       [] { return SndConfig.WaterLineWidth == 2; }},
      {[] { SndConfig.WaveFileFormat = 1; }, [&] { return checked("Chk_SaveWaveAsRawFile"); },
       [] { return SndConfig.WaveFileFormat == 1; }},
      {[] { SndConfig.ComplexFFT = 1; }, [&] { return checked("RBtn_ComplexFFT"); },
       [] { return SndConfig.ComplexFFT == 1; }},
      {[] { SndConfig.FreqGridStyle = 3; }, [&] { return checked("Chk_FreqGridDotted"); },
       [] { return SndConfig.FreqGridStyle == 1; }},
      {[] { SndConfig.SpectrumStyleNPos = 3; },
       [&] { return Find<QComboBox>("Combo_SpectrumStyleAndPosition")->currentIndex() == 3; },
       [] { return SndConfig.SpectrumStyleNPos == 3; }},
      {[] { MachineConfig.KeyerLineNr = 1; },
       [&] { return Find<QListWidget>("LBox_KeyerLine")->currentRow() == 1; },
       [] { return MachineConfig.KeyerLineNr == 1; }},
      {[] { g_BigBuffers[0].MixerCenterFreq = 1234.5; SndConfig.FreqOffset = 10000; },
       [&] { return text("Ed_FftCenterFreq") == "11234.5"; },
       [] { return g_BigBuffers[0].MixerCenterFreq == 1234.5; }},
      {[] { SettingsCopyText(SndConfig.FreqMarker[2].Name, "M3"); },
       [&] { return Find<QTableWidget>("Sg_Markers")->item(3, 1)->text() == "M3"; },
       [] { return std::string(SndConfig.FreqMarker[2].Name) == "M3"; }},
  };
  int i = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(i++);
    SetDefaultSettings();
    c.set();
    dlg->FormActivate();
    EXPECT_TRUE(c.shown());
    Apply();
    EXPECT_TRUE(c.readBack());
    EXPECT_FALSE(Messages().contains("corrected")) << Messages().toStdString();
  }

  // A divisor the input cannot do shows the red combo and the warning.
  SetDefaultSettings();
  SndConfig.SampleRateDivisor = 16;
  dlg->Memo_Messages->clear();
  dlg->FormActivate();
  EXPECT_TRUE(IsRed(Find<QComboBox>("Combo_InputSampleRateDivisor")));
  EXPECT_TRUE(Messages().contains("Input Sample Rate Divisor not supported !"));

  // A typed centre frequency below the offset leaves the ring's centre.
  SetDefaultSettings();
  SndConfig.FreqOffset = 5000;
  g_BigBuffers[0].MixerCenterFreq = 700;
  dlg->FormActivate();
  Edit("Ed_FftCenterFreq")->setText("4000");
  Apply();
  EXPECT_EQ(g_BigBuffers[0].MixerCenterFreq, 700);
  Edit("Ed_FftCenterFreq")->setText("6500");
  Apply();
  EXPECT_EQ(g_BigBuffers[0].MixerCenterFreq, 1500);
}

TEST_F(ConfigDlgTest, RateLabelsForRealAndComplexFft)
{
  SndConfig.SampleRate = 11025;
  SndConfig.SampleRateDivisor = 1;
  SndConfig.RateDivisor = 8;
  SndConfig.NrOfSamples = 1024;
  SndConfig.FreqOffset = 0;
  g_BigBuffers[0].MixerCenterFreq = 1000;
  dlg->FormActivate();
  EXPECT_EQ(Find<QLabel>("Lab_FftInputInfo")->text(), "input rate w/o decimation = 11025 Hz");
  EXPECT_EQ(Find<QLabel>("Lab_FftResolution")->text(), "01.3458 Hz");
  EXPECT_EQ(Find<QLabel>("Lab_FftBand")->text(), "0000.00 Hz .. 0689.06 Hz");
  SndConfig.ComplexFFT = 1;
  dlg->FormActivate();
  EXPECT_EQ(Find<QLabel>("Lab_FftBand")->text(), "0655.47 Hz .. 1344.53 Hz");
  // Edits of the rate controls refresh the labels at once.
  Find<QComboBox>("Combo_InputFftSize")->setEditText("2048");
  EXPECT_EQ(Find<QLabel>("Lab_FftResolution")->text(), "00.6729 Hz");
  Find<QComboBox>("Combo_InputSampleRateDivisor")->setCurrentIndex(1);  // 2
  EXPECT_EQ(Find<QLabel>("Lab_FftInputInfo")->text(), "input rate w/o decimation = 5512.5 Hz");
}

TEST_F(ConfigDlgTest, DeviceListsAndWhatTheirItemsReadBackAs)
{
  MachineConfig.AudioInputDevID = 3;
  MachineConfig.AudioOutputDevID = -1;
  dlg->FormActivate();
  auto* in = Find<QComboBox>("Combo_SoundInputDevice");
  auto* out = Find<QComboBox>("Combo_SoundOutputDevice");
  ASSERT_EQ(in->count(), 4);
  EXPECT_EQ(in->itemText(0), "0 alpha");
  EXPECT_EQ(in->itemText(1), "#1: ????");
  EXPECT_EQ(in->itemText(2), QString("3 ") + WAVE_LOOPBACK_NAME);
  EXPECT_EQ(in->itemText(3), "-1 (use default WAVE input)");
  EXPECT_EQ(in->currentIndex(), 2);
  EXPECT_EQ(out->itemText(3), "-1 (use default WAVE output)");
  EXPECT_EQ(out->currentIndex(), 3);
  EXPECT_EQ(Find<QLabel>("Lab_NrInputDevices")->text(), "2 devices found");
  EXPECT_FALSE(dlg->DeviceChanged);  // filling is no user change

  struct Case { int item; int expected; };
  const Case cases[] = {{0, 0}, {1, -1}, {2, 3}, {3, -1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.item);
    in->setCurrentIndex(c.item);
    out->setCurrentIndex(c.item);
    EXPECT_TRUE(dlg->DeviceChanged);  // every case picks another item than the one shown
    const int before = link.reopens;
    Apply();
    EXPECT_EQ(MachineConfig.AudioInputDevID, c.expected);
    EXPECT_EQ(MachineConfig.AudioOutputDevID, c.expected);
    EXPECT_EQ(link.reopens, before + 1);
    EXPECT_FALSE(dlg->DeviceChanged);
  }
  // A device that does not offer the format selects nothing and applies the default.
  MachineConfig.AudioInputDevID = 2;
  dlg->FormActivate();
  EXPECT_EQ(in->currentIndex(), -1);
  Apply();
  EXPECT_EQ(MachineConfig.AudioInputDevID, -1);
}

TEST_F(ConfigDlgTest, AudioServerNamesAreChecked)
{
  dlg->PC_Config->setCurrentWidget(dlg->TS_AudioServer);
  Edit("Ed_RemoteAudioServerName")->setText("AudioServer1");
  Edit("Ed_OwnAudioServerName")->setText("AudioServer1");
  Find<QCheckBox>("Chk_InputFromServer")->click();
  EXPECT_TRUE(dlg->DeviceChanged);
  EXPECT_FALSE(dlg->ServerNamesOk);
  EXPECT_TRUE(IsRed(Edit("Ed_RemoteAudioServerName")));
  EXPECT_TRUE(IsRed(Edit("Ed_OwnAudioServerName")));
  EXPECT_EQ(dlg->Lab_AudioInDisabledBecause->text(), "replaced by AUDIO SERVER");
  Apply();
  EXPECT_TRUE(Messages().contains("Error in Audio Server Names !"));
  EXPECT_EQ(SndConfig.GetAudioFromServer, 1);  // stored all the same
  EXPECT_STREQ(SndConfig.RemoteAudioServerName, "AudioServer1");
  EXPECT_EQ(link.reopens, 1);
  Edit("Ed_OwnAudioServerName")->setText("Mine");
  EXPECT_TRUE(dlg->ServerNamesOk);
  EXPECT_FALSE(IsRed(Edit("Ed_RemoteAudioServerName")));
  // Clicking the "disabled because" label leads to the server page.
  dlg->PC_Config->setCurrentIndex(0);
  dlg->SwitchToServer();
  EXPECT_EQ(dlg->PC_Config->currentWidget(), dlg->TS_AudioServer);
}

TEST_F(ConfigDlgTest, CalibrationButtonsAndApplysReset)
{
  SndConfig.SampleRate = 11025;
  SndConfig.FreqOffset = 0;
  g_InputSampleRate = 11025.0;
  g_OutputSampleRate = 11030.0;
  dlg->FormActivate();
  auto* grid = Find<QTableWidget>("SG_SampleRateCalib");
  ASSERT_EQ(grid->rowCount(), 7);
  EXPECT_EQ(grid->item(3, 0)->text(), "11025");
  EXPECT_EQ(grid->item(3, 1)->text(), "11025.00");
  EXPECT_EQ(grid->currentRow(), 3);

  Edit("Ed_CorrectFreq")->setText("1000");
  Edit("Ed_DisplayedFreq")->setText("1200");  // ratio below 0.9: nothing
  Find<QPushButton>("Btn_CalibrateADC")->click();
  EXPECT_EQ(grid->item(3, 1)->text(), "11025.00");
  Edit("Ed_DisplayedFreq")->setText("1001");
  Find<QPushButton>("Btn_CalibrateADC")->click();
  EXPECT_EQ(grid->item(3, 1)->text(), "11013.986");
  EXPECT_EQ(grid->item(3, 2)->text(), "11025.00");  // DAC untouched
  EXPECT_DOUBLE_EQ(MachineConfig.CalibADC[2], 11025.0);  // nothing stored before Apply
  Find<QPushButton>("Btn_CalibrateDAC")->click();
  EXPECT_EQ(grid->item(3, 2)->text(), "11018.981");  // 11,030 * 1000 / 1001
  Apply();
  EXPECT_DOUBLE_EQ(MachineConfig.CalibADC[2], 11013.986);
  EXPECT_DOUBLE_EQ(MachineConfig.CalibDAC[2], 11018.981);
  EXPECT_FALSE(IsRed(grid));
  EXPECT_EQ(link.reopens, 1);  // the devices open again with the calibrated rates

  // More than a tenth of the nominal rate away: reset at Apply, the grid turns red.
  grid->item(3, 1)->setText("12200");
  grid->item(3, 2)->setText("12100");
  Apply();
  EXPECT_DOUBLE_EQ(MachineConfig.CalibADC[2], 11025.0);
  EXPECT_DOUBLE_EQ(MachineConfig.CalibDAC[2], 12100.0);
  EXPECT_TRUE(IsRed(grid));
  EXPECT_TRUE(Messages().endsWith("Warning: Some parameters were corrected !"));
  grid->item(1, 1)->setText("junk");  // no number: the old value stays
  Apply();
  EXPECT_DOUBLE_EQ(MachineConfig.CalibADC[0], 5512.0);
}

TEST_F(ConfigDlgTest, TimeZonePreviewIsUndoneHoweverTheDialogCloses)
{
  MachineConfig.LocalMinusUTC = 2;
  g_LocalMinusUtcHours = 2;
  const std::function<void()> ways[] = {
      [this] { Find<QPushButton>("Btn_Close")->click(); },
      [this] { dlg->close(); },  // the window's close button
      [this] {
        QKeyEvent esc(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QApplication::sendEvent(dlg.get(), &esc);
      },
  };
  for (size_t i = 0; i < std::size(ways); ++i) {
    SCOPED_TRACE(i);
    dlg->show();
    ASSERT_TRUE(dlg->isVisible());
    dlg->PC_Config->setCurrentWidget(dlg->TS_System);
    Edit("Ed_LocalMinusUTC_hours")->setText("-5");
    EXPECT_EQ(g_LocalMinusUtcHours, -5);  // the live preview
    ways[i]();
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_EQ(g_LocalMinusUtcHours, 2);
    EXPECT_EQ(MachineConfig.LocalMinusUTC, 2);
  }
  // Applied, it stays.
  dlg->show();
  Edit("Ed_LocalMinusUTC_hours")->setText("7");
  Apply();
  dlg->close();
  EXPECT_EQ(MachineConfig.LocalMinusUTC, 7);
  EXPECT_EQ(g_LocalMinusUtcHours, 7);
}

TEST_F(ConfigDlgTest, UtcClockRunsOnlyOnTheSystemPage)
{
  auto* clock = Find<QLabel>("Lab_UTC_Time");
  dlg->PC_Config->setCurrentWidget(dlg->TS_FFT_Settings);
  dlg->Timer1Timer();
  EXPECT_EQ(clock->text(), "");
  dlg->PC_Config->setCurrentWidget(dlg->TS_System);
  dlg->Timer1Timer();
  EXPECT_TRUE(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d$").match(clock->text()).hasMatch())
      << clock->text().toStdString();
}

TEST_F(ConfigDlgTest, ColourPanelsPickCancelAndApply)
{
  SndConfig.SpectrumBgColor = 0x000000;
  dlg->FormActivate();
  auto* panel = Find<TClickLabel>("Pnl_SpectrumBackgndColor");
  EXPECT_EQ(TConfigDlg::PanelColor(panel), 0u);
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(255, 255, 255));

  // Cancel changes nothing.
  TDialogHooks::DialogExecHook = [](QDialog* d) {
    auto* cd = qobject_cast<QColorDialog*>(d);
    EXPECT_NE(cd, nullptr);
    if (cd) cd->setCurrentColor(QColor(200, 200, 200));
    return int(QDialog::Rejected);
  };
  dlg->PickPanelColor(panel);
  EXPECT_EQ(TConfigDlg::PanelColor(panel), 0u);

  // Light grey: black text. The activation that closing the colour dialog brings does not
  // refill the controls (the pick stays).
  TDialogHooks::DialogExecHook = [this](QDialog* d) {
    EXPECT_EQ(static_cast<QColorDialog*>(d)->currentColor(), QColor(0, 0, 0));
    static_cast<QColorDialog*>(d)->setCurrentColor(QColor(0xC0, 0xC0, 0xC0));
    Reactivate();
    return int(QDialog::Accepted);
  };
  dlg->PickPanelColor(panel);
  EXPECT_EQ(TConfigDlg::PanelColor(panel), 0xC0C0C0u);
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(0, 0, 0));
  EXPECT_EQ(SndConfig.SpectrumBgColor, 0);  // nothing before Apply

  // Coming back from another window without Apply shows the stored colour again.
  Reactivate();
  EXPECT_EQ(TConfigDlg::PanelColor(panel), 0u);

  // Dark blue 0x800000 (blue in the third byte): white text; Apply stores it.
  TDialogHooks::DialogExecHook = [](QDialog* d) {
    static_cast<QColorDialog*>(d)->setCurrentColor(QColor(0, 0, 0x80));
    return int(QDialog::Accepted);
  };
  auto* ref = Find<TClickLabel>("Pnl_SpectrumRef");
  emit panel->clicked();
  emit ref->clicked();
  EXPECT_EQ(TConfigDlg::PanelColor(panel), 0x800000u);
  EXPECT_EQ(panel->palette().color(QPalette::WindowText), QColor(255, 255, 255));
  Apply();
  EXPECT_EQ(SndConfig.SpectrumBgColor, 0x800000);
  EXPECT_EQ(SndConfig.SpectrumRefColor, 0x800000);
}

TEST_F(ConfigDlgTest, ReferenceCopyLoadSaveAndFailures)
{
  CLI_InitSpectrumBuffer(&g_LatestSpectrum);
  g_LatestSpectrum.bin_width_hz = 2.5;
  g_LatestSpectrum.nr_of_bins = 3;
  g_LatestSpectrum.bins[1] = 1234;
  CLI_InitSpectrumBuffer(&g_ReferenceSpectrum);
  Find<QPushButton>("Btn_DefineRef")->click();
  EXPECT_EQ(std::memcmp(&g_ReferenceSpectrum, &g_LatestSpectrum, sizeof g_LatestSpectrum), 0);

  QString answer;
  QString asked;
  TDialogHooks::FileDialogHook = [&](bool save, const QString& title, const QString& filter,
                                     QString& name) {
    asked = title + (save ? " save " : " open ") + filter;
    if (answer.isEmpty()) return false;
    name = answer;
    return true;
  };
  // Save.
  const std::string file = dir.file("my.ref");
  answer = QString::fromStdString(file);
  Find<QPushButton>("Btn_SaveSpectrumRef")->click();
  EXPECT_EQ(asked, "Save Reference Spectrum save Reference Files (*.ref *.REF)");
  EXPECT_STREQ(SndConfig.SpectrumRefFileName, file.c_str());
  EXPECT_EQ(Edit("Ed_SpecRefFilename")->text(), answer);
  ASSERT_FALSE(vt_test::ReadWholeFile(file).empty());

  // Load it back over a cleared record.
  CLI_InitSpectrumBuffer(&g_ReferenceSpectrum);
  SndConfig.SpectrumRefVisible = 0;
  Find<QCheckBox>("Chk_RefVisible")->setChecked(false);
  Find<QPushButton>("Btn_LoadSpectrumRef")->click();
  EXPECT_EQ(asked, "Load Reference Spectrum open Reference Files (*.ref *.REF)");
  EXPECT_EQ(g_ReferenceSpectrum.nr_of_bins, 3);
  EXPECT_EQ(g_ReferenceSpectrum.bins[1], 1234);
  EXPECT_EQ(g_ReferenceSpectrum.bin_width_hz, 2.5);
  EXPECT_EQ(SndConfig.SpectrumRefVisible, 1);
  EXPECT_TRUE(Find<QCheckBox>("Chk_RefVisible")->isChecked());

  // A file that cannot be read: the name is taken, the visible flag stays.
  SndConfig.SpectrumRefVisible = 0;
  Find<QCheckBox>("Chk_RefVisible")->setChecked(false);
  answer = QString::fromStdString(dir.file("missing.ref"));
  Find<QPushButton>("Btn_LoadSpectrumRef")->click();
  EXPECT_EQ(SndConfig.SpectrumRefVisible, 0);
  EXPECT_FALSE(Find<QCheckBox>("Chk_RefVisible")->isChecked());
  EXPECT_STREQ(SndConfig.SpectrumRefFileName, dir.file("missing.ref").c_str());
  EXPECT_TRUE(Messages().contains("could not read")) << Messages().toStdString();

  // Cancel changes nothing.
  answer.clear();
  dlg->Memo_Messages->clear();
  Find<QPushButton>("Btn_LoadSpectrumRef")->click();
  EXPECT_STREQ(SndConfig.SpectrumRefFileName, dir.file("missing.ref").c_str());
  EXPECT_EQ(Messages(), "");

  // A name over 255 characters is refused, from the dialog and from the edit.
  answer = QString::fromStdString(dir.file(std::string(300, 'n') + ".ref"));
  Find<QPushButton>("Btn_SaveSpectrumRef")->click();
  EXPECT_STREQ(SndConfig.SpectrumRefFileName, dir.file("missing.ref").c_str());
  EXPECT_TRUE(Messages().contains("longer than 255 characters"));
  Edit("Ed_SpecRefFilename")->setText(answer);
  Apply();
  EXPECT_STREQ(SndConfig.SpectrumRefFileName, dir.file("missing.ref").c_str());
  EXPECT_TRUE(IsRed(Edit("Ed_SpecRefFilename")));
  EXPECT_TRUE(Messages().contains("Nothing was applied."));
}

TEST_F(ConfigDlgTest, HelpTopicsByPage)
{
  Find<QPushButton>("Btn_Help")->click();
  EXPECT_EQ(helpAsked, 200);
  struct Case { QWidget* page; uint32_t topic; };
  const Case cases[] = {{dlg->TS_AudioSettings, 220}, {dlg->TS_FFT_Settings, 230},
                        {dlg->TS_SpectrumDisplay, 240}, {dlg->TS_Interface, 210},
                        {dlg->Ts_Markers, 200}};
  for (const Case& c : cases) {
    dlg->PC_Config->setCurrentWidget(c.page);
    EXPECT_EQ(dlg->CurrentHelpContext(), c.topic) << c.page->objectName().toStdString();
  }
}

}  // namespace
