// The export window.
#include "interp/forms/ExportForm.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QCheckBox>
#include <QCursor>
#include <QEvent>
#include <QShowEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/forms/GridRows.h"
#include "engine/DebugU1.h"
#include "engine/SndConfig.h"
#include "engine/TimeUtils.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliCommands.h"
#include "interp/CliEval.h"
#include "interp/ExportEngine.h"
#include "interp/forms/FormText.h"
#include "platform/NumText.h"

TExportForm* ExportForm = nullptr;

namespace {

constexpr uint32_t kHelpContext = 1500;
constexpr uint32_t kMacroHelpContext = 1650;
const char* const kNoTestYet = "    <click TEST and watch the result here>";
const char* const kSyncCaption = "Synchronize !";
const char* const kApplyCaption = "Apply !";
const char* const kHeaders[6] = {"Column", "Title", "Numeric Expression", "Format", "Flags",
                                 "Formatted Results"};
constexpr int kWidths[6] = {48, 77, 203, 68, 55, 126};

template <typename T>
T* Named(T* w, const char* name)
{
  w->setObjectName(name);
  return w;
}

QLineEdit* MacroEdit(const char* name)
{
  auto* ed = Named(new QLineEdit, name);
  ed->setMaxLength(250);
  return ed;
}

// The whole text as an integer, else the default.
int TextToInt(const QString& text, int def) { return StrToIntDef(text.trimmed().toStdString(), def); }

}  // namespace

