// The command window.
#include "interp/forms/CommandForm.h"

#include <QCloseEvent>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QSplitter>
#include <QTextBlock>
#include <QVBoxLayout>

#include "engine/DebugU1.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/SndConfig.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "engine/forms/HelpHook.h"
#include "interp/CliCommands.h"
#include "interp/CmdWinMsg.h"
#include "interp/forms/FormText.h"
#include "platform/BoundedFile.h"
#include "platform/IniFile.h"

#include <sys/stat.h>

#include <cerrno>

TCommandForm* CommandForm = nullptr;

namespace {

constexpr const char* kSection = "CommandForm";
constexpr int kDefaultLeft = 74, kDefaultTop = 115, kDefaultWidth = 484, kDefaultHeight = 356;
constexpr uint32_t kHelpContext = 1600;
const char* const kFileFilter = "Text files (*.txt)";

QPlainTextEdit* MakeEditor(const char* name, bool readOnly)
{
  auto* ed = new QPlainTextEdit;
  ed->setObjectName(name);
  ed->setLineWrapMode(QPlainTextEdit::NoWrap);
  ed->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  ed->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  QFont font("Courier New");
  font.setStyleHint(QFont::Monospace);
  ed->setFont(font);
  ed->setReadOnly(readOnly);
  return ed;
}

QLabel* MakeLabel(const char* name, const QString& text)
{
  auto* lab = new QLabel(text);
  lab->setObjectName(name);
  return lab;
}

QAction* MakeFilterItem(QMenu* menu, const char* name, const char* caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  a->setCheckable(true);
  return a;
}

// "column:line" of the caret, both counted from 1.
QString CursorText(const QPlainTextEdit* ed)
{
  const QTextCursor c = ed->textCursor();
  return QString("%1:%2").arg(c.positionInBlock() + 1).arg(c.blockNumber() + 1);
}

}  // namespace

BoundedReadResult LoadPlainTextLines(QPlainTextEdit* editor, const QString& fileName,
                                     TextFileFormat* format, bool* finalLineBreak, QString* error)
{
  std::string bytes, why;
  // By its full path, so that a message names the file whatever the current directory.
  const std::string path = QFile::encodeName(QFileInfo(fileName).absoluteFilePath()).toStdString();
  const BoundedReadResult result = ReadBoundedFile(path, bytes, &why);
  if (result != BoundedReadResult::Read) {
    if (error) *error = QFile::decodeName(QByteArray::fromStdString(why));
    return result;
  }
  if (error) error->clear();
  QString text = DecodeTextFile(QByteArray::fromStdString(bytes), format);
  const bool lineBreak = text.isEmpty() || text.endsWith('\n');
  if (text.endsWith('\n')) text.chop(1);
  editor->setPlainText(text);
  if (finalLineBreak) *finalLineBreak = lineBreak;
  return BoundedReadResult::Read;
}

bool SavePlainTextLines(const QPlainTextEdit* editor, const QString& fileName,
                        const TextFileFormat& format, bool finalLineBreak, QString* error)
{
  QSaveFile f(fileName);
  QString text = editor->toPlainText();
  if (!text.isEmpty() && finalLineBreak) text += '\n';
  const QByteArray data = EncodeTextFile(text, format);
  if (f.open(QIODevice::WriteOnly) && f.write(data) == data.size() && f.commit()) return true;
  if (error) *error = f.errorString();
  return false;
}

