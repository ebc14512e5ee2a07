// TConfigDlg: construction of the pages, activation, help and closing.
#include "control/forms/ConfigDlg.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHideEvent>
#include <QShowEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/forms/GridRows.h"
#include "engine/MachineConfig.h"
#include "engine/PreciseClock.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"

TConfigDlg* ConfigDlg = nullptr;

namespace {

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(QString::fromLatin1(name));
  return w;
}

QWidget* NewPage(QTabWidget* tabs, const char* name, const char* caption)
{
  auto* page = Named(new QWidget, name);
  tabs->addTab(page, QString::fromLatin1(caption));
  return page;
}

QCheckBox* Check(QWidget* parent, const char* name, const char* caption, const char* hint = nullptr)
{
  auto* c = Named(new QCheckBox(QString::fromLatin1(caption), parent), name);
  if (hint) c->setToolTip(QString::fromLatin1(hint));
  return c;
}

QLineEdit* Edit(QWidget* parent, const char* name, int maxLength = 0, const char* hint = nullptr)
{
  auto* e = Named(new QLineEdit(parent), name);
  if (maxLength > 0) e->setMaxLength(maxLength);
  if (hint) e->setToolTip(QString::fromLatin1(hint));
  return e;
}

QComboBox* Combo(QWidget* parent, const char* name, const QStringList& items, bool editable)
{
  auto* c = Named(new QComboBox(parent), name);
  c->setEditable(editable);
  c->addItems(items);
  return c;
}

QListWidget* LineList(QWidget* parent, const char* name, const char* hint)
{
  auto* l = Named(new QListWidget(parent), name);
  l->addItems({"--none--", "TXD", "RTS", "DTR"});
  l->setToolTip(QString::fromLatin1(hint));
  l->setMaximumHeight(80);
  return l;
}

QLabel* Caption(QWidget* parent, const char* text)
{
  return new QLabel(QString::fromLatin1(text), parent);
}

TClickLabel* ColorPanel(QWidget* parent, const char* name, const char* caption)
{
  auto* p = Named(new TClickLabel(QString::fromLatin1(caption), parent), name);
  p->setAutoFillBackground(true);
  p->setFrameShape(QFrame::Panel);
  p->setFrameShadow(QFrame::Raised);
  p->setAlignment(Qt::AlignCenter);
  p->setMinimumHeight(28);
  p->setCursor(Qt::PointingHandCursor);
  return p;
}

QTableWidget* Grid(QWidget* parent, const char* name, int cols, int rows)
{
  auto* g = Named(new QTableWidget(rows, cols, parent), name);
  g->horizontalHeader()->hide();
  g->verticalHeader()->hide();
  return g;
}

}  // namespace

TConfigDlg::TConfigDlg(QWidget* parent) : QDialog(parent)
{
  setObjectName("ConfigDlg");
  setWindowTitle("Vartumo   Configuration and Display Control");
  setModal(false);
  SetFormStyle(this, FORM_STYLE_STAY_ON_TOP);

  PC_Config = Named(new QTabWidget(this), "PC_Config");
  // The eleven tabs in one row need more than a 1,024-pixel screen: the tab bar scrolls.
  PC_Config->setUsesScrollButtons(true);
  CreatePages();

  Btn_Apply = Named(new QPushButton("Apply !", this), "Btn_Apply");
  Btn_Close = Named(new QPushButton("Close", this), "Btn_Close");
  Btn_Help = Named(new QPushButton("Help", this), "Btn_Help");
  Btn_Apply->setAutoDefault(false);
  Btn_Close->setAutoDefault(false);
  Btn_Help->setAutoDefault(false);
  Memo_Messages = Named(new QPlainTextEdit(this), "Memo_Messages");
  Memo_Messages->setReadOnly(true);
  Memo_Messages->setMaximumHeight(70);
  connect(Btn_Apply, &QPushButton::clicked, this, &TConfigDlg::Btn_ApplyClick);
  connect(Btn_Close, &QPushButton::clicked, this, &TConfigDlg::Btn_CloseClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TConfigDlg::Btn_HelpClick);

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(200);
  connect(Timer1, &QTimer::timeout, this, &TConfigDlg::Timer1Timer);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Memo_Messages, 1);
  auto* col = new QVBoxLayout;
  col->addWidget(Btn_Apply);
  col->addWidget(Btn_Close);
  col->addWidget(Btn_Help);
  buttons->addLayout(col);
  auto* top = new QVBoxLayout(this);
  top->addWidget(PC_Config, 1);
  top->addLayout(buttons);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] { ShowHelpContext(CurrentHelpContext()); });

  AppendInstanceSuffix(this);
  UpdateCount = 1;
  DeviceChanged = false;
}

TConfigDlg::~TConfigDlg()
{
  if (ConfigDlg == this) ConfigDlg = nullptr;
}