TExportForm::TExportForm(QWidget* parent) : QWidget(parent, Qt::Tool)
{
  setObjectName("ExportForm");
  setWindowTitle("Vartumo  -  File Export Format");
  resize(480, 320);
  setMinimumSize(420, 280);

  auto* outer = new QVBoxLayout(this);
  PageControl1 = Named(new QTabWidget, "PageControl1");
  outer->addWidget(PageControl1, 1);

  // ---- "File Contents" ----
  TS_FileContents = Named(new QWidget, "TS_FileContents");
  auto* fc = new QVBoxLayout(TS_FileContents);
  auto* top = new QHBoxLayout;
  Ed_SeparatorCode = Named(new QLineEdit("9"), "Ed_SeparatorCode");
  Ed_SeparatorCode->setToolTip("9=TAB, 59=semicolon");
  Ed_SeparatorCode->setMaximumWidth(40);
  Ed_NrColumns = Named(new QLineEdit("3"), "Ed_NrColumns");
  Ed_NrColumns->setMaximumWidth(40);
  top->addWidget(new QLabel("Column Separator (ASCII)"));
  top->addWidget(Ed_SeparatorCode);
  top->addSpacing(12);
  top->addWidget(new QLabel("Number of columns:"));
  top->addWidget(Ed_NrColumns);
  top->addStretch(1);
  fc->addLayout(top);
  SG_FileFormat = Named(new QTableWidget(1, 6), "SG_FileFormat");
  MakeGridRowsMovable(SG_FileFormat, true, 1);
  QFont fixed("Courier New");
  fixed.setStyleHint(QFont::Monospace);
  SG_FileFormat->setFont(fixed);
  for (int c = 0; c < 6; ++c) SG_FileFormat->setColumnWidth(c, kWidths[c]);
  fc->addWidget(SG_FileFormat, 1);
  auto* test = new QHBoxLayout;
  Btn_Test = Named(new QPushButton("Test ->"), "Btn_Test");
  Ed_TestResult = Named(new QLineEdit(kNoTestYet), "Ed_TestResult");
  Ed_TestResult->setReadOnly(true);
  Ed_TestResult->setToolTip("shows an exported text line for testing");
  test->addWidget(Btn_Test);
  test->addWidget(Ed_TestResult, 1);
  fc->addLayout(test);
  PageControl1->addTab(TS_FileContents, "File Contents");

  // ---- "Filename & Activation" ----
  TS_Activation = Named(new QWidget, "TS_Activation");
  auto* ac = new QGridLayout(TS_Activation);
  Chk_ExportActive = Named(new QCheckBox("Active"), "Chk_ExportActive");
  ac->addWidget(Chk_ExportActive, 0, 0);
  Ed_ExportFileName = Named(new QLineEdit, "Ed_ExportFileName");
  Ed_ExportFileName->setToolTip("double-click to select file");
  ac->addWidget(new QLabel("File:"), 1, 0);
  ac->addWidget(Ed_ExportFileName, 1, 1, 1, 3);
  ac->addWidget(new QLabel("Size:"), 2, 0);
  Lab_FileSize = Named(new QLabel, "Lab_FileSize");
  ac->addWidget(Lab_FileSize, 2, 1);
  Chk_UsePreciseInterval = Named(new QCheckBox("Use write interval :"), "Chk_UsePreciseInterval");
  Chk_UsePreciseInterval->setToolTip("if disabled, use waterfall scroll interval");
  Ed_PreciseInterval = Named(new QLineEdit, "Ed_PreciseInterval");
  Ed_PreciseInterval->setToolTip("must be higher than the waterfall scroll interval");
  Ed_NextWriteTime = Named(new QLineEdit, "Ed_NextWriteTime");
  Ed_NextWriteTime->setFont(QFont("Arial Narrow"));
  // Room for the whole time it shows ("hh:mm:ss.s").
  Ed_NextWriteTime->setMinimumWidth(Ed_NextWriteTime->fontMetrics().horizontalAdvance("00:00:00.0") + 16);
  Btn_SyncWrite = Named(new QPushButton(kSyncCaption), "Btn_SyncWrite");
  Btn_SyncWrite->setToolTip("Sets the next export write time to the current time (\"now\")");
  // Two rows: in one the captions were cut at the window's default and minimum widths.
  auto* interval = new QHBoxLayout;
  interval->addWidget(Chk_UsePreciseInterval);
  interval->addWidget(Ed_PreciseInterval);
  interval->addStretch(1);
  ac->addLayout(interval, 3, 0, 1, 4);
  auto* nextWrite = new QHBoxLayout;
  nextWrite->addWidget(new QLabel("seconds, next write at:"));
  nextWrite->addWidget(Ed_NextWriteTime);
  nextWrite->addWidget(Btn_SyncWrite);
  nextWrite->addStretch(1);
  ac->addLayout(nextWrite, 4, 0, 1, 4);
  Ed_ExecAfterSpectrum = MacroEdit("Ed_ExecAfterSpectrum");
  Ed_ExecBeforeWrite = MacroEdit("Ed_ExecBeforeWrite");
  Ed_ExecBeforeWrite->setToolTip("executed before appending a line to the file");
  Ed_ExecAfterWrite = MacroEdit("Ed_ExecAfterWrite");
  Btn_TestOnSpectrum = Named(new QPushButton("Test"), "Btn_TestOnSpectrum");
  Btn_TestBeforeWrite = Named(new QPushButton("Test"), "Btn_TestBeforeWrite");
  Btn_TestAfterWrite = Named(new QPushButton("Test"), "Btn_TestAfterWrite");
  const struct {
    const char* label;
    QLineEdit* edit;
    QPushButton* button;
  } macros[] = {
      {"Whenever a spectrum has been calculated, execute these commands:", Ed_ExecAfterSpectrum, Btn_TestOnSpectrum},
      {"Before writing a line to the export file, execute these commands:", Ed_ExecBeforeWrite, Btn_TestBeforeWrite},
      {"After writing a line to the export file, execute these commands:", Ed_ExecAfterWrite, Btn_TestAfterWrite},
  };
  int row = 5;
  for (const auto& m : macros) {
    ac->addWidget(new QLabel(m.label), row++, 0, 1, 4);
    ac->addWidget(m.edit, row, 0, 1, 3);
    ac->addWidget(m.button, row++, 3);
    QLineEdit* edit = m.edit;
    connect(m.button, &QPushButton::clicked, this, [this, edit] { TestCommands(edit->text()); });
  }
  Ed_TestResult2 = Named(new QLineEdit(kNoTestYet), "Ed_TestResult2");
  Ed_TestResult2->setReadOnly(true);
  ac->addWidget(Ed_TestResult2, row++, 0, 1, 4);
  ac->setRowStretch(row, 1);
  PageControl1->addTab(TS_Activation, "Filename && Activation");

  auto* buttons = new QHBoxLayout;
  Btn_Menu = Named(new QPushButton("Menu..."), "Btn_Menu");
  Btn_Ok = Named(new QPushButton("OK"), "Btn_Ok");
  Btn_Cancel = Named(new QPushButton("Cancel"), "Btn_Cancel");
  Btn_Help = Named(new QPushButton("Help"), "Btn_Help");
  buttons->addWidget(Btn_Menu);
  buttons->addStretch(1);
  for (QPushButton* b : {Btn_Ok, Btn_Cancel, Btn_Help}) buttons->addWidget(b);
  outer->addLayout(buttons);

  PopupMenu1 = Named(new QMenu(this), "PopupMenu1");
  Menu_LoadDefinition = PopupMenu1->addAction("Load definition");
  Menu_LoadDefinition->setObjectName("Menu_LoadDefinition");
  Menu_SaveDefinition = PopupMenu1->addAction("Save definition");
  Menu_SaveDefinition->setObjectName("Menu_SaveDefinition");
  Menu_DeleteFile = PopupMenu1->addAction("Delete file xyz");
  Menu_DeleteFile->setObjectName("Menu_DeleteFile");
  Menu_ApplyChanges = PopupMenu1->addAction("Apply changes");
  Menu_ApplyChanges->setObjectName("Menu_ApplyChanges");

  connect(Ed_NrColumns, &QLineEdit::textChanged, this, &TExportForm::Ed_NrColumnsChange);
  connect(Btn_Test, &QPushButton::clicked, this, &TExportForm::Btn_TestClick);
  connect(Ed_NextWriteTime, &QLineEdit::textChanged, this, &TExportForm::Ed_NextWriteTimeChange);
  connect(Btn_SyncWrite, &QPushButton::clicked, this, &TExportForm::Btn_SyncWriteClick);
  connect(Btn_Ok, &QPushButton::clicked, this, &TExportForm::Btn_OkClick);
  connect(Btn_Cancel, &QPushButton::clicked, this, &TExportForm::Btn_CancelClick);
  connect(Btn_Help, &QPushButton::clicked, this, &TExportForm::Btn_HelpClick);
  connect(Btn_Menu, &QPushButton::clicked, this, &TExportForm::Btn_MenuClick);
  connect(PopupMenu1, &QMenu::aboutToShow, this, &TExportForm::PopupMenu1Popup);
  connect(Menu_LoadDefinition, &QAction::triggered, this, &TExportForm::Menu_LoadDefinitionClick);
  connect(Menu_SaveDefinition, &QAction::triggered, this, &TExportForm::Menu_SaveDefinitionClick);
  connect(Menu_DeleteFile, &QAction::triggered, this, &TExportForm::Menu_DeleteFileClick);
  connect(Menu_ApplyChanges, &QAction::triggered, this, &TExportForm::Menu_ApplyChangesClick);
  connect(Chk_ExportActive, &QCheckBox::clicked, this, &TExportForm::Chk_ExportActiveClick);
  Ed_ExportFileName->installEventFilter(this);
  InstallHelpShortcut(this, kHelpContext);
  InstallHelpShortcut(Ed_ExecBeforeWrite, kMacroHelpContext);

  CExportEngine& e = ExportEngine();
  e.IsWindowVisible = [this] { return isVisible(); };
  e.RefreshFileInfo = [this] { UpdateFileInfo(); };
  e.RefreshGrid = [this] { UpdateGrid(); };
  e.IsResultsPageActive = [this] { return PageControl1->currentWidget() == TS_FileContents; };
  e.ShowResults = [this] { ShowResults(); };

  AppendInstanceSuffix(this);
  e.LoadSettings(SndConfig.DefinitionFileName);
  e.OpenFailed = false;
}