TCommandForm::TCommandForm(QWidget* parent) : QWidget(parent, Qt::Window)
{
  setObjectName("CommandForm");
  setWindowTitle("Vartumo Command Window");
  CmdWin_SetShown(false);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  MainMenu1 = new QMenuBar(this);
  MainMenu1->setObjectName("MainMenu1");
  outer->setMenuBar(MainMenu1);
  Menu_File = MainMenu1->addMenu("&File");
  Menu_File->setObjectName("Menu_File");
  Menu_LoadCommands = Menu_File->addAction("&Open command file");
  Menu_LoadCommands->setObjectName("Menu_LoadCommands");
  Menu_SaveCommands = Menu_File->addAction("&Save command file");
  Menu_SaveCommands->setObjectName("Menu_SaveCommands");
  N2 = Menu_File->addSeparator();
  N2->setObjectName("N2");
  Menu_Exit = Menu_File->addAction("&Exit");
  Menu_Exit->setObjectName("Menu_Exit");
  Menu_Exec = MainMenu1->addAction("Execute (F2)");
  Menu_Exec->setObjectName("Menu_Exec");
  Menu_Exec->setShortcut(QKeySequence(Qt::Key_F2));
  Menu_Exec->setShortcutContext(Qt::WindowShortcut);
  addAction(Menu_Exec);  // the shortcut works wherever the focus is in this window
  Menu_Options = MainMenu1->addMenu("Options");
  Menu_Options->setObjectName("Menu_Options");
  Menu_MsgDisplay = Menu_Options->addAction("Message display:");
  Menu_MsgDisplay->setObjectName("Menu_MsgDisplay");
  Menu_MsgDisplay->setEnabled(false);
  Menu_MsgFileActions = MakeFilterItem(Menu_Options, "Menu_MsgFileActions", "..file actions");
  Menu_MsgSchedActions =
      MakeFilterItem(Menu_Options, "Menu_MsgSchedActions", "..scheduled actions");
  Menu_MsgErrors = MakeFilterItem(Menu_Options, "Menu_MsgErrors", "..all errors");
  Menu_MsgWarnings = MakeFilterItem(Menu_Options, "Menu_MsgWarnings", "..all warnings");
  Menu_MsgHints = MakeFilterItem(Menu_Options, "Menu_MsgHints", "..debugging hints");
  N1 = Menu_Options->addSeparator();
  N1->setObjectName("N1");

  // Upper area: the command lines.
  Scb_Commands = new QWidget;
  Scb_Commands->setObjectName("Scb_Commands");
  auto* upper = new QVBoxLayout(Scb_Commands);
  upper->setContentsMargins(2, 2, 2, 2);
  auto* upperHead = new QHBoxLayout;
  Lab_Commands = MakeLabel("Lab_Commands", "Commands");
  Lab_CmdCursorPos = MakeLabel("Lab_CmdCursorPos", "0:0");
  upperHead->addWidget(Lab_Commands);
  upperHead->addStretch(1);
  upperHead->addWidget(Lab_CmdCursorPos);
  upper->addLayout(upperHead);
  Ed_Commands = MakeEditor("Ed_Commands", false);
  upper->addWidget(Ed_Commands, 1);

  // Lower area: the message list.
  Scb_Messages = new QWidget;
  Scb_Messages->setObjectName("Scb_Messages");
  auto* lower = new QVBoxLayout(Scb_Messages);
  lower->setContentsMargins(2, 2, 2, 2);
  auto* lowerHead = new QHBoxLayout;
  Lab_Messages = MakeLabel("Lab_Messages", "Messages");
  Lab_MsgCursorPos = MakeLabel("Lab_MsgCursorPos", "0:0");
  Btn_ClearMessages = new QPushButton("Clear");
  Btn_ClearMessages->setObjectName("Btn_ClearMessages");
  lowerHead->addWidget(Lab_Messages);
  lowerHead->addWidget(Lab_MsgCursorPos);
  lowerHead->addStretch(1);
  lowerHead->addWidget(Btn_ClearMessages);
  lower->addLayout(lowerHead);
  Ed_Messages = MakeEditor("Ed_Messages", true);
  Ed_Messages->setMaximumBlockCount(kMaxMessageLines);
  // Black on the tool-tip background; the selection stays visible without focus.
  QPalette pal = Ed_Messages->palette();
  pal.setColor(QPalette::Base, pal.color(QPalette::ToolTipBase));
  pal.setColor(QPalette::Text, Qt::black);
  pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
  pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
               pal.color(QPalette::Active, QPalette::HighlightedText));
  Ed_Messages->setPalette(pal);
  lower->addWidget(Ed_Messages, 1);

  Splitter1 = new QSplitter(Qt::Vertical);
  Splitter1->setObjectName("Splitter1");
  Splitter1->addWidget(Scb_Commands);
  Splitter1->addWidget(Scb_Messages);
  Splitter1->setStretchFactor(1, 1);
  Splitter1->setSizes({137, kDefaultHeight - 137});
  outer->addWidget(Splitter1, 1);

  connect(Menu_Exit, &QAction::triggered, this, &TCommandForm::Menu_ExitClick);
  connect(Menu_Exec, &QAction::triggered, this, &TCommandForm::Menu_ExecClick);
  connect(Menu_Options, &QMenu::aboutToShow, this, &TCommandForm::Menu_OptionsClick);
  connect(Menu_MsgFileActions, &QAction::triggered, this, &TCommandForm::Menu_MsgFileActionsClick);
  connect(Menu_MsgErrors, &QAction::triggered, this, &TCommandForm::Menu_MsgErrorsClick);
  connect(Menu_MsgWarnings, &QAction::triggered, this, &TCommandForm::Menu_MsgWarningsClick);
  connect(Menu_MsgHints, &QAction::triggered, this, &TCommandForm::Menu_MsgHintsClick);
  connect(Menu_MsgSchedActions, &QAction::triggered, this,
          &TCommandForm::Menu_MsgSchedActionsClick);
  connect(Menu_LoadCommands, &QAction::triggered, this, &TCommandForm::Menu_LoadCommandsClick);
  connect(Menu_SaveCommands, &QAction::triggered, this, &TCommandForm::Menu_SaveCommandsClick);
  connect(Btn_ClearMessages, &QPushButton::clicked, this, &TCommandForm::Btn_ClearMessagesClick);
  connect(Ed_Commands, &QPlainTextEdit::cursorPositionChanged, this,
          &TCommandForm::Ed_CommandsSelectionChange);
  connect(Ed_Messages, &QPlainTextEdit::cursorPositionChanged, this,
          &TCommandForm::Ed_MessagesSelectionChange);
  Ed_Commands->installEventFilter(this);
  InstallHelpShortcut(this, kHelpContext);

  CmdWin_SetMessageSink([this](int, int, const std::string& line) {
    AppendMessage(DecodeText8Bit(QByteArray(line.data(), static_cast<qsizetype>(line.size()))));
  });

  FormCreate();
}

