// The spectrum alert dialog.
#include "interp/forms/AlertDlg.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QShowEvent>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstring>
#include <tuple>
#include <utility>

#include "engine/forms/ColorRefQt.h"
#include "engine/DebugU1.h"
#include "engine/SettingsFileNames.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliCommands.h"
#include "interp/forms/FormText.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"

TAlertDlgForm* AlertDlgForm = nullptr;

namespace {

constexpr uint32_t kHelpContext = 1100;
constexpr int kTimerMs = 1000;
constexpr int kPeakTableRows = 20;
constexpr int kPatternWidth = 257;
constexpr int kPatternHeight = 121;
constexpr uint32_t kPatternPen = 0x008000;  // green, 0x00BBGGRR

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QLineEdit* NumberEdit(const char* name, const char* text)
{
  auto* ed = Named(new QLineEdit(text), name);
  ed->setMaximumWidth(70);
  return ed;
}

QString Fmt(const char* pattern, double value)
{
  return QString::fromStdString(FormatFloat(pattern, value));
}

// A row of widgets (and texts) left to right, ending in a stretch.
QHBoxLayout* Row(std::initializer_list<QWidget*> widgets)
{
  auto* row = new QHBoxLayout;
  for (QWidget* w : widgets) row->addWidget(w);
  row->addStretch(1);
  return row;
}

QLabel* Text(const char* text) { return new QLabel(text); }

void SetCell(QTableWidget* grid, int row, int col, const QString& text)
{
  QTableWidgetItem* item = grid->item(row, col);
  if (!item) {
    item = new QTableWidgetItem;
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    grid->setItem(row, col, item);
  }
  item->setText(text);
}

}  // namespace

