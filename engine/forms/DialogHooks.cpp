#include "engine/forms/DialogHooks.h"

#include <QDialog>
#include <QFileDialog>

#include "engine/forms/HelpHook.h"

std::function<bool(bool, const QString&, const QString&, QString&)> TDialogHooks::FileDialogHook;
std::function<bool(const QString&, const QString&, QStringList&)> TDialogHooks::FileListDialogHook;
std::function<int(QDialog*)> TDialogHooks::DialogExecHook;
uint32_t TDialogHooks::FileDialogHelpContext = 0;
QString TDialogHooks::FileDialogDefaultSuffix;

bool AskFileName(QWidget* parent, bool save, const QString& title, const QString& filter,
                 QString& name, const QString& defaultSuffix, uint32_t helpContext)
{
  QString chosen = name;
  bool ok;
  if (TDialogHooks::FileDialogHook) {
    TDialogHooks::FileDialogHelpContext = helpContext;
    TDialogHooks::FileDialogDefaultSuffix = defaultSuffix;
    ok = TDialogHooks::FileDialogHook(save, title, filter, chosen);
    TDialogHooks::FileDialogHelpContext = 0;
    TDialogHooks::FileDialogDefaultSuffix.clear();
  } else {
    QFileDialog dlg(parent, title, QString(), filter);
    dlg.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dlg.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (!defaultSuffix.isEmpty()) dlg.setDefaultSuffix(defaultSuffix);
    if (helpContext) {
      dlg.setOption(QFileDialog::DontUseNativeDialog);
      InstallHelpShortcut(&dlg, helpContext);
    }
    if (!chosen.isEmpty()) dlg.selectFile(chosen);
    ok = dlg.exec() == QDialog::Accepted && !dlg.selectedFiles().isEmpty();
    if (ok) chosen = dlg.selectedFiles().first();
  }
  if (!ok || chosen.isEmpty()) return false;
  name = chosen;
  return true;
}

bool AskFileNames(QWidget* parent, const QString& title, const QString& filter,
                  QStringList& names, const QString& directory, uint32_t helpContext)
{
  QStringList chosen;
  bool ok;
  if (TDialogHooks::FileListDialogHook) {
    TDialogHooks::FileDialogHelpContext = helpContext;
    ok = TDialogHooks::FileListDialogHook(title, filter, chosen);
    TDialogHooks::FileDialogHelpContext = 0;
  } else {
    QFileDialog dlg(parent, title, directory, filter);
    dlg.setAcceptMode(QFileDialog::AcceptOpen);
    dlg.setFileMode(QFileDialog::ExistingFiles);
    if (helpContext) {
      // A platform dialog would not see our F1 shortcut.
      dlg.setOption(QFileDialog::DontUseNativeDialog);
      InstallHelpShortcut(&dlg, helpContext);
    }
    ok = dlg.exec() == QDialog::Accepted;
    if (ok) chosen = dlg.selectedFiles();
  }
  if (!ok || chosen.isEmpty()) return false;
  names = chosen;
  return true;
}

int ExecDialog(QDialog* dialog)
{
  return TDialogHooks::DialogExecHook ? TDialogHooks::DialogExecHook(dialog) : dialog->exec();
}
