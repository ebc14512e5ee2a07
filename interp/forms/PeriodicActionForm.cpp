// The periodic and scheduled actions dialog.
#include "interp/forms/PeriodicActionForm.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <cmath>

#include "engine/forms/GridRows.h"
#include "engine/RedrawRequest.h"
#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/PeriodicActions.h"
#include "interp/forms/FormText.h"

TPeriodicActionForm* PeriodicActionForm = nullptr;

namespace {

constexpr uint32_t kHelpContext = 1000;
constexpr uint32_t kMacroHelpContext = 1650;
constexpr char kTimeSeparator = ':';
constexpr char kDateSeparator = '.';
constexpr int kScheduleRedrawBit = 4;

QFont FixedFont()
{
  QFont f("Courier New");
  f.setStyleHint(QFont::Monospace);
  return f;
}

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QLineEdit* TimeEdit(const char* name)
{
  auto* ed = Named(new QLineEdit, name);
  ed->setInputMask("00:00:00");
  ed->setMaxLength(8);
  ed->setMaximumWidth(80);
  return ed;
}

// hh:mm:ss of a time in seconds, truncated to whole seconds; a value that is not finite (or
// does not fit) shows as 00:00:00.
QString SecondsToTimeText(double seconds)
{
  int whole = 0;
  if (std::isfinite(seconds) && std::fabs(seconds) < 2e9) whole = static_cast<int>(seconds);
  char text[TIME_OF_DAY_TEXT_SIZE];
  TimeOfDayToString(whole, text, kTimeSeparator);
  return QString::fromLatin1(text);
}

double TimeTextToSeconds(const QLineEdit* ed)
{
  const QByteArray text = ed->text().toLocal8Bit();
  double t = 0.0;
  ParseTimeString(text.constData(), 0.0, &t, kDateSeparator, kTimeSeparator);
  return t;
}

QString CellText(const QTableWidget* grid, int row, int col)
{
  const QTableWidgetItem* item = grid->item(row, col);
  return item ? item->text() : QString();
}

void SetCell(QTableWidget* grid, int row, int col, const QString& text, bool editable)
{
  auto* item = new QTableWidgetItem(text);
  if (!editable) item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  grid->setItem(row, col, item);
}

}  // namespace