TAlertDlgForm::TAlertDlgForm(QWidget* parent) : QWidget(parent, Qt::Dialog)
{
  setObjectName("AlertDlgForm");
  setWindowTitle("Spectrum Alert Function");

  auto* outer = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget, "PageControl1");
  outer->addWidget(PageControl1, 1);

  // ---- "General" ----
  TS_General = Named(new QWidget, "TS_General");
  {
    auto* v = new QVBoxLayout(TS_General);
    auto* method = Named(new QGroupBox("Detection Method"), "Grp_DetectionMethod");
    auto* mv = new QVBoxLayout(method);
    Chk_Compare2Ranges = Named(new QCheckBox("Compare two frequency ranges"), "Chk_Compare2Ranges");
    Chk_AutoPeakDetection = Named(new QCheckBox("Automatic Peak Detection"), "Chk_AutoPeakDetection");
    Chk_AutoNoiseDetection =
        Named(new QCheckBox("Intelligent Noise Detection"), "Chk_AutoNoiseDetection");
    mv->addWidget(Chk_Compare2Ranges);
    mv->addWidget(Chk_AutoPeakDetection);
    mv->addWidget(Chk_AutoNoiseDetection);
    auto* status = Named(new QGroupBox("Status && Options"), "Grp_StatusOptions");
    auto* sv = new QVBoxLayout(status);
    Chk_AlertEnabled = Named(new QCheckBox("Enabled"), "Chk_AlertEnabled");
    Chk_Visualize = Named(new QCheckBox("Visualized in Spectrum"), "Chk_Visualize");
    Chk_Visualize->setToolTip("Visualize in Spectrum Window");
    sv->addWidget(Chk_AlertEnabled);
    sv->addWidget(Chk_Visualize);
    v->addWidget(method);
    v->addWidget(status);
    v->addStretch(1);
  }

  // ---- "Frequency Ranges" ----
  TS_FrequencyRanges = Named(new QWidget, "TS_FrequencyRanges");
  {
    auto* v = new QVBoxLayout(TS_FrequencyRanges);
    auto* a = Named(new QGroupBox("Frequency Range A"), "Grp_RangeA");
    auto* av = new QVBoxLayout(a);
    Ed_RangeAmin = NumberEdit("Ed_RangeAmin", "500");
    Ed_RangeAmax = NumberEdit("Ed_RangeAmax", "510");
    Ed_PeakADiffMin = NumberEdit("Ed_PeakADiffMin", "10");
    av->addLayout(Row({Text("from"), Ed_RangeAmin, Text("to"), Ed_RangeAmax, Text("Hz")}));
    av->addLayout(Row({Text("Peak  >= Noise +"), Ed_PeakADiffMin, Text("dB")}));
    auto* b = Named(new QGroupBox("Frequency Range B"), "Grp_RangeB");
    auto* bv = new QVBoxLayout(b);
    Ed_RangeBmin = NumberEdit("Ed_RangeBmin", "645");
    Ed_RangeBmax = NumberEdit("Ed_RangeBmax", "655");
    Ed_PeakBDiffMin = NumberEdit("Ed_PeakBDiffMin", "10");
    bv->addLayout(Row({Text("from"), Ed_RangeBmin, Text("to"), Ed_RangeBmax, Text("Hz")}));
    bv->addLayout(Row({Text("Peak >= Noise +"), Ed_PeakBDiffMin, Text("dB")}));
    auto* cur = Named(new QGroupBox("Current Values"), "Grp_CurrentValues");
    auto* cg = new QGridLayout(cur);
    auto value = [](const char* name, const char* text) { return Named(new QLabel(text), name); };
    Lab_NoiseA = value("Lab_NoiseA", "00.0 dB");
    Lab_AverageA = value("Lab_AverageA", "00.0 dB");
    Lab_PeakA = value("Lab_PeakA", "00.0 dB");
    Lab_PeakFreqA = value("Lab_PeakFreqA", "000.0Hz");
    Lab_AlertPercentA = value("Lab_AlertPercentA", "Alert Percentage = 000 %");
    Lab_NoiseB = value("Lab_NoiseB", "00.0 dB");
    Lab_AverageB = value("Lab_AverageB", "00.0 dB");
    Lab_PeakB = value("Lab_PeakB", "00.0 dB");
    Lab_PeakFreqB = value("Lab_PeakFreqB", "000.0Hz");
    Lab_AlertPercentB = value("Lab_AlertPercentB", "Alert Percentage = 000 %");
    int r = 0;
    for (auto [name, noise, avg, peak, freq, pct] :
         {std::tuple{"A", Lab_NoiseA, Lab_AverageA, Lab_PeakA, Lab_PeakFreqA, Lab_AlertPercentA},
          std::tuple{"B", Lab_NoiseB, Lab_AverageB, Lab_PeakB, Lab_PeakFreqB, Lab_AlertPercentB}}) {
      cg->addWidget(Text(name), r, 0);
      cg->addWidget(Text("Noise:"), r, 1);
      cg->addWidget(noise, r, 2);
      cg->addWidget(Text("Average:"), r, 3);
      cg->addWidget(avg, r, 4);
      cg->addWidget(Text("Peak:"), r, 5);
      cg->addWidget(peak, r, 6);
      cg->addWidget(Text("at"), r, 7);
      cg->addWidget(freq, r, 8);
      cg->addWidget(pct, r + 1, 1, 1, 8);
      r += 2;
    }
    v->addWidget(a);
    v->addWidget(b);
    v->addWidget(cur);
    v->addStretch(1);
  }

  // ---- "Search Pattern" ----
  TS_SearchPattern = Named(new QWidget, "TS_SearchPattern");
  {
    auto* g = new QGridLayout(TS_SearchPattern);
    LBox_ModPattern = Named(new QListWidget, "LBox_ModPattern");
    LBox_ModPattern->addItems({"Ideal Peak", "Gauss (narrow)", "Gauss (wide)",
                               "Rectangular (narrow)", "Rectangular (wide)", "User defined"});
    LBox_ModPattern->setMaximumWidth(160);
    Ed_SP_Bandwidth = NumberEdit("Ed_SP_Bandwidth", "10.0");
    Btn_CalcModPattern = Named(new QPushButton("Calculate !"), "Btn_CalcModPattern");
    auto* left = new QVBoxLayout;
    left->addWidget(Text("Select Modulation Pattern"));
    left->addWidget(LBox_ModPattern, 1);
    left->addLayout(Row({Text("Bandwidth"), Ed_SP_Bandwidth, Text("Hz")}));
    left->addWidget(Btn_CalcModPattern);
    g->addLayout(left, 0, 0, 3, 1);

    Img_ModulationPattern = Named(new QLabel, "Img_ModulationPattern");
    Img_ModulationPattern->setFixedSize(kPatternWidth, kPatternHeight);
    ScrollBox_Pattern = Named(new QScrollArea, "ScrollBox_Pattern");
    ScrollBox_Pattern->setWidget(Img_ModulationPattern);
    ScrollBox_Pattern->setFixedSize(kPatternWidth + 6, kPatternHeight + 6);
    g->addWidget(ScrollBox_Pattern, 0, 1, 1, 3, Qt::AlignLeft);
    Lab_SP_fmin = Named(new QLabel("fc-"), "Lab_SP_fmin");
    Lab_SP_fc = Named(new QLabel("fc"), "Lab_SP_fc");
    // All three at the top of their row, right under the pattern (the row may grow taller).
    Lab_SP_fmin->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Lab_SP_fc->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    Lab_SP_fmax = Named(new QLabel("fc+"), "Lab_SP_fmax");
    Lab_SP_fmax->setAlignment(Qt::AlignRight | Qt::AlignTop);
    // The frequency labels sit under the pattern's left edge, centre and right edge.
    auto* scale = new QWidget;
    scale->setFixedWidth(kPatternWidth + 6);
    auto* sl = new QHBoxLayout(scale);
    sl->setContentsMargins(0, 0, 0, 0);
    sl->addWidget(Lab_SP_fmin);
    sl->addStretch(1);
    sl->addWidget(Lab_SP_fc);
    sl->addStretch(1);
    sl->addWidget(Lab_SP_fmax);
    g->addWidget(scale, 1, 1, 1, 3, Qt::AlignLeft);
    Btn_GetFromSpectrum = Named(new QPushButton("Get from spectrum"), "Btn_GetFromSpectrum");
    Ed_BestPatternMatchFreq = NumberEdit("Ed_BestPatternMatchFreq", "0.0");
    Lab_ObervablePatternBandwidth =
        Named(new QLabel("10.0 Hz"), "Lab_ObervablePatternBandwidth");
    auto* right = new QVBoxLayout;
    right->addLayout(Row({Btn_GetFromSpectrum}));
    right->addLayout(Row({Text("Best match currently detected at"), Ed_BestPatternMatchFreq,
                          Text("Hz")}));
    right->addLayout(Row({Text("observable now:"), Lab_ObervablePatternBandwidth}));
    g->addLayout(right, 2, 1, 1, 3);
  }

  // ---- "Peak Tables" ----
  TS_PeakTables = Named(new QWidget, "TS_PeakTables");
  {
    auto* v = new QVBoxLayout(TS_PeakTables);
    SG_PeakTable = Named(new QTableWidget(kPeakTableRows, 5), "SG_PeakTable");
    SG_PeakTable->horizontalHeader()->hide();
    SG_PeakTable->verticalHeader()->hide();
    const int widths[5] = {64, 81, 79, 71, 68};
    for (int c = 0; c < 5; ++c) SG_PeakTable->setColumnWidth(c, widths[c]);
    v->addWidget(SG_PeakTable, 1);
    UD_CounterMin = Named(new QSpinBox, "UD_CounterMin");
    UD_CounterMin->setRange(-100, 200);
    UD_CounterMin->setValue(0);
    Ed_CounterMin = UD_CounterMin->findChild<QLineEdit*>();
    Ed_CounterMin->setObjectName("Ed_CounterMin");
    v->addLayout(Row({Text("CounterMin"), UD_CounterMin}));
  }

  // ---- "Conditions" ----
  TS_Conditions = Named(new QWidget, "TS_Conditions");
  {
    auto* v = new QVBoxLayout(TS_Conditions);
    Ed_AverageDiffMin = NumberEdit("Ed_AverageDiffMin", "3");
    Ed_ConditionMinTime = NumberEdit("Ed_ConditionMinTime", "30");
    v->addLayout(Row({Text("Average in range A must exceed  average in B  by "), Ed_AverageDiffMin,
                      Text("dB")}));
    v->addLayout(Row({Text("The  condition(s)  must be TRUE for at least "), Ed_ConditionMinTime,
                      Text("seconds")}));
    v->addStretch(1);
  }

  // ---- "Alert Action(s)" ----
  TS_AlertActions = Named(new QWidget, "TS_AlertActions");
  {
    auto* v = new QVBoxLayout(TS_AlertActions);
    Lab_AlertMessageText2 = Named(new QLabel("--"), "Lab_AlertMessageText2");
    v->addWidget(Lab_AlertMessageText2);
    auto* act = Named(new QGroupBox("Actions if Detected "), "Grp_ActionsDetected");
    auto* ag = new QGridLayout(act);
    Chk_ActionBell = Named(new QCheckBox("Ring the bell (COM, Speaker)"), "Chk_ActionBell");
    Chk_ActionScreenCapture = Named(new QCheckBox("Screen Capture"), "Chk_ActionScreenCapture");
    Chk_ActionScreenCapture->setEnabled(false);
    Chk_RunOsCommand = Named(new QCheckBox("Execute (D)OS Command:"), "Chk_RunOsCommand");
    Chk_ActionStartFileLogging =
        Named(new QCheckBox("Start Logging to *.WAV-file"), "Chk_ActionStartFileLogging");
    Chk_ActionStartFileLogging->setEnabled(false);
    Ed_OsCmdLine1 = Named(new QLineEdit("WakeMeUp.EXE /c1"), "Ed_OsCmdLine1");
    Ed_OsCmdLine1->setMaxLength(255);
    Btn_TestAction = Named(new QPushButton("Test !"), "Btn_TestAction");
    Btn_TestReset = Named(new QPushButton("Reset !"), "Btn_TestReset");
    ag->addWidget(Chk_ActionBell, 0, 0);
    ag->addWidget(Chk_ActionScreenCapture, 0, 1);
    ag->addWidget(Chk_RunOsCommand, 1, 0);
    ag->addWidget(Chk_ActionStartFileLogging, 1, 1);
    ag->addWidget(Ed_OsCmdLine1, 2, 0, 1, 2);
    ag->addLayout(Row({Btn_TestAction, Btn_TestReset}), 3, 0, 1, 2);
    v->addWidget(act);
    auto* gone = Named(new QGroupBox("Actions if Just Disappeared"), "Grp_ActionsDisappeared");
    auto* gv = new QVBoxLayout(gone);
    gv->addWidget(Text("...  will be implemented on request !"));
    v->addWidget(gone);
    v->addStretch(1);
  }

  PageControl1->addTab(TS_General, "General");
  PageControl1->addTab(TS_FrequencyRanges, "Frequency Ranges");
  PageControl1->addTab(TS_SearchPattern, "Search Pattern");
  PageControl1->addTab(TS_PeakTables, "Peak Tables");
  PageControl1->addTab(TS_Conditions, "Conditions");
  PageControl1->addTab(TS_AlertActions, "Alert Action(s)");
  PageControl1->setCurrentWidget(TS_FrequencyRanges);

  // ---- Bottom ----
  Lab_AlertMessageText = Named(new QLabel("--"), "Lab_AlertMessageText");
  Btn_OK = Named(new QPushButton("OK"), "Btn_OK");
  Btn_Apply = Named(new QPushButton("Apply"), "Btn_Apply");
  Btn_Cancel = Named(new QPushButton("Cancel"), "Btn_Cancel");
  Btn_Help = Named(new QPushButton("Help"), "Btn_Help");
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Lab_AlertMessageText, 1);
  for (QPushButton* b : {Btn_OK, Btn_Apply, Btn_Cancel, Btn_Help}) bottom->addWidget(b);
  outer->addLayout(bottom);

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(kTimerMs);

  PatternBitmap = QImage(kPatternWidth, kPatternHeight, QImage::Format_RGB32);
  PatternBitmap.fill(Qt::black);
  ShowPatternBitmap();

  connect(Btn_OK, &QPushButton::clicked, this, &TAlertDlgForm::Btn_OKClick);
  connect(Btn_Apply, &QPushButton::clicked, this, &TAlertDlgForm::Btn_ApplyClick);
  connect(Btn_Cancel, &QPushButton::clicked, this, &TAlertDlgForm::Btn_CancelClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TAlertDlgForm::Btn_HelpClick);
  connect(Btn_TestAction, &QPushButton::clicked, this, &TAlertDlgForm::Btn_TestActionClick);
  connect(Btn_TestReset, &QPushButton::clicked, this, &TAlertDlgForm::Btn_TestResetClick);
  connect(Btn_CalcModPattern, &QPushButton::clicked, this, &TAlertDlgForm::Btn_CalcModPatternClick);
  connect(Btn_GetFromSpectrum, &QPushButton::clicked, this,
          &TAlertDlgForm::Btn_GetFromSpectrumClick);
  connect(Timer1, &QTimer::timeout, this, &TAlertDlgForm::Timer1Timer);
  InstallHelpShortcut(this, kHelpContext);

  FormCreate();
  LoadSettings();
  setFixedSize(sizeHint());
  Timer1->start();
}

