// The main window's shut-down: FormClose.
#include <QApplication>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>

#include "control/forms/CircuitForm.h"
#include "control/forms/ConfigDlg.h"
#include "control/forms/FilterControlForm.h"
#include "control/forms/GeneratorForm.h"
#include "digimode/forms/DCF77Form.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/DebugU1.h"
#include "engine/PortIO.h"
#include "engine/ProgramInstance.h"
#include "engine/RemoteMsg.h"
#include "engine/SettingsFileNames.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/DebugForm.h"
#include "engine/forms/FormPlacement.h"
#include "imaging/forms/PicViewForm.h"
#include "interp/ExportSeam.h"
#include "interp/SpectrumAlert.h"
#include "interp/forms/AlertDlg.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"
#include "interp/forms/WatchForm.h"
#include "mainwin/forms/SecondSpectrogram.h"
#include "mainwin/forms/SpecMainWave.h"
#include "platform/IniFile.h"
#include "platform/PerfCounter.h"

namespace {

// Runs a tool window's close handler also when the window is hidden (QWidget::close sends no
// close event to a hidden window), so every window stores its state at program end.
void CloseToolWindow(QWidget* w)
{
  if (w->isVisible()) {
    w->close();
  } else {
    QCloseEvent e;
    QApplication::sendEvent(w, &e);
  }
}

void ShowProgress(QPushButton* button, const char* text)
{
  button->setText(text);
  button->repaint();
}

}  // namespace

void TSndMainForm::FormClose()
{
  Closing = true;  // the timer stops working from here on
  Timer1->stop();
  ShowProgress(ProgressButton, "TERMINATING 1");

  SpeakerTone(0);
  RemoteMsg_StopServer();
  RemoteMsg_SetCommandHandler(nullptr);
  if (WaveFiles) WaveFiles->Shutdown();  // recording stops, the analysed file is closed

  CSoundThreadLink& link = SoundThreadLink();
  SndConfig.StartSoundThread = link.ThreadExists() ? 1 : 0;  // remembered for the next start
  link.CloseAnalysedWaveFile();

  QStringList failures;
  try {
    IniFile ini(UserSettingsFullPath());
    WriteFormBounds(this, ini, "MAIN_WINDOW", true);
    // The image viewer cannot reach the settings files itself; its placement is kept here.
    if (PicViewFrm) WriteFormBounds(PicViewFrm, ini, kPicViewSection, true);
    ini.UpdateFile();
  } catch (const EIniFileError& e) {
    failures << e.what();
  }

  // Tool windows write their own placement as they close; the alert dialog its settings, whose
  // failed save is listed with the others.
  const auto collect = [&failures](const QString& text) { failures << text; };
  if (AlertDlgForm) AlertDlgForm->OnSaveError = collect;
  if (FilterControlForm) FilterControlForm->OnSaveError = collect;
  for (QWidget* w : {static_cast<QWidget*>(GeneratorForm), static_cast<QWidget*>(MonitorScope),
                     static_cast<QWidget*>(OutputScope), static_cast<QWidget*>(CircuitForm),
                     static_cast<QWidget*>(DebugForm), static_cast<QWidget*>(PicViewFrm),
                     static_cast<QWidget*>(FilterControlForm), static_cast<QWidget*>(ConfigDlg),
                     static_cast<QWidget*>(CommandForm), static_cast<QWidget*>(WatchForm),
                     static_cast<QWidget*>(ExportForm), static_cast<QWidget*>(AlertDlgForm),
                     static_cast<QWidget*>(SecondSpectrogram), static_cast<QWidget*>(TerminalForm)})
    if (w) CloseToolWindow(w);
  if (AlertDlgForm) AlertDlgForm->OnSaveError = nullptr;
  if (FilterControlForm) FilterControlForm->OnSaveError = nullptr;

  FreeSpectrumHistory();

  ShowProgress(ProgressButton, "TERMINATING 2");
  link.Cleanup();  // joins the audio thread before the devices close
  ShowProgress(ProgressButton, "TERMINATING 3");

  const std::string palette = GetWorkDirectory() + "current.pal";
  if (!SavePaletteToIniFile(palette, g_ColorPalette))
    failures << QString::fromStdString("Unable to write to " + palette);
  // The time decoder runs again at the next start when its window is open now.
  FollowTimeDecoderWindow();
  try {
    SaveSettingsToIni(g_MachineSettingsFileName, SETTINGS_PART_MACHINE);
  } catch (const EIniFileError& e) {
    failures << e.what();
  }
  try {
    SaveSettingsToIni(g_UserSettingsFileName, SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU);
  } catch (const EIniFileError& e) {
    failures << e.what();
  }
  // A changed export definition (a failed save is reported by the export itself).
  if (g_ExportDefinitionChanged) Export_SaveSettings(SndConfig.DefinitionFileName);
  if (DCF77Form) CloseToolWindow(DCF77Form);  // last of the windows, after the settings
  Alert_StopAlarm();
  ComPort_CloseIfOpen();
  // A setting that could not be stored is lost on the next start: say so. A close asked by a
  // signal has nobody to answer a box: stderr and the debug log, and the exit status tells.
  if (failures.isEmpty()) return;
  SaveFailedOnClose = true;
  const QString text = "Could not save the settings:\r\n" + failures.join("\r\n");
  if (!CloseAskedBySignal) {
    ShowMessage(text);
    return;
  }
  QString plain = text;
  plain.replace("\r\n", "\n");
  const QByteArray bytes = plain.toLocal8Bit();
  std::fprintf(stderr, "Vartumo: %s\n", bytes.constData());
  std::fflush(stderr);
  for (const QString& line : plain.split('\n'))
    DebugPrintf(20, GetSystemUnixTime(), "%s", line.toLocal8Bit().constData());
}
