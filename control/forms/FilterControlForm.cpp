// The filter control window: construction, create / show / close, timer, status and menu.
#include "control/forms/FilterControlForm.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>

#include "control/FilterEditChannel.h"
#include "control/FilterHandover.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/SoundThd.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "platform/IniFile.h"
#include "platform/Locale.h"
#include "platform/NumText.h"
#include "platform/PerfCounter.h"

TFilterControlForm* FilterControlForm = nullptr;

namespace {

const char* const kSection = "FilterControlForm";
const char* const kCaption = "Filter Control Window";
constexpr uint32_t kHelpWindow = 800;
constexpr uint32_t kHelpGrid = 810;
constexpr uint32_t kHelpFIR = 840;
constexpr uint32_t kHelpIIR = 850;

template <class T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QWidget* Page(const char* name)
{
  auto* w = new QWidget;
  w->setObjectName(name);
  return w;
}

QLineEdit* Edit(const char* name, const char* text)
{
  return Named(new QLineEdit(text), name);
}

// An up-down beside its edit: only the arrows show, the edit holds the number. The arrows step
// from the number in the edit (whatever was typed or set there), so the first click after the
// edit changed goes one up or down from what the user sees, limited to the range.
class TEditUpDown : public QSpinBox {
public:
  explicit TEditUpDown(QLineEdit* edit) : m_Edit(edit)
  {
    setFocusPolicy(Qt::NoFocus);  // nothing to type here: the edit takes the typing
  }

  // The value the arrows step from: the edit's number, or the last position when it holds none.
  int EditValue() const { return StrToIntDef(m_Edit->text().toStdString(), value()); }

protected:
  void stepBy(int steps) override
  {
    const long long next = static_cast<long long>(EditValue()) + steps;
    const int v = static_cast<int>(std::clamp<long long>(next, minimum(), maximum()));
    setValue(v);
    // setValue is silent when the position does not change (edit "0", position already 1).
    if (StrToIntDef(m_Edit->text().toStdString(), v - 1) != v) m_Edit->setText(QString::number(v));
  }
  StepEnabled stepEnabled() const override
  {
    const int v = EditValue();
    StepEnabled e = StepNone;
    if (v < maximum()) e |= StepUpEnabled;
    if (v > minimum()) e |= StepDownEnabled;
    return e;
  }
  // The number is the edit's; the up-down itself shows only its arrows.
  QString textFromValue(int) const override { return QString(); }

private:
  QLineEdit* m_Edit;
};

QSpinBox* UpDown(const char* name, int position, QLineEdit* edit)
{
  auto* ud = Named(new TEditUpDown(edit), name);
  ud->setRange(1, 32);
  ud->setValue(position);
  ud->setFixedWidth(ud->sizeHint().width());
  return ud;
}

}  // namespace

TFilterControlForm::TFilterControlForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("FilterControlForm");
  setWindowTitle(kCaption);
  resize(430, 360);

  auto* outer = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget(this), "PageControl1");
  outer->addWidget(PageControl1, 1);
  BuildCommonControls();
  BuildTestPage();
  BuildIIR1Page();
  BuildIIR2Page();
  BuildIIR3Page();
  BuildFIR1Page();
  BuildFIR2Page();
  TabSheet1 = Page("TabSheet1");
  PageControl1->addTab(TabSheet1, "-future-");
  PageControl1->setCurrentWidget(TS_Coeffs);

  // Status line and buttons below the pages.
  auto* row1 = new QHBoxLayout;
  for (QPushButton* b : {Btn_Apply, Btn_Undo, Btn_StartStop, Btn_Bypass}) row1->addWidget(b);
  auto* row2 = new QHBoxLayout;
  for (QPushButton* b : {Btn_Load, Btn_Save, Btn_Menu, Btn_Help}) row2->addWidget(b);
  outer->addLayout(row1);
  outer->addLayout(row2);
  outer->addWidget(Lab_Message);
  outer->addWidget(Lab_DesignerMessage);

  auto* help = new QShortcut(QKeySequence(Qt::Key_F1), this);
  help->setContext(Qt::WindowShortcut);
  connect(help, &QShortcut::activated, this, [this] { ShowHelpContext(HelpContextOfFocus()); });

  Timer1 = Named(new QTimer(this), "Timer1");
  Timer1->setInterval(500);
  ConnectHandlers();
  FormCreate();
  Timer1->start();  // also while hidden
}

TFilterControlForm::~TFilterControlForm()
{
  SetFilterControlWindowHook({});
  if (FilterControlForm == this) FilterControlForm = nullptr;
}

