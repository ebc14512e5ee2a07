#pragma once
// The main window TSndMainForm. Its code is split by duty into several files of the one class:
//   SpecMain.cpp         constructor, instance and command line, control panel, small helpers
//   SpecMain_Create.cpp  start-up: FormCreate, FormShow, the spectrum history
//   SpecMain_Close.cpp   shut-down: FormClose
//   SpecMain_Timer.cpp   the 100 ms main loop Timer1Timer
//   SpecMain_Menu.cpp    the menu bar MainMenu1 and its handlers, application help
// GUI thread only.
#include <QMainWindow>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

#include "mainwin/InstanceLock.h"
#include "mainwin/MainLoop.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/forms/SpecMainLoop.h"
#include "mainwin/SpectrumHistory.h"

class QAction;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QTimer;

class TSndMainForm : public QMainWindow {
  Q_OBJECT
public:
  // args: the command-line arguments without the program path. lockDirectory: where the
  // instance lock files live (InstanceLockDirectory() for the program, a test's own directory
  // in the tests). Decides the instance number, names the settings files, applies the command
  // line and runs FormCreate.
  TSndMainForm(const QStringList& args, const std::string& lockDirectory,
               QWidget* parent = nullptr);
  ~TSndMainForm() override;

  // --- Start-up and shut-down ---
  void ParseCommandLine();
  void FormCreate();
  void FormShow();
  void FormClose();
  void UpdateSampleRateInfo();
  void CalcWaterfallPalette();

  // --- Main loop (SpecMain_Timer.cpp, SpecMainLoop.cpp) ---
  void Timer1Timer();
  // Idle work between ticks (IdleTimer): produces due lines while the line interval is at most
  // 100 ms and the audio thread runs; re-arms itself only while that holds.
  void AppIdle();
  int IsPeriodicActionDue(int64_t now);
  int CheckScheduledActions(int* index, int64_t now);
  // Keystrokes in the frequency edits (connect them to textEdited): the value is applied about
  // 3 s after the last keystroke.
  void Ed_FreqMinChange();
  void Ed_FreqMaxChange();
  void Ed_FreqOffsetChange();
  void ApplyFreqEdit(FreqEdit which);
  double GetDisplayCenterFreq();

  // --- Spectrum lines (CSpectrumLineProducer does the work) ---
  void UpdateWaterfallTiming();
  bool ProcessSpectra(int maxLines);
  void InitFFT(int length);
  void BuildSpectrumLine(double time, double rate);
  void StoreSpectrumInHistory(const SpectrumBuffer* line);
  void UpdateUserDbOffset(bool force);
  void FeedSpectrumAlert();
  // Application help: command 1 (context help) opens the page of data; else false.
  bool AppHelp(int command, int data);

  // --- Menus ---
  void Menu_StartSoundThdClick();
  void Stop1Click();
  void Analysis1Click();
  void View1Click();
  void DebuggingWindow1Click();
  void Menu_ViewErrorHistoryClick();
  void Menu_CpuPerformanceWindowClick();
  void ViewInputMonitorClick();
  void ViewOutputMonitorClick();
  void About1Click();
  void ExitClick();
  void Menu_HelpIndexClick();
  void Menu_HelpDisplayClick();
  void Menu_HelpComponentsClick();
  void Menu_HelpPeriodicClick();
  void Menu_HelpInterpreterClick();
  void Menu_HelpWatchClick();

  // Allocates the spectrum history: MachineConfig.BufferedSpcLines clamped to 50..2,000 lines,
  // a quarter fewer after each failed allocation while more than 50 remain.
  void AllocateSpectrumHistory();
  void FreeSpectrumHistory();
  // The history check of the first show: the message, or "" when all is as configured.
  QString HistoryAllocationMessage() const;

  // Shows a message to the user (a message box; tests install MessageHook instead).
  void ShowMessage(const QString& text);

  // Test hooks: where the history memory comes from (default std::malloc; returns nullptr on
  // failure) and where messages go (default: a message box).
  static std::function<void*(size_t bytes)> HistoryAllocator;
  static std::function<void(const QString&)> MessageHook;

