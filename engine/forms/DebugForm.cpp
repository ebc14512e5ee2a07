// The debug window.
#include "engine/forms/DebugForm.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "engine/DebugU1.h"
#include "engine/PreciseClock.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/SoundErrorCodes.h"
#include "engine/forms/ClickLabel.h"
#include "engine/forms/FormPlacement.h"
#include "platform/IniFile.h"
#include "platform/NumText.h"
#include "platform/PerfCounter.h"

TDebugForm* DebugForm = nullptr;

namespace {

const char* const kSection = "DebugForm";

const char* const kCpuRows[15] = {
    "Thread/Job",      "Input Decimation", "Input Adder",          "Signal Generator",
    "Frequency Mixer", "Custom Filter",    "Digimode Decoder",     "Digimode Encoder",
    "FFT Mix+Decimate", "Wave Save Buffer", "Output Adder",        "Output Interpolation",
    "FFT Calculation", "Display Update",   "Spectrum Alert"};

template <class T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QString Q(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

QString FormatCollectionTime(double t)
{
  if (t <= 120.0) return Q(FormatFloat("0.0##", t)) + " sec";
  return Q(FormatFloat("0.0", t / 60.0)) + " min";
}

TDebugForm::TDebugForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("DebugForm");
  setWindowTitle("Debugging Display");
  resize(420, 330);
  setWindowFlag(Qt::WindowStaysOnTopHint, true);  // the design style is stay-on-top

  auto* outer = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  outer->addWidget(PageControl1);

  // Page "Debug"
  TS_Debug = Named(new QWidget, "TS_Debug");
  auto* g = new QGridLayout(TS_Debug);
  Lab_FftTime = Named(new QLabel("FFT-Calc.time = ?"), "Lab_FftTime");
  Lab_ThreadLoops = Named(new QLabel("Thread loops = ?"), "Lab_ThreadLoops");
  Lab_R_Errors = Named(new QLabel("RxErrors=0"), "Lab_R_Errors");
  Lab_G_Errors = Named(new TClickLabel("TxErrors=0"), "Lab_G_Errors");
  connect(Lab_G_Errors, &TClickLabel::clicked, this, [this] {
    if (ShowGenerator) ShowGenerator();
  });
  Lab_LostBuffersIn = Named(new QLabel("LostIn=0"), "Lab_LostBuffersIn");
  Lab_LostBuffersOut = Named(new QLabel("LostOut=0"), "Lab_LostBuffersOut");
  Lab_InStatus = Named(new TClickLabel("InStat=0"), "Lab_InStatus");
  Lab_OutStatus = Named(new QLabel("OutStat=0"), "Lab_OutStatus");
  Lab_WaterUpdateLoops = Named(new QLabel("Water Update Loops = ?"), "Lab_WaterUpdateLoops");
  Lab_PaletteError = Named(new QLabel("No Palette Error"), "Lab_PaletteError");
  Lab_WaterAvrgCount = Named(new QLabel("Water Avrg Count = ?"), "Lab_WaterAvrgCount");
  Lab_ConfigFileNames = Named(new QLabel, "Lab_ConfigFileNames");
  Ed_DebugOptions = Named(new QLineEdit("0"), "Ed_DebugOptions");
  Btn_Test = Named(new QPushButton("Test"), "Btn_Test");
  Btn_Test->setToolTip("Stalls the audio thread once for one second");
  Chk_Metronome = Named(new QCheckBox("use speaker as Metronome "), "Chk_Metronome");
  g->addWidget(Lab_FftTime, 0, 0);
  g->addWidget(Lab_ThreadLoops, 0, 1);
  g->addWidget(Lab_R_Errors, 1, 0);
  g->addWidget(Lab_G_Errors, 1, 1);
  g->addWidget(Lab_LostBuffersIn, 2, 0);
  g->addWidget(Lab_LostBuffersOut, 2, 1);
  g->addWidget(Lab_InStatus, 3, 0);
  g->addWidget(Lab_OutStatus, 3, 1);
  g->addWidget(Lab_WaterUpdateLoops, 4, 0);
  g->addWidget(Lab_PaletteError, 4, 1);
  g->addWidget(Lab_WaterAvrgCount, 5, 0);
  g->addWidget(new QLabel("Debug options:"), 6, 0);
  g->addWidget(Ed_DebugOptions, 6, 1);
  g->addWidget(Chk_Metronome, 7, 0);
  g->addWidget(Btn_Test, 7, 1);
  g->addWidget(Lab_ConfigFileNames, 8, 0, 1, 2);
  g->setRowStretch(9, 1);
  PageControl1->addTab(TS_Debug, "Debug");

  // Page "CPU Load"
  TS_Performance = Named(new QWidget, "TS_Performance");
  auto* pl = new QVBoxLayout(TS_Performance);
  SG_CpuLoad = Named(new QTableWidget(15, 2), "SG_CpuLoad");
  SG_CpuLoad->horizontalHeader()->hide();
  SG_CpuLoad->verticalHeader()->hide();
  SG_CpuLoad->setEditTriggers(QAbstractItemView::NoEditTriggers);
  SG_CpuLoad->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  Ed_TotalCpuLoad = Named(new QLineEdit, "Ed_TotalCpuLoad");
  Ed_TotalCpuLoad->setReadOnly(true);
  pl->addWidget(SG_CpuLoad);
  auto* tl = new QHBoxLayout;
  tl->addWidget(new QLabel("Total (%):"));
  tl->addWidget(Ed_TotalCpuLoad);
  pl->addLayout(tl);
  PageControl1->addTab(TS_Performance, "CPU Load");

  // Page "Misc"
  TS_Miscellaneous = Named(new QWidget, "TS_Miscellaneous");
  auto* ml = new QGridLayout(TS_Miscellaneous);
  Lab_ProcRate = Named(new QLabel("?"), "Lab_ProcRate");
  Lab_FftDecimationScheme = Named(new QLabel("?"), "Lab_FftDecimationScheme");
  Lab_FftCollectionTime = Named(new QLabel("?"), "Lab_FftCollectionTime");
  Lab_FftParameterHint = Named(new QLabel, "Lab_FftParameterHint");
  ml->addWidget(new QLabel("Processing rate (Hz):"), 0, 0);
  ml->addWidget(Lab_ProcRate, 0, 1);
  ml->addWidget(new QLabel("FFT decimation:"), 1, 0);
  ml->addWidget(Lab_FftDecimationScheme, 1, 1);
  ml->addWidget(new QLabel("FFT collection time:"), 2, 0);
  ml->addWidget(Lab_FftCollectionTime, 2, 1);
  ml->addWidget(Lab_FftParameterHint, 3, 0, 1, 2);
  ml->setRowStretch(4, 1);
  PageControl1->addTab(TS_Miscellaneous, "Misc");

  // Page "Errors"
  TS_ErrorHistory = Named(new QWidget, "TS_ErrorHistory");
  auto* el = new QVBoxLayout(TS_ErrorHistory);
  Memo_ErrorHistory = Named(new QPlainTextEdit, "Memo_ErrorHistory");
  Memo_ErrorHistory->setReadOnly(true);
  Memo_ErrorHistory->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  Btn_EraseErrorHistory = Named(new QPushButton("Erase Error History"), "Btn_EraseErrorHistory");
  el->addWidget(Memo_ErrorHistory);
  el->addWidget(Btn_EraseErrorHistory);
  PageControl1->addTab(TS_ErrorHistory, "Errors");

  // Page "Comms"
  TS_CommMsgs = Named(new QWidget, "TS_CommMsgs");
  auto* cl = new QGridLayout(TS_CommMsgs);
  Lab_CopydataMsgCount = Named(new QLabel("#-#"), "Lab_CopydataMsgCount");
  cl->addWidget(new QLabel("Received messages:"), 0, 0);
  cl->addWidget(Lab_CopydataMsgCount, 0, 1);
  cl->setRowStretch(1, 1);
  PageControl1->addTab(TS_CommMsgs, "Comms");
  PageControl1->setCurrentWidget(TS_CommMsgs);  // design page

  PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
  Menu_StayOnTop = PopupMenu1->addAction("Stay on top");
  Menu_StayOnTop->setObjectName("Menu_StayOnTop");
  Menu_StayOnTop->setCheckable(true);
  Menu_Help = PopupMenu1->addAction("Help");
  Menu_Help->setObjectName("Menu_Help");
  connect(PopupMenu1, &QMenu::aboutToShow, this, &TDebugForm::PopupMenu1Popup);
  connect(Menu_StayOnTop, &QAction::triggered, this, &TDebugForm::Menu_StayOnTopClick);
  connect(Menu_Help, &QAction::triggered, this, &TDebugForm::Menu_HelpClick);

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &TDebugForm::Timer1Timer);
  connect(Lab_InStatus, &TClickLabel::clicked, this, &TDebugForm::Lab_InStatusClick);
  connect(Chk_Metronome, &QCheckBox::toggled, this, &TDebugForm::Chk_MetronomeClick);
  connect(Btn_EraseErrorHistory, &QPushButton::clicked, this,
          &TDebugForm::Btn_EraseErrorHistoryClick);
  connect(Ed_DebugOptions, &QLineEdit::textChanged, this, &TDebugForm::Ed_DebugOptionsChange);
  connect(Btn_Test, &QPushButton::clicked, this, &TDebugForm::Btn_TestClick);