void TConfigDlg::CreatePages()
{
  TS_AudioSettings = CreateAudioPage();
  TS_AudioServer = CreateServerPage();
  TS_Interface = CreateInterfacePage();
  TS_Memory = CreateMemoryPage();
  TS_FFT_Settings = CreateFftPage();
  TS_SpectrumDisplay = CreateDisplayPage();
  Ts_ExtDisplay = CreateColorsPage();
  TS_WaveFile = CreateWavePage();
  Ts_Markers = CreateMarkersPage();
  TS_System = CreateSystemPage();
  TS_FreqRespCalib = CreateReferencePage();
}

QWidget* TConfigDlg::CreateAudioPage()
{
  QWidget* page = NewPage(PC_Config, "TS_AudioSettings", "Audio Settings");
  auto* g = new QGridLayout(page);
  Combo_SoundInputDevice = Combo(page, "Combo_SoundInputDevice", {}, false);
  Lab_NrInputDevices = Named(new QLabel(page), "Lab_NrInputDevices");
  Lab_AudioInDisabledBecause = Named(new TClickLabel("(audio in disabled because..)", page),
                                     "Lab_AudioInDisabledBecause");
  Combo_SoundOutputDevice = Combo(page, "Combo_SoundOutputDevice", {}, false);
  Lab_NrOutputDevices = Named(new QLabel(page), "Lab_NrOutputDevices");
  Lab_AudioOutDisabledBecause = Named(new TClickLabel(page), "Lab_AudioOutDisabledBecause");
  g->addWidget(Caption(page, "Input device"), 0, 0);
  g->addWidget(Combo_SoundInputDevice, 0, 1, 1, 3);
  g->addWidget(Lab_NrInputDevices, 1, 1);
  g->addWidget(Lab_AudioInDisabledBecause, 1, 2, 1, 2);
  g->addWidget(Caption(page, "Output device"), 2, 0);
  g->addWidget(Combo_SoundOutputDevice, 2, 1, 1, 3);
  g->addWidget(Lab_NrOutputDevices, 3, 1);
  g->addWidget(Lab_AudioOutDisabledBecause, 3, 2, 1, 2);

  Combo_InputSampleRate = Combo(page, "Combo_InputSampleRate",
                                {"5512", "8000", "11025", "22050", "44100", "48000"}, true);
  Combo_InputSampleRateDivisor =
      Combo(page, "Combo_InputSampleRateDivisor", {"1", "2", "4", "8"}, false);
  Chk_InputAntiAlias = Check(page, "Chk_InputAntiAlias", "use anti-alias filter, length=");
  Ed_AntiAliasFilterLength = Edit(page, "Ed_AntiAliasFilterLength");
  Ed_AntiAliasFilterLength->setText("25");
  Ed_AntiAliasFilterLength->setReadOnly(true);
  Chk_StereoProcessing = Check(page, "Chk_StereoProcessing", "Stereo Processing");
  g->addWidget(Caption(page, "Nominal sample rate"), 4, 0);
  g->addWidget(Combo_InputSampleRate, 4, 1);
  g->addWidget(Caption(page, "Input divisor"), 4, 2);
  g->addWidget(Combo_InputSampleRateDivisor, 4, 3);
  g->addWidget(Chk_InputAntiAlias, 5, 1, 1, 2);
  g->addWidget(Ed_AntiAliasFilterLength, 5, 3);
  g->addWidget(Chk_StereoProcessing, 6, 1);

  auto* calib = new QGroupBox("Sample rate calibration", page);
  auto* cg = new QGridLayout(calib);
  SG_SampleRateCalib = Grid(calib, "SG_SampleRateCalib", 3, 1 + kNrCalibRates);
  SG_SampleRateCalib->setMinimumHeight(180);
  Ed_CorrectFreq = Edit(calib, "Ed_CorrectFreq");
  Ed_DisplayedFreq = Edit(calib, "Ed_DisplayedFreq");
  Btn_CalibrateADC = Named(new QPushButton("Calibrate ADC", calib), "Btn_CalibrateADC");
  Btn_CalibrateDAC = Named(new QPushButton("Calibrate DAC", calib), "Btn_CalibrateDAC");
  cg->addWidget(SG_SampleRateCalib, 0, 0, 5, 1);
  cg->addWidget(Caption(calib, "Correct Freq:"), 0, 1);
  cg->addWidget(Ed_CorrectFreq, 0, 2);
  cg->addWidget(Caption(calib, "Displayed Freq:"), 1, 1);
  cg->addWidget(Ed_DisplayedFreq, 1, 2);
  cg->addWidget(Btn_CalibrateADC, 2, 1, 1, 2);
  cg->addWidget(Btn_CalibrateDAC, 3, 1, 1, 2);
  g->addWidget(calib, 7, 0, 1, 4);

  connect(Combo_SoundInputDevice, &QComboBox::currentIndexChanged, this,
          &TConfigDlg::Combo_SoundInputDeviceChange);
  connect(Lab_AudioInDisabledBecause, &TClickLabel::clicked, this, &TConfigDlg::SwitchToServer);
  connect(Lab_AudioOutDisabledBecause, &TClickLabel::clicked, this, &TConfigDlg::SwitchToServer);
  connect(Btn_CalibrateADC, &QPushButton::clicked, this, &TConfigDlg::Btn_CalibrateADCClick);
  connect(Btn_CalibrateDAC, &QPushButton::clicked, this, &TConfigDlg::Btn_CalibrateDACClick);
  auto rates = [this] {
    if (UpdateCount == 0) UpdateRateInfo();
  };
  connect(Combo_InputSampleRate, &QComboBox::currentTextChanged, this, rates);
  connect(Combo_InputSampleRateDivisor, &QComboBox::currentTextChanged, this, rates);
  return page;
}