TAlertDlgForm::~TAlertDlgForm() = default;

void TAlertDlgForm::FormCreate() { AppendInstanceSuffix(this); }

void TAlertDlgForm::LoadSettings()
{
  Alert_LoadSettings(UserSettingsFullPath());
}

bool TAlertDlgForm::SaveSettings()
{
  try {
    Alert_SaveSettings(UserSettingsFullPath());
    return true;
  } catch (const EIniFileError& e) {
    const QString text = QString::fromLocal8Bit(e.what());
    DebugPrintf(20, 0, "%s", e.what());
    if (OnSaveError)
      OnSaveError(text);
    else
      ShowMessage("Could not save the alert settings:\r\n" + text);
    return false;
  }
}

void TAlertDlgForm::showEvent(QShowEvent* e)
{
  QWidget::showEvent(e);
  if (e->spontaneous()) return;
  if (FirstActivation) {
    if (QScreen* s = screen()) move(s->availableGeometry().center() - rect().center());
  }
  FormActivate();
}

void TAlertDlgForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TAlertDlgForm::FormActivate()
{
  Lab_AlertMessageText->setText("");
  if (FirstActivation) {
    FirstActivation = false;
    PatternBitmap = QImage(std::max(Img_ModulationPattern->width(), 1),
                           std::max(Img_ModulationPattern->height(), 1), QImage::Format_RGB32);
    DrawModulationPattern();
  }
  SettingsBackup = AlertSettings;
  std::memcpy(PatternBackup, g_AlertSearchPattern, sizeof PatternBackup);
  SettingsToControls();
  UpdatePeakTable(true);
}

