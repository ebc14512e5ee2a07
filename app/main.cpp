// Program entry: the application object, the windows in their fixed order, the event loop.
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <csignal>
#include <exception>

#include "control/forms/AFilePrp.h"
#include "control/forms/CircuitForm.h"
#include "control/forms/ConfigDlg.h"
#include "control/forms/FilterControlForm.h"
#include "control/forms/GeneratorForm.h"
#include "control/forms/StrEditU.h"
#include "control/forms/YesNoDlg.h"
#include "digimode/DigimodeDll.h"
#include "digimode/forms/DCF77Form.h"
#include "digimode/forms/TerminalDialog.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/forms/DebugForm.h"
#include "imaging/forms/PicViewForm.h"
#include "interp/forms/AlertDlg.h"
#include "interp/forms/WatchForm.h"
#include "mainwin/forms/PaletteEditor.h"
#include "mainwin/forms/SecondSpectrogram.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "interp/forms/MenuDefU.h"
#include "interp/forms/PeriodicActionForm.h"
#include "mainwin/InstanceLock.h"
#include "mainwin/SoundEngineLink.h"
#include "mainwin/forms/AboutU.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/ExitSignals.h"
#include "platform/Locale.h"
#include "platform/QtSyncBridge.h"

namespace {

// An exception that reaches the event loop is shown in a message box; the program goes on.
class TVartumoApplication : public QApplication {
public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override
  {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
      QMessageBox::critical(activeWindow(), "Vartumo", QString::fromLocal8Bit(e.what()));
    } catch (...) {
      QMessageBox::critical(activeWindow(), "Vartumo", "Unknown exception");
    }
    return false;
  }
};

// SIGTERM, SIGINT or SIGHUP: modal dialogs are cancelled first (each returns to its caller),
// then the main window closes as through its Exit item, but without boxes: what could not be
// saved goes to stderr and the debug log, and the exit status is 1.
void RequestOrderlyExit()
{
  if (QWidget* modal = QApplication::activeModalWidget()) {
    if (auto* dlg = qobject_cast<QDialog*>(modal))
      dlg->reject();
    else
      modal->close();
    QTimer::singleShot(20, [] { RequestOrderlyExit(); });
    return;
  }
  bool saveFailed = false;
  if (SndMainForm) {
    SndMainForm->CloseAskedBySignal = true;
    SndMainForm->ExitClick();
    saveFailed = SndMainForm->SaveFailedOnClose;
  }
  QCoreApplication::exit(saveFailed ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv)
{
  TVartumoApplication app(argc, argv);
  SetNumericLocaleC();
  InstallQtSyncBridge();
  QApplication::setApplicationName("Vartumo");
  InstallSoundEngineLink();
  // Before the main window: the speaker's silencer, installed later, leaves these in place.
  InstallExitSignalHandler([](int) { RequestOrderlyExit(); });
  // A pipe or socket whose reader left (an export to a FIFO) gives EPIPE to the writer rather
  // than ending the program; the speaker's silencer leaves an ignored signal alone.
  std::signal(SIGPIPE, SIG_IGN);
  // A file grown to the process's file-size limit (ulimit -f) gives EFBIG to its writer rather
  // than ending the program: a recording then ends through its write-error path, and the
  // session's settings are still saved on closing.
  std::signal(SIGXFSZ, SIG_IGN);
  int result = 0;
  try {
    QStringList args = QApplication::arguments();
    if (!args.isEmpty()) args.removeFirst();  // the program path is not examined

    // Created in this order; the main window first (later windows join this list).
    SndMainForm = new TSndMainForm(args, InstanceLockDirectory());
    ConfigDlg = new TConfigDlg;
    AbtForm = new TAbtForm(SndMainForm);
    GeneratorForm = new TGeneratorForm;
    PaletteEditorForm = new TPaletteEditorForm(SndMainForm);
    DebugForm = new TDebugForm;
    DebugForm->MainInfo = [] {
      return SndMainForm ? SndMainForm->DebugInfo() : DebugMainWindowInfo{};
    };
    DebugForm->ShowGenerator = [] {
      if (SndMainForm) SndMainForm->MultiToneGenerator1Click();
    };
    FilterControlForm = new TFilterControlForm;
    MonitorScope = new TMonitorScope("MonitorScope", ScopeChannel::Input);
    OutputScope = new TMonitorScope("OutputScope", ScopeChannel::Output);
    CircuitForm = new TCircuitForm;
    PeriodicActionForm = new TPeriodicActionForm;
    AlertDlgForm = new TAlertDlgForm;
    TerminalForm = new TTerminalForm;
    DCF77Form = new TDCF77Form;
    TerminalDialog = new TTerminalDialog;
    // The digimode engine's messages ("Couldn't load DLL.") in a message box.
    Digimode_SetMessageHook([](const std::string& text) {
      QMessageBox::warning(QApplication::activeWindow(), "Vartumo", QString::fromStdString(text));
    });
    // The shared dialogs live for the whole run and keep the texts of their last use.
    AudioFilePropFrm = new TAudioFilePropFrm(SndMainForm);
    YesNoForm = new TYesNoForm(SndMainForm);
    ExportForm = new TExportForm;
    MenuDefForm = new TMenuDefForm(SndMainForm);
    CommandForm = new TCommandForm;
    StringEditForm = new TStringEditForm(SndMainForm);
    PicViewFrm = new TPicViewFrm;
    WatchForm = new TWatchForm;
    SecondSpectrogram = new TSecondSpectrogram;

    SndMainForm->show();
    result = app.exec();

    delete SecondSpectrogram;
    delete WatchForm;
    delete PicViewFrm;
    PicViewFrm = nullptr;  // the main window's close looks at it
    delete CircuitForm;
    Digimode_SetMessageHook(nullptr);
    delete TerminalDialog;
    TerminalDialog = nullptr;
    delete DCF77Form;
    DCF77Form = nullptr;
    delete TerminalForm;
    TerminalForm = nullptr;
    delete CommandForm;
    delete ExportForm;
    delete MenuDefForm;
    delete PeriodicActionForm;
    delete AlertDlgForm;
    AlertDlgForm = nullptr;
    delete OutputScope;
    delete MonitorScope;
    delete FilterControlForm;
    delete DebugForm;
    delete PaletteEditorForm;
    delete GeneratorForm;
    GeneratorForm = nullptr;
    delete StringEditForm;
    StringEditForm = nullptr;
    delete YesNoForm;
    YesNoForm = nullptr;
    delete AudioFilePropFrm;
    AudioFilePropFrm = nullptr;
    delete ConfigDlg;
    delete SndMainForm;  // owns the about box
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Vartumo", QString::fromLocal8Bit(e.what()));
  }
  RemoveExitSignalHandler();
  RemoveQtSyncBridge();
  return result;
}