QWidget* TConfigDlg::CreateServerPage()
{
  QWidget* page = NewPage(PC_Config, "TS_AudioServer", "Client/Server");
  auto* v = new QVBoxLayout(page);
  Chk_InputFromServer = Check(page, "Chk_InputFromServer", "get input from audio server",
                              "get input samples from another application ?");
  Chk_OutputToServer = Check(page, "Chk_OutputToServer", "send output to audio server",
                             "send output samples to another application ?");
  Ed_RemoteAudioServerName = Edit(page, "Ed_RemoteAudioServerName", 250,
                                  "PIPE name of the AUDIO SOURCE server ");
  Chk_OwnAudioServerEnabled = Check(page, "Chk_OwnAudioServerEnabled", "enabled");
  Ed_OwnAudioServerName = Edit(page, "Ed_OwnAudioServerName", 250,
                               "PIPE name of the audio server provided by this program");
  Chk_StereoServerADC = Check(page, "Chk_StereoServerADC", "put RIGHT A/D  CHANNEL into pipe");
  Chk_StereoServerDAC = Check(page, "Chk_StereoServerDAC", "fill  RIGHT D/A  CHANNEL from pipe");
  v->addWidget(Chk_InputFromServer);
  v->addWidget(Chk_OutputToServer);
  v->addWidget(Caption(page, "PIPE name of the AUDIO SOURCE server "));
  v->addWidget(Ed_RemoteAudioServerName);
  v->addWidget(Caption(page, "PIPE name of the audio server provided by this program"));
  v->addWidget(Chk_OwnAudioServerEnabled);
  v->addWidget(Ed_OwnAudioServerName);
  v->addWidget(Chk_StereoServerADC);
  v->addWidget(Chk_StereoServerDAC);
  v->addStretch(1);

  auto check = [this] {
    if (UpdateCount < 1) DeviceChanged = true;
    UpdateAudioServerControls();
  };
  connect(Chk_InputFromServer, &QCheckBox::clicked, this, check);
  connect(Chk_OutputToServer, &QCheckBox::clicked, this, check);
  connect(Chk_OwnAudioServerEnabled, &QCheckBox::clicked, this, check);
  connect(Ed_RemoteAudioServerName, &QLineEdit::textChanged, this,
          &TConfigDlg::UpdateAudioServerControls);
  connect(Ed_OwnAudioServerName, &QLineEdit::textChanged, this,
          &TConfigDlg::UpdateAudioServerControls);
  connect(Chk_StereoServerADC, &QCheckBox::clicked, this, &TConfigDlg::Chk_StereoServerADCClick);
  connect(Chk_StereoServerDAC, &QCheckBox::clicked, this, &TConfigDlg::Chk_StereoServerDACClick);
  return page;
}

QWidget* TConfigDlg::CreateInterfacePage()
{
  QWidget* page = NewPage(PC_Config, "TS_Interface", "TRX Interface");
  auto* v = new QVBoxLayout(page);
  auto* grp = Named(new QGroupBox("Transceiver interface", page), "Grp_TrxInterface");
  auto* g = new QGridLayout(grp);
  Combo_PttPort =
      Combo(grp, "Combo_PttPort", {"-- none --", "COM1", "COM2", "COM3", "COM4"}, false);
  LBox_PTTLine = LineList(grp, "LBox_PTTLine", "Low=RX, High=TX");
  LBox_KeyerLine = LineList(grp, "LBox_KeyerLine", "Low=Key Up, High=Key DOWN");
  LBox_AlertLine = LineList(grp, "LBox_AlertLine", "Low=OFF, High=Ringing");
  g->addWidget(Caption(grp, "Serial port"), 0, 0);
  g->addWidget(Combo_PttPort, 0, 1);
  g->addWidget(Caption(grp, "PTT"), 1, 0);
  g->addWidget(LBox_PTTLine, 2, 0);
  g->addWidget(Caption(grp, "Keyer"), 1, 1);
  g->addWidget(LBox_KeyerLine, 2, 1);
  g->addWidget(Caption(grp, "Alert"), 1, 2);
  g->addWidget(LBox_AlertLine, 2, 2);
  v->addWidget(grp);
  v->addStretch(1);
  return page;
}

QWidget* TConfigDlg::CreateMemoryPage()
{
  QWidget* page = NewPage(PC_Config, "TS_Memory", "Memory");
  auto* g = new QGridLayout(page);
  Ed_BufferedSpectrumLines = Edit(page, "Ed_BufferedSpectrumLines");
  g->addWidget(Caption(page, "Buffered Lines:"), 0, 0);
  g->addWidget(Ed_BufferedSpectrumLines, 0, 1);
  g->setRowStretch(1, 1);
  return page;
}