void TFilterControlForm::BuildCommonControls()
{
  // "Coefficients"
  TS_Coeffs = Page("TS_Coeffs");
  auto* cl = new QVBoxLayout(TS_Coeffs);
  SG_Coeff = Named(new QTableWidget(4, 3), "SG_Coeff");
  SG_Coeff->horizontalHeader()->hide();
  SG_Coeff->verticalHeader()->hide();
  SG_Coeff->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
  SG_Coeff->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  cl->addWidget(SG_Coeff);
  PageControl1->addTab(TS_Coeffs, "Coefficients");

  // "Algorithm"
  TS_Algorithm = Page("TS_Algorithm");
  auto* al = new QGridLayout(TS_Algorithm);
  Ed_MaxCoeff = Edit("Ed_MaxCoeff", "1");
  Rbtn_TypeFIR = Named(new QRadioButton("FIR"), "Rbtn_TypeFIR");
  Rbtn_TypeIIR = Named(new QRadioButton("IIR"), "Rbtn_TypeIIR");
  Rbtn_TypeFIR->setChecked(true);
  Ed_Cascaded = Edit("Ed_Cascaded", "0");
  Ed_Cascaded->setReadOnly(true);  // only the designers and the files set it
  Lab_CurrFileName = Named(new QLabel, "Lab_CurrFileName");
  al->addWidget(new QLabel("Coefficients: 0 ..."), 0, 0);
  al->addWidget(Ed_MaxCoeff, 0, 1);
  al->addWidget(Rbtn_TypeFIR, 1, 0);
  al->addWidget(Rbtn_TypeIIR, 1, 1);
  al->addWidget(new QLabel("Coefficients per stage (0 = single stage, not cascaded):"), 2, 0);
  al->addWidget(Ed_Cascaded, 2, 1);
  al->addWidget(new QLabel("Enter the properties here, click \"Apply!\", then switch to the "
                           "Coefficients page.\nA larger number of coefficients first gives "
                           "new zero rows: fill them and apply again."),
                3, 0, 1, 2);
  al->addWidget(new QLabel("File:"), 4, 0);
  al->addWidget(Lab_CurrFileName, 4, 1);
  al->setRowStretch(5, 1);
  PageControl1->addTab(TS_Algorithm, "Algorithm");

  // "Description"
  TS_Description = Page("TS_Description");
  auto* dl = new QVBoxLayout(TS_Description);
  Mem_Description = Named(new QPlainTextEdit, "Mem_Description");
  Mem_Description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  dl->addWidget(Mem_Description);
  PageControl1->addTab(TS_Description, "Description");

  Btn_Apply = Named(new QPushButton("Apply !"), "Btn_Apply");
  Btn_Undo = Named(new QPushButton("Undo"), "Btn_Undo");
  Btn_StartStop = Named(new QPushButton("Start"), "Btn_StartStop");
  Btn_StartStop->setToolTip("Start / Stop filter");
  Btn_Bypass = Named(new QPushButton("Bypass"), "Btn_Bypass");
  Btn_Bypass->setToolTip("Filter bypass on/off");
  Btn_Load = Named(new QPushButton("Load"), "Btn_Load");
  Btn_Load->setToolTip("Loads filter COEFFS from file");
  Btn_Save = Named(new QPushButton("Save"), "Btn_Save");
  Btn_Save->setToolTip("Save filter COEFFS in file");
  Btn_Menu = Named(new QPushButton("Menu"), "Btn_Menu");
  Btn_Help = Named(new QPushButton("Help"), "Btn_Help");
  Lab_Message = Named(new QLabel("Message from Filter-Task"), "Lab_Message");
  Lab_DesignerMessage = Named(new QLabel("Message from filter designer"), "Lab_DesignerMessage");

  PopMeUp = Named(new QMenu(this), "PopMeUp");
  auto add = [this](const char* name, const char* caption) {
    QAction* a = PopMeUp->addAction(caption);
    a->setObjectName(name);
    return a;
  };
  LoadCoeff = add("LoadCoeff", "Load Coefficients from File");
  SaveCoeff = add("SaveCoeff", "Save Coefficients as File");
  RunFilterDesigner1 = add("RunFilterDesigner1", "Run Filter Designer");
  Menu_FilterRunning = add("Menu_FilterRunning", "Filter Running");
  Menu_FilterRunning->setCheckable(true);
  PopMeUp->addSeparator();
  Menu_StayOnTop = add("Menu_StayOnTop", "Stay on top");
  Menu_StayOnTop->setCheckable(true);
}

