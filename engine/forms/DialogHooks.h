#pragma once
// The seams through which every window opens its modal dialogs, so tests answer them without a
// user: file dialogs (open, save, open several) and QDialog::exec. Each hook, when set, is
// called instead of the real dialog; an empty hook gives the real one. GUI thread only.
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>

class QDialog;
class QWidget;

struct TDialogHooks {
  // Answers a single-file dialog: save tells which kind, name holds the preset and receives
  // the answer; true means OK.
  static std::function<bool(bool save, const QString& title, const QString& filter, QString& name)>
      FileDialogHook;
  // Answers a multi-selection open dialog: names receives the chosen files; true means OK.
  static std::function<bool(const QString& title, const QString& filter, QStringList& names)>
      FileListDialogHook;
  // Runs a modal dialog instead of QDialog::exec and returns its result (the hook may fill and
  // click the dialog's controls first).
  static std::function<int(QDialog* dialog)> DialogExecHook;
  // The help context (F1) of the file dialog a hook is answering; 0 when it has none.
  static uint32_t FileDialogHelpContext;
  // The suffix the real save dialog would append to a name without one, for the dialog a hook
  // is answering; empty when it has none.
  static QString FileDialogDefaultSuffix;
};

// A file dialog (or its hook). filter as QFileDialog takes it ("Palettes (*.pal *.PAL)");
// defaultSuffix is appended by the real save dialog when the name has none. Returns false on
// Cancel or an empty answer; name is changed only on OK. A non-zero helpContext is shown by F1
// in the dialog (the hook sees it in FileDialogHelpContext).
bool AskFileName(QWidget* parent, bool save, const QString& title, const QString& filter,
                 QString& name, const QString& defaultSuffix = QString(),
                 uint32_t helpContext = 0);
// A multi-selection open dialog (or its hook); directory is where it starts. A non-zero
// helpContext is shown by F1 in the dialog.
bool AskFileNames(QWidget* parent, const QString& title, const QString& filter,
                  QStringList& names, const QString& directory = QString(),
                  uint32_t helpContext = 0);
// QDialog::exec (or its hook).
int ExecDialog(QDialog* dialog);