QWidget* TConfigDlg::CreateFftPage()
{
  QWidget* page = NewPage(PC_Config, "TS_FFT_Settings", "FFT");
  auto* g = new QGridLayout(page);
  Combo_FftRateDivisor =
      Combo(page, "Combo_FftRateDivisor",
            {"1", "2", "3", "4", "6", "8", "12", "16", "24", "32", "36", "48", "64", "96", "128",
             "144", "216", "256", "324", "486", "729", "768", "1296", "1944", "2916", "4374",
             "6561"},
            true);
  CHK_FftAntiAlias = Check(page, "CHK_FftAntiAlias", "use anti-alias filter, length=");
  QStringList sizes;
  for (int n = 256; n <= 65536; n *= 2) sizes << QString::number(n);
  Combo_InputFftSize = Combo(page, "Combo_InputFftSize", sizes, true);
  RBtn_RealFFT = Named(new QRadioButton("Real-number FFT starting at 0 Hz", page), "RBtn_RealFFT");
  RBtn_ComplexFFT =
      Named(new QRadioButton("Complex FFT with frequency shift", page), "RBtn_ComplexFFT");
  auto* kind = new QButtonGroup(this);
  kind->addButton(RBtn_RealFFT);
  kind->addButton(RBtn_ComplexFFT);
  Combo_FftWindow =
      Combo(page, "Combo_FftWindow", {"Rectangle (worst)", "Hamming", "Hanning (best)"}, false);
  Ed_FftCenterFreq = Edit(page, "Ed_FftCenterFreq");
  Ed_FftAverage = Edit(page, "Ed_FftAverage");
  UD_InputFftAverage = Named(new QSpinBox(page), "UD_InputFftAverage");
  UD_InputFftAverage->setRange(0, 1000000);
  UD_InputFftAverage->setMaximumWidth(20);
  Chk_LogFftOutput = Check(page, "Chk_LogFftOutput", "Logarithmic (converted to dB)");
  Lab_FftInputInfo = Named(new QLabel(page), "Lab_FftInputInfo");
  Lab_FftResolution = Named(new QLabel(page), "Lab_FftResolution");
  Lab_FftBand = Named(new QLabel(page), "Lab_FftBand");

  g->addWidget(Caption(page, "FFT rate divisor"), 0, 0);
  g->addWidget(Combo_FftRateDivisor, 0, 1);
  g->addWidget(CHK_FftAntiAlias, 0, 2);
  g->addWidget(Caption(page, "FFT size"), 1, 0);
  g->addWidget(Combo_InputFftSize, 1, 1);
  g->addWidget(RBtn_RealFFT, 2, 0, 1, 2);
  g->addWidget(RBtn_ComplexFFT, 3, 0, 1, 2);
  g->addWidget(Caption(page, "center frequency [Hz]"), 3, 2);
  g->addWidget(Ed_FftCenterFreq, 3, 3);
  g->addWidget(Caption(page, "FFT window"), 4, 0);
  g->addWidget(Combo_FftWindow, 4, 1);
  g->addWidget(Caption(page, "internal average"), 5, 0);
  auto* avg = new QHBoxLayout;
  avg->addWidget(Ed_FftAverage);
  avg->addWidget(UD_InputFftAverage);
  g->addLayout(avg, 5, 1);
  g->addWidget(Chk_LogFftOutput, 6, 0, 1, 2);
  g->addWidget(Lab_FftInputInfo, 7, 0, 1, 4);
  g->addWidget(Lab_FftResolution, 8, 0, 1, 4);
  g->addWidget(Lab_FftBand, 9, 0, 1, 4);
  g->setRowStretch(10, 1);

  auto rates = [this] {
    if (UpdateCount == 0) UpdateRateInfo();
  };
  connect(Combo_FftRateDivisor, &QComboBox::currentTextChanged, this, rates);
  connect(Combo_InputFftSize, &QComboBox::currentTextChanged, this, rates);
  connect(UD_InputFftAverage, &QSpinBox::valueChanged, this, [this](int v) {
    if (UpdateCount == 0) Ed_FftAverage->setText(QString::number(v));
  });
  return page;
}