TExportForm::~TExportForm()
{
  CExportEngine& e = ExportEngine();
  e.CloseFile();
  e.IsWindowVisible = nullptr;
  e.RefreshFileInfo = e.RefreshGrid = e.ShowResults = nullptr;
  e.IsResultsPageActive = nullptr;
  if (ExportForm == this) ExportForm = nullptr;
}

QString TExportForm::Cell(int row, int col) const
{
  const QTableWidgetItem* item = SG_FileFormat->item(row, col);
  return item ? item->text() : QString();
}

void TExportForm::SetCell(int row, int col, const QString& text)
{
  if (QTableWidgetItem* item = SG_FileFormat->item(row, col))
    item->setText(text);
  else
    SG_FileFormat->setItem(row, col, new QTableWidgetItem(text));
}

void TExportForm::showEvent(QShowEvent* e)
{
  QWidget::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TExportForm::FormShow()
{
  UpdatingCount = 1;
  SavedDefinition = g_ExportDefinition;
  NextWriteTimeEdited = 0;
  Btn_SyncWrite->setText(kSyncCaption);
  UpdateGrid();
  m_ShownSize = -1;
  m_ShownNextWrite = -1.0;
  UpdateFileInfo();
  ExportEngine().OpenFailed = false;  // a failed file is tried again at the next line
  UpdatingCount = 0;
}

bool TExportForm::eventFilter(QObject* watched, QEvent* e)
{
  if (watched == Ed_ExportFileName && e->type() == QEvent::MouseButtonDblClick) {
    Ed_ExportFileNameDblClick();
    return true;
  }
  return QWidget::eventFilter(watched, e);
}

void TExportForm::UpdateGrid()
{
  ++UpdatingCount;
  g_ExportColumnCount = std::clamp(g_ExportColumnCount, 1, EXPORT_MAX_COLUMNS);
  const int count = g_ExportColumnCount;
  Ed_NrColumns->setText(QString::number(count));
  SG_FileFormat->setColumnCount(6);
  SG_FileFormat->setRowCount(count + 1);
  for (int c = 0; c < 6; ++c) SetCell(0, c, kHeaders[c]);
  for (int r = 1; r <= count; ++r) {
    const ExportColumn& col = g_ExportColumns[r - 1];
    SetCell(r, 0, QString::number(r));
    SetCell(r, 1, FieldToText(col.title));
    SetCell(r, 2, FieldToText(col.expression));
    SetCell(r, 3, FieldToText(col.format));
    SetCell(r, 4, QString::number(col.flags));
    SetCell(r, 5, FieldToText(g_ExportColumnTexts[r - 1]));
  }
  Ed_SeparatorCode->setText(QString::number(g_ExportSeparator));
  Ed_ExportFileName->setText(FieldToText(g_ExportFileName));
  Ed_ExecAfterSpectrum->setText(FieldToText(g_ExportCmdAfterSpectrum));
  Ed_ExecBeforeWrite->setText(FieldToText(g_ExportCmdBeforeWrite));
  Ed_ExecAfterWrite->setText(FieldToText(g_ExportCmdAfterWrite));
  Chk_ExportActive->setChecked(g_ExportActive != 0);
  Chk_UsePreciseInterval->setChecked(g_ExportUsePreciseInterval != 0);
  Ed_PreciseInterval->setText(QString::fromStdString(FormatFloat("##0.0##", g_ExportWriteIntervalSec)));
  --UpdatingCount;
}

void TExportForm::ShowResults()
{
  const int count = std::clamp(g_ExportColumnCount, 1, EXPORT_MAX_COLUMNS);
  for (int r = 1; r <= count && r < SG_FileFormat->rowCount(); ++r)
    SetCell(r, 5, FieldToText(g_ExportColumnTexts[r - 1]));
  ExportEngine().ResultsPending = 0;
}

void TExportForm::UpdateFileInfo()
{
  ++UpdatingCount;
  const CExportEngine& e = ExportEngine();
  if (e.FileSize != m_ShownSize) {
    m_ShownSize = e.FileSize;
    Lab_FileSize->setText(QString::number(e.FileSize));
  }
  const double next = SndConfig.NextWriteTime;
  if (next != m_ShownNextWrite && !NextWriteTimeEdited) {
    m_ShownNextWrite = next;
    Ed_NextWriteTime->setText(QString::fromStdString(FormatUnixDateTime("hh:mm:ss.s", next)));
  }
  --UpdatingCount;
}

void TExportForm::ApplyGrid()
{
  const std::string oldName = g_ExportFileName;
  g_ExportColumnCount = std::clamp(TextToInt(Ed_NrColumns->text(), 1), 1, EXPORT_MAX_COLUMNS);
  for (int r = 1; r <= g_ExportColumnCount; ++r) {
    // Copied over the old texts, not into cleared fields: a text that comes back unchanged
    // keeps its bytes (a Latin-1 title stays Latin-1).
    ExportColumn& col = g_ExportColumns[r - 1];
    CopyTextToField(col.title, Cell(r, 1), 20);
    CopyTextToField(col.expression, Cell(r, 2), 80);
    CopyTextToField(col.format, Cell(r, 3), 20);
    col.flags = TextToInt(Cell(r, 4), 0);
  }
  g_ExportActive = Chk_ExportActive->isChecked() ? 1 : 0;
  g_ExportSeparator = TextToInt(Ed_SeparatorCode->text(), 9);
  CopyTextToField(g_ExportCmdAfterSpectrum, Ed_ExecAfterSpectrum->text(), 255);
  CopyTextToField(g_ExportCmdBeforeWrite, Ed_ExecBeforeWrite->text(), 255);
  CopyTextToField(g_ExportCmdAfterWrite, Ed_ExecAfterWrite->text(), 255);
  CopyTextToField(g_ExportFileName, Ed_ExportFileName->text(), 255);
  g_ExportUsePreciseInterval = Chk_UsePreciseInterval->isChecked() ? 1 : 0;
  g_ExportWriteIntervalSec = StrToFloatDef(Ed_PreciseInterval->text().trimmed().toStdString(), g_ExportWriteIntervalSec);
  ExportEngine().CloseFileUnlessKept(oldName);
  g_ExportDefinitionChanged = 1;
}

void TExportForm::Ed_NrColumnsChange()
{
  if (UpdatingCount) return;
  const int n = std::clamp(TextToInt(Ed_NrColumns->text(), SG_FileFormat->rowCount()), 5, EXPORT_MAX_COLUMNS);
  const int oldRows = SG_FileFormat->rowCount();
  SG_FileFormat->setRowCount(n + 1);
  for (int r = oldRows; r <= n; ++r) SetCell(r, 0, QString::number(r));
}

void TExportForm::Btn_TestClick()
{
  ApplyGrid();
  g_CliErrorText[0] = '\0';
  const int rc = CLI_ExecuteMacro(CLI_SRC_EXPORT, g_ExportCmdAfterSpectrum);
  if (rc < 0) {
    QString text = "Error in command sequence: " + QString::fromLocal8Bit(CLI_ErrorCodeToString(rc));
    if (g_CliErrorText[0]) text += "(" + QString::fromLocal8Bit(g_CliErrorText) + ")";
    Ed_TestResult->setText(text);
  } else {
    CExportEngine& e = ExportEngine();
    e.EvalColumns();
    QString line = QString::fromLocal8Bit(e.BuildDataLine().substr(0, 1023));
    line.replace('\t', "  ");
    Ed_TestResult->setText(line);
    ShowResults();
  }
  UpdateGrid();
}

void TExportForm::TestCommands(const QString& commands)
{
  g_CliErrorText[0] = '\0';
  const QByteArray text = commands.toLocal8Bit();
  const int rc = CLI_ExecuteMacro(CLI_SRC_EXPORT, text.constData());
  if (rc == 0) {
    Ed_TestResult2->setText("ok.");
    return;
  }
  QString result = "Error: " + QString::fromLocal8Bit(CLI_ErrorCodeToString(rc));
  if (g_CliErrorText[0]) result += "(" + QString::fromLocal8Bit(g_CliErrorText) + ")";
  Ed_TestResult2->setText(result);
}

void TExportForm::Ed_NextWriteTimeChange()
{
  if (UpdatingCount || NextWriteTimeEdited) return;
  NextWriteTimeEdited = 1;
  Btn_SyncWrite->setText(kApplyCaption);
}

void TExportForm::Btn_SyncWriteClick()
{
  if (UpdatingCount) return;
  if (NextWriteTimeEdited) {
    const QByteArray text = Ed_NextWriteTime->text().toLocal8Bit();
    double t = 0.0;
    ParseTimeString(text.constData(), 0.0, &t, '.', ':');
    SndConfig.NextWriteTime = t;
    NextWriteTimeEdited = 0;
    Btn_SyncWrite->setText(kSyncCaption);
  } else {
    SndConfig.NextWriteTime = ExportEngine().Clock();
  }
  UpdateFileInfo();
}

void TExportForm::Btn_OkClick()
{
  ApplyGrid();
  ExportEngine().SaveSettings(SndConfig.DefinitionFileName);
  close();
}

void TExportForm::Btn_CancelClick()
{
  g_ExportDefinition = SavedDefinition;
  close();
}

void TExportForm::Btn_HelpClick() { ShowHelpContext(kHelpContext); }

void TExportForm::Btn_MenuClick() { PopupMenu1->popup(QCursor::pos()); }

void TExportForm::PopupMenu1Popup()
{
  Menu_DeleteFile->setText("Delete \"" + FieldToText(g_ExportFileName) + "\"");
}

void TExportForm::Menu_LoadDefinitionClick()
{
  QString name = FieldToText(SndConfig.DefinitionFileName);
  if (!AskFileName(this, false, "Load export format definition", "Export Definition Files (*.edf *.EDF)", name, "EDF"))
    return;
  CopyTextToField(SndConfig.DefinitionFileName, name, 255);
  ExportEngine().LoadSettings(SndConfig.DefinitionFileName);
  UpdateGrid();
}

void TExportForm::Menu_SaveDefinitionClick()
{
  QString name = FieldToText(SndConfig.DefinitionFileName);
  if (!AskFileName(this, true, "Save export format definition", "Export Definition Files (*.edf *.EDF)", name, "EDF"))
    return;
  ApplyGrid();
  CopyTextToField(SndConfig.DefinitionFileName, name, 255);
  ExportEngine().SaveSettings(SndConfig.DefinitionFileName);
}

void TExportForm::Menu_DeleteFileClick()
{
  ExportEngine().CloseFile();
  // Only a regular file is deleted: a device name (COM1) or a FIFO stays.
  bool refused = false;
  const std::string device = Export_DeviceOfName(g_ExportFileName, &refused);
  const char* name = g_ExportFileName;
  struct stat st {};
  if (!device.empty() || refused) {
    DebugPrintf(10, 0, "Export file \"%s\" not deleted: a device name", name);
  } else if (::stat(name, &st) != 0) {
    DebugPrintf(10, 0, "Export file \"%s\" not deleted: %s", name, std::strerror(errno));
  } else if (!S_ISREG(st.st_mode)) {
    DebugPrintf(10, 0, "Export file \"%s\" not deleted: not a regular file", name);
  } else if (::unlink(name) != 0) {
    DebugPrintf(10, 0, "Export file \"%s\" not deleted: %s", name, std::strerror(errno));
  } else {
    Lab_FileSize->setText("deleted");
    m_ShownSize = -1;
  }
}

void TExportForm::Menu_ApplyChangesClick()
{
  ApplyGrid();
  UpdateGrid();
}

void TExportForm::Ed_ExportFileNameDblClick()
{
  QString name = Ed_ExportFileName->text();
  if (AskFileName(this, true, "Filename for exported file", "Text Files (*.txt *.TXT)", name, "TXT"))
    Ed_ExportFileName->setText(name);
}

void TExportForm::Chk_ExportActiveClick()
{
  if (UpdatingCount) return;
  g_ExportActive = Chk_ExportActive->isChecked() ? 1 : 0;
  g_ExportDefinitionChanged = 1;
}