void TAlertDlgForm::FormClose() { SaveSettings(); }

void TAlertDlgForm::SettingsToControls()
{
  const TAlertSettings& s = AlertSettings;
  Chk_AlertEnabled->setChecked(s.Enable);
  Chk_Visualize->setChecked(s.Visualize);
  Chk_Compare2Ranges->setChecked(s.MethodCompareRanges);
  Chk_AutoPeakDetection->setChecked(s.MethodAutoPeak);
  Chk_AutoNoiseDetection->setChecked(s.MethodAutoNoise);
  LBox_ModPattern->setCurrentRow(s.SearchPatternType >= 0 && s.SearchPatternType < LBox_ModPattern->count()
                                     ? s.SearchPatternType
                                     : -1);
  Ed_SP_Bandwidth->setText(Fmt("###0.0", s.SearchPatternBWidth));
  Ed_RangeAmin->setText(Fmt("###0.0", s.RangeA_Fmin));
  Ed_RangeAmax->setText(Fmt("###0.0", s.RangeA_Fmax));
  Ed_RangeBmin->setText(Fmt("###0.0", s.RangeB_Fmin));
  Ed_RangeBmax->setText(Fmt("###0.0", s.RangeB_Fmax));
  Ed_AverageDiffMin->setText(Fmt("##0.0", s.AvrgDiffMin));
  Ed_PeakADiffMin->setText(Fmt("##0.0", s.PeakADiffMin));
  Ed_PeakBDiffMin->setText(Fmt("##0.0", s.PeakBDiffMin));
  Ed_ConditionMinTime->setText(QString::number(s.MinSecondsToAlert));
  Chk_ActionBell->setChecked(s.ActionRingBell);
  Chk_ActionStartFileLogging->setChecked(s.ActionStartLoggingWave);
  Chk_ActionScreenCapture->setChecked(s.ActionScreenCapture);
  Chk_RunOsCommand->setChecked(s.ActionExecOsCommand);
  Ed_OsCmdLine1->setText(FieldToText(s.OsCommandLine));
}