QWidget* TConfigDlg::CreateDisplayPage()
{
  QWidget* page = NewPage(PC_Config, "TS_SpectrumDisplay", "Spectrum display");
  auto* g = new QGridLayout(page);
  Chk_RotateSpectra = Check(page, "Chk_RotateSpectra", "Vertical Frequency Axis");
  Chk_MirrorForLSB = Check(page, "Chk_MirrorForLSB", "Mirror for Lower Side Band");
  Combo_SpectrumStyleAndPosition =
      Combo(page, "Combo_SpectrumStyleAndPosition",
            {"Waterfall only", "both / Plot  left", "both / Plot  right", "Plot only"}, false);
  Chk_DoubleWidthLines = Check(page, "Chk_DoubleWidthLines", "double-width waterfall lines");
  Chk_NoWaterScroll = Check(page, "Chk_NoWaterScroll", "non-scrolling waterfall");
  Chk_OptWaterAverage = Check(page, "Chk_OptWaterAverage", "optimum waterfall average",
                              "Take as many FFTs as possible");
  Chk_AmplGrid = Check(page, "Chk_AmplGrid", "Amplitude Grid (dB or %)");
  Chk_FreqGridGraph = Check(page, "Chk_FreqGridGraph", "grid in spectrum graph");
  Chk_FreqGridWater = Check(page, "Chk_FreqGridWater", "grid in waterfall display");
  Chk_FreqGridDotted = Check(page, "Chk_FreqGridDotted", "dotted grid in waterfall");
  Chk_TimeGrid = Check(page, "Chk_TimeGrid", "enable");
  Chk_TimeGridDotted = Check(page, "Chk_TimeGridDotted", "dotted");
  Combo_TimeLabelType = Combo(page, "Combo_TimeLabelType",
                              {"no label", "seconds only", "hour:minute", "hour:min:sec",
                               "<date> hh:mm:ss"},
                              false);
  Ed_WaterGridInterval = Edit(page, "Ed_WaterGridInterval");
  Rbtn_WaterTGrid_sec = Named(new QRadioButton("sec", page), "Rbtn_WaterTGrid_sec");
  Rbtn_WaterTGrid_min = Named(new QRadioButton("min", page), "Rbtn_WaterTGrid_min");
  m_TimeGridUnit = new QButtonGroup(this);
  m_TimeGridUnit->addButton(Rbtn_WaterTGrid_sec, 1);
  m_TimeGridUnit->addButton(Rbtn_WaterTGrid_min, 60);
  Ed_WaterfallScrollInterval = Edit(page, "Ed_WaterfallScrollInterval");
  Rbtn_WaterScroll_ms = Named(new QRadioButton("ms", page), "Rbtn_WaterScroll_ms");
  Rbtn_WaterScroll_sec = Named(new QRadioButton("sec", page), "Rbtn_WaterScroll_sec");
  Rbtn_WaterScroll_min = Named(new QRadioButton("min", page), "Rbtn_WaterScroll_min");
  m_ScrollUnit = new QButtonGroup(this);
  m_ScrollUnit->addButton(Rbtn_WaterScroll_ms, 1);
  m_ScrollUnit->addButton(Rbtn_WaterScroll_sec, 1000);
  m_ScrollUnit->addButton(Rbtn_WaterScroll_min, 60000);
  Ed_AmplMin = Edit(page, "Ed_AmplMin");
  Ed_AmplMax = Edit(page, "Ed_AmplMax");
  Ed_dBOffsetExpr = Edit(page, "Ed_dBOffsetExpr", 80,
                         "expression for dB reference, updated every second");
  Ed_dBOffsetResult = Edit(page, "Ed_dBOffsetResult");
  Ed_dBOffsetResult->setReadOnly(true);

  g->addWidget(Combo_SpectrumStyleAndPosition, 0, 0, 1, 2);
  g->addWidget(Chk_RotateSpectra, 0, 2, 1, 2);
  g->addWidget(Chk_MirrorForLSB, 1, 2, 1, 2);
  g->addWidget(Chk_DoubleWidthLines, 1, 0, 1, 2);
  g->addWidget(Chk_NoWaterScroll, 2, 0, 1, 2);
  g->addWidget(Chk_OptWaterAverage, 2, 2, 1, 2);
  g->addWidget(Chk_AmplGrid, 3, 0, 1, 2);
  g->addWidget(Chk_FreqGridGraph, 3, 2, 1, 2);
  g->addWidget(Chk_FreqGridWater, 4, 0, 1, 2);
  g->addWidget(Chk_FreqGridDotted, 4, 2, 1, 2);
  g->addWidget(Caption(page, "Time grid:"), 5, 0);
  g->addWidget(Chk_TimeGrid, 5, 1);
  g->addWidget(Chk_TimeGridDotted, 5, 2);
  g->addWidget(Combo_TimeLabelType, 5, 3);
  g->addWidget(Caption(page, "Time grid interval"), 6, 0);
  g->addWidget(Ed_WaterGridInterval, 6, 1);
  g->addWidget(Rbtn_WaterTGrid_sec, 6, 2);
  g->addWidget(Rbtn_WaterTGrid_min, 6, 3);
  g->addWidget(Caption(page, "Scroll interval"), 7, 0);
  g->addWidget(Ed_WaterfallScrollInterval, 7, 1);
  auto* units = new QHBoxLayout;
  units->addWidget(Rbtn_WaterScroll_ms);
  units->addWidget(Rbtn_WaterScroll_sec);
  units->addWidget(Rbtn_WaterScroll_min);
  g->addLayout(units, 7, 2, 1, 2);
  g->addWidget(Caption(page, "Range"), 8, 0);
  g->addWidget(Ed_AmplMin, 8, 1);
  g->addWidget(Ed_AmplMax, 8, 2);
  g->addWidget(Caption(page, "Offset"), 9, 0);
  g->addWidget(Ed_dBOffsetExpr, 9, 1, 1, 3);
  g->addWidget(Caption(page, "-> calculated:"), 10, 0);
  g->addWidget(Ed_dBOffsetResult, 10, 1);
  g->setRowStretch(11, 1);

  connect(Ed_dBOffsetExpr, &QLineEdit::textChanged, this, [this] {
    if (UpdateCount == 0) UpdateDbOffsetInfo();
  });
  return page;
}

