// The main window's menu bar MainMenu1 and its handlers.
#include <QApplication>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QTabWidget>

#include "control/forms/FilterControlForm.h"
#include "digimode/forms/DCF77Form.h"
#include "digimode/forms/TerminalForm.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "control/forms/CircuitForm.h"
#include "control/forms/GeneratorForm.h"
#include "engine/forms/DebugForm.h"
#include "engine/forms/DialogHooks.h"
#include "engine/forms/FormPlacement.h"
#include "interp/forms/AlertDlg.h"
#include "interp/forms/CommandForm.h"
#include "interp/forms/ExportForm.h"
#include "mainwin/forms/AboutU.h"
#include "mainwin/forms/HelpBrowser.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SecondSpectrogram.h"
#include "mainwin/forms/SpecMain.h"
#include "interp/forms/WatchForm.h"

namespace {

QAction* AddItem(QMenu* menu, const char* name, const QString& caption)
{
  QAction* a = menu->addAction(caption);
  a->setObjectName(name);
  return a;
}

void ShowTool(QWidget* w) { BringWindowToFront(w); }

}  // namespace

void TSndMainForm::CreateMainMenu()
{
  MainMenu1 = menuBar();
  MainMenu1->setObjectName("MainMenu1");

  File1 = MainMenu1->addMenu("&File");
  File1->setObjectName("File1");
  Menu_ColorPalette = File1->addMenu("Color &Palette");
  Menu_ColorPalette->setObjectName("Menu_ColorPalette");
  Menu_ColorPalette->menuAction()->setObjectName("Menu_ColorPalette");
  LoadColorPalette1 = AddItem(Menu_ColorPalette, "LoadColorPalette1", "&Load Color Palette...");
  SaveColorPalette1 = AddItem(Menu_ColorPalette, "SaveColorPalette1", "&Save Color Palette...");
  EditColorPalette1 = AddItem(Menu_ColorPalette, "EditColorPalette1", "&Edit Color Palette...");
  connect(LoadColorPalette1, &QAction::triggered, this, &TSndMainForm::LoadColorPalette1Click);
  connect(SaveColorPalette1, &QAction::triggered, this, &TSndMainForm::SaveColorPalette1Click);
  connect(EditColorPalette1, &QAction::triggered, this, &TSndMainForm::EditColorPalette1Click);
  File1->addSeparator();
  SaveSpectrumAsFile = AddItem(File1, "SaveSpectrumAsFile", "Save &Spectrum as File..");
  SaveWaterfallasFile = AddItem(File1, "SaveWaterfallasFile", "Save &Waterfall as File..");
  SaveSpectrumAndWaterfall =
      AddItem(File1, "SaveSpectrumAndWaterfall", "Save Spectrum &and Waterfall as File..");
  File1->addSeparator();
  Menu_ImageViewer = AddItem(File1, "Menu_ImageViewer", "&Image viewer");
  Menu_ConvertImage = AddItem(File1, "Menu_ConvertImage", "Convert loaded image to..");
  Menu_ConvertImage->setEnabled(false);  // until the viewer has files
  File1->addSeparator();
  connect(SaveSpectrumAsFile, &QAction::triggered, this, &TSndMainForm::SaveSpectrumAsFileClick);
  connect(SaveWaterfallasFile, &QAction::triggered, this,
          &TSndMainForm::SaveWaterfallasFileClick);
  connect(SaveSpectrumAndWaterfall, &QAction::triggered, this,
          &TSndMainForm::SaveSpectrumAndWaterfallClick);
  connect(Menu_ImageViewer, &QAction::triggered, this, &TSndMainForm::Menu_ImageViewerClick);
  connect(Menu_ConvertImage, &QAction::triggered, this, &TSndMainForm::Menu_ConvertImageClick);
  Exit1 = AddItem(File1, "Exit1", "E&xit");
  connect(Exit1, &QAction::triggered, this, &TSndMainForm::ExitClick);

  Analysis1 = MainMenu1->addMenu("&Analysis");
  Analysis1->setObjectName("Analysis1");
  Menu_StartSoundThd = AddItem(Analysis1, "Menu_StartSoundThd", "&Start Sound Thread");
  Menu_StartSoundThd->setCheckable(true);
  Stop1 = AddItem(Analysis1, "Stop1", "S&top Sound Thread");
  connect(Analysis1, &QMenu::aboutToShow, this, &TSndMainForm::Analysis1Click);
  connect(Menu_StartSoundThd, &QAction::triggered, this, &TSndMainForm::Menu_StartSoundThdClick);
  connect(Stop1, &QAction::triggered, this, &TSndMainForm::Stop1Click);

  View1 = MainMenu1->addMenu("&View");
  View1->setObjectName("View1");
  DebuggingWindow1 = AddItem(View1, "DebuggingWindow1", "&Debugging Window");
  Menu_ViewErrorHistory = AddItem(View1, "Menu_ViewErrorHistory", "&Error History");
  Menu_CpuPerformanceWindow = AddItem(View1, "Menu_CpuPerformanceWindow", "&CPU Load");
  View1->addSeparator();
  ViewInputMonitor = AddItem(View1, "ViewInputMonitor", "&Input Monitor");
  ViewOutputMonitor = AddItem(View1, "ViewOutputMonitor", "&Output Monitor");
  FilterControlWindow1 = AddItem(View1, "FilterControlWindow1", "&Filter Control");
  View1->addSeparator();
  MultiToneGenerator1 = AddItem(View1, "MultiToneGenerator1", "&Test Tone Generator");
  Menu_ViewCircuit = AddItem(View1, "Menu_ViewCircuit", "&Components (Circuit)");
  DCF77decoder = AddItem(View1, "DCF77decoder", "&Time Signal Decoder (DCF77, MSF)");
  Menu_DigimodeTerminal = AddItem(View1, "Menu_DigimodeTerminal", "Digimode &Terminal");
  Menu_DigimodeTerminal->setEnabled(false);  // enabled at the first show
  for (QAction* a : {DebuggingWindow1, ViewInputMonitor, ViewOutputMonitor, FilterControlWindow1,
                     MultiToneGenerator1, Menu_ViewCircuit, DCF77decoder, Menu_DigimodeTerminal})
    a->setCheckable(true);
  Menu_ViewWatchWindow = AddItem(View1, "Menu_ViewWatchWindow", "&Watch List and Plotter");
  Menu_ViewWatchWindow->setCheckable(true);
  Menu_SecondSpectrogram = AddItem(View1, "Menu_SecondSpectrogram", "&Second Spectrogram");
  Menu_SecondSpectrogram->setCheckable(true);
  connect(Menu_SecondSpectrogram, &QAction::triggered, this,
          &TSndMainForm::Menu_SecondSpectrogramClick);
  connect(View1, &QMenu::aboutToShow, this, &TSndMainForm::View1Click);
  connect(DebuggingWindow1, &QAction::triggered, this, &TSndMainForm::DebuggingWindow1Click);
  connect(Menu_ViewErrorHistory, &QAction::triggered, this,
          &TSndMainForm::Menu_ViewErrorHistoryClick);
  connect(Menu_CpuPerformanceWindow, &QAction::triggered, this,
          &TSndMainForm::Menu_CpuPerformanceWindowClick);
  connect(ViewInputMonitor, &QAction::triggered, this, &TSndMainForm::ViewInputMonitorClick);
  connect(ViewOutputMonitor, &QAction::triggered, this, &TSndMainForm::ViewOutputMonitorClick);
  connect(FilterControlWindow1, &QAction::triggered, this,
          &TSndMainForm::FilterControlWindow1Click);
  connect(MultiToneGenerator1, &QAction::triggered, this,
          &TSndMainForm::MultiToneGenerator1Click);
  connect(Menu_ViewCircuit, &QAction::triggered, this, &TSndMainForm::Menu_ViewCircuitClick);
  connect(Menu_ViewWatchWindow, &QAction::triggered, this, &TSndMainForm::Menu_ViewWatchWindowClick);
  connect(DCF77decoder, &QAction::triggered, this, &TSndMainForm::DCF77decoderClick);
  connect(Menu_DigimodeTerminal, &QAction::triggered, this,
          &TSndMainForm::Menu_DigimodeTerminalClick);
  AddInterpreterMenuItems();

  Help1 = MainMenu1->addMenu("&Help");
  Help1->setObjectName("Help1");
  Menu_HelpIndex = AddItem(Help1, "Menu_HelpIndex", "&Index");
  Menu_HelpDisplay = AddItem(Help1, "Menu_HelpDisplay", "Spectrum &Display");
  Menu_HelpComponents = AddItem(Help1, "Menu_HelpComponents", "&Components (Circuit)");
  Menu_HelpPeriodic = AddItem(Help1, "Menu_HelpPeriodic", "&Periodic Actions");
  Menu_HelpInterpreter = AddItem(Help1, "Menu_HelpInterpreter", "Command I&nterpreter");
  Menu_HelpWatch = AddItem(Help1, "Menu_HelpWatch", "&Watch Window");
  Help1->addSeparator();
  About1 = AddItem(Help1, "About1", "&About...");
  connect(Menu_HelpIndex, &QAction::triggered, this, &TSndMainForm::Menu_HelpIndexClick);
  connect(Menu_HelpDisplay, &QAction::triggered, this, &TSndMainForm::Menu_HelpDisplayClick);
  connect(Menu_HelpComponents, &QAction::triggered, this,
          &TSndMainForm::Menu_HelpComponentsClick);
  connect(Menu_HelpPeriodic, &QAction::triggered, this, &TSndMainForm::Menu_HelpPeriodicClick);
  connect(Menu_HelpInterpreter, &QAction::triggered, this,
          &TSndMainForm::Menu_HelpInterpreterClick);
  connect(Menu_HelpWatch, &QAction::triggered, this, &TSndMainForm::Menu_HelpWatchClick);
  connect(About1, &QAction::triggered, this, &TSndMainForm::About1Click);

  CreateSetupMenu();
  CreateQuickSettingsMenu();
}

