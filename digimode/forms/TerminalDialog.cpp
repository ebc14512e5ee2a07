// The digimode configuration dialog.
#include "digimode/forms/TerminalDialog.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QCursor>
#include <QEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <cstring>

#include "digimode/DigimodeDll.h"
#include "digimode/DigimodeSettings.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "platform/NumText.h"

TTerminalDialog* TerminalDialog = nullptr;

namespace {

constexpr const char* kFreqPattern = "###0.0#";
constexpr const char* kRatePattern = "##0.00";
constexpr const char* kPercentPattern = "##0.0";
constexpr int kDllNameMaxLength = 200;

const char* const kOpModes[] = {"unknown    (0)", "characters (1)", "data blocks(2)", "HELL modes (3)",
                                "-reserved- (4)", "-reserved- (5)", "-reserved- (6)"};
const char* const kModulations[] = {"unknown", "other", "CW / OOK", "ASK",   "PSK",   "FSK",
                                    "APK",     "Parallel MT", "BPSK", "QPSK", "OQPSK", "MSK",
                                    "MPSK",    "MFSK / SMT",  "Chirped MT", "reserved"};
const char* const kCodeSets[] = {"(unknown)",    "Morse", "Baudot", "ASCII, 7 Bit", "ASCII, 8 Bit",
                                 "PSK31 'Varicode'", "#5", "#6",    "#7",           "#8"};
const char* const kPulseShapes[] = {"off", "Amplitude Ramp", "Slow Phase Transition"};
const char* const kScopeModes[] = {"off", "X/Y (for mark/space)", "u(t) (amplitude over time)",
                                   "Bit phase vectors", "absolute phase vectors"};

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QComboBox* MakeCombo(const char* name, const char* const* items, int count, bool fixedPitch)
{
  auto* c = Named(new QComboBox, name);
  for (int i = 0; i < count; ++i) c->addItem(QString::fromLatin1(items[i]));
  if (fixedPitch) c->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  return c;
}

QLineEdit* MakeEdit(const char* name) { return Named(new QLineEdit, name); }

QCheckBox* MakeCheck(const char* name, const char* caption) { return Named(new QCheckBox(caption), name); }

QPushButton* MakeButton(const char* name, const char* caption)
{
  auto* b = Named(new QPushButton(caption), name);
  b->setAutoDefault(false);
  return b;
}

// One row of a grid: label, control, unit.
void AddRow(QGridLayout* g, int row, const char* label, QWidget* control, const char* unit = nullptr)
{
  g->addWidget(new QLabel(label), row, 0);
  g->addWidget(control, row, 1);
  if (unit) g->addWidget(new QLabel(unit), row, 2);
}

QString Num(const char* pattern, double v) { return QString::fromStdString(FormatFloat(pattern, v)); }

double ReadNumber(const QLineEdit* e, double current)
{
  return StrToFloatDef(e->text().trimmed().toStdString(), current);
}

int IndexOf(const QComboBox* c, int current)
{
  const int i = c->currentIndex();
  return i >= 0 ? i : current;
}

// The name into the record's 256-byte field: at most 255 bytes, never in the middle of a
// character.
void CopyName(const QString& text, char (&field)[kDigimodeDllNameSize])
{
  const QByteArray utf8 = text.toUtf8();
  size_t n = std::min<size_t>(static_cast<size_t>(utf8.size()), kDigimodeDllNameSize - 1);
  if (n < static_cast<size_t>(utf8.size()))
    while (n > 0 && (static_cast<unsigned char>(utf8[static_cast<qsizetype>(n)]) & 0xC0) == 0x80) --n;
  std::memset(field, 0, sizeof(field));
  std::memcpy(field, utf8.constData(), n);
}

}  // namespace