QWidget* TConfigDlg::CreateColorsPage()
{
  QWidget* page = NewPage(PC_Config, "Ts_ExtDisplay", "Display Colors ");
  auto* g = new QGridLayout(page);
  Pnl_SpectrumBackgndColor =
      ColorPanel(page, "Pnl_SpectrumBackgndColor", "Spectrum graph background");
  Pnl_SpectrumGridColor = ColorPanel(page, "Pnl_SpectrumGridColor", "Spectrum graph grid ");
  Pnl_SpectrumPen1Color = ColorPanel(page, "Pnl_SpectrumPen1Color", "Pen 1");
  Pnl_SpectrumPen2Color = ColorPanel(page, "Pnl_SpectrumPen2Color", "Pen 2");
  Pnl_SpectrumPen3Color = ColorPanel(page, "Pnl_SpectrumPen3Color", "Pen 3");
  Pnl_FreqScaleBgColor = ColorPanel(page, "Pnl_FreqScaleBgColor", "Frequency scale background");
  Pnl_FreqScaleFgColor = ColorPanel(page, "Pnl_FreqScaleFgColor", "Frequency scale foreground");
  Pnl_WaterGridColor = ColorPanel(page, "Pnl_WaterGridColor", "Waterfall grid");
  Pnl_WaterLabelTextColor = ColorPanel(page, "Pnl_WaterLabelTextColor", "Label Text");
  Chk_WaterLabelTransparent = Check(page, "Chk_WaterLabelTransparent", "transparent");
  g->addWidget(Pnl_SpectrumBackgndColor, 0, 0, 1, 3);
  g->addWidget(Pnl_SpectrumGridColor, 1, 0, 1, 3);
  g->addWidget(Pnl_SpectrumPen1Color, 2, 0);
  g->addWidget(Pnl_SpectrumPen2Color, 2, 1);
  g->addWidget(Pnl_SpectrumPen3Color, 2, 2);
  g->addWidget(Pnl_FreqScaleBgColor, 3, 0, 1, 3);
  g->addWidget(Pnl_FreqScaleFgColor, 4, 0, 1, 3);
  g->addWidget(Pnl_WaterGridColor, 5, 0, 1, 3);
  g->addWidget(Pnl_WaterLabelTextColor, 6, 0, 1, 2);
  g->addWidget(Chk_WaterLabelTransparent, 6, 2);
  g->setRowStretch(7, 1);
  for (TClickLabel* p : {Pnl_SpectrumBackgndColor, Pnl_SpectrumGridColor, Pnl_SpectrumPen1Color,
                         Pnl_SpectrumPen2Color, Pnl_SpectrumPen3Color, Pnl_FreqScaleBgColor,
                         Pnl_FreqScaleFgColor, Pnl_WaterGridColor, Pnl_WaterLabelTextColor})
    connect(p, &TClickLabel::clicked, this, [this, p] { PickPanelColor(p); });
  return page;
}

