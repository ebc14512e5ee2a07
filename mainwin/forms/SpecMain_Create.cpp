// The main window's start-up: FormCreate and FormShow.
#include <QApplication>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <ctime>

#include "control/CircuitModel.h"
#include "control/GeneratorWords.h"
#include "engine/forms/HelpHook.h"
#include "engine/DebugU1.h"
#include "engine/MachineConfig.h"
#include "engine/PortIO.h"
#include "engine/PreciseClock.h"
#include "engine/RemoteMsg.h"
#include "engine/ProgramInstance.h"
#include "engine/SettingsFileNames.h"
#include "engine/SettingsIni.h"
#include "engine/SndConfig.h"
#include "engine/SoundThreadLink.h"
#include "engine/forms/FormPlacement.h"
#include "digimode/DigimodeEngine.h"
#include "digimode/DigimodeHooks.h"
#include "digimode/forms/DCF77Form.h"
#include "interp/ExportEngine.h"
#include "interp/PeriodicActions.h"
#include "interp/CliCommands.h"
#include "interp/CliSpectrum.h"
#include "interp/SpectrumAlert.h"
#include "interp/SpectrumBuffer.h"
#include "interp/ProfileSeam.h"
#include "interp/forms/PlotCommand.h"
#include "mainwin/ColorPalette.h"
#include "mainwin/forms/HelpBrowser.h"
#include "mainwin/forms/MonScope.h"
#include "mainwin/forms/SpecMain.h"
#include "platform/IniFile.h"
#include "platform/Locale.h"

namespace {

// A help page that could not be opened (no browser registered for the desktop, or the page
// missing): the debug window and the status line say so and where the page is.
void ReportHelpFailure(uint32_t id, QPushButton* statusLine)
{
  const std::string page = HelpBrowser_PagePath(id);
  QString status, where;
  if (page.empty()) {
    DebugPrintf(10, GetPreciseUnixTime(true), "Help: there is no help page for context %u.",
                static_cast<unsigned>(id));
    status = QString("No help page for context %1").arg(id);
  } else {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(page, ec);
    const std::string file = ec ? page : full.string();
    DebugPrintf(10, GetPreciseUnixTime(true),
                "Help page could not be opened (%s). Open it in a web browser: %s",
                HelpBrowser_LastFailure().c_str(), file.c_str());
    // The status line is short: the page's name there, its full name in the tool tip.
    status = "Help page could not be opened: " +
             QString::fromStdString(std::filesystem::path(page).filename().string());
    where = QString::fromStdString(file);
  }
  if (statusLine) {
    statusLine->setText(status);
    statusLine->setToolTip(where.isEmpty() ? status : status + "\n" + where);
  }
}

}  // namespace