void TSndMainForm::Menu_StartSoundThdClick()
{
  CSoundThreadLink& link = SoundThreadLink();
  if (link.ThreadExists()) {
    link.RequestDeviceReopen();
  } else {
    link.CreateThread();  // suspended; the main timer resumes it
    link.ActivateEditedFilters();
  }
}

void TSndMainForm::Stop1Click() { SoundThreadLink().TerminateThread(); }

void TSndMainForm::Analysis1Click()
{
  CSoundThreadLink& link = SoundThreadLink();
  const bool exists = link.ThreadExists();
  const bool running = exists && !link.ThreadSuspended();
  Menu_StartSoundThd->setChecked(running);
  Stop1->setEnabled(exists);
  Menu_StartSpectrumWaterfall->setChecked(SndConfig.SpectrumOn != 0);
  const bool output = exists && link.SoundOutputWanted();
  Menu_StartSoundOutput->setChecked(output);
  Menu_StartSoundOutput->setEnabled(exists);
  StopSoundOutput1->setEnabled(output);
}

void TSndMainForm::View1Click()
{
  DebuggingWindow1->setChecked(DebugForm && DebugForm->isVisible());
  ViewInputMonitor->setChecked(MonitorScope && MonitorScope->isVisible());
  ViewOutputMonitor->setChecked(OutputScope && OutputScope->isVisible());
  FilterControlWindow1->setChecked(FilterControlForm && FilterControlForm->isVisible());
  MultiToneGenerator1->setChecked(GeneratorForm && GeneratorForm->isVisible());
  Menu_ViewCircuit->setChecked(CircuitForm && CircuitForm->isVisible());
  DCF77decoder->setChecked(DCF77Form && DCF77Form->isVisible());
  Menu_DigimodeTerminal->setChecked(TerminalForm && TerminalForm->isVisible());
  Menu_ViewWatchWindow->setChecked(WatchForm && WatchForm->isVisible());
  Menu_SecondSpectrogram->setChecked(SecondSpectrogram && SecondSpectrogram->isVisible());
  Menu_ViewCmdInterpreter->setChecked(CommandForm && CommandForm->isVisible());
  Menu_Export->setChecked(ExportForm && ExportForm->isVisible());
  Menu_AlertConfig->setChecked(AlertDlgForm && AlertDlgForm->isVisible());
  Menu_ViewControls->setChecked(!Grp_Controls->isHidden());
}