  // --- Main loop and line production: their state lives in these objects; the members
  // below of the same names refer to it ---
  std::unique_ptr<TSndMainLoopHost> LoopHost{std::make_unique<TSndMainLoopHost>(this)};
  std::unique_ptr<CSpectrumLineProducer> Lines{
      std::make_unique<CSpectrumLineProducer>(LoopHost.get(), &g_BigBuffers[0])};
  std::unique_ptr<CMainLoop> Loop{std::make_unique<CMainLoop>(LoopHost.get(), Lines.get())};
  QTimer* IdleTimer = nullptr;

  // --- State ---
  std::string AnalysisFileName, RecordFileName, PaletteFileName;
  std::string WaterfallCaptureName, SpectrumCaptureName;
  QString CommandLineCaption;  // t= (empty: none)
  int& UpdatingControls = Loop->UpdatingControls;
  int& StartupTicks = Loop->StartupTicks;
  bool& Closing = Loop->Closing;
  int& LoopFault = Loop->LoopFault;
  bool& StatusDirty = Loop->StatusDirty;
  int& EventCountdown = Loop->EventCountdown;
  int& FreqMinApplyTicks = Loop->FreqApplyTicks[0];
  int& FreqMaxApplyTicks = Loop->FreqApplyTicks[1];
  int& FreqOffsetApplyTicks = Loop->FreqApplyTicks[2];
  int& StatusOwner = Lines->StatusOwner;
  int& SeenRingResets = Lines->SeenRingResets;
  int CopyDataCount = 0;
  double& TimeNow = Lines->TimeNow;
  double& LineTime = Lines->LineTime;
  double& DisplayTime = Lines->DisplayTime;
  double& NextGraphRefresh = Lines->NextGraphRefresh;
  int64_t& RingReadIndex = Lines->RingReadIndex;
  int& LinesDue = Lines->LinesDue;
  bool& FftRestart = Lines->FftRestart;
  bool& WaitFullResolution = Lines->WaitFullResolution;
  int& FftLength = Lines->FftLength;
  int& FftWindowInUse = Lines->FftWindowInUse;
  double NominalSampleRate = 0, ProcessingSampleRate = 0;
  double& EffectiveSampleRate = Lines->EffectiveSampleRate;
  int SampleRateDivisor = 1;
  double LastFreqMin = 0, LastFreqMax = 0, LastFreqOffset = 0;  // last applied display range
  // Spectrum history (History.SpectrumHistory is null when no block could be had).
  CSpectrumHistory& History = Lines->History;  // the producer stores into it
  int HistoryViewLine = -1;  // history line selected for display, -1 none
  double FftCalcTime_us = 0, DisplayTime_us = 0, AlertTime_us = 0;

  // --- Controls ---
  QMenuBar* MainMenu1;
  QWidget* DisplayArea;  // spectrum graph, scales and waterfall go here
  QGroupBox* Grp_Controls;
  QPushButton* ProgressButton;
  QScrollBar* SBR_Brightness;
  QScrollBar* SBR_Contrast;
  QScrollBar* SBR_Time;
  QTimer* Timer1;
  QMenu* File1;
  QMenu* Analysis1;
  QMenu* View1;
  QMenu* Help1;
  QAction* Menu_StartSoundThd;
  QAction* Stop1;
  QAction* Exit1;
  QAction* DebuggingWindow1;
  QAction* Menu_ViewErrorHistory;
  QAction* Menu_CpuPerformanceWindow;
  QAction* ViewInputMonitor;
  QAction* ViewOutputMonitor;
  QAction* Menu_HelpIndex;
  QAction* Menu_HelpDisplay;
  QAction* Menu_HelpComponents;
  QAction* Menu_HelpPeriodic;
  QAction* Menu_HelpInterpreter;
  QAction* Menu_HelpWatch;
  QAction* About1;

protected:
  void showEvent(QShowEvent* e) override;
  void closeEvent(QCloseEvent* e) override;

private:
  void CreateControlPanel();
  void CreateMainMenu();
  void SBR_BrightnessChange();
  void SBR_ContrastChange();
  void ShowDebugPage(QWidget* page);
  void FreqEditChanged(FreqEdit which);

  QStringList m_args;
  CInstanceLocks m_locks;
  bool m_shownOnce = false;
  bool m_closed = false;
};

extern TSndMainForm* SndMainForm;

// Context numbers of the main window's areas (the help pages by number, see HelpBrowser.h).
constexpr int HELP_CONTEXT_COMMAND = 1;