void TFilterControlForm::BuildTestPage()
{
  TS_Test = Page("TS_Test");
  auto* l = new QGridLayout(TS_Test);
  Chk_Test_PeakZ = Named(new QCheckBox("Peak-\"Z\" Test"), "Chk_Test_PeakZ");
  Chk_Test_Limit32k = Named(new QCheckBox("Limit \"Z\" +-32k"), "Chk_Test_Limit32k");
  Btn_ResetTestZPeak = Named(new QPushButton("Reset  !"), "Btn_ResetTestZPeak");
  Lab_Test_MaxZValue = Named(new QLabel("---"), "Lab_Test_MaxZValue");
  Memo1 = Named(new QPlainTextEdit, "Memo1");
  Memo1->setReadOnly(true);
  Memo1->setPlainText(
      "The peak test watches the highest value of any delay element (\"Z\") anywhere in the "
      "filter. It helps to port a design to 16- or 32-bit integer signal processors.\n"
      "A value above 32767 hints at an unstable filter.");
  l->addWidget(Chk_Test_PeakZ, 0, 0);
  l->addWidget(Lab_Test_MaxZValue, 0, 1);
  l->addWidget(Btn_ResetTestZPeak, 0, 2);
  l->addWidget(Chk_Test_Limit32k, 1, 0, 1, 3);
  l->addWidget(Memo1, 2, 0, 1, 3);
  PageControl1->addTab(TS_Test, "Test");
}

void TFilterControlForm::BuildIIR1Page()
{
  TS_Design1 = Page("TS_Design1");
  auto* l = new QGridLayout(TS_Design1);
  Ed_IIR_CutoffFreq = Edit("Ed_IIR_CutoffFreq", "800");
  Ed_IIR_PercentRipple = Edit("Ed_IIR_PercentRipple", "25");
  Ed_IIR_NrOfPoles = Edit("Ed_IIR_NrOfPoles", "16");
  RG_IIR_Type = Named(new QGroupBox("Type"), "RG_IIR_Type");
  Rbtn_LowPass = Named(new QRadioButton("Low pass"), "Rbtn_LowPass");
  Rbtn_IIR_HighPass = Named(new QRadioButton("High pass"), "Rbtn_IIR_HighPass");
  Rbtn_LowPass->setChecked(true);
  auto* tl = new QVBoxLayout(RG_IIR_Type);
  tl->addWidget(Rbtn_LowPass);
  tl->addWidget(Rbtn_IIR_HighPass);
  Btn_CalcIIR1 = Named(new QPushButton("Calculate !"), "Btn_CalcIIR1");
  Btn_ResetZ1 = Named(new QPushButton("Reset all \"Z\"s to zero"), "Btn_ResetZ1");
  l->addWidget(new QLabel("Cutoff frequency (Hz):"), 0, 0);
  l->addWidget(Ed_IIR_CutoffFreq, 0, 1);
  l->addWidget(new QLabel("Percent of ripple (0..29):"), 1, 0);
  l->addWidget(Ed_IIR_PercentRipple, 1, 1);
  l->addWidget(new QLabel("Number of poles (2,4,..20):"), 2, 0);
  l->addWidget(Ed_IIR_NrOfPoles, 2, 1);
  l->addWidget(RG_IIR_Type, 3, 0);
  l->addWidget(Btn_CalcIIR1, 3, 1);
  l->addWidget(Btn_ResetZ1, 4, 1);
  l->addWidget(new QLabel("Note: These filters are sometimes unstable !!"), 4, 0);
  Lab_IIR1_SampleRate = Named(new QLabel, "Lab_IIR1_SampleRate");
  l->addWidget(Lab_IIR1_SampleRate, 5, 0, 1, 2);
  l->setRowStretch(6, 1);
  PageControl1->addTab(TS_Design1, "IIR-Design1");
}