void TSndMainForm::ShowDebugPage(QWidget* page)
{
  if (!DebugForm) return;
  ShowTool(DebugForm);
  DebugForm->PageControl1->setCurrentWidget(page);
}

void TSndMainForm::DebuggingWindow1Click()
{
  if (DebugForm) ShowDebugPage(DebugForm->TS_Debug);
}

void TSndMainForm::Menu_ViewErrorHistoryClick()
{
  if (DebugForm) ShowDebugPage(DebugForm->TS_ErrorHistory);
}

void TSndMainForm::Menu_CpuPerformanceWindowClick()
{
  if (DebugForm) ShowDebugPage(DebugForm->TS_Performance);
}

void TSndMainForm::ViewInputMonitorClick() { ShowTool(MonitorScope); }

void TSndMainForm::ViewOutputMonitorClick() { ShowTool(OutputScope); }

void TSndMainForm::FilterControlWindow1Click() { ShowTool(FilterControlForm); }
void TSndMainForm::MultiToneGenerator1Click() { ShowTool(GeneratorForm); }

void TSndMainForm::Menu_ViewCircuitClick() { ShowTool(CircuitForm); }

void TSndMainForm::Menu_DigimodeTerminalClick() { ShowTool(TerminalForm); }

void TSndMainForm::Menu_SecondSpectrogramClick() { ShowTool(SecondSpectrogram); }