TPeriodicActionForm::TPeriodicActionForm(QWidget* parent) : QDialog(parent)
{
  setObjectName("PeriodicActionForm");
  setWindowTitle("Periodic and Scheduled Actions");
  setWindowFlag(Qt::Tool, true);
  setMinimumSize(420, 280);
  setModal(true);

  auto* outer = new QHBoxLayout(this);
  auto* left = new QVBoxLayout;
  outer->addLayout(left, 1);

  PageControl1 = Named(new QTabWidget, "PageControl1");
  left->addWidget(PageControl1, 1);

  // ---- "Periodic Actions" ----
  TS_Periodic = Named(new QWidget, "TS_Periodic");
  auto* pg = new QGridLayout(TS_Periodic);
  Chk_TimerActive = Named(new QCheckBox("active"), "Chk_TimerActive");
  pg->addWidget(Chk_TimerActive, 0, 0, 1, 2);
  Label2 = Named(new QLabel("From"), "Label2");
  Ed_From = TimeEdit("Ed_From");
  Label3 = Named(new QLabel("to"), "Label3");
  Ed_To = TimeEdit("Ed_To");
  Label4 = Named(new QLabel("Interval"), "Label4");
  Ed_Interval = TimeEdit("Ed_Interval");
  auto* times = new QHBoxLayout;
  for (QWidget* w : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(Ed_From),
                     static_cast<QWidget*>(Label3), static_cast<QWidget*>(Ed_To),
                     static_cast<QWidget*>(Label4), static_cast<QWidget*>(Ed_Interval)})
    times->addWidget(w);
  times->addWidget(new QLabel("(hh:mm:ss)"));
  times->addStretch(1);
  pg->addLayout(times, 1, 0, 1, 2);
  Label6 = Named(new QLabel("Action macro(s)      Example:"), "Label6");
  Label7 = Named(new QLabel("capture "), "Label7");
  Label7->setFont(FixedFont());
  pg->addWidget(Label6, 2, 0);
  pg->addWidget(Label7, 2, 1);
  Ed_PeriodicAction = Named(new QLineEdit, "Ed_PeriodicAction");
  Ed_PeriodicAction->setFont(FixedFont());
  Ed_PeriodicAction->setMaxLength(250);
  pg->addWidget(Ed_PeriodicAction, 3, 0, 1, 2);
  Btn_TestPeriodicMacro = Named(new QPushButton("Test ->"), "Btn_TestPeriodicMacro");
  Ed_PeriodicTestResult = Named(new QLineEdit, "Ed_PeriodicTestResult");
  Ed_PeriodicTestResult->setReadOnly(true);
  pg->addWidget(Btn_TestPeriodicMacro, 4, 0);
  pg->addWidget(Ed_PeriodicTestResult, 4, 1);
  pg->setRowStretch(5, 1);
  PageControl1->addTab(TS_Periodic, "Periodic Actions");

  // ---- "Scheduled Actions" ----
  TS_Schedule = Named(new QWidget, "TS_Schedule");
  auto* sg = new QVBoxLayout(TS_Schedule);
  Chk_ScheduleActive = Named(new QCheckBox("active"), "Chk_ScheduleActive");
  sg->addWidget(Chk_ScheduleActive);
  Sg_Schedule = Named(new QTableWidget(kNrScheduleEntries + 1, 3), "Sg_Schedule");
  MakeGridRowsMovable(Sg_Schedule, false, 1);
  Sg_Schedule->setColumnWidth(0, 32);
  Sg_Schedule->setColumnWidth(1, 84);
  Sg_Schedule->setColumnWidth(2, 222);
  sg->addWidget(Sg_Schedule, 1);
  PageControl1->addTab(TS_Schedule, "Scheduled Actions");

  // ---- "-" ----
  TS_EventActions = Named(new QWidget, "TS_EventActions");
  auto* eg = new QVBoxLayout(TS_EventActions);
  Label8 = Named(new QLabel("Actions on events are not available."), "Label8");
  Label9 = Named(new QLabel(""), "Label9");
  eg->addWidget(Label8);
  eg->addWidget(Label9);
  eg->addStretch(1);
  PageControl1->addTab(TS_EventActions, "-");

  // ---- Screen capture options ----
  Grp_ScreenCapture = Named(new QGroupBox("Screen Capture options"), "Grp_ScreenCapture");
  auto* cg = new QGridLayout(Grp_ScreenCapture);
  Label5 = Named(new QLabel("Current index:"), "Label5");
  Us_SequenceIndex = Named(new QSpinBox, "Us_SequenceIndex");
  Us_SequenceIndex->setRange(0, 30000);
  Ed_SequenceIndex = Us_SequenceIndex->findChild<QLineEdit*>();
  Ed_SequenceIndex->setObjectName("Ed_SequenceIndex");
  Chk_TimeLabel = Named(new QCheckBox("Time && Date - Label"), "Chk_TimeLabel");
  Chk_FreqLabel = Named(new QCheckBox("Frequency Label"), "Chk_FreqLabel");
  Label10 = Named(new QLabel("File format"), "Label10");
  Rbtn_ImgFormBitmap = Named(new QRadioButton("BMP"), "Rbtn_ImgFormBitmap");
  Rbtn_ImgFormJPEG = Named(new QRadioButton("JPG"), "Rbtn_ImgFormJPEG");
  Label1 = Named(new QLabel("Path and sequence file name, no extension:"), "Label1");
  Ed_SequenceName = Named(new QLineEdit, "Ed_SequenceName");
  cg->addWidget(Label5, 0, 0);
  cg->addWidget(Us_SequenceIndex, 0, 1);
  cg->addWidget(Chk_TimeLabel, 0, 2);
  cg->addWidget(Chk_FreqLabel, 0, 3);
  auto* fmt = new QHBoxLayout;
  fmt->addWidget(Label10);
  fmt->addWidget(Rbtn_ImgFormBitmap);
  fmt->addWidget(Rbtn_ImgFormJPEG);
  fmt->addStretch(1);
  cg->addLayout(fmt, 1, 0, 1, 4);
  cg->addWidget(Label1, 2, 0, 1, 4);
  cg->addWidget(Ed_SequenceName, 3, 0, 1, 4);
  left->addWidget(Grp_ScreenCapture);

  auto* buttons = new QVBoxLayout;
  Btn_Ok = Named(new QPushButton("OK"), "Btn_Ok");
  Btn_Cancel = Named(new QPushButton("Cancel"), "Btn_Cancel");
  Btn_Help = Named(new QPushButton("Help"), "Btn_Help");
  Btn_Ok->setDefault(true);
  for (QPushButton* b : {Btn_Ok, Btn_Cancel, Btn_Help}) buttons->addWidget(b);
  buttons->addStretch(1);
  outer->addLayout(buttons);

  connect(Btn_Ok, &QPushButton::clicked, this, &TPeriodicActionForm::Btn_OKClick);
  connect(Btn_Cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(Btn_Help, &QPushButton::clicked, this, &TPeriodicActionForm::Btn_HelpClick);
  connect(Btn_TestPeriodicMacro, &QPushButton::clicked, this,
          &TPeriodicActionForm::Btn_TestPeriodicMacroClick);

  // The word period reaches the dialog here; only a visible dialog follows it.
  PeriSced_SetDialogHook([this](bool active, double interval) {
    if (!isVisible()) return;
    Chk_TimerActive->setChecked(active);
    if (active) Ed_Interval->setText(SecondsToTimeText(interval));
  });

  FormCreate();
}

TPeriodicActionForm::~TPeriodicActionForm()
{
  PeriSced_SetDialogHook(nullptr);
  if (PeriodicActionForm == this) PeriodicActionForm = nullptr;
}