void TFilterControlForm::BuildIIR2Page()
{
  TS_Design2 = Page("TS_Design2");
  auto* l = new QGridLayout(TS_Design2);
  Ed_IIR2_TotalStages = Edit("Ed_IIR2_TotalStages", "5");
  Ud_IIR2_TotalStages = UpDown("Ud_IIR2_TotalStages", 5, Ed_IIR2_TotalStages);
  Ed_IIR2_EditedStage = Edit("Ed_IIR2_EditedStage", "1");
  Ud_IIR2_EditedStage = UpDown("Ud_IIR2_EditedStage", 1, Ed_IIR2_EditedStage);
  l->addWidget(new QLabel("Total number of 2nd-order stages (1..32) :"), 0, 0);
  l->addWidget(Ed_IIR2_TotalStages, 0, 1);
  l->addWidget(Ud_IIR2_TotalStages, 0, 2);
  l->addWidget(new QLabel("Currently edited stage (see below, 1..32):"), 1, 0);
  l->addWidget(Ed_IIR2_EditedStage, 1, 1);
  l->addWidget(Ud_IIR2_EditedStage, 1, 2);

  Grp_IIR2_OneStage = Named(new QGroupBox("Properties of stage"), "Grp_IIR2_OneStage");
  auto* g = new QGridLayout(Grp_IIR2_OneStage);
  Rbtn_IIR2_Bypass = Named(new QRadioButton("Bypass"), "Rbtn_IIR2_Bypass");
  Rbtn_IIR2_LowPass = Named(new QRadioButton("Low pass"), "Rbtn_IIR2_LowPass");
  Rbtn_IIR2_HighPass = Named(new QRadioButton("High pass"), "Rbtn_IIR2_HighPass");
  RBtn_IIR2_BandPass = Named(new QRadioButton("Band pass"), "RBtn_IIR2_BandPass");
  RBtn_IIR2_BandReject = Named(new QRadioButton("Band reject"), "RBtn_IIR2_BandReject");
  m_iir2TypeGroup = new QButtonGroup(this);
  int id = 0;
  for (QRadioButton* r : {Rbtn_IIR2_Bypass, Rbtn_IIR2_LowPass, Rbtn_IIR2_HighPass,
                          RBtn_IIR2_BandPass, RBtn_IIR2_BandReject}) {
    m_iir2TypeGroup->addButton(r, id);
    g->addWidget(r, id, 0);
    ++id;
  }
  RBtn_IIR2_BandPass->setChecked(true);
  Ed_IIR2_StageCutoff = Edit("Ed_IIR2_StageCutoff", "650");
  Ed_IIR2_StageBandwidth = Edit("Ed_IIR2_StageBandwidth", "30");
  Ed_IIR2_StageGain = Edit("Ed_IIR2_StageGain", "1.0");
  g->addWidget(new QLabel("Frequency (Hz):"), 0, 1);
  g->addWidget(Ed_IIR2_StageCutoff, 0, 2);
  g->addWidget(new QLabel("Bandwidth (Hz):"), 1, 1);
  g->addWidget(Ed_IIR2_StageBandwidth, 1, 2);
  g->addWidget(new QLabel("Gain:"), 2, 1);
  g->addWidget(Ed_IIR2_StageGain, 2, 2);
  l->addWidget(Grp_IIR2_OneStage, 2, 0, 1, 3);

  Btn_IIR2_Calculate = Named(new QPushButton("Calculate !"), "Btn_IIR2_Calculate");
  Btn_IIR2_Load = Named(new QPushButton("Load"), "Btn_IIR2_Load");
  Btn_IIR2_Save = Named(new QPushButton("Save"), "Btn_IIR2_Save");
  auto* b = new QHBoxLayout;
  for (QPushButton* p : {Btn_IIR2_Calculate, Btn_IIR2_Load, Btn_IIR2_Save}) b->addWidget(p);
  l->addLayout(b, 3, 0, 1, 3);
  Lab_IIR2_SampleRate = Named(new QLabel, "Lab_IIR2_SampleRate");
  l->addWidget(Lab_IIR2_SampleRate, 4, 0, 1, 3);
  l->setRowStretch(5, 1);
  PageControl1->addTab(TS_Design2, "IIR-Design2");
}

void TFilterControlForm::BuildIIR3Page()
{
  TS_Design3 = Page("TS_Design3");
  auto* l = new QGridLayout(TS_Design3);
  Ed_IIR3_Fcenter = Edit("Ed_IIR3_Fcenter", "650.0");
  Ed_IIR3_Bandwidth = Edit("Ed_IIR3_Bandwidth", "50.0");
  Cb_IIR3_ResponseType = Named(new QComboBox, "Cb_IIR3_ResponseType");
  for (int r = 0; r < kIIR3Responses; ++r) Cb_IIR3_ResponseType->addItem(IIR3ResponseName(r));
  Cb_IIR3_ResponseType->setCurrentIndex(1);
  Btn_IIR3_CalcAndApplyOneChn =
      Named(new QPushButton("Apply to current channel"), "Btn_IIR3_CalcAndApplyOneChn");
  Btn_IIR3_CalcAndApplyAllChns =
      Named(new QPushButton("Apply to all channels"), "Btn_IIR3_CalcAndApplyAllChns");
  Pnl_IIR3info = Named(new QLabel("Band pass as a chain of narrow 2nd-order band passes, "
                                  "transformed from the poles of a 10-pole low-pass "
                                  "prototype (Bessel, Butterworth, Chebyshev, linear phase, "
                                  "transitional Gaussian)."),
                       "Pnl_IIR3info");
  Pnl_IIR3info->setWordWrap(true);
  Pnl_IIR3info->setFrameShape(QFrame::Panel);
  l->addWidget(new QLabel("Center frequency (Hz):"), 0, 0);
  l->addWidget(Ed_IIR3_Fcenter, 0, 1);
  l->addWidget(new QLabel("Bandwidth (Hz):"), 1, 0);
  l->addWidget(Ed_IIR3_Bandwidth, 1, 1);
  l->addWidget(new QLabel("Response:"), 2, 0);
  l->addWidget(Cb_IIR3_ResponseType, 2, 1);
  l->addWidget(Btn_IIR3_CalcAndApplyOneChn, 3, 0);
  l->addWidget(Btn_IIR3_CalcAndApplyAllChns, 3, 1);
  l->addWidget(Pnl_IIR3info, 4, 0, 1, 2);
  Lab_IIR3_SampleRate = Named(new QLabel, "Lab_IIR3_SampleRate");
  l->addWidget(Lab_IIR3_SampleRate, 5, 0, 1, 2);
  l->setRowStretch(6, 1);
  PageControl1->addTab(TS_Design3, "IIR-Design3");
}