TTerminalDialog::TTerminalDialog(QWidget* parent) : QDialog(parent)
{
  setObjectName("TerminalDialog");
  setWindowTitle("Digimode Configuration");
  resize(440, 315);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 0);
  PageControl1 = Named(new QTabWidget, "PageControl1");
  auto* basic = new QWidget;
  auto* advanced = new QWidget;
  BuildBasicPage(basic);
  BuildAdvancedPage(advanced);
  PageControl1->addTab(basic, "Basic");
  PageControl1->addTab(advanced, "Advanced");
  PageControl1->addTab(new QWidget, "-");
  PageControl1->addTab(new QWidget, "-");
  outer->addWidget(PageControl1, 1);

  auto* buttons = new QHBoxLayout;
  Btn_OK = MakeButton("Btn_OK", "OK");
  Btn_OK->setDefault(true);
  Btn_Cancel = MakeButton("Btn_Cancel", "Cancel");
  Btn_Help = MakeButton("Btn_Help", "&Help");
  buttons->addStretch(1);
  buttons->addWidget(Btn_OK);
  buttons->addWidget(Btn_Cancel);
  buttons->addWidget(Btn_Help);
  outer->addLayout(buttons);

  StatusBar1 = Named(new QStatusBar, "StatusBar1");
  StatusBar1->setSizeGripEnabled(false);
  for (int i = 0; i < 2; ++i) {
    m_Panel[i] = new QLabel;
    m_Panel[i]->setObjectName(QString("StatusPanel%1").arg(i));
  }
  m_Panel[0]->setFixedWidth(100);
  m_Panel[1]->setMinimumWidth(50);
  StatusBar1->addWidget(m_Panel[0]);
  StatusBar1->addWidget(m_Panel[1], 1);
  outer->addWidget(StatusBar1);

  BuildStdModesMenu();

  connect(Btn_OK, &QPushButton::clicked, this, [this] { Btn_OKClick(); });
  connect(Btn_Cancel, &QPushButton::clicked, this, [this] { reject(); });
  connect(Btn_Help, &QPushButton::clicked, this, [this] { Btn_HelpClick(); });
  connect(Btn_StdModes, &QPushButton::clicked, this, [this] { Btn_StdModesClick(); });
  connect(Btn_LoadDigiDLL, &QPushButton::clicked, this, [this] { Btn_LoadDigiDLLClick(); });
  connect(Combo_ModType, &QComboBox::currentIndexChanged, this, [this] { Combo_ModTypeChange(); });
  connect(Chk_UseDigiDLL, &QCheckBox::clicked, this, [this] { Chk_UseDigiDLLClick(); });
  Ed_DLL_Name->installEventFilter(this);
  InstallHelpShortcut(this, HELP_CONTEXT);
  FormCreate();
}

TTerminalDialog::~TTerminalDialog() = default;