QWidget* TConfigDlg::CreateWavePage()
{
  QWidget* page = NewPage(PC_Config, "TS_WaveFile", "Wave Files");
  auto* g = new QGridLayout(page);
  Chk_EndlessPlayLoop = Check(page, "Chk_EndlessPlayLoop", "play WAV file in endless loop");
  Chk_PlayWaveUpsampled =
      Check(page, "Chk_PlayWaveUpsampled", "interpolate if recorded sample rate low");
  Chk_PlayWaveDownsampled =
      Check(page, "Chk_PlayWaveDownsampled", "decimate if recorded sample rate high");
  Chk_PlayWaveAntialiasing =
      Check(page, "Chk_PlayWaveAntialiasing", "use antialias filter if necessary");
  Chk_PlayWaveSpeedModify = Check(page, "Chk_PlayWaveSpeedModify", "play wave speeded up/down");
  Ed_PlayWaveSpeedPercent = Edit(page, "Ed_PlayWaveSpeedPercent");
  Chk_SaveWaveDownsampled = Check(page, "Chk_SaveWaveDownsampled", "decimate saved audio samples");
  Ed_SaveWaveMinRate = Edit(page, "Ed_SaveWaveMinRate");
  Chk_SaveWaveAntialiasing =
      Check(page, "Chk_SaveWaveAntialiasing", "use antialias filter if necessary");
  Chk_SaveWaveAsRawFile =
      Check(page, "Chk_SaveWaveAsRawFile", "Use RAW file instead of WAVE-format");
  Chk_SaveWaveInfosInHeader =
      Check(page, "Chk_SaveWaveInfosInHeader", "save some infos in WAV-file header");
  Ed_SaveWaveMaxSize = Edit(page, "Ed_SaveWaveMaxSize");

  auto* play = new QGroupBox("Replay", page);
  auto* pg = new QGridLayout(play);
  pg->addWidget(Chk_EndlessPlayLoop, 0, 0, 1, 3);
  pg->addWidget(Chk_PlayWaveUpsampled, 1, 0, 1, 3);
  pg->addWidget(Chk_PlayWaveDownsampled, 2, 0, 1, 3);
  pg->addWidget(Chk_PlayWaveAntialiasing, 3, 0, 1, 3);
  pg->addWidget(Chk_PlayWaveSpeedModify, 4, 0);
  pg->addWidget(Ed_PlayWaveSpeedPercent, 4, 1);
  pg->addWidget(Caption(play, "% of original recording"), 4, 2);
  auto* save = new QGroupBox("Save", page);
  auto* sg = new QGridLayout(save);
  sg->addWidget(Chk_SaveWaveDownsampled, 0, 0);
  sg->addWidget(Ed_SaveWaveMinRate, 0, 1);
  sg->addWidget(Caption(save, "samples/sec"), 0, 2);
  sg->addWidget(Chk_SaveWaveAntialiasing, 1, 0, 1, 3);
  sg->addWidget(Chk_SaveWaveAsRawFile, 2, 0, 1, 3);
  sg->addWidget(Chk_SaveWaveInfosInHeader, 3, 0, 1, 3);
  sg->addWidget(Caption(save, "stop saving if file exceeds"), 4, 0);
  sg->addWidget(Ed_SaveWaveMaxSize, 4, 1);
  sg->addWidget(Caption(save, "kB"), 4, 2);
  g->addWidget(play, 0, 0);
  g->addWidget(save, 1, 0);
  g->setRowStretch(2, 1);
  return page;
}

QWidget* TConfigDlg::CreateMarkersPage()
{
  QWidget* page = NewPage(PC_Config, "Ts_Markers", "Markers");
  auto* v = new QVBoxLayout(page);
  Sg_Markers = Grid(page, "Sg_Markers", 4, 4);
  MakeGridRowsMovable(Sg_Markers, false, 1);
  Sg_Markers->setColumnWidth(0, 30);
  Sg_Markers->setColumnWidth(2, 220);
  Sg_Markers->setColumnWidth(3, 220);
  v->addWidget(Sg_Markers);
  return page;
}

QWidget* TConfigDlg::CreateSystemPage()
{
  QWidget* page = NewPage(PC_Config, "TS_System", "System");
  auto* g = new QGridLayout(page);
  Ed_LocalMinusUTC_hours = Edit(page, "Ed_LocalMinusUTC_hours");
  Lab_UTC_Time = Named(new QLabel(page), "Lab_UTC_Time");
  g->addWidget(Caption(page, "Local time MINUS UTC(GMT) :"), 0, 0);
  g->addWidget(Ed_LocalMinusUTC_hours, 0, 1);
  g->addWidget(Caption(page, "hour(s)"), 0, 2);
  g->addWidget(Caption(page, "Adjust this yourself for daylight saving time :-)"), 1, 0, 1, 3);
  g->addWidget(Caption(page, "Time in  UTC :"), 2, 0);
  g->addWidget(Lab_UTC_Time, 2, 1);
  g->setRowStretch(3, 1);
  connect(Ed_LocalMinusUTC_hours, &QLineEdit::textChanged, this,
          &TConfigDlg::Ed_LocalMinusUTC_hoursChange);
  return page;
}

QWidget* TConfigDlg::CreateReferencePage()
{
  QWidget* page = NewPage(PC_Config, "TS_FreqRespCalib", "Ampl. calibration");
  auto* v = new QVBoxLayout(page);
  auto* grp = new QGroupBox("Spectrum Reference", page);
  auto* g = new QGridLayout(grp);
  Chk_RefVisible =
      Check(grp, "Chk_RefVisible", "Visible graph", "show reference in the spectrum graph");
  Chk_RefSubtract =
      Check(grp, "Chk_RefSubtract", "Subtract", "subtract ref from the displayed spectrum");
  Pnl_SpectrumRef = ColorPanel(grp, "Pnl_SpectrumRef", "Color");
  Pnl_SpectrumRef->setToolTip("change color for reference display");
  Ed_SpecRefFilename = Edit(grp, "Ed_SpecRefFilename");
  const char* hint = "use current spectrum as new reference";
  Btn_DefineRef = Named(new QPushButton("Copy from current spectrum", grp), "Btn_DefineRef");
  Btn_LoadSpectrumRef =
      Named(new QPushButton("Load reference fron file", grp), "Btn_LoadSpectrumRef");
  Btn_SaveSpectrumRef =
      Named(new QPushButton("Save reference as file", grp), "Btn_SaveSpectrumRef");
  for (QPushButton* b : {Btn_DefineRef, Btn_LoadSpectrumRef, Btn_SaveSpectrumRef}) {
    b->setToolTip(QString::fromLatin1(hint));
    b->setAutoDefault(false);
  }
  g->addWidget(Chk_RefVisible, 0, 0);
  g->addWidget(Chk_RefSubtract, 0, 1);
  g->addWidget(Pnl_SpectrumRef, 0, 2);
  g->addWidget(Caption(grp, "Filename:"), 1, 0);
  g->addWidget(Ed_SpecRefFilename, 1, 1, 1, 2);
  g->addWidget(Btn_DefineRef, 2, 0);
  g->addWidget(Btn_LoadSpectrumRef, 2, 1);
  g->addWidget(Btn_SaveSpectrumRef, 2, 2);
  v->addWidget(grp);
  v->addStretch(1);
  connect(Pnl_SpectrumRef, &TClickLabel::clicked, this, [this] { PickPanelColor(Pnl_SpectrumRef); });
  connect(Btn_DefineRef, &QPushButton::clicked, this, &TConfigDlg::Btn_DefineRefClick);
  connect(Btn_LoadSpectrumRef, &QPushButton::clicked, this, &TConfigDlg::Btn_LoadSpectrumRefClick);
  connect(Btn_SaveSpectrumRef, &QPushButton::clicked, this, &TConfigDlg::Btn_SaveSpectrumRefClick);
  return page;
}