TCommandForm::~TCommandForm()
{
  CmdWin_SetMessageSink(nullptr);
  CmdWin_SetShown(false);
  if (CommandForm == this) CommandForm = nullptr;
}

void TCommandForm::FormCreate()
{
  AppendInstanceSuffix(this);
  setGeometry(kDefaultLeft - 8 * g_InstanceIndex, kDefaultTop + 8 * g_InstanceIndex, kDefaultWidth,
              kDefaultHeight);
  IniFile ini(UserSettingsFullPath());
  ReadFormBounds(this, ini, kSection, true);
  if (ini.ReadInteger(kSection, "Visible", 0) != 0) show();
}

void TCommandForm::showEvent(QShowEvent* e)
{
  QWidget::showEvent(e);
  if (!e->spontaneous()) FormShow();
}

void TCommandForm::FormShow()
{
  QString error;
  const BoundedReadResult read =
      LoadPlainTextLines(Ed_Commands, kWorkFileName, &m_EditorFormat, &m_EditorFinalLineBreak, &error);
  struct stat st {};
  // A missing file is an empty one; a file that is there but was not read (a FIFO, a device,
  // a huge file, one without permission) is said and never written over on closing.
  m_WorkFileKnown = read == BoundedReadResult::Read ||
                    (::lstat(kWorkFileName, &st) != 0 && errno == ENOENT);
  m_WorkFileText = Ed_Commands->toPlainText();
  CmdWin_SetShown(true);
  if (!m_WorkFileKnown) ReportReadError(error);
}

void TCommandForm::ReportReadError(const QString& error)
{
  const QByteArray msg = error.toLocal8Bit();
  DebugPrintf(20, 0, "%s", msg.constData());
  CmdWin_AddTimedMessage(CLI_SRC_CMDWIN, CMDWIN_MSG_ERROR, msg.constData());
}

void TCommandForm::closeEvent(QCloseEvent* e)
{
  FormClose();
  QWidget::closeEvent(e);
}

void TCommandForm::FormClose()
{
  // Only lines that were shown are written back (a window closed without ever being shown, at
  // exit, must not replace the file with an empty editor), and only when they were changed.
  const QString lines = Ed_Commands->toPlainText();
  if (m_WorkFileKnown && lines != m_WorkFileText) {
    QString error;
    if (SavePlainTextLines(Ed_Commands, kWorkFileName, m_EditorFormat, m_EditorFinalLineBreak, &error))
      m_WorkFileText = lines;
    else
      DebugPrintf(20, 0, "Could not write %s: %s", kWorkFileName, error.toLocal8Bit().constData());
  }
  CmdWin_SetShown(false);
  try {
    IniFile ini(UserSettingsFullPath());
    if (isVisible()) WriteFormBounds(this, ini, kSection, true);
    ini.WriteInteger(kSection, "Visible", isVisible() ? 1 : 0);
    ini.UpdateFile();
  } catch (const EIniFileError& err) {
    DebugPrintf(20, 0, "%s", err.what());
  }
}