void TTerminalDialog::BuildBasicPage(QWidget* page)
{
  auto* g = new QGridLayout(page);
  Combo_OpMode = MakeCombo("Combo_OpMode", kOpModes, 7, true);
  QStringList mods;
  for (int i = 0; i < 16; ++i) {
    const QString code = QString("(%1)").arg(i);
    mods << QString::fromLatin1(kModulations[i]).leftJustified(15 - code.size(), ' ') + code;
  }
  Combo_ModType = Named(new QComboBox, "Combo_ModType");
  Combo_ModType->addItems(mods);
  Combo_ModType->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Combo_CodeSet = MakeCombo("Combo_CodeSet", kCodeSets, 10, false);
  Combo_PulseShapeType = MakeCombo("Combo_PulseShapeType", kPulseShapes, 3, false);
  Ed_Fcenter_RX = MakeEdit("Ed_Fcenter_RX");
  Ed_Fcenter_TX = MakeEdit("Ed_Fcenter_TX");
  Ed_ShiftFreq = MakeEdit("Ed_ShiftFreq");
  Ed_SymbolRate = MakeEdit("Ed_SymbolRate");
  Ed_SymShapingTime = MakeEdit("Ed_SymShapingTime");
  Ed_ModOutputLevel = MakeEdit("Ed_ModOutputLevel");
  Ed_DetSquelchLevel = MakeEdit("Ed_DetSquelchLevel");
  Chk_UseDigiDLL = MakeCheck("Chk_UseDigiDLL", "use DLL:");
  Ed_DLL_Name = MakeEdit("Ed_DLL_Name");
  Ed_DLL_Name->setMaxLength(kDllNameMaxLength);
  Btn_StdModes = MakeButton("Btn_StdModes", "Select predefined mode...");
  Btn_LoadDigiDLL = MakeButton("Btn_LoadDigiDLL", "Load driver DLL...");

  int r = 0;
  AddRow(g, r++, "Basic mode", Combo_OpMode);
  AddRow(g, r++, "Modulation type", Combo_ModType);
  AddRow(g, r++, "Code Set", Combo_CodeSet);
  AddRow(g, r++, "Pulse shaping", Combo_PulseShapeType);
  AddRow(g, r++, "Center frequency (RX)", Ed_Fcenter_RX, "Hz");
  AddRow(g, r++, "Center frequency (TX)", Ed_Fcenter_TX, "Hz");
  AddRow(g, r++, "Frequency shift (FSK)", Ed_ShiftFreq, "Hz");
  AddRow(g, r++, "Symbol Rate ; Baudrate", Ed_SymbolRate, "sym/sec");
  AddRow(g, r++, "Symbol shaping time", Ed_SymShapingTime, "%");
  AddRow(g, r++, "Modulator output level", Ed_ModOutputLevel, "%");
  AddRow(g, r++, "Detector squelch level", Ed_DetSquelchLevel, "%");
  g->addWidget(Chk_UseDigiDLL, r, 0);
  g->addWidget(Ed_DLL_Name, r++, 1, 1, 2);
  auto* row = new QHBoxLayout;
  row->addWidget(Btn_StdModes);
  row->addWidget(Btn_LoadDigiDLL);
  g->addLayout(row, r++, 0, 1, 3);
  g->setRowStretch(r, 1);
}

void TTerminalDialog::BuildAdvancedPage(QWidget* page)
{
  auto* v = new QVBoxLayout(page);
  auto* afc = new QGroupBox("Automatic Frequency Control");
  auto* ga = new QGridLayout(afc);
  Chk_UseAFC = MakeCheck("Chk_UseAFC", "enabled");
  Chk_NarrowAFC = MakeCheck("Chk_NarrowAFC", "narrow");
  Ed_AfcTuneRange = MakeEdit("Ed_AfcTuneRange");
  ga->addWidget(Chk_UseAFC, 0, 0);
  ga->addWidget(Chk_NarrowAFC, 0, 1);
  ga->addWidget(new QLabel("Tuning range:"), 1, 0);
  auto* rangeRow = new QHBoxLayout;
  rangeRow->addWidget(new QLabel("+-"));
  rangeRow->addWidget(Ed_AfcTuneRange);
  rangeRow->addWidget(new QLabel("Hz"));
  ga->addLayout(rangeRow, 1, 1);
  v->addWidget(afc);

  auto* scope = new QGroupBox("Tuning Scope");
  auto* gs = new QGridLayout(scope);
  Combo_TuneScopeMode = MakeCombo("Combo_TuneScopeMode", kScopeModes, 5, false);
  gs->addWidget(new QLabel("Mode"), 0, 0);
  gs->addWidget(Combo_TuneScopeMode, 0, 1);
  v->addWidget(scope);
  v->addStretch(1);
}