void TFilterControlForm::BuildFIR1Page()
{
  TS_Design4 = Page("TS_Design4");
  auto* l = new QGridLayout(TS_Design4);
  Ed_FIR1Des_Fsample = Edit("Ed_FIR1Des_Fsample", "11025");
  Ed_FIR1Des_Fcutoff = Edit("Ed_FIR1Des_Fcutoff", "1700");
  Ed_FIR1Des_Bandwidth = Edit("Ed_FIR1Des_Bandwidth", "700");
  Btn_CalculateFIR1Designer = Named(new QPushButton("Calculate !"), "Btn_CalculateFIR1Designer");
  l->addWidget(new QLabel("Sample rate (Hz):"), 0, 0);
  l->addWidget(Ed_FIR1Des_Fsample, 0, 1);
  l->addWidget(new QLabel("Cutoff frequency (Hz):"), 1, 0);
  l->addWidget(Ed_FIR1Des_Fcutoff, 1, 1);
  l->addWidget(new QLabel("Transition bandwidth (Hz) -> filter order:"), 2, 0);
  l->addWidget(Ed_FIR1Des_Bandwidth, 2, 1);
  l->addWidget(Btn_CalculateFIR1Designer, 3, 1);
  l->addWidget(new QLabel("Windowed-sinc low pass (Hamming window), at most 128 taps."), 4, 0,
               1, 2);
  l->setRowStretch(5, 1);
  PageControl1->addTab(TS_Design4, "FIR-Design1");
}

void TFilterControlForm::BuildFIR2Page()
{
  TS_Design5 = Page("TS_Design5");
  auto* l = new QGridLayout(TS_Design5);
  Ed_FIR2Des_NrCoeffs = Edit("Ed_FIR2Des_NrCoeffs", "104");
  Ed_FIR2Des_NrBands = Edit("Ed_FIR2Des_NrBands", "5");
  Combo_FIR2Des_Type = Named(new QComboBox, "Combo_FIR2Des_Type");
  Combo_FIR2Des_Type->addItems({"BANDPASS", "DIFFERENTIATOR", "HILBERT TRANSFORMER"});
  SG_FIR2Dec_FilterSpec = Named(new QTableWidget(11, 5), "SG_FIR2Dec_FilterSpec");
  SG_FIR2Dec_FilterSpec->horizontalHeader()->hide();
  SG_FIR2Dec_FilterSpec->verticalHeader()->hide();
  Btn_FIR2Des_Calculate = Named(new QPushButton("Calculate"), "Btn_FIR2Des_Calculate");
  Btn_FIR2Des_Load = Named(new QPushButton("Load"), "Btn_FIR2Des_Load");
  Btn_FIR2Des_Save = Named(new QPushButton("Save"), "Btn_FIR2Des_Save");
  l->addWidget(new QLabel("Number of coefficients:"), 0, 0);
  l->addWidget(Ed_FIR2Des_NrCoeffs, 0, 1);
  l->addWidget(new QLabel("Number of bands:"), 1, 0);
  l->addWidget(Ed_FIR2Des_NrBands, 1, 1);
  l->addWidget(Combo_FIR2Des_Type, 2, 0, 1, 2);
  l->addWidget(new QLabel("Filter Specification (enter number of bands first !)"), 3, 0, 1, 2);
  l->addWidget(SG_FIR2Dec_FilterSpec, 4, 0, 1, 2);
  auto* b = new QHBoxLayout;
  for (QPushButton* p : {Btn_FIR2Des_Calculate, Btn_FIR2Des_Load, Btn_FIR2Des_Save})
    b->addWidget(p);
  l->addLayout(b, 5, 0, 1, 2);
  PageControl1->addTab(TS_Design5, "FIR-Design2");
}

