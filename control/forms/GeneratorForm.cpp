#include "control/forms/GeneratorForm.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QShowEvent>
#include <QSpinBox>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "control/GeneratorSlider.h"
#include "control/GeneratorWords.h"
#include "engine/DebugU1.h"
#include "engine/MiscUtils.h"
#include "engine/PortIO.h"
#include "engine/SampleRates.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/TestSignalGen.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/ColorRefQt.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

TGeneratorForm* GeneratorForm = nullptr;

namespace {

const char* const kSection = "GeneratorForm";
const QStringList kWaveforms = {"sine", "rectangle", "triangle", "sawtooth"};

std::string Text(const QLineEdit* ed) { return ed->text().toStdString(); }

void SetText(QLineEdit* ed, const std::string& text) { ed->setText(QString::fromStdString(text)); }

QLineEdit* MakeEdit(const char* name, int width, const QString& hint = {})
{
  auto* ed = new QLineEdit;
  ed->setObjectName(name);
  ed->setMaximumWidth(width);
  if (!hint.isEmpty()) ed->setToolTip(hint);
  return ed;
}

QComboBox* MakeWaveCombo(const QString& name)
{
  auto* cb = new QComboBox;
  cb->setObjectName(name);
  cb->addItems(kWaveforms);
  return cb;
}

// An up-down beside an edit: the edit's text is what counts, the up-down steps it.
QSpinBox* MakeUpDown(QLineEdit* edit, int lo, int hi, const QString& name)
{
  auto* ud = new QSpinBox;
  ud->setObjectName(name);
  ud->setRange(lo, hi);
  ud->setFixedWidth(18);
  QObject::connect(ud, &QSpinBox::valueChanged, edit,
                   [edit](int v) { edit->setText(QString::number(v)); });
  QObject::connect(edit, &QLineEdit::textChanged, ud, [ud](const QString& t) {
    bool ok;
    const int v = t.toInt(&ok);
    if (ok && v >= ud->minimum() && v <= ud->maximum()) {
      QSignalBlocker block(ud);
      ud->setValue(v);
    }
  });
  return ud;
}

// Window colour, or the given 0x00BBGGRR colour, as the edit's background.
void SetEditColour(QLineEdit* ed, int colour)
{
  QPalette pal = ed->palette();
  pal.setColor(QPalette::Base, colour < 0 ? QApplication::palette(ed).color(QPalette::Base)
                                           : ColorRefToQColor(static_cast<uint32_t>(colour)));
  ed->setPalette(pal);
}

}  // namespace