void TTerminalDialog::BuildStdModesMenu()
{
  PMenu_StdModes = new QMenu(this);
  PMenu_StdModes->setObjectName("PMenu_StdModes");
  struct Item {
    const char* name;
    const char* caption;
    void (TTerminalDialog::*handler)();
    bool enabled;
  };
  const Item items[] = {
      {"Mnu_SlowCW", "Slow CW", &TTerminalDialog::Mnu_SlowCWClick, false},
      {"Mnu_PSK31", "PSK 31", &TTerminalDialog::Mnu_PSK31Click, true},
      {"Mnu_PSK08", "PSK 08", &TTerminalDialog::Mnu_PSK08Click, true},
      {"Mnu_PSK02", "PSK02", &TTerminalDialog::Mnu_PSK02Click, true},
      {"Mnu_RTTY", "RTTY (ham radio)", &TTerminalDialog::Mnu_RTTYClick, false},
      {"Mnu_ParallelMTHell", "parallel MT Hell (PMT)", &TTerminalDialog::Mnu_ParallelMTHellClick, true},
      {"Mnu_SequentialMTHell", "sequential MT Hell (MFSK)", &TTerminalDialog::Mnu_SequentialMTHellClick,
       true},
  };
  for (const Item& it : items) {
    QAction* a = PMenu_StdModes->addAction(it.caption);
    a->setObjectName(it.name);
    a->setEnabled(it.enabled);
    const auto handler = it.handler;
    connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
  }
}

void TTerminalDialog::FormCreate() { AppendInstanceSuffix(this); }

void TTerminalDialog::FormShow()
{
  Updating = 1;
  ParamsToControls();
  SetStatusText(1, QString());
  Updating = 0;
}

void TTerminalDialog::showEvent(QShowEvent* e)
{
  QDialog::showEvent(e);
  FormShow();
}

bool TTerminalDialog::eventFilter(QObject* watched, QEvent* e)
{
  if (watched == Ed_DLL_Name && e->type() == QEvent::FocusIn) Ed_DLL_NameEnter();
  return QDialog::eventFilter(watched, e);
}

void TTerminalDialog::ParamsToControls()
{
  ++Updating;
  const T_DigimodeSettings& s = DigimodeSettings;
  Combo_OpMode->setCurrentIndex(s.OperMode);
  Combo_ModType->setCurrentIndex(s.Modulation);
  Combo_CodeSet->setCurrentIndex(s.CodesetNr);
  Combo_PulseShapeType->setCurrentIndex(s.pulse_shaping);
  Ed_Fcenter_RX->setText(Num(kFreqPattern, s.fc_rx));
  Ed_Fcenter_TX->setText(Num(kFreqPattern, s.fc_tx));
  Ed_ShiftFreq->setText(Num(kFreqPattern, s.f_shift));
  Ed_SymbolRate->setText(Num(kRatePattern, s.symbol_rate));
  Ed_SymShapingTime->setText(Num(kPercentPattern, s.shape_percent));
  Ed_ModOutputLevel->setText(Num(kPercentPattern, s.output_level));
  Ed_DetSquelchLevel->setText(QString::number(static_cast<int>(s.squelch_thrsh)));
  Chk_UseDigiDLL->setChecked(s.use_it);
  Ed_DLL_Name->setText(QString::fromUtf8(s.name, static_cast<qsizetype>(strnlen(s.name, sizeof(s.name)))));
  Chk_UseAFC->setChecked(s.use_afc);
  Chk_NarrowAFC->setChecked(s.narrow_afc);
  Ed_AfcTuneRange->setText(Num(kPercentPattern, s.afc_tune_range));
  Combo_TuneScopeMode->setCurrentIndex(s.ScopeMode);
  --Updating;
}

void TTerminalDialog::Btn_OKClick()
{
  if (Updating != 0) return;
  T_DigimodeSettings& s = DigimodeSettings;
  s.OperMode = IndexOf(Combo_OpMode, s.OperMode);
  s.Modulation = IndexOf(Combo_ModType, s.Modulation);
  s.CodesetNr = IndexOf(Combo_CodeSet, s.CodesetNr);
  s.pulse_shaping = IndexOf(Combo_PulseShapeType, s.pulse_shaping);
  s.fc_rx = ReadNumber(Ed_Fcenter_RX, s.fc_rx);
  s.fc_tx = ReadNumber(Ed_Fcenter_TX, s.fc_tx);
  s.f_shift = ReadNumber(Ed_ShiftFreq, s.f_shift);
  s.symbol_rate = ReadNumber(Ed_SymbolRate, s.symbol_rate);
  s.shape_percent = ReadNumber(Ed_SymShapingTime, s.shape_percent);
  s.output_level = ReadNumber(Ed_ModOutputLevel, s.output_level);
  s.squelch_thrsh = StrToIntDef(Ed_DetSquelchLevel->text().trimmed().toStdString(), s.squelch_thrsh);
  s.use_afc = Chk_UseAFC->isChecked();
  s.narrow_afc = Chk_NarrowAFC->isChecked();
  s.afc_tune_range = ReadNumber(Ed_AfcTuneRange, s.afc_tune_range);
  s.ScopeMode = IndexOf(Combo_TuneScopeMode, s.ScopeMode);
  CopyName(Ed_DLL_Name->text(), s.name);
  s.use_it = Chk_UseDigiDLL->isChecked();
  accept();
}