  SetDebugSink([this](const std::string& line) { AddErrorLine(QString::fromStdString(line)); });
  FormCreate();
  Timer1->start();
}

TDebugForm::~TDebugForm()
{
  SetDebugSink(nullptr);
  if (DebugForm == this) DebugForm = nullptr;
}

void TDebugForm::AddErrorLine(const QString& line)
{
  Memo_ErrorHistory->appendPlainText(line);
  // The newest line stays in view however long the list grows.
  QScrollBar* bar = Memo_ErrorHistory->verticalScrollBar();
  bar->setValue(bar->maximum());
}

void TDebugForm::FormCreate()
{
  AppendInstanceSuffix(this);
  IniFile ini(UserSettingsFullPath());
  ReadFormBounds(this, ini, kSection, true);
  SetFormStyle(this, ini.ReadInteger(kSection, "FormStyle", GetFormStyle(this)));
  switch (ini.ReadInteger(kSection, "ActivePage", -1)) {
    case 0: PageControl1->setCurrentWidget(TS_Debug); break;
    case 1: PageControl1->setCurrentWidget(TS_Performance); break;
    case 2: PageControl1->setCurrentWidget(TS_Miscellaneous); break;
    default: break;
  }
  if (ini.ReadInteger(kSection, "Visible", 0) != 0) show();
}