bool TAlertDlgForm::EditToDouble(const QLineEdit* ed, double* value)
{
  double v = 0.0;
  if (!TryStrToFloat(ed->text().toStdString(), v) || !std::isfinite(v)) {
    ShowMessage("'" + ed->text() + "' is not a valid floating point value");
    return false;
  }
  *value = v;
  return true;
}

bool TAlertDlgForm::ControlsToSettings()
{
  TAlertSettings& s = AlertSettings;
  s.Enable = Chk_AlertEnabled->isChecked();
  s.Visualize = Chk_Visualize->isChecked();
  s.MethodCompareRanges = Chk_Compare2Ranges->isChecked();
  s.MethodAutoPeak = Chk_AutoPeakDetection->isChecked();
  s.MethodAutoNoise = Chk_AutoNoiseDetection->isChecked();
  if (LBox_ModPattern->currentRow() >= 0) s.SearchPatternType = LBox_ModPattern->currentRow();
  const std::pair<QLineEdit*, double*> numbers[] = {
      {Ed_SP_Bandwidth, &s.SearchPatternBWidth}, {Ed_RangeAmin, &s.RangeA_Fmin},
      {Ed_RangeAmax, &s.RangeA_Fmax},            {Ed_RangeBmin, &s.RangeB_Fmin},
      {Ed_RangeBmax, &s.RangeB_Fmax},            {Ed_AverageDiffMin, &s.AvrgDiffMin},
      {Ed_PeakADiffMin, &s.PeakADiffMin},        {Ed_PeakBDiffMin, &s.PeakBDiffMin}};
  for (const auto& [ed, field] : numbers)
    if (!EditToDouble(ed, field)) return false;
  double seconds = 0.0;
  if (!EditToDouble(Ed_ConditionMinTime, &seconds)) return false;
  // Truncated toward zero; a number beyond the integer's range is refused like a bad text.
  if (!(seconds > -2147483649.0 && seconds < 2147483648.0)) {
    ShowMessage("'" + Ed_ConditionMinTime->text() + "' is not a valid integer value");
    return false;
  }
  s.MinSecondsToAlert = static_cast<int32_t>(seconds);
  s.ActionRingBell = Chk_ActionBell->isChecked();
  s.ActionStartLoggingWave = Chk_ActionStartFileLogging->isChecked();
  s.ActionScreenCapture = Chk_ActionScreenCapture->isChecked();
  s.ActionExecOsCommand = Chk_RunOsCommand->isChecked();
  CopyTextToField(s.OsCommandLine, Ed_OsCmdLine1->text());
  return true;
}