void TTerminalDialog::Btn_HelpClick() { ShowHelpContext(HELP_CONTEXT); }

void TTerminalDialog::Combo_ModTypeChange()
{
  if (Updating != 0) return;
  const int code = Combo_CodeSet->currentIndex();
  switch (Combo_ModType->currentIndex()) {
  case 2:  // CW / OOK
    Combo_CodeSet->setCurrentIndex(1);
    break;
  case 5:  // FSK
    if (code < 2 || code > 4) Combo_CodeSet->setCurrentIndex(2);
    break;
  case 8:  // BPSK
  case 9:  // QPSK
    Combo_CodeSet->setCurrentIndex(5);
    break;
  default:
    break;
  }
}

void TTerminalDialog::Btn_StdModesClick()
{
  SetStatusText(1, "Select a 'standard' communication mode");
  PMenu_StdModes->popup(QCursor::pos());
}

void TTerminalDialog::Btn_LoadDigiDLLClick()
{
  SetStatusText(0, "Load DLL");
  QString name = Ed_DLL_Name->text();
  if (!AskFileName(this, false, "Load a Digimode Driver DLL", "Digimode plug-ins (*.so)", name, "so")) {
    SetStatusText(0, QString());
    SetStatusText(1, QString());
    return;
  }
  const QString path = QFileInfo(name).absoluteFilePath();
  std::string text;
  switch (Digimode_TestModeDll(path.toStdString(), &text)) {
  case DigimodeDllTest::LoadFailed:
    SetStatusText(0, "Error:");
    SetStatusText(1, "Couldn't load selected DLL.");
    return;
  case DigimodeDllTest::NoParamString:
    SetStatusText(0, "Error:");
    SetStatusText(1, "Couldn't find \"GetParamString\" in the DLL.");
    return;
  case DigimodeDllTest::Ok:
    break;
  }
  SetStatusText(0, "DLL ok:");
  SetStatusText(1, QString::fromUtf8(text.c_str()));
  Ed_DLL_Name->setText(path);
  Chk_UseDigiDLL->setChecked(true);
}

void TTerminalDialog::Ed_DLL_NameEnter()
{
  if (Updating == 0) SetStatusText(1, Ed_DLL_Name->text());
}

void TTerminalDialog::Chk_UseDigiDLLClick()
{
  if (Updating != 0) return;
  SetStatusText(1, Chk_UseDigiDLL->isChecked() ? "Use " + Ed_DLL_Name->text()
                                               : QString("Use Vartumo's built-in routines"));
}

void TTerminalDialog::EndUpdate()
{
  if (Updating > 0) --Updating;
}

void TTerminalDialog::SetStdPSKMode(const QString& symbolRate)
{
  Combo_OpMode->setCurrentIndex(1);
  Combo_ModType->setCurrentIndex(8);
  Combo_CodeSet->setCurrentIndex(5);
  Combo_PulseShapeType->setCurrentIndex(1);
  Ed_SymbolRate->setText(symbolRate);
  Ed_SymShapingTime->setText("100");
  Ed_ModOutputLevel->setText("100");
  Ed_DetSquelchLevel->setText("25");
  Chk_UseAFC->setChecked(true);
  Chk_NarrowAFC->setChecked(false);
}