void TDebugForm::FormShow()
{
  SG_CpuLoad->setItem(0, 1, new QTableWidgetItem("CPU Load (%)"));
  for (int r = 0; r < 15; ++r) SG_CpuLoad->setItem(r, 0, new QTableWidgetItem(kCpuRows[r]));
  Lab_ConfigFileNames->setText(QString("Cfg: Machine=%1, User=%2")
                                   .arg(QString::fromLocal8Bit(g_MachineSettingsFileName),
                                        QString::fromLocal8Bit(g_UserSettingsFileName)));
}

void TDebugForm::FormClose()
{
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, kSection, true);
    ini.WriteInteger(kSection, "Visible", isVisible() ? 1 : 0);
    ini.WriteInteger(kSection, "FormStyle", GetFormStyle(this));
    QWidget* page = PageControl1->currentWidget();
    ini.WriteInteger(kSection, "ActivePage",
                     page == TS_Performance ? 1 : page == TS_Miscellaneous ? 2 : 0);
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    DebugPrintf(10, 0, "%s", e.what());
  }
}

void TDebugForm::showEvent(QShowEvent* e)
{
  FormShow();
  QWidget::showEvent(e);
}

void TDebugForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TDebugForm::contextMenuEvent(QContextMenuEvent* e) { PopupMenu1->popup(e->globalPos()); }

void TDebugForm::Timer1Timer()
{
  CSoundThreadLink& link = SoundThreadLink();
  const SoundEngineStats st = link.Stats();
  if (st.soundExists) {
    // Logged whatever the window's visibility.
    const double now = static_cast<double>(static_cast<long long>(GetPreciseUnixTime(false)));
    if (st.outStatus != m_lastOutStatus) {
      m_lastOutStatus = st.outStatus;
      Lab_OutStatus->setText(QString("OutStat=%1").arg(st.outStatus));
      DebugPrintf(20, now, "SoundErrorOut changed: %s", ErrorCodeToString(st.outStatus));
    }
    if (st.inStatus != m_lastInStatus) {
      m_lastInStatus = st.inStatus;
      Lab_InStatus->setText(QString("InStat=%1").arg(st.inStatus));
      DebugPrintf(20, now, "SoundErrorIn  changed: %s", ErrorCodeToString(st.inStatus));
    }
  }
  if (!isVisible()) return;
  const int64_t freq = QueryPerformanceFrequency();
  QWidget* page = PageControl1->currentWidget();
  if (page == TS_Debug) UpdateDebugPage(st);
  else if (page == TS_Performance) UpdateCpuLoadPage(st, freq);
  else if (page == TS_Miscellaneous) UpdateMiscPage(st);
  else if (page == TS_CommMsgs) {
    const int count = MainInfo ? MainInfo().copyDataCount : 0;
    if (count != m_lastCopyDataCount) {
      m_lastCopyDataCount = count;
      Lab_CopydataMsgCount->setText(QString::number(count));
    }
  }
}