void TPeriodicActionForm::FormCreate()
{
  InstallHelpShortcut(this, kHelpContext);
  InstallHelpShortcut(Ed_PeriodicAction, kMacroHelpContext);
  AppendInstanceSuffix(this);
}

int TPeriodicActionForm::Execute(QWidget* page)
{
  if (page) PageControl1->setCurrentWidget(page);
  FormActivate();
  return ExecDialog(this);
}

void TPeriodicActionForm::FormActivate()
{
  Ed_From->setText(SecondsToTimeText(SndConfig.Time_From));
  Ed_To->setText(SecondsToTimeText(SndConfig.Time_To));
  Ed_Interval->setText(SecondsToTimeText(SndConfig.TimeInterval));

  Us_SequenceIndex->setValue(SndConfig.SequenceNr);
  Chk_TimerActive->setChecked(SndConfig.TimerActive);
  Ed_PeriodicAction->setText(FieldToText(SndConfig.PeriodicAction));
  Ed_PeriodicTestResult->clear();
  Chk_TimeLabel->setChecked(SndConfig.CaptureOptions & 1);
  Chk_FreqLabel->setChecked(SndConfig.CaptureOptions & 2);
  Ed_SequenceName->setText(FieldToText(SndConfig.SequenceName));
  // Both buttons follow the setting, so OK never stores another format than the one shown.
  if (SndConfig.UseJpegFormat)
    Rbtn_ImgFormJPEG->setChecked(true);
  else
    Rbtn_ImgFormBitmap->setChecked(true);
  Chk_ScheduleActive->setChecked(SndConfig.ScheduleActive);

  Sg_Schedule->setColumnCount(3);
  Sg_Schedule->setRowCount(kNrScheduleEntries + 1);
  SetCell(Sg_Schedule, 0, 0, "Nr", false);
  SetCell(Sg_Schedule, 0, 1, "Time of day", false);
  SetCell(Sg_Schedule, 0, 2, "Action (macros)", false);
  for (int r = 1; r <= kNrScheduleEntries; ++r) {
    const ScheduleEntry& e = SndConfig.Schedule[r - 1];
    SetCell(Sg_Schedule, r, 0, QString::number(r), false);
    SetCell(Sg_Schedule, r, 1, e.Time < 0 ? QString() : PeriSced_SecondsToHHMM(e.Time), true);
    SetCell(Sg_Schedule, r, 2, FieldToText(e.ActionCmd), true);
  }
}

void TPeriodicActionForm::Btn_OKClick()
{
  SndConfig.Time_From = TimeTextToSeconds(Ed_From);
  SndConfig.Time_To = TimeTextToSeconds(Ed_To);
  SndConfig.TimeInterval = TimeTextToSeconds(Ed_Interval);

  SndConfig.TimerActive = Chk_TimerActive->isChecked();
  CopyTextToField(SndConfig.PeriodicAction, Ed_PeriodicAction->text(), 255);
  SndConfig.ScheduleActive = Chk_ScheduleActive->isChecked();

  for (int r = 1; r <= kNrScheduleEntries; ++r) {
    ScheduleEntry& e = SndConfig.Schedule[r - 1];
    const QString time = CellText(Sg_Schedule, r, 1);
    e.Time = time.size() <= 2 ? -1 : PeriSced_HHMMToSeconds(time.toLocal8Bit().constData());
    CopyTextToField(e.ActionCmd, CellText(Sg_Schedule, r, 2), 255);
  }

  CopyTextToField(SndConfig.SequenceName, Ed_SequenceName->text(), 255);
  SndConfig.SequenceNr = Us_SequenceIndex->value();
  SndConfig.CaptureOptions = (Chk_TimeLabel->isChecked() ? 1 : 0) + (Chk_FreqLabel->isChecked() ? 2 : 0);
  SndConfig.UseJpegFormat = Rbtn_ImgFormJPEG->isChecked() ? 1 : 0;

  g_RedrawRequestMask = g_RedrawRequestMask | kScheduleRedrawBit;
  accept();
}

void TPeriodicActionForm::Btn_HelpClick() { ShowHelpContext(kHelpContext); }

void TPeriodicActionForm::Btn_TestPeriodicMacroClick()
{
  SndConfig.SequenceNr = Us_SequenceIndex->value();  // a capture in the macro uses this index
  g_CliErrorText[0] = '\0';
  const QByteArray macro = Ed_PeriodicAction->text().toLocal8Bit();
  const int rc = CLI_ExecuteMacro(CLI_SRC_CMDWIN, macro.constData());
  QString result = QString::fromLocal8Bit(CLI_ErrorCodeToString(rc));
  if (rc < 0 && g_CliErrorText[0] != '\0')
    result += "(" + QString::fromLocal8Bit(g_CliErrorText) + ")";
  Ed_PeriodicTestResult->setText(result);
  Us_SequenceIndex->setValue(SndConfig.SequenceNr);  // a capture advances it
}