void TSndMainForm::FormCreate()
{
  LoopFault = 0;
  SetNumericLocaleC();  // "." in every number text for the whole run
  tzset();

  UpdatingControls = 1;
  StartupTicks = 20;
  Closing = false;
  TimeNow = LineTime = DisplayTime = NextGraphRefresh = 0;
  RingReadIndex = 0;
  LinesDue = 10;
  StatusDirty = false;
  EventCountdown = -1;
  FreqMinApplyTicks = FreqMaxApplyTicks = FreqOffsetApplyTicks = 0;

  SetDefaultSettings();
  LoadSettingsFromIni(g_MachineSettingsFileName, SETTINGS_PART_MACHINE);
  g_LocalMinusUtcHours = MachineConfig.LocalMinusUTC.load();
  LoadSettingsFromIni(g_UserSettingsFileName, SETTINGS_PART_PROCESS | SETTINGS_PART_USERMENU);

  CSoundThreadLink& link = SoundThreadLink();
  UpdateSampleRateInfo();
  SeenRingResets = link.Stats().bigBufferResets;
  FftRestart = true;
  WaitFullResolution = true;
  SndConfig.SpectrumOn = 1;
  link.UpdateFreqRangeLimits();
  LastFreqMin = SndConfig.FreqMin;
  LastFreqMax = SndConfig.FreqMax;
  LastFreqOffset = SndConfig.FreqOffset;

  PortIO_Init();
  ComPort_Open();  // the configured PTT port, if any
  InitPreciseClock();
  CLI_Init();
  Generator_RegisterWords();
  Circuit_RegisterWords();
  InstallCircuitUpcalls();
  Plot_RegisterCommandWord();
  // The interpreter words of the windows below the main window, for the whole run.
  CLI_RegisterObjectWord("period", CLI_ExecPeriodCommand);
  CLI_RegisterObjectWord("export", CLI_ExecExportCommand);
  // The interpreter's sound outputs: "click" beeps, "sound" drives the PC speaker.
  CLI_SetBeepFunc([] { QApplication::beep(); });
  CLI_SetSpeakerToneFunc(SpeakerTone);
  RegisterWindowWords();
  InstallImageFileLog();
  if (SndConfig.SpectrumRefVisible)
    CLI_LoadSpectrumFile(SndConfig.SpectrumRefFileName, &g_ReferenceSpectrum);

  // The user-menu dialog loads and saves profiles through these.
  Profile_InstallHandlers(
      [this](const std::string& name, int parts) { return LoadSettingsFile(name, parts); },
      [this](const std::string& name, int parts) { return SaveSettingsFile(name, parts); });

  link.InitGlobals();
  link.CreateSound();

  AnalysisFileName = "test1.wav";
  RecordFileName = "logfile1.wav";
  if (SndConfig.ComplexFFT) SndConfig.NrOfSamples = std::min(SndConfig.NrOfSamples.load(), 32768);
  FftLength = SndConfig.NrOfSamples;
  FftWindowInUse = SndConfig.WindowFunc;

  Digimode_Init();
  // The digimode engine keys the transmitter only while the audio thread runs to carry the
  // signal; when it refuses, the status line says why.
  Digimode_SetSoundOutputCheck([] {
    const CSoundThreadLink& thread = SoundThreadLink();
    return thread.ThreadExists() && !thread.ThreadFinished();
  });
  Digimode_SetStatusHook([this](const std::string& text) {
    if (ProgressButton) ProgressButton->setText(QString::fromStdString(text));
  });

  if (SndConfig.StartSoundThread && !link.ThreadExists()) link.CreateThread();

  PaletteFileName = "Default.pal";
  InitDefaultPalette();
  // The palette of the last run, kept in the working directory like every file written.
  LoadPaletteFromIniFile(GetWorkDirectory() + "current.pal", g_ColorPalette);
  SBR_Brightness->setValue(SndConfig.ColorPalBrightness);
  SBR_Contrast->setValue(SndConfig.ColorPalContrast);
  CalcWaterfallPalette();

  AllocateSpectrumHistory();

  const char* ext = SndConfig.UseJpegFormat ? "jpg" : "bmp";
  WaterfallCaptureName = GetWorkDirectory() + "water1." + ext;
  SpectrumCaptureName = GetWorkDirectory() + "spect1." + ext;

  {
    IniFile ini(UserSettingsFullPath());
    m_storedBounds = ReadStoredFormBounds(this, ini, "MAIN_WINDOW", true);
    // A first placement, so the window has sane bounds before it is shown; the first show
    // places it again at the size its arranged displays need.
    PlaceWindowOnScreens(this, QPoint(m_storedBounds.Left, m_storedBounds.Top),
                         QSize(m_storedBounds.Width, m_storedBounds.Height));
    m_createdBounds = QRect(pos(), size());
  }

  StatusOwner = 0;
  Alert_Reset();
  HelpBrowser_Init(this, GetProgramDirectory() + "html/", g_HelpTopics);
  // Every window below the main window reaches the help through this handler.
  SetHelpContextHandler([this](uint32_t id) {
    if (HelpBrowser_ShowContext(id)) return true;
    ReportHelpFailure(id, ProgressButton);
    return false;
  });
  // Other programs reach this instance through its own socket; their command lines run in
  // the interpreter as macro lines when the main timer handles the queue.
  RemoteMsg_ResetQueue();
  RemoteMsg_SetCommandHandler([](const char* line) { CLI_ExecuteMacro(2, line); });
  RemoteMsg_StartServer(g_InstanceIndex);
  Timer1->start();
}

void TSndMainForm::AllocateSpectrumHistory()
{
  HistoryViewLine = -1;
  History.Allocate(MachineConfig.BufferedSpcLines, HistoryAllocator);
}

void TSndMainForm::FreeSpectrumHistory() { History.Free(); }

QString TSndMainForm::HistoryAllocationMessage() const
{
  if (!History.SpectrumHistory)
    return "Memory Allocation Problem:\r\nCould not allocate any spectrum buffer at all !!!";
  if (History.HistoryLines != MachineConfig.BufferedSpcLines)
    return QString("Memory Allocation Problem:\r\n Had to allocate %1 spectrum lines\r\n instead "
                   "of %2 as defined in your settings.\r\n Please verify this.")
        .arg(History.HistoryLines)
        .arg(MachineConfig.BufferedSpcLines.load());
  return QString();
}

void TSndMainForm::FormShow()
{
  const QString msg = HistoryAllocationMessage();
  if (!msg.isEmpty()) ShowMessage(msg);

  ++UpdatingControls;
  SBR_Time->setMaximum(std::max(History.HistoryLines - 20, 10));
  --UpdatingControls;

  if (MonitorScope) MonitorScope->setWindowTitle("Input Monitor" + InstanceSuffix());
  if (OutputScope) OutputScope->setWindowTitle("Output Monitor" + InstanceSuffix());

  CalcWaterfallPalette();
  ReapplyDisplaySettings();  // arranges and draws the displays for the settings read
  if (SndConfig.Dcf77Active && DCF77Form) DCF77Form->show();
  if (Menu_AlertConfig) Menu_AlertConfig->setEnabled(true);
  if (Menu_DigimodeTerminal) Menu_DigimodeTerminal->setEnabled(true);
  UpdatingControls = 0;
}