void TAlertDlgForm::Btn_OKClick()
{
  if (ControlsToSettings()) close();
}

void TAlertDlgForm::Btn_ApplyClick() { ControlsToSettings(); }

void TAlertDlgForm::Btn_CancelClick()
{
  AlertSettings = SettingsBackup;
  // The pattern goes back with the settings that describe it ("Calculate !" and "Get from
  // spectrum" changed both).
  std::memcpy(g_AlertSearchPattern, PatternBackup, sizeof PatternBackup);
  g_AlertScaledPattern.BinWidthHz = 0.0;
  DrawModulationPattern();
  close();
}

void TAlertDlgForm::Btn_HelpClick() { ShowHelpContext(kHelpContext); }

void TAlertDlgForm::Btn_TestActionClick()
{
  Lab_AlertMessageText2->setText("Testing..");
  if (!ControlsToSettings()) return;
  g_AlertActive = 1;
  g_AlertAcknowledged = 0;
}

void TAlertDlgForm::Btn_TestResetClick()
{
  Lab_AlertMessageText2->setText("Test Alarm stopped.");
  if (!ControlsToSettings()) return;
  g_AlertActive = 0;
  g_AlertAcknowledged = 0;
}

void TAlertDlgForm::Btn_CalcModPatternClick()
{
  if (!ControlsToSettings()) return;
  Alert_CalcSearchPattern();
  DrawModulationPattern();
}

void TAlertDlgForm::Btn_GetFromSpectrumClick()
{
  AlertSettings.SearchPatternType = ALERT_PATTERN_USER;
  LBox_ModPattern->setCurrentRow(ALERT_PATTERN_USER);
  if (!ControlsToSettings()) return;
  const double fc = StrToFloatDef(Ed_BestPatternMatchFreq->text().toStdString(), 0.0);
  Alert_PatternFromSpectrum(fc);
  DrawModulationPattern();
}

