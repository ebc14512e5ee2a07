#include "control/forms/CircuitForm.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <memory>

#include "control/FilterEditChannel.h"
#include "control/forms/FilterControlForm.h"
#include "control/forms/GeneratorForm.h"
#include "control/forms/StrEditU.h"
#include "engine/DebugU1.h"
#include "engine/FreqMixer.h"
#include "engine/ProgramInstance.h"
#include "engine/RedrawRequest.h"
#include "engine/SampleRates.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "engine/MiscUtils.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

TCircuitForm* CircuitForm = nullptr;
CircuitUpcalls TCircuitForm::Upcalls;

namespace {

const char* const kSection = "CircuitForm";
constexpr int kDesignLeft = 200, kDesignTop = 120;

TClickLabel* Block(const char* name, const QString& caption, int minWidth = 70)
{
  auto* w = new TClickLabel(caption);
  w->setObjectName(name);
  w->setAlignment(Qt::AlignCenter);
  w->setFrameStyle(QFrame::Panel | QFrame::Raised);
  w->setAutoFillBackground(true);
  // A minimum size replaces the label's own, so it must hold the whole caption.
  const int textWidth = w->fontMetrics().horizontalAdvance(caption) + 2 * w->frameWidth() + 8;
  w->setMinimumSize(std::max(minWidth, textWidth), 26);
  return w;
}

void SetBackground(QWidget* w, uint32_t colour)
{
  QPalette pal = w->palette();
  pal.setColor(QPalette::Window, ColorRefToQColor(colour));
  pal.setColor(QPalette::Base, ColorRefToQColor(colour));
  w->setPalette(pal);
}

MixerSettings* ChannelMixer(int ch) { return ch == 1 ? &SndConfig.SecondMixer : nullptr; }

bool MixerEnabledSetting(int ch)
{
  return ch == 1 ? SndConfig.SecondMixer.FreqMixerEnabled.load() : SndConfig.FreqMixerEnabled.load();
}

}  // namespace