bool TCommandForm::eventFilter(QObject* watched, QEvent* e)
{
  if (watched == Ed_Commands) {
    // F2 in the editor is the editor's: taking the shortcut-override keeps the window's F2
    // shortcut from running the same line a second time.
    if (e->type() == QEvent::ShortcutOverride || e->type() == QEvent::KeyPress) {
      auto* key = static_cast<QKeyEvent*>(e);
      if (key->key() == Qt::Key_F2 && key->modifiers() == Qt::NoModifier) {
        e->accept();
        if (e->type() == QEvent::KeyPress) Ed_CommandsKeyDown();
        return e->type() == QEvent::KeyPress;
      }
    }
  }
  return QWidget::eventFilter(watched, e);
}

void TCommandForm::Menu_ExitClick() { close(); }

void TCommandForm::Menu_ExecClick()
{
  const QTextBlock line = Ed_Commands->document()->findBlockByNumber(
      Ed_Commands->textCursor().blockNumber());
  const QByteArray text = line.text().toLocal8Bit();
  CLI_ExecuteMacro(CLI_SRC_CMDWIN, text.constData());
}

void TCommandForm::Ed_CommandsKeyDown() { Menu_ExecClick(); }

void TCommandForm::Ed_CommandsSelectionChange() { Lab_CmdCursorPos->setText(CursorText(Ed_Commands)); }

void TCommandForm::Ed_MessagesSelectionChange() { Lab_MsgCursorPos->setText(CursorText(Ed_Messages)); }

void TCommandForm::SyncFilterChecks()
{
  const int mask = SndConfig.MsgDisplay;
  Menu_MsgErrors->setChecked(mask & MSGDISP_ERRORS);
  Menu_MsgWarnings->setChecked(mask & MSGDISP_WARNINGS);
  Menu_MsgHints->setChecked(mask & MSGDISP_HINTS);
  Menu_MsgFileActions->setChecked(mask & MSGDISP_FILE_ACTIONS);
  Menu_MsgSchedActions->setChecked(mask & MSGDISP_SCHED_ACTIONS);
}

void TCommandForm::Menu_OptionsClick() { SyncFilterChecks(); }

void TCommandForm::ToggleFilterBit(int bit)
{
  SndConfig.MsgDisplay = SndConfig.MsgDisplay ^ bit;
  SyncFilterChecks();
}

void TCommandForm::Menu_MsgFileActionsClick() { ToggleFilterBit(MSGDISP_FILE_ACTIONS); }
void TCommandForm::Menu_MsgErrorsClick() { ToggleFilterBit(MSGDISP_ERRORS); }
void TCommandForm::Menu_MsgWarningsClick() { ToggleFilterBit(MSGDISP_WARNINGS); }
void TCommandForm::Menu_MsgHintsClick() { ToggleFilterBit(MSGDISP_HINTS); }
void TCommandForm::Menu_MsgSchedActionsClick() { ToggleFilterBit(MSGDISP_SCHED_ACTIONS); }

void TCommandForm::Menu_LoadCommandsClick()
{
  QString name = FieldToText(SndConfig.CommandFileName);
  // F1 in the dialog shows the interpreter topic.
  constexpr uint32_t kOpenHelpContext = 1600;
  if (!AskFileName(this, false, "Open a command file", kFileFilter, name, "txt", kOpenHelpContext))
    return;
  CopyTextToField(SndConfig.CommandFileName, name, 255);
  if (!QFile::exists(name)) return;
  QString error;
  if (LoadPlainTextLines(Ed_Commands, name, &m_EditorFormat, &m_EditorFinalLineBreak, &error) !=
      BoundedReadResult::Read)
    ReportReadError(error);
}

void TCommandForm::Menu_SaveCommandsClick()
{
  QString name = FieldToText(SndConfig.CommandFileName);
  if (!AskFileName(this, true, "Save command file", kFileFilter, name, "txt")) return;
  CopyTextToField(SndConfig.CommandFileName, name, 255);
  QString error;
  if (!SavePlainTextLines(Ed_Commands, name, m_EditorFormat, m_EditorFinalLineBreak, &error)) {
    const QByteArray msg = ("Could not write " + name + ": " + error).toLocal8Bit();
    DebugPrintf(20, 0, "%s", msg.constData());
    CmdWin_AddTimedMessage(CLI_SRC_CMDWIN, CMDWIN_MSG_ERROR, msg.constData());
  }
}

void TCommandForm::Btn_ClearMessagesClick() { Ed_Messages->clear(); }

void TCommandForm::AppendMessage(const QString& line) { Ed_Messages->appendPlainText(line); }