void TTerminalDialog::Mnu_SlowCWClick()
{
  ++Updating;
  Combo_OpMode->setCurrentIndex(1);
  Combo_ModType->setCurrentIndex(2);
  Combo_CodeSet->setCurrentIndex(1);
  Combo_PulseShapeType->setCurrentIndex(1);
  Ed_SymbolRate->setText("0.25");
  Ed_SymShapingTime->setText("10");
  Ed_ModOutputLevel->setText("100");
  Ed_DetSquelchLevel->setText("25");
  Chk_UseAFC->setChecked(false);
  Chk_NarrowAFC->setChecked(false);
  SetStatusText(1, "parameters set for slow CW");
  EndUpdate();
}

void TTerminalDialog::Mnu_PSK31Click()
{
  ++Updating;
  SetStdPSKMode("31.25");
  SetStatusText(1, "Standard parameters set for PSK31");
  EndUpdate();
}

void TTerminalDialog::Mnu_PSK08Click()
{
  ++Updating;
  SetStdPSKMode("8");
  SetStatusText(1, "Standard parameters set for PSK08");
  EndUpdate();
}

void TTerminalDialog::Mnu_PSK02Click()
{
  ++Updating;
  SetStdPSKMode("2");
  SetStatusText(1, "Standard parameters set for PSK02");
  EndUpdate();
}

void TTerminalDialog::Mnu_RTTYClick()
{
  ++Updating;
  Combo_OpMode->setCurrentIndex(1);
  Combo_ModType->setCurrentIndex(5);
  Combo_CodeSet->setCurrentIndex(2);
  Combo_PulseShapeType->setCurrentIndex(1);
  Ed_SymbolRate->setText("45.5");
  Ed_SymShapingTime->setText("10");
  Ed_ModOutputLevel->setText("100");
  Ed_DetSquelchLevel->setText("25");
  Chk_UseAFC->setChecked(false);
  Chk_NarrowAFC->setChecked(false);
  SetStatusText(1, "parameters set for 'ham' RTTY");
  EndUpdate();
}

void TTerminalDialog::Mnu_ParallelMTHellClick()
{
  ++Updating;
  Combo_OpMode->setCurrentIndex(3);
  Combo_ModType->setCurrentIndex(7);
  Combo_CodeSet->setCurrentIndex(0);
  Combo_PulseShapeType->setCurrentIndex(1);
  Ed_SymbolRate->setText("1.00");
  Ed_SymShapingTime->setText("100");
  Ed_ModOutputLevel->setText("100");
  Ed_DetSquelchLevel->setText("25");
  Ed_ShiftFreq->setText("10");
  Chk_UseAFC->setChecked(false);
  Chk_NarrowAFC->setChecked(false);
  SetStatusText(1, "parameters set for narrow MT HELL");
  EndUpdate();
}

void TTerminalDialog::Mnu_SequentialMTHellClick()
{
  ++Updating;
  Combo_OpMode->setCurrentIndex(3);
  Combo_ModType->setCurrentIndex(13);
  Combo_CodeSet->setCurrentIndex(0);
  Combo_PulseShapeType->setCurrentIndex(1);
  Ed_SymbolRate->setText("0.7");
  Ed_SymShapingTime->setText("25");
  Ed_ModOutputLevel->setText("100");
  Ed_DetSquelchLevel->setText("25");
  Ed_ShiftFreq->setText("30");
  Chk_UseAFC->setChecked(false);
  Chk_NarrowAFC->setChecked(false);
  SetStatusText(1, "parameters set for narrow MT HELL");
  EndUpdate();
}

QString TTerminalDialog::StatusText(int panel) const
{
  return panel == 0 || panel == 1 ? m_Panel[panel]->text() : QString();
}

void TTerminalDialog::SetStatusText(int panel, const QString& text)
{
  if (panel == 0 || panel == 1) m_Panel[panel]->setText(text);
}