TCircuitForm::TCircuitForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("CircuitForm");
  setWindowTitle("Vartumo  Components");
  std::fill(std::begin(m_drawn), std::end(m_drawn), -1);

  Pnl_SoundIn = Block("Pnl_SoundIn", "Sound In");
  Pnl_SoundOut = Block("Pnl_SoundOut", "Sound Out");
  Pnl_InputMon = Block("Pnl_InputMon", "Input Monitor");
  Pnl_OutputMon = Block("Pnl_OutputMon", "Output Monitor");
  Pnl_Filter1Left = Block("Pnl_Filter1Left", "Filter L");
  Pnl_Filter1Right = Block("Pnl_Filter1Right", "Filter R");
  Lab_Filter2Left = new QLabel;
  Lab_Filter2Left->setObjectName("Lab_Filter2Left");
  Lab_Filter2Right = new QLabel;
  Lab_Filter2Right->setObjectName("Lab_Filter2Right");
  Pnl_Spectrum = Block("Pnl_Spectrum", "Spectrum");
  Pnl_Generator = Block("Pnl_Generator", "Generator");
  Pnl_DigiModulator = Block("Pnl_DigiModulator", "Digimode Mod");
  Pnl_DigiDemod = Block("Pnl_DigiDemod", "Digimode Demod");
  Pnl_Mixer = Block("Pnl_Mixer", "Mixer L", 50);
  Pnl_Mixer2 = Block("Pnl_Mixer2", "Mixer R", 50);
  Pnl_LeftLO = Block("Pnl_LeftLO", "LO", 30);
  Pnl_RightLO = Block("Pnl_RightLO", "LO", 30);
  Img_SpectrumSwitch = Block("Img_SpectrumSwitch", "", 40);
  Img_LeftGeneratorSwitch = Block("Img_LeftGeneratorSwitch", "", 40);
  Img_RightGeneratorSwitch = Block("Img_RightGeneratorSwitch", "", 40);
  Shp_SpectrumFromInput = Block("Shp_SpectrumFromInput", "in", 20);
  Shp_SpectrumFromOutput = Block("Shp_SpectrumFromOutput", "out", 20);
  Shp_GeneratorToInput = Block("Shp_GeneratorToInput", "in", 20);
  Shp_GeneratorToOutput = Block("Shp_GeneratorToOutput", "out", 20);
  const char* ampNames[8] = {"Img_FilterAmplifier1",        "Img_FilterAmplifier2",
                             "Img_DigimodeOutputAmplifier", nullptr,
                             "Img_LeftGenerator2OutputAmp", "Img_RightGenerator2OutputAmp",
                             "Img_OutputAmpLeft2Right",     "Img_OutputAmpRight2Left"};
  for (int i = 0; i < 8; ++i) {
    Img_Amplifier[i] = ampNames[i] ? Block(ampNames[i], ">", 24) : nullptr;
    if (Img_Amplifier[i]) {
      m_blocks[CB_AMPLIFIER5 + i] = Img_Amplifier[i];
      const int number = 5 + i;
      connect(Img_Amplifier[i], &TClickLabel::clicked, this,
              [this, number] { SetupSliderForParameter(number); });
    }
  }
  TClickLabel* adders[4] = {Block("Shp_InputAdderLeft", "+", 20), Block("Shp_InputAdderRight", "+", 20),
                            Block("Shp_OutputAdderLeft", "+", 20), Block("Shp_OutputAdderRight", "+", 20)};
  Ed_LeftLoFreq = new QLineEdit;
  Ed_LeftLoFreq->setObjectName("Ed_LeftLoFreq");
  Ed_LeftLoFreq->setMaximumWidth(70);
  Ed_RightLoFreq = new QLineEdit;
  Ed_RightLoFreq->setObjectName("Ed_RightLoFreq");
  Ed_RightLoFreq->setMaximumWidth(70);

  m_blocks[CB_SOUND_IN] = Pnl_SoundIn;
  m_blocks[CB_SOUND_OUT] = Pnl_SoundOut;
  m_blocks[CB_IN_MONITOR] = Pnl_InputMon;
  m_blocks[CB_OUT_MONITOR] = Pnl_OutputMon;
  m_blocks[CB_MIXER_LEFT] = Pnl_Mixer;
  m_blocks[CB_MIXER_RIGHT] = Pnl_Mixer2;
  m_blocks[CB_FILTER_LEFT] = Pnl_Filter1Left;
  m_blocks[CB_FILTER_RIGHT] = Pnl_Filter1Right;
  m_blocks[CB_GENERATOR] = Pnl_Generator;
  for (int i = 0; i < 4; ++i) m_blocks[CB_IN_ADDER_LEFT + i] = adders[i];
  m_blocks[CB_SPECTRUM] = Pnl_Spectrum;
  m_blocks[CB_DIGI_MODULATOR] = Pnl_DigiModulator;
  m_blocks[CB_DIGI_DEMOD] = Pnl_DigiDemod;

  // The diagram: left channel on top, right channel below, signal from left to right.
  auto* grid = new QGridLayout;
  grid->addWidget(Pnl_SoundIn, 0, 0, 2, 1);
  grid->addWidget(adders[0], 0, 1);
  grid->addWidget(adders[1], 1, 1);
  grid->addWidget(Pnl_Mixer, 0, 2);
  grid->addWidget(Pnl_Mixer2, 1, 2);
  grid->addWidget(Pnl_LeftLO, 0, 3);
  grid->addWidget(Pnl_RightLO, 1, 3);
  grid->addWidget(Ed_LeftLoFreq, 0, 4);
  grid->addWidget(Ed_RightLoFreq, 1, 4);
  grid->addWidget(Pnl_Filter1Left, 0, 5);
  grid->addWidget(Pnl_Filter1Right, 1, 5);
  grid->addWidget(Lab_Filter2Left, 0, 6);
  grid->addWidget(Lab_Filter2Right, 1, 6);
  grid->addWidget(Img_Amplifier[0], 0, 7);
  grid->addWidget(Img_Amplifier[1], 1, 7);
  grid->addWidget(Img_Amplifier[6], 0, 8);
  grid->addWidget(Img_Amplifier[7], 1, 8);
  grid->addWidget(adders[2], 0, 9);
  grid->addWidget(adders[3], 1, 9);
  grid->addWidget(Pnl_SoundOut, 0, 10, 2, 1);
  grid->addWidget(Img_LeftGeneratorSwitch, 2, 1);
  grid->addWidget(Img_RightGeneratorSwitch, 3, 1);
  grid->addWidget(Shp_GeneratorToInput, 2, 2);
  grid->addWidget(Shp_GeneratorToOutput, 3, 2);
  grid->addWidget(Pnl_Generator, 2, 3, 2, 2);
  grid->addWidget(Img_Amplifier[4], 2, 9);
  grid->addWidget(Img_Amplifier[5], 3, 9);
  grid->addWidget(Pnl_DigiModulator, 4, 5, 1, 2);
  grid->addWidget(Img_Amplifier[2], 4, 9);
  grid->addWidget(Pnl_DigiDemod, 4, 3, 1, 2);
  grid->addWidget(Pnl_InputMon, 5, 0, 1, 2);
  grid->addWidget(Shp_SpectrumFromInput, 5, 2);
  grid->addWidget(Img_SpectrumSwitch, 5, 3);
  grid->addWidget(Shp_SpectrumFromOutput, 5, 4);
  grid->addWidget(Pnl_Spectrum, 5, 5, 1, 2);
  grid->addWidget(Pnl_OutputMon, 5, 9, 1, 2);

  TrackBar1 = new QSlider(Qt::Vertical);
  TrackBar1->setObjectName("TrackBar1");
  Combo_ConnSlider1 = new QComboBox;
  Combo_ConnSlider1->setObjectName("Combo_ConnSlider1");
  Lab_Slider1Value = new QLabel;
  Lab_Slider1Value->setObjectName("Lab_Slider1Value");
  Btn_Menu = Block("Btn_Menu", "Menu", 40);
  Btn_Help = Block("Btn_Help", "Help", 40);
  auto* side = new QVBoxLayout;
  side->addWidget(Combo_ConnSlider1);
  side->addWidget(TrackBar1, 1, Qt::AlignHCenter);
  side->addWidget(Lab_Slider1Value);
  side->addWidget(Btn_Menu);
  side->addWidget(Btn_Help);
  auto* top = new QHBoxLayout(this);
  top->addLayout(grid, 1);
  top->addLayout(side);

  Popup_FreqMixer = new QMenu(this);
  Popup_FreqMixer->setObjectName("Popup_FreqMixer");
  auto add = [](QMenu* m, const char* name, const QString& caption, bool checkable) {
    QAction* a = m->addAction(caption);
    a->setObjectName(name);
    a->setCheckable(checkable);
    return a;
  };
  Menu_MixerAndOscillator = add(Popup_FreqMixer, "Menu_MixerAndOscillator", "", false);
  Popup_FreqMixer->addSeparator();
  Menu_MixerEnable = add(Popup_FreqMixer, "Menu_MixerEnable", "Enabled", true);
  Menu_MixDcReject = add(Popup_FreqMixer, "Menu_MixDcReject", "DC reject", true);
  Popup_FreqMixer->addSeparator();
  const char* sbNames[5] = {"Menu_MixBothBands", "Menu_MixLSBOnly", "Menu_MixUSBOnly",
                            "Menu_MixLSBdown", "Menu_MixUSBdown"};
  const char* sbCaptions[5] = {"DSB mixer (faster!)", "LSB up-converter", "USB up-converter",
                               "LSB down-converter", "USB down-converter"};
  for (int i = 0; i < 5; ++i) {
    Menu_MixSideband[i] = add(Popup_FreqMixer, sbNames[i], sbCaptions[i], true);
    connect(Menu_MixSideband[i], &QAction::triggered, this, [this, i] { MixSidebandClick(i); });
  }
  Menu_MixerHilbertLength = add(Popup_FreqMixer, "Menu_MixerHilbertLength", "", false);
  Popup_FreqMixer->addSeparator();
  Menu_LOfrequency = add(Popup_FreqMixer, "Menu_LOfrequency", "", false);
  Pop_ConnectVfoToSlider1 = add(Popup_FreqMixer, "Pop_ConnectVfoToSlider1", "&Connect to slider", false);
  connect(Popup_FreqMixer, &QMenu::aboutToShow, this, &TCircuitForm::Popup_FreqMixerPopup);
  connect(Menu_MixerAndOscillator, &QAction::triggered, this, [] { ShowHelpContext(MixerHelpContext); });
  connect(Menu_MixerEnable, &QAction::triggered, this, &TCircuitForm::Menu_MixerEnableClick);
  connect(Menu_MixDcReject, &QAction::triggered, this, &TCircuitForm::Menu_MixDcRejectClick);
  connect(Menu_MixerHilbertLength, &QAction::triggered, this,
          &TCircuitForm::Menu_MixerHilbertLengthClick);
  connect(Pop_ConnectVfoToSlider1, &QAction::triggered, this,
          &TCircuitForm::Pop_ConnectVfoToSlider1Click);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Menu_StayOnTop = add(PopupMenu1, "Menu_StayOnTop", "Stay on top", true);
  Help1 = add(PopupMenu1, "Help1", "Help", false);
  connect(Menu_StayOnTop, &QAction::triggered, this, &TCircuitForm::Menu_StayOnTopClick);
  connect(Help1, &QAction::triggered, this, [] { ShowHelpContext(HelpContext); });
  connect(Btn_Help, &TClickLabel::clicked, this, [] { ShowHelpContext(HelpContext); });
  connect(Btn_Menu, &TClickLabel::clicked, this,
          [this] { PopupMenu1->popup(Btn_Menu->mapToGlobal(QPoint(0, Btn_Menu->height()))); });
  InstallHelpShortcut(this, HelpContext);

  connect(Pnl_SoundIn, &TClickLabel::clicked, this, &TCircuitForm::Pnl_SoundInClick);
  connect(Pnl_SoundOut, &TClickLabel::clicked, this, &TCircuitForm::Pnl_SoundOutClick);
  connect(Pnl_InputMon, &TClickLabel::clicked, this, [this] { MonitorClick(0); });
  connect(Pnl_OutputMon, &TClickLabel::clicked, this, [this] { MonitorClick(1); });
  connect(Pnl_Filter1Left, &TClickLabel::clicked, this, [this] { FilterClick(0); });
  connect(Pnl_Filter1Right, &TClickLabel::clicked, this, [this] { FilterClick(1); });
  connect(Pnl_Spectrum, &TClickLabel::clicked, this, &TCircuitForm::Pnl_SpectrumClick);
  connect(Img_SpectrumSwitch, &TClickLabel::clicked, this, &TCircuitForm::Img_SpectrumSwitchClick);
  connect(Shp_SpectrumFromInput, &TClickLabel::clicked, this, [this] { SpectrumFromMouseDown(true); });
  connect(Shp_SpectrumFromOutput, &TClickLabel::clicked, this, [this] { SpectrumFromMouseDown(false); });
  connect(Img_LeftGeneratorSwitch, &TClickLabel::clicked, this, [this] { GeneratorSwitchClick(1); });
  connect(Img_RightGeneratorSwitch, &TClickLabel::clicked, this, [this] { GeneratorSwitchClick(2); });
  connect(Shp_GeneratorToInput, &TClickLabel::clicked, this, [this] { GeneratorToMouseDown(true); });
  connect(Shp_GeneratorToOutput, &TClickLabel::clicked, this, [this] { GeneratorToMouseDown(false); });
  connect(Pnl_Generator, &TClickLabel::clicked, this, &TCircuitForm::Pnl_GeneratorClick);
  connect(Pnl_DigiModulator, &TClickLabel::clicked, this, &TCircuitForm::DigimodeClick);
  connect(Pnl_DigiDemod, &TClickLabel::clicked, this, &TCircuitForm::DigimodeClick);
  for (auto [w, ch] : {std::pair{Pnl_Mixer, 0}, std::pair{Pnl_LeftLO, 0}, std::pair{Pnl_Mixer2, 1},
                       std::pair{Pnl_RightLO, 1}})
    connect(w, &TClickLabel::clicked, this,
            [this, channel = ch] { MixerClick(channel, QCursor::pos()); });
  connect(Ed_LeftLoFreq, &QLineEdit::textChanged, this, [this] { Ed_LoFreqChange(0); });
  connect(Ed_RightLoFreq, &QLineEdit::textChanged, this, [this] { Ed_LoFreqChange(1); });
  connect(TrackBar1, &QSlider::valueChanged, this, &TCircuitForm::TrackBar1Change);
  connect(Combo_ConnSlider1, &QComboBox::currentIndexChanged, this,
          &TCircuitForm::Combo_ConnSlider1Change);

  Timer1 = new QTimer(this);
  Timer1->setObjectName("Timer1");
  Timer1->setInterval(500);
  connect(Timer1, &QTimer::timeout, this, &TCircuitForm::Timer1Timer);

  FormCreate();
  Timer1->start();
}

