#pragma once
// The command window "Vartumo Command Window": an editor of command lines, whose current line
// F2 runs as a macro (source 2), and the message list into which the whole program writes its
// interpreter errors, file actions and traces of scheduled actions (CmdWin_AddMessage). It owns
// the message display filter menu (SndConfig.MsgDisplay) and keeps its lines in "curr_cmd.txt"
// of the working directory between showings. Created at start-up, alive for the whole run.
// GUI thread only.
#include <QString>
#include <QWidget>

#include "platform/BoundedFile.h"
#include "platform/TextFileCodec.h"

class QAction;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QPushButton;
class QSplitter;

class TCommandForm : public QWidget {
  Q_OBJECT
public:
  explicit TCommandForm(QWidget* parent = nullptr);
  ~TCommandForm() override;

  // Newest lines the message list keeps; older ones are dropped.
  static constexpr int kMaxMessageLines = 10000;
  // The working file of the editor's lines.
  static constexpr const char* kWorkFileName = "curr_cmd.txt";

  void FormCreate();
  void FormShow();
  void FormClose();
  void Menu_ExitClick();
  void Menu_ExecClick();
  void Ed_CommandsKeyDown();  // F2 in the editor
  void Ed_CommandsSelectionChange();
  void Ed_MessagesSelectionChange();
  void Menu_OptionsClick();
  void Menu_MsgFileActionsClick();
  void Menu_MsgErrorsClick();
  void Menu_MsgWarningsClick();
  void Menu_MsgHintsClick();
  void Menu_MsgSchedActionsClick();
  void Menu_LoadCommandsClick();
  void Menu_SaveCommandsClick();
  void Btn_ClearMessagesClick();

  QWidget* Scb_Commands;
  QSplitter* Splitter1;
  QWidget* Scb_Messages;
  QLabel* Lab_Commands;
  QLabel* Lab_Messages;
  QLabel* Lab_CmdCursorPos;
  QLabel* Lab_MsgCursorPos;
  QMenuBar* MainMenu1;
  QMenu* Menu_File;
  QAction* Menu_Exit;
  QAction* Menu_Exec;
  QPlainTextEdit* Ed_Messages;
  QPlainTextEdit* Ed_Commands;
  QMenu* Menu_Options;
  QAction* Menu_MsgDisplay;
  QAction* Menu_MsgFileActions;
  QAction* Menu_MsgErrors;
  QAction* Menu_MsgWarnings;
  QAction* Menu_MsgHints;
  QAction* N1;
  QAction* Menu_MsgSchedActions;
  QAction* Menu_LoadCommands;
  QAction* Menu_SaveCommands;
  QAction* N2;
  QPushButton* Btn_ClearMessages;

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;
  bool eventFilter(QObject* watched, QEvent* e) override;

private:
  void ToggleFilterBit(int bit);
  void SyncFilterChecks();
  void AppendMessage(const QString& line);
  // Why a file was not read (naming it) on the Errors page and among the window's errors.
  void ReportReadError(const QString& error);

  // How the editor's lines were stored in the file they came from last; a save writes them
  // the same way.
  TextFileFormat m_EditorFormat;
  bool m_EditorFinalLineBreak = true;
  // The lines "curr_cmd.txt" holds (known once the window was shown and the file was read or
  // is missing): closing writes the file only when the editor's lines differ, so a file nobody
  // edited keeps its bytes and one that could not be read is never written over.
  bool m_WorkFileKnown = false;
  QString m_WorkFileText;
};

extern TCommandForm* CommandForm;

// Reads a text file's lines (CR LF, CR or LF; UTF-8, else Latin-1) into the editor through the
// bounded reader (platform/BoundedFile.h): a FIFO, a device, a directory or a file larger than
// its limit is refused and nothing waits. *format and *finalLineBreak (may be null) get how the
// file was stored and whether its last line ended with a line break. When the file is not read
// the editor is left alone and *error (may be null) says why, naming the file.
BoundedReadResult LoadPlainTextLines(QPlainTextEdit* editor, const QString& fileName,
                                     TextFileFormat* format = nullptr,
                                     bool* finalLineBreak = nullptr, QString* error = nullptr);
// Writes the editor's lines in the format (encoding, byte-order mark, line break; a line break
// after the last line when finalLineBreak is set) to a temporary file and renames it over the
// file, so a failed write leaves the old file whole; false (and the reason in *error) on failure.
bool SavePlainTextLines(const QPlainTextEdit* editor, const QString& fileName,
                        const TextFileFormat& format, bool finalLineBreak, QString* error);