// ---------------------------------------------------------------------------------------------
// Activation, help, closing

void TConfigDlg::FormActivate()
{
  for (QWidget* w : {static_cast<QWidget*>(Ed_BufferedSpectrumLines),
                     static_cast<QWidget*>(Ed_WaterfallScrollInterval),
                     static_cast<QWidget*>(Ed_PlayWaveSpeedPercent), static_cast<QWidget*>(Ed_AmplMin),
                     static_cast<QWidget*>(Ed_AmplMax)})
    Unmark(w);
  SettingsToControls();
}

bool TConfigDlg::event(QEvent* e)
{
  if (e->type() == QEvent::WindowActivate) {
    // Closing one of the dialog's own colour or file dialogs activates it again: that is no
    // return from another window, and a refill would throw away what the user just picked.
    if (m_OwnDialogs > 0) {
      m_SkipActivation = false;
    } else if (m_SkipActivation) {
      m_SkipActivation = false;
    } else {
      FormActivate();
    }
  }
  return QDialog::event(e);
}

bool TConfigDlg::RunOwnDialog(const std::function<bool()>& f)
{
  ++m_OwnDialogs;
  const bool wasActive = isActiveWindow();
  const bool result = f();
  --m_OwnDialogs;
  // When the own dialog took the activation away, the activation that comes back when it is
  // gone (often after this returns) belongs to it.
  if (wasActive && !isActiveWindow()) m_SkipActivation = true;
  return result;
}

void TConfigDlg::showEvent(QShowEvent* e)
{
  QDialog::showEvent(e);
  if (!e->spontaneous()) {
    if (QScreen* s = screen()) {
      // Centred on the screen, frame included, and never larger than it or with its title bar
      // above it (a screen smaller than the dialog's minimum keeps the title bar reachable).
      const QRect avail = s->availableGeometry();
      const QMargins frame = WindowFrameMargins();
      resize(size().boundedTo(avail.size().shrunkBy(frame)).expandedTo(minimumSizeHint()));
      QRect outer(QPoint(), size().grownBy(frame));
      outer.moveCenter(avail.center());
      move(std::max(outer.left(), avail.left()), std::max(outer.top(), avail.top()));
    }
    Timer1->start();
    m_SkipActivation = false;
    FormActivate();
  }
}

void TConfigDlg::hideEvent(QHideEvent* e)
{
  QDialog::hideEvent(e);
  if (e->spontaneous()) return;
  Timer1->stop();
  // However the dialog is closed (Close, the window's close button, Escape), a time zone that
  // was typed but not applied is undone.
  g_LocalMinusUtcHours = MachineConfig.LocalMinusUTC;
}

void TConfigDlg::Btn_CloseClick()
{
  g_LocalMinusUtcHours = MachineConfig.LocalMinusUTC;
  close();
}

void TConfigDlg::Btn_HelpClick() { ShowHelpContext(HELP_CONTEXT); }

uint32_t TConfigDlg::CurrentHelpContext() const
{
  QWidget* page = PC_Config->currentWidget();
  if (page == TS_AudioSettings) return HELP_AUDIO;
  if (page == TS_FFT_Settings) return HELP_FFT;
  if (page == TS_SpectrumDisplay) return HELP_DISPLAY;
  if (page == TS_Interface) return HELP_INTERFACE;
  return HELP_CONTEXT;
}

void TConfigDlg::ShowPage(QWidget* page)
{
  if (page) PC_Config->setCurrentWidget(page);
  BringWindowToFront(this);
}

void TConfigDlg::AddMessage(const QString& text) { Memo_Messages->appendPlainText(text); }

void TConfigDlg::Mark(QWidget* w)
{
  w->setStyleSheet("background-color: #ff0000;");
  m_Corrected = true;
}

void TConfigDlg::Unmark(QWidget* w) { w->setStyleSheet(QString()); }