void TDebugForm::UpdateDebugPage(const SoundEngineStats& st)
{
  const DebugMainWindowInfo info = MainInfo ? MainInfo() : DebugMainWindowInfo{};
  Lab_FftTime->setText("FFT-Calc.time = " + Q(FormatFloat("###0.0", info.fftCalcTime_us * 0.001)) +
                       " ms");
  Lab_ThreadLoops->setText(QString("Thread loops = %1").arg(st.loops));
  if (st.threadExists) {
    if (st.inputErrors != m_lastInputErrors) {
      m_lastInputErrors = st.inputErrors;
      Lab_R_Errors->setText(QString("RxErrors=%1").arg(st.inputErrors));
    }
    if (st.outputErrors != m_lastOutputErrors) {
      m_lastOutputErrors = st.outputErrors;
      Lab_G_Errors->setText(QString("TxErrors=%1").arg(st.outputErrors));
    }
  }
  if (st.soundExists) {
    if (st.lostIn != m_lastLostIn) {
      m_lastLostIn = st.lostIn;
      Lab_LostBuffersIn->setText(QString("LostIn=%1").arg(st.lostIn));
    }
    if (st.lostOut != m_lastLostOut) {
      m_lastLostOut = st.lostOut;
      Lab_LostBuffersOut->setText(QString("LostOut=%1").arg(st.lostOut));
    }
  }
}

void TDebugForm::UpdateCpuLoadPage(const SoundEngineStats& st, int64_t counterFrequency)
{
  const int rate = SndConfig.SampleRate;
  if (counterFrequency <= 0 || rate <= 0) return;
  // Share of one 4,096-sample block's duration, in percent.
  const double factor = rate * 100.0 / (static_cast<double>(counterFrequency) * 4096.0);
  double total = 0;
  auto setRow = [&](int row, double value) {
    total += value;
    SG_CpuLoad->setItem(row, 1, new QTableWidgetItem(Q(FormatFloat("00.00", value)) + " %"));
  };
  for (int row = 1; row <= 11; ++row) setRow(row, static_cast<double>(st.stageTicks[row]) * factor);
  const int scroll = SndConfig.WaterScrollTime;
  if (scroll > 0) {
    const DebugMainWindowInfo info = MainInfo ? MainInfo() : DebugMainWindowInfo{};
    setRow(12, info.fftCalcTime_us * 0.1 / scroll);
    setRow(13, info.displayTime_us * 0.1 / scroll);
    setRow(14, info.alertTime_us * 0.1 / scroll);
  }
  Ed_TotalCpuLoad->setText(Q(FormatFloat("00.00", total)));
}

void TDebugForm::UpdateMiscPage(const SoundEngineStats& st)
{
  if (st.processingRate != m_lastProcRate) {
    m_lastProcRate = st.processingRate;
    Lab_ProcRate->setText(Q(FormatFloat("#0000.0##", st.processingRate)));
  }
  const int scroll = SndConfig.WaterScrollTime;
  const int samples = SndConfig.NrOfSamples;
  if (st.bigBufferResets == m_lastResetCount && scroll == m_lastScrollTime &&
      samples == m_lastNrOfSamples)
    return;
  m_lastResetCount = st.bigBufferResets;
  m_lastScrollTime = scroll;
  m_lastNrOfSamples = samples;
  QString scheme;
  long long product = 1;
  for (int i = 0; i < 8; ++i) {
    if (i > 0) scheme += " * ";
    scheme += QString::number(st.decimFactors[i]);
    product *= st.decimFactors[i];
  }
  scheme += QString("  = %1").arg(product);
  Lab_FftDecimationScheme->setText(scheme);
  if (st.processingRate > 0) {
    const double t = static_cast<double>(product) * samples / st.processingRate;
    Lab_FftCollectionTime->setText(FormatCollectionTime(t));
    if (t * 200.0 > scroll)
      Lab_FftParameterHint->setText("Waterfall scrolls too fast (every " +
                                    Q(FormatFloat("0.0##", scroll * 0.001)) + " sec)");
    else
      Lab_FftParameterHint->clear();
  }
}

void TDebugForm::PopupMenu1Popup()
{
  Menu_StayOnTop->setChecked(GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP);
}

void TDebugForm::Menu_StayOnTopClick()
{
  Menu_StayOnTop->setChecked(ToggleStayOnTop(this));
}

void TDebugForm::Menu_HelpClick() {}

void TDebugForm::Lab_InStatusClick() { SoundThreadLink().ClearInputStatus(); }

void TDebugForm::Chk_MetronomeClick() { SndConfig.MetronomeOn = Chk_Metronome->isChecked() ? 1 : 0; }

void TDebugForm::Btn_EraseErrorHistoryClick() { Memo_ErrorHistory->clear(); }

void TDebugForm::Ed_DebugOptionsChange()
{
  SoundThreadLink().SetDebugOptions(StrToIntDef(Ed_DebugOptions->text().toStdString(), 0));
}

void TDebugForm::Btn_TestClick() { SoundThreadLink().RequestStall(1000); }
