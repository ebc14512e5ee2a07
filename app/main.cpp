// Program entry: the application object, the windows in their fixed order, the event loop.
#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "engine/forms/DebugForm.h"
#include "mainwin/InstanceLock.h"
#include "mainwin/SoundEngineLink.h"
#include "mainwin/forms/AboutU.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"
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

}  // namespace

int main(int argc, char** argv)
{
  TVartumoApplication app(argc, argv);
  SetNumericLocaleC();
  InstallQtSyncBridge();
  QApplication::setApplicationName("Vartumo");
  InstallSoundEngineLink();
  int result = 0;
  try {
    QStringList args = QApplication::arguments();
    if (!args.isEmpty()) args.removeFirst();  // the program path is not examined

    // Created in this order; the main window first (later windows join this list).
    SndMainForm = new TSndMainForm(args, InstanceLockDirectory());
    AbtForm = new TAbtForm(SndMainForm);
    DebugForm = new TDebugForm;
    DebugForm->MainInfo = [] {
      DebugMainWindowInfo info;
      if (SndMainForm) {
        info.fftCalcTime_us = SndMainForm->FftCalcTime_us;
        info.displayTime_us = SndMainForm->DisplayTime_us;
        info.alertTime_us = SndMainForm->AlertTime_us;
        info.copyDataCount = SndMainForm->CopyDataCount;
      }
      return info;
    };
    MonitorScope = new TMonitorScope("MonitorScope", ScopeChannel::Input);
    OutputScope = new TMonitorScope("OutputScope", ScopeChannel::Output);

    SndMainForm->show();
    result = app.exec();

    delete OutputScope;
    delete MonitorScope;
    delete DebugForm;
    delete SndMainForm;  // owns the about box
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, "Vartumo", QString::fromLocal8Bit(e.what()));
  }
  RemoveQtSyncBridge();
  return result;
}