TGeneratorForm::TGeneratorForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("GeneratorForm");
  setWindowTitle("Test Tone Generators");
  setMinimumSize(500, 230);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);

  // The three oscillators, one row each.
  auto* oscBox = new QGroupBox("Function generators");
  auto* grid = new QGridLayout(oscBox);
  grid->addWidget(new QLabel("Freq/Hz"), 0, 4);
  grid->addWidget(new QLabel("Level (0dB=max)"), 0, 6, 1, 2);
  for (int i = 0; i < 3; ++i) {
    const QString n = QString::number(i + 1);
    Chk_Enable[i] = new QCheckBox("Gen " + n);
    Chk_Enable[i]->setObjectName("Chk_Enable" + n);
    Chk_AM[i] = new QCheckBox("AM");
    Chk_AM[i]->setObjectName("Chk_AM" + n);
    Chk_FM[i] = new QCheckBox("FM");
    Chk_FM[i]->setObjectName("Chk_FM" + n);
    Cb_Waveform[i] = MakeWaveCombo("Cb_Waveform" + n);
    Ed_Freq[i] = MakeEdit("", 70);
    Ed_Freq[i]->setObjectName("Ed_Freq" + n);
    ScrBar_freq[i] = new QScrollBar(Qt::Horizontal);
    ScrBar_freq[i]->setObjectName(i == 0 ? QString("ScrBar_freq") : "ScrBar_freq" + n);
    ScrBar_freq[i]->setMinimumWidth(120);
    Ed_SinAmpl[i] = MakeEdit("", 40);
    Ed_SinAmpl[i]->setObjectName("Ed_Sin" + n + "Ampl");
    UD_SinAmpl[i] = MakeUpDown(Ed_SinAmpl[i], -200, 10, "UD_Sin" + n + "Ampl");
    int col = 0;
    for (QWidget* w : {static_cast<QWidget*>(Chk_Enable[i]), static_cast<QWidget*>(Cb_Waveform[i]),
                       static_cast<QWidget*>(Chk_AM[i]), static_cast<QWidget*>(Chk_FM[i]),
                       static_cast<QWidget*>(Ed_Freq[i]), static_cast<QWidget*>(ScrBar_freq[i]),
                       static_cast<QWidget*>(Ed_SinAmpl[i]), static_cast<QWidget*>(UD_SinAmpl[i])})
      grid->addWidget(w, i + 1, col++);
    grid->addWidget(new QLabel("dB"), i + 1, col);
    grid->setColumnStretch(5, 1);

    connect(Chk_Enable[i], &QCheckBox::toggled, this, &TGeneratorForm::SineGeneratorChange);
    connect(Chk_AM[i], &QCheckBox::toggled, this, &TGeneratorForm::SineGeneratorChange);
    connect(Chk_FM[i], &QCheckBox::toggled, this, &TGeneratorForm::SineGeneratorChange);
    connect(Cb_Waveform[i], &QComboBox::currentIndexChanged, this,
            &TGeneratorForm::SineGeneratorChange);
    connect(Ed_Freq[i], &QLineEdit::textChanged, this, [this, i] { Ed_FreqChange(i); });
    connect(ScrBar_freq[i], &QScrollBar::valueChanged, this, [this, i] { ScrBar_freqChange(i); });
    connect(Ed_SinAmpl[i], &QLineEdit::textChanged, this, [this, i] { Ed_SinAmplChange(i); });
  }
  outer->addWidget(oscBox);

  // Modulators and noise.
  auto* modRow = new QHBoxLayout;
  auto* amBox = new QGroupBox("Amplitude modulation");
  auto* am = new QGridLayout(amBox);
  Ed_AmplModFreq = MakeEdit("Ed_AmplModFreq", 60);
  Ed_AmplModFactor = MakeEdit("Ed_AmplModFactor", 45, "relative modulation amplitude (0..1)");
  Ed_AmplModCarrier = MakeEdit("Ed_AmplModCarrier", 45, "relative carrier amplitude (0..1)");
  Combo_AmplModWaveform = MakeWaveCombo("Combo_AmplModWaveform");
  am->addWidget(new QLabel("Frequency"), 0, 0);
  am->addWidget(Ed_AmplModFreq, 0, 1);
  am->addWidget(new QLabel("Hz"), 0, 2);
  am->addWidget(new QLabel("Factor"), 1, 0);
  am->addWidget(Ed_AmplModFactor, 1, 1);
  am->addWidget(new QLabel("Carrier"), 2, 0);
  am->addWidget(Ed_AmplModCarrier, 2, 1);
  am->addWidget(Combo_AmplModWaveform, 3, 0, 1, 3);
  modRow->addWidget(amBox);

  auto* fmBox = new QGroupBox("Frequency modulation");
  auto* fm = new QGridLayout(fmBox);
  Ed_FreqModFreq = MakeEdit("Ed_FreqModFreq", 60);
  Ed_FreqModIndex = MakeEdit("Ed_FreqModIndex", 60);
  Combo_FreqModWavefrm = MakeWaveCombo("Combo_FreqModWavefrm");
  fm->addWidget(new QLabel("Frequency"), 0, 0);
  fm->addWidget(Ed_FreqModFreq, 0, 1);
  fm->addWidget(new QLabel("Hz"), 0, 2);
  fm->addWidget(new QLabel("Deviation"), 1, 0);
  fm->addWidget(Ed_FreqModIndex, 1, 1);
  fm->addWidget(new QLabel("Hz"), 1, 2);
  fm->addWidget(Combo_FreqModWavefrm, 2, 0, 1, 3);
  modRow->addWidget(fmBox);
  for (QLineEdit* ed : {Ed_AmplModFreq, Ed_AmplModFactor, Ed_AmplModCarrier, Ed_FreqModFreq,
                        Ed_FreqModIndex})
    connect(ed, &QLineEdit::textChanged, this, &TGeneratorForm::SineGeneratorChange);
  connect(Combo_AmplModWaveform, &QComboBox::currentIndexChanged, this,
          &TGeneratorForm::Combo_AmplModWaveformChange);
  connect(Combo_FreqModWavefrm, &QComboBox::currentIndexChanged, this,
          &TGeneratorForm::Combo_FreqModWavefrmChange);

  auto* noiseBox = new QGroupBox("Noise");
  auto* noise = new QGridLayout(noiseBox);
  Chk_NoiseOn = new QCheckBox("On");
  Chk_NoiseOn->setObjectName("Chk_NoiseOn");
  Ed_NoiseLevel = MakeEdit("Ed_NoiseLevel", 45);
  UD_NoiseLevel = MakeUpDown(Ed_NoiseLevel, -200, 0, "UD_NoiseLevel");
  noise->addWidget(Chk_NoiseOn, 0, 0, 1, 3);
  noise->addWidget(Ed_NoiseLevel, 1, 0);
  noise->addWidget(UD_NoiseLevel, 1, 1);
  noise->addWidget(new QLabel("dB / sqrt(Hz)"), 1, 2);
  noise->addWidget(new QLabel("max. -40 dB / sqrt(Hz)"), 2, 0, 1, 3);
  connect(Chk_NoiseOn, &QCheckBox::toggled, this, &TGeneratorForm::Chk_NoiseOnClick);
  connect(Ed_NoiseLevel, &QLineEdit::textChanged, this, &TGeneratorForm::Ed_NoiseLevelChange);
  modRow->addWidget(noiseBox);
  outer->addLayout(modRow);

  // Slider range, switches, on/off and help.
  auto* bottom = new QHBoxLayout;
  Ed_FreqMin = MakeEdit("Ed_FreqMin", 60);
  Ed_FreqMax = MakeEdit("Ed_FreqMax", 60);
  Ed_FreqMin->setText("0");
  Ed_FreqMax->setText("5000");
  bottom->addWidget(new QLabel("Freq. Slider Range"));
  bottom->addWidget(Ed_FreqMin);
  bottom->addWidget(new QLabel("..."));
  bottom->addWidget(Ed_FreqMax);
  bottom->addWidget(new QLabel("Hz"));
  Chk_UseTable = new QCheckBox("use table");
  Chk_UseTable->setObjectName("Chk_UseTable");
  Chk_UseTable->setChecked(true);
  Chk_PttOn = new QCheckBox("PTT ON");
  Chk_PttOn->setObjectName("Chk_PttOn");
  Pnl_OnOff = new TClickLabel("Turn ON");
  Pnl_OnOff->setObjectName("Pnl_OnOff");
  Pnl_OnOff->setAlignment(Qt::AlignCenter);
  Pnl_OnOff->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Pnl_OnOff->setAutoFillBackground(true);
  Pnl_OnOff->setMinimumWidth(70);
  Pnl_Help = new TClickLabel("Help");
  Pnl_Help->setObjectName("Pnl_Help");
  Pnl_Help->setAlignment(Qt::AlignCenter);
  Pnl_Help->setFrameStyle(QFrame::Panel | QFrame::Raised);
  Pnl_Help->setMinimumWidth(40);
  bottom->addWidget(Chk_UseTable);
  bottom->addWidget(Chk_PttOn);
  bottom->addStretch(1);
  bottom->addWidget(Pnl_OnOff);
  bottom->addWidget(Pnl_Help);
  outer->addLayout(bottom);
  connect(Ed_FreqMin, &QLineEdit::textChanged, this, &TGeneratorForm::Ed_FreqMinChange);
  connect(Ed_FreqMax, &QLineEdit::textChanged, this, &TGeneratorForm::Ed_FreqMaxChange);
  connect(Chk_UseTable, &QCheckBox::toggled, this, &TGeneratorForm::Chk_UseTableClick);
  connect(Chk_PttOn, &QCheckBox::toggled, this, &TGeneratorForm::Chk_PttOnClick);
  connect(Pnl_OnOff, &TClickLabel::clicked, this, &TGeneratorForm::Pnl_OnOffClick);
  connect(Pnl_Help, &TClickLabel::clicked, this, &TGeneratorForm::HelpClick);

  PopupMenu1 = new QMenu(this);
  PopupMenu1->setObjectName("PopupMenu1");
  Menu_StayOnTop = PopupMenu1->addAction("Stay on top");
  Menu_StayOnTop->setObjectName("Menu_StayOnTop");
  Menu_StayOnTop->setCheckable(true);
  Menu_Help = PopupMenu1->addAction("Help");
  Menu_Help->setObjectName("Menu_Help");
  connect(PopupMenu1, &QMenu::aboutToShow, this, &TGeneratorForm::PopupMenu1Popup);
  connect(Menu_StayOnTop, &QAction::triggered, this, &TGeneratorForm::Menu_StayOnTopClick);
  connect(Menu_Help, &QAction::triggered, this, &TGeneratorForm::HelpClick);
  InstallHelpShortcut(this, HelpContext);

  FormCreate();
  // The interpreter's generator words refresh the window after a change, when it is shown.
  Generator_SetRefreshHook([this] {
    if (isVisible()) SettingsToControls();
  });
}