void TSndMainForm::InstallCircuitUpcalls()
{
  CircuitUpcalls& up = TCircuitForm::Upcalls;
  up.ShowScope = [](int channel) { ShowTool(channel == 1 ? OutputScope : MonitorScope); };
  up.ScopeVisible = [](int channel) {
    const QWidget* w = channel == 1 ? OutputScope : MonitorScope;
    return w && w->isVisible();
  };
  up.ShowMainWindow = [this] { ShowTool(this); };
  up.ShowDigimodeTerminal = [] { ShowTool(TerminalForm); };
  ShowDigimodeTerminalHook = [] { ShowTool(TerminalForm); };
  // The filter control window installs its calls when it exists.
}

void TSndMainForm::Menu_ViewWatchWindowClick() { ShowTool(WatchForm); }

void TSndMainForm::DCF77decoderClick()
{
  SndConfig.Dcf77Active = 1;
  ShowTool(DCF77Form);
}

void TSndMainForm::About1Click()
{
  if (AbtForm) ExecDialog(AbtForm);  // modal; tests answer it through the dialog hook
}

void TSndMainForm::ExitClick() { close(); }

void TSndMainForm::Menu_HelpIndexClick() { AppHelp(HELP_CONTEXT_COMMAND, 100); }
void TSndMainForm::Menu_HelpDisplayClick() { AppHelp(HELP_CONTEXT_COMMAND, 170); }
void TSndMainForm::Menu_HelpComponentsClick() { AppHelp(HELP_CONTEXT_COMMAND, 900); }
void TSndMainForm::Menu_HelpPeriodicClick() { AppHelp(HELP_CONTEXT_COMMAND, 1000); }
void TSndMainForm::Menu_HelpInterpreterClick() { AppHelp(HELP_CONTEXT_COMMAND, 1600); }
void TSndMainForm::Menu_HelpWatchClick() { AppHelp(HELP_CONTEXT_COMMAND, 1810); }