void TFilterControlForm::ConnectHandlers()
{
  connect(Timer1, &QTimer::timeout, this, &TFilterControlForm::Timer1Timer);
  connect(Btn_Apply, &QPushButton::clicked, this, &TFilterControlForm::Btn_ApplyClick);
  connect(Btn_Undo, &QPushButton::clicked, this, &TFilterControlForm::Btn_UndoClick);
  connect(Btn_StartStop, &QPushButton::clicked, this, &TFilterControlForm::Btn_StartStopClick);
  connect(Btn_Bypass, &QPushButton::clicked, this, &TFilterControlForm::Btn_BypassClick);
  connect(Btn_Load, &QPushButton::clicked, this, &TFilterControlForm::Btn_LoadClick);
  connect(Btn_Save, &QPushButton::clicked, this, &TFilterControlForm::Btn_SaveClick);
  connect(Btn_Menu, &QPushButton::clicked, this, &TFilterControlForm::Btn_MenuClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TFilterControlForm::Btn_HelpClick);
  connect(LoadCoeff, &QAction::triggered, this, &TFilterControlForm::LoadCoeffClick);
  connect(SaveCoeff, &QAction::triggered, this, &TFilterControlForm::SaveCoeffClick);
  connect(Menu_FilterRunning, &QAction::triggered, this,
          &TFilterControlForm::Menu_FilterRunningClick);
  connect(Menu_StayOnTop, &QAction::triggered, this, &TFilterControlForm::Menu_StayOnTopClick);
  connect(Mem_Description, &QPlainTextEdit::textChanged, this,
          &TFilterControlForm::Mem_DescriptionChange);

  connect(Chk_Test_PeakZ, &QCheckBox::clicked, this, &TFilterControlForm::Chk_Test_PeakZClick);
  connect(Chk_Test_Limit32k, &QCheckBox::clicked, this,
          &TFilterControlForm::Chk_Test_Limit32kClick);
  connect(Btn_ResetTestZPeak, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_ResetTestZPeakClick);
  connect(Btn_CalcIIR1, &QPushButton::clicked, this, &TFilterControlForm::Btn_CalcIIR1Click);
  connect(Btn_ResetZ1, &QPushButton::clicked, this, &TFilterControlForm::Btn_ResetZ1Click);

  connect(Btn_IIR2_Calculate, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_IIR2_CalculateClick);
  connect(Btn_IIR2_Load, &QPushButton::clicked, this, &TFilterControlForm::Btn_IIR2_LoadClick);
  connect(Btn_IIR2_Save, &QPushButton::clicked, this, &TFilterControlForm::Btn_IIR2_SaveClick);
  connect(Ed_IIR2_TotalStages, &QLineEdit::textChanged, this,
          &TFilterControlForm::Ed_IIR2_TotalStagesChange);
  connect(Ed_IIR2_EditedStage, &QLineEdit::textChanged, this,
          &TFilterControlForm::Ed_IIR2_EditedStageChange);
  // The up-downs write their position into their edits; a number typed or set in the edit moves
  // them (to the nearest end of their range when it lies outside).
  auto couple = [](QLineEdit* ed, QSpinBox* ud) {
    connect(ud, &QSpinBox::valueChanged, ed, [ed](int v) {
      if (StrToIntDef(ed->text().toStdString(), v - 1) != v) ed->setText(QString::number(v));
    });
    connect(ed, &QLineEdit::textChanged, ud, [ud](const QString& t) {
      const int v = StrToIntDef(t.toStdString(), ud->value());
      const QSignalBlocker block(ud);
      ud->setValue(std::clamp(v, ud->minimum(), ud->maximum()));
    });
  };
  couple(Ed_IIR2_TotalStages, Ud_IIR2_TotalStages);
  couple(Ed_IIR2_EditedStage, Ud_IIR2_EditedStage);
  connect(m_iir2TypeGroup, &QButtonGroup::idClicked, this, &TFilterControlForm::IIR2_StageChanged);
  for (QLineEdit* e : {Ed_IIR2_StageCutoff, Ed_IIR2_StageBandwidth, Ed_IIR2_StageGain})
    connect(e, &QLineEdit::textChanged, this, &TFilterControlForm::IIR2_StageChanged);

  connect(Btn_IIR3_CalcAndApplyOneChn, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_IIR3_CalcAndApplyOneChnClick);
  connect(Btn_IIR3_CalcAndApplyAllChns, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_IIR3_CalcAndApplyAllChnsClick);
  connect(Btn_CalculateFIR1Designer, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_CalculateFIR1DesignerClick);
  connect(Btn_FIR2Des_Calculate, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_FIR2Des_CalculateClick);
  connect(Btn_FIR2Des_Load, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_FIR2Des_LoadClick);
  connect(Btn_FIR2Des_Save, &QPushButton::clicked, this,
          &TFilterControlForm::Btn_FIR2Des_SaveClick);
}

// ---- create, show, close ----