TGeneratorForm::~TGeneratorForm() { Generator_SetRefreshHook({}); }

int TGeneratorForm::FreqToSliderPos(double freq) const
{
  return ::FreqToSliderPos(freq, FSliderMin, FSliderMax, ScrBar_freq[0]->maximum());
}

double TGeneratorForm::SliderPosToFreq(int pos) const
{
  return ::SliderPosToFreq(pos, FSliderMin, FSliderMax, ScrBar_freq[0]->maximum());
}

void TGeneratorForm::SetSlidersMaximum()
{
  ++UpdateCount;  // a slider clamped to its new maximum must not write its frequency
  const int m = SliderMaxForRange(FSliderMax);
  for (QScrollBar* s : ScrBar_freq) {
    s->setMaximum(m);
    s->setPageStep(std::max(1, m / 20));
    s->setSingleStep(std::max(1, m / 1000));
  }
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::RescaleSliders()
{
  SetSlidersMaximum();
  ++UpdateCount;
  for (int i = 0; i < 3; ++i) ScrBar_freq[i]->setValue(FreqToSliderPos(SndConfig.Sine[i].SinFreq));
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::FormCreate()
{
  UpdateCount = 1;
  FSliderMin = 0.0;
  FSliderMax = 5000.0;
  AppendInstanceSuffix(this);
  SetSlidersMaximum();
  try {
    IniFile ini(UserSettingsFullPath());
    SetText(Ed_FreqMin, ini.ReadString(kSection, "FSliderMin", Text(Ed_FreqMin)));
    Ed_FreqMinChange();
    SetText(Ed_FreqMax, ini.ReadString(kSection, "FSliderMax", Text(Ed_FreqMax)));
    Ed_FreqMaxChange();
    // The style first: changing it re-creates the native window, which would move it again.
    SetFormStyle(this, ini.ReadInteger(kSection, "FormStyle", GetFormStyle(this)));
    ReadFormBounds(this, ini, kSection, false);
    if (ini.ReadInteger(kSection, "Visible", 0) != 0) show();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

void TGeneratorForm::FormShow()
{
  SetSlidersMaximum();
  SettingsToControls();
  UpdateCount = 0;
}

void TGeneratorForm::FormClose()
{
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, kSection, false);
    ini.WriteInteger(kSection, "Visible", isVisible() ? 1 : 0);
    ini.WriteInteger(kSection, "FormStyle", GetFormStyle(this));
    ini.WriteString(kSection, "FSliderMin", Text(Ed_FreqMin));
    ini.WriteString(kSection, "FSliderMax", Text(Ed_FreqMax));
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

void TGeneratorForm::showEvent(QShowEvent* e)
{
  QWidget::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TGeneratorForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TGeneratorForm::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TGeneratorForm::PopupMenu1Popup()
{
  Menu_StayOnTop->setChecked(GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP);
}

void TGeneratorForm::Menu_StayOnTopClick()
{
  const bool onTop = GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP;
  SetFormStyle(this, onTop ? FORM_STYLE_NORMAL : FORM_STYLE_STAY_ON_TOP);
  Menu_StayOnTop->setChecked(!onTop);
}

void TGeneratorForm::HelpClick() { ShowHelpContext(HelpContext); }

void TGeneratorForm::Btn_StopClick() { SndConfig.StartSignalGenerator = 0; }

void TGeneratorForm::Pnl_OnOffClick()
{
  SndConfig.StartSignalGenerator = SndConfig.StartSignalGenerator ? 0 : 1;
  SettingsToControls();
}

void TGeneratorForm::SettingsToControls()
{
  ++UpdateCount;
  const bool on = SndConfig.StartSignalGenerator != 0;
  Pnl_OnOff->setText(on ? "Turn Off" : "Turn ON");
  QPalette pal = Pnl_OnOff->palette();
  pal.setColor(QPalette::Window, on ? ColorRefToQColor(kOnColour)
                                    : QApplication::palette(Pnl_OnOff).color(QPalette::Button));
  Pnl_OnOff->setPalette(pal);

  SetText(Ed_NoiseLevel, FormatFloat("##0", SndConfig.NoiseLevel));
  Chk_NoiseOn->setChecked(SndConfig.NoiseOn != 0);
  for (int i = 0; i < 3; ++i) {
    const SineGenSettings& osc = SndConfig.Sine[i];
    Chk_Enable[i]->setChecked(osc.Enabled);
    Chk_AM[i]->setChecked(osc.AmMod);
    Chk_FM[i]->setChecked(osc.FmMod);
    Cb_Waveform[i]->setCurrentIndex(std::clamp(osc.Wave.load(), 0, 3));
    SetText(Ed_SinAmpl[i], FormatFloat("##0", AmplitudeToDb(osc.SinAmpl)));
    ScrBar_freq[i]->setValue(FreqToSliderPos(osc.SinFreq));
    SetText(Ed_Freq[i], FormatFloat("##0.##", osc.SinFreq));
  }
  SetText(Ed_AmplModFreq, FormatFloat("###0.##", SndConfig.AmModFreq));
  SetText(Ed_AmplModFactor, FormatFloat("#0.##", SndConfig.AmModFactor));
  SetText(Ed_AmplModCarrier, FormatFloat("#0.##", SndConfig.AmModCarrier));
  SetText(Ed_FreqModFreq, FormatFloat("###0.##", SndConfig.FmModFreq));
  SetText(Ed_FreqModIndex, FormatFloat("#0.##", SndConfig.FmModDeviation));
  SndConfig.FmModWave = std::clamp(SndConfig.FmModWave.load(), 0, 3);
  SndConfig.AmModWave = std::clamp(SndConfig.AmModWave.load(), 0, 3);
  Combo_FreqModWavefrm->setCurrentIndex(SndConfig.FmModWave);
  Combo_AmplModWaveform->setCurrentIndex(SndConfig.AmModWave);
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::SineGeneratorChange()
{
  if (UpdateCount != 0) return;
  for (int i = 0; i < 3; ++i) {
    SineGenSettings& osc = SndConfig.Sine[i];
    osc.Enabled = Chk_Enable[i]->isChecked();
    osc.AmMod = Chk_AM[i]->isChecked();
    osc.FmMod = Chk_FM[i]->isChecked();
    osc.Wave = std::max(Cb_Waveform[i]->currentIndex(), 0);
  }
  SndConfig.AmModFreq = StrToFloatDef(Text(Ed_AmplModFreq), SndConfig.AmModFreq);
  SndConfig.AmModFactor = StrToFloatDef(Text(Ed_AmplModFactor), SndConfig.AmModFactor);
  SndConfig.AmModCarrier = StrToFloatDef(Text(Ed_AmplModCarrier), SndConfig.AmModCarrier);
  SndConfig.FmModFreq = StrToFloatDef(Text(Ed_FreqModFreq), SndConfig.FmModFreq);
  SndConfig.FmModDeviation = StrToFloatDef(Text(Ed_FreqModIndex), SndConfig.FmModDeviation);
}

void TGeneratorForm::Ed_FreqChange(int osc)
{
  if (UpdateCount != 0) return;
  ++UpdateCount;
  SineGenSettings& s = SndConfig.Sine[osc];
  s.SinFreq = StrToFloatDef(Text(Ed_Freq[osc]), s.SinFreq);
  s.ParamsChanged = true;
  ScrBar_freq[osc]->setValue(FreqToSliderPos(s.SinFreq));
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::ScrBar_freqChange(int osc)
{
  if (UpdateCount != 0) return;
  ++UpdateCount;
  SineGenSettings& s = SndConfig.Sine[osc];
  s.SinFreq = SliderPosToFreq(ScrBar_freq[osc]->value());
  s.ParamsChanged = true;
  SetText(Ed_Freq[osc], FormatFloat("##0.##", s.SinFreq));
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::Ed_SinAmplChange(int osc)
{
  if (UpdateCount != 0) return;
  SineGenSettings& s = SndConfig.Sine[osc];
  s.SinAmpl = std::pow(10.0, 0.05 * StrToIntDef(Text(Ed_SinAmpl[osc]), -40));
  s.ParamsChanged = true;
}

void TGeneratorForm::Ed_NoiseLevelChange()
{
  if (UpdateCount != 0) return;
  ++UpdateCount;
  const double old = SndConfig.NoiseLevel;
  // The old level truncated is the fallback; a level outside the int range falls back to -200.
  const int fallback = std::isfinite(old) && std::fabs(old) < 2e9 ? static_cast<int>(old) : -200;
  SndConfig.NoiseLevel = StrToIntDef(Text(Ed_NoiseLevel), fallback);
  g_NoiseParamsChanged = true;
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::Chk_NoiseOnClick()
{
  if (UpdateCount != 0) return;
  ++UpdateCount;
  SndConfig.NoiseOn = Chk_NoiseOn->isChecked() ? 1 : 0;
  g_NoiseParamsChanged = true;
  if (UpdateCount > 0) --UpdateCount;
}

void TGeneratorForm::Combo_AmplModWaveformChange()
{
  if (UpdateCount != 0) return;
  SndConfig.AmModWave = std::max(Combo_AmplModWaveform->currentIndex(), 0);
}

void TGeneratorForm::Combo_FreqModWavefrmChange()
{
  if (UpdateCount != 0) return;
  SndConfig.FmModWave = std::max(Combo_FreqModWavefrm->currentIndex(), 0);
}

namespace {

// Reads a range edit with its fallback, limits it to 0 .. half the processing rate (red when
// limited). An unknown rate (not above 0) sets no upper limit.
double ReadRangeEdit(QLineEdit* ed, double fallback, int* colour)
{
  double v = StrToFloatDef(ed->text().toStdString(), fallback);
  *colour = -1;
  const double halfRate = g_ProcessingSampleRate * 0.5;
  if (v < 0.0) {
    v = 0.0;
    *colour = TGeneratorForm::kRangeRed;
  }
  if (halfRate > 0.0 && v > halfRate) {
    v = halfRate;
    *colour = TGeneratorForm::kRangeRed;
  }
  return v;
}

}  // namespace

void TGeneratorForm::Ed_FreqMinChange()
{
  int colour;
  const double v = ReadRangeEdit(Ed_FreqMin, FSliderMin, &colour);
  if (v >= FSliderMax) colour = kRangeYellow;
  SetEditColour(Ed_FreqMin, colour);
  FSliderMin = v;
  RescaleSliders();
}

void TGeneratorForm::Ed_FreqMaxChange()
{
  int colour;
  const double v = ReadRangeEdit(Ed_FreqMax, FSliderMax, &colour);
  if (v <= FSliderMin) colour = kRangeYellow;
  SetEditColour(Ed_FreqMax, colour);
  FSliderMax = v;
  RescaleSliders();
}

void TGeneratorForm::Chk_UseTableClick() { g_GenUseSineTable = Chk_UseTable->isChecked(); }

void TGeneratorForm::Chk_PttOnClick() { ComPort_SetKeyingOutput(Chk_PttOn->isChecked()); }