void TCircuitForm::FormCreate()
{
  AppendInstanceSuffix(this);
  ++UpdateCount;
  for (const CircuitSliderParam& p : kCircuitSliderTable) Combo_ConnSlider1->addItem(p.name);
  Combo_ConnSlider1->setCurrentIndex(-1);
  --UpdateCount;
  const int shift = 8 * g_InstanceIndex;
  setGeometry(kDesignLeft - shift, kDesignTop + shift, 640, 300);
  bool visible = false;
  try {
    IniFile ini(UserSettingsFullPath());
    SetFormStyle(this, ini.ReadInteger(kSection, "FormStyle", GetFormStyle(this)));
    ReadFormBounds(this, ini, kSection, false);
    visible = ini.ReadInteger(kSection, "Visible", 0) != 0;
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
  Menu_StayOnTop->setChecked(GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP);
  m_lastRate = g_ProcessingSampleRate;
  SetupSliderForParameter(SndConfig.ConnectSlider1);
  if (visible) show();
}

void TCircuitForm::FormClose()
{
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, kSection, false);
    ini.WriteInteger(kSection, "Visible", isVisible() ? 1 : 0);
    ini.WriteInteger(kSection, "FormStyle", GetFormStyle(this));
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

void TCircuitForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TCircuitForm::Menu_StayOnTopClick()
{
  const bool onTop = Menu_StayOnTop->isChecked();
  SetFormStyle(this, onTop ? FORM_STYLE_STAY_ON_TOP : FORM_STYLE_NORMAL);
}

// ---- diagram ----

void TCircuitForm::Pnl_SoundInClick()
{
  SndConfig.StartSoundInput = SndConfig.StartSoundInput ? 0 : 1;
  SetSoundInOutWanted(SndConfig.StartSoundInput != 0, SndConfig.StartSoundOutput != 0);
  UpdateCircuitDisplay();
}

void TCircuitForm::Pnl_SoundOutClick()
{
  SndConfig.StartSoundOutput = SndConfig.StartSoundOutput ? 0 : 1;
  SetSoundInOutWanted(SndConfig.StartSoundInput != 0, SndConfig.StartSoundOutput != 0);
  UpdateCircuitDisplay();
}

void TCircuitForm::MonitorClick(int channel)
{
  if (Upcalls.ShowScope) Upcalls.ShowScope(channel);
}

void TCircuitForm::FilterClick(int channel)
{
  if (Upcalls.ShowFilterControl) {
    Upcalls.ShowFilterControl(channel);
    return;
  }
  g_FilterEditChannel = channel;
  if (!FilterControlForm) return;
  BringWindowToFront(FilterControlForm);
}

void TCircuitForm::Pnl_SpectrumClick()
{
  SndConfig.SpectrumOn = SndConfig.SpectrumOn ? 0 : 1;
  if (Upcalls.ShowMainWindow) Upcalls.ShowMainWindow();
}

void TCircuitForm::Img_SpectrumSwitchClick()
{
  SndConfig.ConnectSpectrumToInput = SndConfig.ConnectSpectrumToInput ? 0 : 1;
  g_RedrawRequestMask = REDRAW_ALL;
}

void TCircuitForm::SpectrumFromMouseDown(bool input)
{
  SndConfig.ConnectSpectrumToInput = input ? 1 : 0;
  g_RedrawRequestMask = REDRAW_ALL;
}

void TCircuitForm::GeneratorSwitchClick(int bit)
{
  // Steps input -> output -> off -> input.
  if (SndConfig.ConnectGeneratorToInput & bit) {
    SndConfig.ConnectGeneratorToInput &= ~bit;
    SndConfig.GeneratorChannelMask |= bit;
  } else if (SndConfig.GeneratorChannelMask & bit) {
    SndConfig.GeneratorChannelMask &= ~bit;
  } else {
    SndConfig.ConnectGeneratorToInput |= bit;
  }
  g_RedrawRequestMask = REDRAW_ALL;
}

void TCircuitForm::GeneratorToMouseDown(bool input)
{
  SndConfig.ConnectGeneratorToInput = input ? 3 : 0;
  g_RedrawRequestMask = REDRAW_ALL;
}

void TCircuitForm::Pnl_GeneratorClick()
{
  if (!GeneratorForm) return;
  BringWindowToFront(GeneratorForm);
}

void TCircuitForm::DigimodeClick()
{
  if (Upcalls.ShowDigimodeTerminal) Upcalls.ShowDigimodeTerminal();
}

void TCircuitForm::MixerClick(int channel, const QPoint& globalPos)
{
  MixerChannel = channel;
  Popup_FreqMixer->popup(globalPos);
}

// ---- mixer pop-up ----

void TCircuitForm::Popup_FreqMixerPopup()
{
  const char* side = "LEFT";
  if (MixerChannel == 1) {
    side = "RIGHT";
  } else if (MixerChannel != 0) {
    side = "unknown";
    MixerChannel = 0;
  }
  Menu_MixerAndOscillator->setText(QString("Mixer and Oscillator for %1 channel..").arg(side));
  const int ch = MixerChannel;
  const MixerSettings* m = ChannelMixer(ch);
  Menu_MixerEnable->setChecked(g_FreqMixers[ch].Enabled.load());
  Menu_MixDcReject->setChecked(m ? m->MixerDcReject.load() : SndConfig.MixerDcReject.load());
  const int sideband = m ? m->MixerSideband.load() : SndConfig.MixerSideband.load();
  for (int i = 0; i < 5; ++i) Menu_MixSideband[i]->setChecked(i == sideband);
  Menu_MixerHilbertLength->setText("Hilbert FIR length = " +
                                   QString::number(SndConfig.MixerHilbertLength.load()));
  Menu_MixerHilbertLength->setEnabled(sideband != 0);
  Menu_LOfrequency->setText(QString::fromStdString(
      "LO freq=" + FormatFloat("#####0.0###", g_FreqMixers[ch].OscFrequency) + " Hz"));
}

void TCircuitForm::ApplyMixerSettings(int channel)
{
  if (channel == 1) {
    const MixerSettings& m = SndConfig.SecondMixer;
    FreqMixer_Init(&g_FreqMixers[1], m.MixerFrequency, m.MixerSideband, m.MixerDcReject,
                   m.FreqMixerEnabled);
  } else {
    FreqMixer_Init(&g_FreqMixers[0], SndConfig.MixerFrequency, SndConfig.MixerSideband,
                   SndConfig.MixerDcReject, SndConfig.FreqMixerEnabled);
  }
}

void TCircuitForm::Menu_MixerEnableClick()
{
  if (MixerChannel == 1) SndConfig.SecondMixer.FreqMixerEnabled = !SndConfig.SecondMixer.FreqMixerEnabled;
  else SndConfig.FreqMixerEnabled = !SndConfig.FreqMixerEnabled;
  ApplyMixerSettings(MixerChannel);
}

void TCircuitForm::Menu_MixDcRejectClick()
{
  if (MixerChannel == 1) SndConfig.SecondMixer.MixerDcReject = !SndConfig.SecondMixer.MixerDcReject;
  else SndConfig.MixerDcReject = !SndConfig.MixerDcReject;
  ApplyMixerSettings(MixerChannel);
}

void TCircuitForm::MixSidebandClick(int mode)
{
  if (MixerChannel == 1) SndConfig.SecondMixer.MixerSideband = mode;
  else SndConfig.MixerSideband = mode;
  ApplyMixerSettings(MixerChannel);
}

void TCircuitForm::Menu_MixerHilbertLengthClick()
{
  // The shared string editor, or one of our own while the program has not created it.
  std::unique_ptr<TStringEditForm> own;
  TStringEditForm* dlg = StringEditForm;
  if (!dlg) dlg = (own = std::make_unique<TStringEditForm>(this)).get();
  QString text = QString::number(SndConfig.MixerHilbertLength.load());
  if (!dlg->EditString("Set Hilbert FIR length", "(37..101)", 16, text)) return;
  SndConfig.MixerHilbertLength = CircuitHilbertLength(text.toStdString(), SndConfig.MixerHilbertLength);
  ApplyMixerSettings(0);
  ApplyMixerSettings(1);
}

void TCircuitForm::Pop_ConnectVfoToSlider1Click() { SetupSliderForParameter(1); }

// ---- oscillator edits ----

void TCircuitForm::Ed_LoFreqChange(int channel)
{
  (void)channel;
  if (UpdateCount > 0) return;
  LoEditCountdown = DelayedEditTicks(Timer1->interval());
  SetBackground(channel == 1 ? Ed_RightLoFreq : Ed_LeftLoFreq, 0xFFFF00);
}

void TCircuitForm::RenewLoEditColour(int channel)
{
  uint32_t colour = kStateColours[0];
  if (m_states[CB_MIXER_LEFT + channel] == CIRCUIT_ACTIVE)
    colour = g_FreqMixers[channel].OscFrequency > 0.0 ? kStateColours[1] : kStateColours[3];
  SetBackground(channel == 1 ? Ed_RightLoFreq : Ed_LeftLoFreq, colour);
}

// ---- slider ----

void TCircuitForm::SetupSliderForParameter(int number)
{
  ++UpdateCount;
  const int row = CircuitSlider_Row(number);
  if (number != ConnectedNumber) Combo_ConnSlider1->setCurrentIndex(row);
  int lo = 0, hi = 0;
  if (row >= 0 && CircuitSlider_Range(number, g_ProcessingSampleRate, &lo, &hi)) {
    ConnectedNumber = number;
    TrackBar1->setRange(lo, hi);
    const CircuitSliderGroup g = kCircuitSliderTable[row].group;
    TrackBar1->setTickInterval(g == CSG_LO_FREQ || g == CSG_GEN_FREQ ? std::max(1, hi / 20) : 10);
    TrackBar1->setTickPosition(QSlider::TicksRight);
    const double v = CircuitSlider_Read(number);
    const double pos = lo + hi - (std::isfinite(v) ? std::clamp(v, -2e9, 2e9) : 0.0);
    TrackBar1->setValue(static_cast<int>(pos));
    ApplySliderValue(false);
    SndConfig.ConnectSlider1 = number;
    ConnectedValue = v;
  } else {
    ConnectedNumber = -1;
  }
  --UpdateCount;
}

void TCircuitForm::ApplySliderValue(bool write)
{
  if (ConnectedNumber < 0) return;
  const double value = TrackBar1->minimum() + TrackBar1->maximum() - TrackBar1->value();
  if (write && CircuitSlider_Write(ConnectedNumber, value)) m_generatorRefresh = true;
  const double shown = ConnectedNumber == 1 ? g_FreqMixers[0].OscFrequency : value;
  Lab_Slider1Value->setText(QString::fromStdString(FormatFloat("###0.0", shown) +
                                                   CircuitSlider_LabelUnit(ConnectedNumber)));
  if (write) ConnectedValue = CircuitSlider_Read(ConnectedNumber);
}

void TCircuitForm::TrackBar1Change()
{
  if (UpdateCount > 0) return;
  ApplySliderValue(true);
}

void TCircuitForm::Combo_ConnSlider1Change()
{
  if (UpdateCount > 0) return;
  const int row = Combo_ConnSlider1->currentIndex();
  if (row >= 0 && row < kCircuitSliderRows) SetupSliderForParameter(kCircuitSliderTable[row].number);
}

// ---- timer and display ----

void TCircuitForm::Timer1Timer()
{
  if (g_ProcessingSampleRate != m_lastRate) {
    m_lastRate = g_ProcessingSampleRate;
    m_generatorRefresh = true;
    ConnectedNumber = -1;
    SetupSliderForParameter(SndConfig.ConnectSlider1);
  }

  if (LoEditCountdown > 0) {
    if (--LoEditCountdown == 0) {
      for (int ch = 0; ch < 2; ++ch) {
        QLineEdit* ed = ch == 1 ? Ed_RightLoFreq : Ed_LeftLoFreq;
        AtomicField<double>& f = ch == 1 ? SndConfig.SecondMixer.MixerFrequency : SndConfig.MixerFrequency;
        f = StrToFloatDef(ed->text().toStdString(), f);
        FreqMixer_SetFrequency(&g_FreqMixers[ch], f);
        m_lastOscFreq[ch] = g_FreqMixers[ch].OscFrequency;
        RenewLoEditColour(ch);
      }
    }
  } else if (UpdateCount == 0) {
    for (int ch = 0; ch < 2; ++ch) {
      const double f = g_FreqMixers[ch].OscFrequency;
      if (f == m_lastOscFreq[ch]) continue;
      m_lastOscFreq[ch] = f;
      ++UpdateCount;
      (ch == 1 ? Ed_RightLoFreq : Ed_LeftLoFreq)->setText(QString::fromStdString(FormatFloat("###0", f)));
      --UpdateCount;
      RenewLoEditColour(ch);
    }
  }

  UpdateCircuitDisplay();

  if (m_generatorRefresh && GeneratorForm && GeneratorForm->isVisible()) {
    m_generatorRefresh = false;
    GeneratorForm->SettingsToControls();
  }
}

CircuitLiveState TCircuitForm::GatherLiveState()
{
  CSoundThreadLink& link = SoundThreadLink();
  const SoundEngineStats st = link.Stats();
  CircuitLiveState s;
  s.threadExists = st.threadExists;
  s.threadSuspended = st.threadSuspended;
  s.threadFinished = st.threadFinished;
  s.soundExists = st.soundExists;
  s.inputWanted = st.inputWanted;
  s.outputWanted = st.outputWanted;
  s.inputOpen = st.inputOpen;
  s.outputOpen = st.outputOpen;
  s.soundError = st.inStatus != 0;
  s.outputOk = st.outputOk;
  std::copy(std::begin(st.blockStats), std::end(st.blockStats), s.flags);
  for (int ch = 0; ch < 2; ++ch) {
    s.mixerRunning[ch] = g_FreqMixers[ch].Enabled.load();
    s.mixerEnabled[ch] = MixerEnabledSetting(ch);
    s.filterEdited[ch] = Upcalls.FilterControlEdits
                             ? Upcalls.FilterControlEdits(ch)
                             : FilterControlForm && FilterControlForm->isVisible() && g_FilterEditChannel == ch;
  }
  s.inMonitorVisible = Upcalls.ScopeVisible && Upcalls.ScopeVisible(0);
  s.outMonitorVisible = Upcalls.ScopeVisible && Upcalls.ScopeVisible(1);
  s.generatorOn = SndConfig.StartSignalGenerator != 0;
  link.TakeMixClips(s.inClips, s.outClips);
  for (int i = 0; i < 8; ++i) s.gain[i] = SndConfig.Gain[i];
  s.spectrumOn = SndConfig.SpectrumOn != 0;
  s.digimodeActive = SndConfig.DigimodeActive;
  s.digiTx = st.digimodeTx;
  s.digiRx = st.digimodeRx;
  return s;
}

void TCircuitForm::SetSwitchPicture(TClickLabel* w, const char* picture)
{
  static const struct {
    const char* picture;
    const char* text;
  } kPictures[] = {{"Img_SwitchUpLeft", "\\_ in"},       {"Img_SwitchUpRight", "out _/"},
                   {"Img_SwitchDownBoth", "in + out"},   {"Img_SwitchDownLeft", "in"},
                   {"Img_SwitchDownRight", "out"},       {"Img_SwitchDownNone", "off"}};
  w->setProperty("Picture", picture);
  for (const auto& p : kPictures)
    if (std::string(p.picture) == picture) w->setText(p.text);
}

void TCircuitForm::DrawBlock(CircuitBlock b, int state)
{
  if (state == m_drawn[b] || !m_blocks[b]) return;
  m_drawn[b] = state;
  m_blocks[b]->setProperty("BlockState", state);
  SetBackground(m_blocks[b], kStateColours[std::clamp(state, 0, 4)]);
  if (b >= CB_AMPLIFIER5 && b < CB_AMPLIFIER5 + 8)
    m_blocks[b]->setProperty("Picture", state == 2 ? "Img_AmplifSel" : state == 1 ? "Img_AmplifOn" : "Img_AmplifOff");
  if (b == CB_GENERATOR && GeneratorForm) {
    const bool on = state == CIRCUIT_ACTIVE || state == CIRCUIT_SLIDER;
    GeneratorForm->setWindowTitle("Test Tone Generators" + InstanceSuffix() + (on ? "" : " (OFF)"));
  }
}

void TCircuitForm::UpdateCircuitDisplay()
{
  const int toInput = SndConfig.ConnectSpectrumToInput;
  const int genIn = SndConfig.ConnectGeneratorToInput, genMask = SndConfig.GeneratorChannelMask;
  if (toInput != m_lastSpectrumToInput || genIn != m_lastGenToInput || genMask != m_lastGenMask) {
    SetSwitchPicture(Img_SpectrumSwitch, toInput ? "Img_SwitchUpLeft" : "Img_SwitchUpRight");
    for (auto [w, bit] : {std::pair{Img_LeftGeneratorSwitch, 1}, std::pair{Img_RightGeneratorSwitch, 2}}) {
      const bool in = genIn & bit, out = genMask & bit;
      SetSwitchPicture(w, in && out ? "Img_SwitchDownBoth"
                          : in      ? "Img_SwitchDownLeft"
                          : out     ? "Img_SwitchDownRight"
                                    : "Img_SwitchDownNone");
    }
    m_lastSpectrumToInput = toInput;
    m_lastGenToInput = genIn;
    m_lastGenMask = genMask;
  }

  ComputeCircuitStates(GatherLiveState(), ConnectedNumber, m_states);
  for (int b = 0; b < CB_COUNT; ++b) DrawBlock(static_cast<CircuitBlock>(b), m_states[b]);
  Lab_Filter2Left->setText(SndConfig.DigitalFilterBypass & 1 ? "bypassed" : "");
  Lab_Filter2Right->setText(SndConfig.DigitalFilterBypass & 2 ? "bypassed" : "");

  if (SndConfig.ConnectSlider1 != ConnectedNumber) {
    if (CircuitSlider_Row(SndConfig.ConnectSlider1) >= 0) SetupSliderForParameter(SndConfig.ConnectSlider1);
  } else if (ConnectedNumber >= 0 && CircuitSlider_Read(ConnectedNumber) != ConnectedValue) {
    SetupSliderForParameter(ConnectedNumber);
  }
}