void TAlertDlgForm::Timer1Timer()
{
  CLI_ReapChildren();
  if (!g_AlertMessage.empty()) {
    const QString text = QString::fromLocal8Bit(g_AlertMessage.c_str());
    Lab_AlertMessageText->setText(text);
    Lab_AlertMessageText2->setText(text);
    g_AlertMessage.clear();
  }
  for (auto [r, noise, avg, peak, freq, pct] :
       {std::tuple{&g_AlertRangeA, Lab_NoiseA, Lab_AverageA, Lab_PeakA, Lab_PeakFreqA,
                   Lab_AlertPercentA},
        std::tuple{&g_AlertRangeB, Lab_NoiseB, Lab_AverageB, Lab_PeakB, Lab_PeakFreqB,
                   Lab_AlertPercentB}}) {
    noise->setText(Fmt("#0.0", r->Noise) + " dB");
    avg->setText(Fmt("#0.0", r->Average) + " dB");
    peak->setText(Fmt("#0.0", r->Peak) + " dB");
    freq->setText(Fmt("###0.00", r->PeakFreqHz) + " Hz");
    pct->setText("Alert Percentage =" + Fmt("##0.0", r->Percentage) + " %");
  }
  if (PageControl1->currentWidget() == TS_PeakTables) UpdatePeakTable(false);
  Lab_ObervablePatternBandwidth->setText(Fmt("##0.0", 100.0 * g_AlertAvgSpectrum.BinWidthHz) +
                                         " Hz");
}

void TAlertDlgForm::UpdatePeakTable(bool header)
{
  bool ok = false;
  int min = Ed_CounterMin->text().toInt(&ok);
  if (!ok) min = 0;
  if (header) {
    const char* titles[5] = {"Index", "Frequency", "Amplitude", "Counter", "Status"};
    for (int c = 0; c < 5; ++c) SetCell(SG_PeakTable, 0, c, titles[c]);
  }
  // One row per bin whose counter reaches the minimum, at most 19 data rows, at least one.
  int rows = 1;
  for (int bin = 0; bin < ALERT_MAX_BINS && rows < kPeakTableRows; ++bin)
    if (g_AlertPeakTable[bin].Counter >= min) ++rows;
  rows = std::max(rows, 2);
  SG_PeakTable->setRowCount(rows);
  const AlertSpectrum& avg = g_AlertAvgSpectrum;
  int row = 1;
  for (int bin = 0; bin < ALERT_MAX_BINS && row < rows; ++bin) {
    const AlertPeakCounter& p = g_AlertPeakTable[bin];
    if (p.Counter < min) continue;
    SetCell(SG_PeakTable, row, 0, QString::number(row));
    SetCell(SG_PeakTable, row, 1, Fmt("###0.0", bin * avg.BinWidthHz + avg.FirstBinHz) + " Hz");
    SetCell(SG_PeakTable, row, 2, Fmt("#0.0", avg.Bins[bin]) + " dB");
    SetCell(SG_PeakTable, row, 3, QString::number(p.Counter));
    SetCell(SG_PeakTable, row, 4, QString::number(p.Status));
    ++row;
  }
}

void TAlertDlgForm::DrawModulationPattern()
{
  const double half = AlertSettings.SearchPatternBWidth / 2;
  Lab_SP_fmin->setText("fc-" + Fmt("###0.00", half) + "Hz");
  Lab_SP_fmax->setText("fc+" + Fmt("###0.00", half) + "Hz");
  QImage& bmp = PatternBitmap;
  bmp.fill(Qt::black);
  const int w = bmp.width() - 1;
  const int s = bmp.height() - 4;
  // A bitmap of one pixel in either direction has no room for a curve.
  if (w >= 1 && bmp.height() >= 2) {
    QPainter p(&bmp);
    QPen pen(ColorRefToQColor(kPatternPen));
    pen.setWidth(2);
    p.setPen(pen);
    QPolygon line;
    for (int x = 0; x <= w; ++x) {
      const int i = std::min(static_cast<int>(x * 99.0 / w + 0.5), ALERT_PATTERN_POINTS - 1);
      const double v = g_AlertSearchPattern[i];
      // Values outside 0..1 (a user pattern from a file) are kept on the bitmap's rows.
      const double y = std::clamp((bmp.height() - 1) - s * (std::isfinite(v) ? v : 0.0), -1.0,
                                  static_cast<double>(bmp.height()));
      line << QPoint(x, static_cast<int>(y));
    }
    p.drawPolyline(line);
  }
  ShowPatternBitmap();
}

void TAlertDlgForm::ShowPatternBitmap()
{
  Img_ModulationPattern->setPixmap(QPixmap::fromImage(PatternBitmap));
}

void TAlertDlgForm::ShowMessage(const QString& text)
{
  QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  box.setObjectName("AlertMessage");
  ExecDialog(&box);
}