void TFilterControlForm::FormCreate()
{
  UpdatingCount = 0;
  g_FilterEditChannel = 0;
  AppendInstanceSuffix(this);

  IniFile ini(UserSettingsFullPath());
  ReadFormBounds(this, ini, kSection, true);
  SetFormStyle(this, ini.ReadInteger(kSection, "FormStyle", GetFormStyle(this)));
  Menu_StayOnTop->setChecked(GetFormStyle(this) == FORM_STYLE_STAY_ON_TOP);

  // Built-in two-pole band pass, replaced by "default.flt" below when it exists.
  for (DigiFilterBlock& b : g_EditedDigiFilters) {
    DigiFilter_Reset(&b, true);
    b.MaxCoeff = 2;
    b.Is_IIR = 1;
    b.Cascaded = 0;
    b.alpha[0] = -0.00293;
    b.alpha[2] = 0.00293;
    b.beta[1] = -1.613;
    b.beta[2] = 0.9941;
  }
  SetNumericLocaleC();
  GridUpdatePending = true;

  ChainDesign.NrOfStages = 0;
  for (int i = 0; i < kFilterChainStages; ++i)
    ChainDesign.Stage[i] = FilterChainStage{3, 700.0 + 10.0 * i, 30.0, 1.0};
  // A stored name without a directory is the one the window writes into the working
  // directory at close; no name at all is that default file.
  std::string chainFile = SndConfig.IIR2DesignFile[0];
  if (chainFile.empty()) chainFile = "default.flc";
  if (chainFile.find('/') == std::string::npos) chainFile = GetWorkDirectory() + chainFile;
  ReadFilterChainFile(chainFile, &ChainDesign);

  for (IIR3DesignParams& p : g_IIR3DesignParams) p = IIR3DesignParams{650.0, 100.0, 1};

  Combo_FIR2Des_Type->setCurrentIndex(0);
  const char* const heads[5] = {"Band", "lower edge", "upper edge", "response", "error weight"};
  for (int c = 0; c < 5; ++c) {
    auto* item = new QTableWidgetItem(heads[c]);
    item->setFlags(Qt::ItemIsEnabled);
    SG_FIR2Dec_FilterSpec->setItem(0, c, item);
  }
  for (int r = 1; r <= 10; ++r) {
    auto* item = new QTableWidgetItem(QString::number(r));
    item->setFlags(Qt::ItemIsEnabled);
    SG_FIR2Dec_FilterSpec->setItem(r, 0, item);
  }

  for (int ch = 0; ch < 2; ++ch) LoadFilterAndDesignParams(ch, GetWorkDirectory() + "default.flt");
  UndoFilter = g_EditedDigiFilters[0];
  SetFilterControlWindowHook([this] { UpdateCoeffGrid(); });

  if (ini.ReadInteger(kSection, "Visible", 0) != 0) show();
}

void TFilterControlForm::FormShow()
{
  UpdatingCount = 0;
  Lab_DesignerMessage->clear();
  ShowDesignSampleRate(true);
}

void TFilterControlForm::ShowDesignSampleRate(bool force)
{
  const double rate = FilterDesignSampleRate();
  if (!force && rate == m_lastDesignRate) return;
  m_lastDesignRate = rate;
  const QString text = QString::fromStdString(SampleRateText(rate));
  const QString label = "Designed for the sample rate the filter runs at: " + text + " Hz";
  for (QLabel* l : {Lab_IIR1_SampleRate, Lab_IIR2_SampleRate, Lab_IIR3_SampleRate})
    l->setText(label);
  // A rate the user typed in stays until the window is shown again.
  if (force || Ed_FIR1Des_Fsample->text() == m_lastFsampleText) {
    Ed_FIR1Des_Fsample->setText(text);
    m_lastFsampleText = text;
  }
}

void TFilterControlForm::FormClose()
{
  QStringList failures;
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, kSection, true);
    ini.WriteInteger(kSection, "FormStyle", GetFormStyle(this));
    ini.WriteInteger(kSection, "Visible", isVisible() ? 1 : 0);
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    failures << e.what();
  }
  const std::string dir = GetWorkDirectory();
  for (int ch = 0; ch < 2; ++ch) {
    try {
      SaveFilterAndDesignParams(ch, dir + "default.flt");
    } catch (const EIniFileError& e) {
      if (!failures.contains(e.what())) failures << e.what();
    }
  }
  try {
    WriteFilterChainFile(dir + "default.flc", &ChainDesign);
  } catch (const EIniFileError& e) {
    failures << e.what();
  }
  if (failures.isEmpty()) return;
  const QString text = "Filter Control Window:\n" + failures.join("\n");
  if (OnSaveError)
    OnSaveError(text);
  else
    ReportError(text);
}

void TFilterControlForm::showEvent(QShowEvent* e)
{
  FormShow();
  QWidget::showEvent(e);
}

void TFilterControlForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TFilterControlForm::contextMenuEvent(QContextMenuEvent* e)
{
  UpdateStatusDisplay();
  PopMeUp->popup(e->globalPos());
}

void TFilterControlForm::ReportError(const QString& text)
{
  QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
  ExecDialog(&box);
}

// ---- timer and status ----

void TFilterControlForm::Timer1Timer()
{
  if (m_timerStarts < 2) {
    // The filters read at creation become the running ones on the second tick.
    if (++m_timerStarts == 2) {
      ActivateEditedFilter(0);
      ActivateEditedFilter(1);
    }
    return;
  }
  const SoundEngineStats st = SoundThreadLink().Stats();
  if (g_FilterEditChannel != m_lastChannel || st.nrProcessedChannels != m_lastNrChannels) {
    m_lastChannel = g_FilterEditChannel;
    m_lastNrChannels = st.nrProcessedChannels;
    IIR2PageUpdatePending = true;
    IIR3PageUpdatePending = true;
    QString caption = kCaption;
    if (st.nrProcessedChannels > 1)
      caption += g_FilterEditChannel == 0 ? " (Left Channel)" : " (Right Channel)";
    setWindowTitle(caption + InstanceSuffix());
  }
  if (isVisible()) {
    const int64_t f = QueryPerformanceFrequency();
    const int64_t n = st.processedBlockLength;
    if (f > 0 && n > 0) {
      // T x 10^9 does not fit 64 bits for large tick counts.
      const __int128 t = st.stageTicks[SNDTHD_STAGE_CUSTOM_FILTER];
      const __int128 ns = t * 1000000000 / (static_cast<__int128>(f) * n);
      Lab_Message->setText(QString::number(static_cast<long long>(ns)) + "ns per Calculation");
    }
    if (g_DigiFilterTestPeakZ.load())
      Lab_Test_MaxZValue->setText(QString::fromStdString(FloatToStr(g_DigiFilterPeakZ.load())));
    if (IIR2PageUpdatePending && PageControl1->currentWidget() == TS_Design2) {
      RaiseUpdating();
      Ed_IIR2_TotalStages->setText(QString::number(ChainDesign.NrOfStages));
      Ed_IIR2_EditedStage->setText("1");
      ShowEditedStage();
      LowerUpdating();
      IIR2PageUpdatePending = false;
    }
    const int ch = g_FilterEditChannel;
    if (IIR3PageUpdatePending && PageControl1->currentWidget() == TS_Design3 && ch >= 0 &&
        ch <= 1) {
      RaiseUpdating();
      const IIR3DesignParams& p = g_IIR3DesignParams[ch];
      Ed_IIR3_Fcenter->setText(QString::fromStdString(FormatFloat("####0.0##", p.Fcenter)));
      Ed_IIR3_Bandwidth->setText(QString::fromStdString(FormatFloat("####0.0##", p.Bandwidth)));
      Cb_IIR3_ResponseType->setCurrentIndex(p.Response >= 0 && p.Response < kIIR3Responses
                                                ? p.Response
                                                : -1);
      LowerUpdating();
      IIR3PageUpdatePending = false;
    }
  }
  if (GridUpdatePending) {
    GridUpdatePending = false;
    UpdateCoeffGrid();
  }
  ShowDesignSampleRate(false);  // a divisor or calibration taken over since
  UpdateStatusDisplay();
}

void TFilterControlForm::UpdateStatusDisplay()
{
  const int c = CorrectFilterEditChannel();
  const bool running = (SndConfig.StartDigitalFilter & (1 << c)) != 0;
  Menu_FilterRunning->setChecked(running);
  if (!SoundThreadLink().ThreadExists()) {
    Btn_StartStop->setText("Off!");
    return;
  }
  Btn_StartStop->setText(running ? "Started" : "Stopped");
  // The bypass can be switched only while the filter runs, but it is in force (the audio thread
  // passes the input with the channel's gain) whether the filter runs or not: the caption shows
  // it either way, also on the disabled button.
  Btn_Bypass->setEnabled(running);
  Btn_Bypass->setText((SndConfig.DigitalFilterBypass & (1 << c)) ? "Bypassed" : "Bypass");
}

void TFilterControlForm::Btn_StartStopClick()
{
  const int c = CorrectFilterEditChannel();
  ActivateEditedFilter(c);
  SndConfig.StartDigitalFilter = SndConfig.StartDigitalFilter ^ (1 << c);
  UpdateStatusDisplay();
}

void TFilterControlForm::Menu_FilterRunningClick() { Btn_StartStopClick(); }

void TFilterControlForm::Btn_BypassClick()
{
  const int c = CorrectFilterEditChannel();
  SndConfig.DigitalFilterBypass = SndConfig.DigitalFilterBypass ^ (1 << c);
  UpdateStatusDisplay();
}

// ---- menu and help ----

void TFilterControlForm::Btn_MenuClick()
{
  UpdateStatusDisplay();
  PopMeUp->popup(mapToGlobal(Btn_Menu->geometry().topLeft()));
}

void TFilterControlForm::Btn_HelpClick() { ShowHelpContext(kHelpWindow); }

uint32_t TFilterControlForm::HelpContextOfFocus() const
{
  const QWidget* f = QApplication::focusWidget();
  for (; f && f != this; f = f->parentWidget()) {
    if (f == SG_Coeff || f == Ed_MaxCoeff) return kHelpGrid;
    if (f == Rbtn_TypeFIR) return kHelpFIR;
    if (f == Rbtn_TypeIIR) return kHelpIIR;
  }
  return kHelpWindow;
}

void TFilterControlForm::Menu_StayOnTopClick()
{
  Menu_StayOnTop->setChecked(ToggleStayOnTop(this));
}
