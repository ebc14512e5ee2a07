#pragma once
// The main window TSndMainForm. Its code is split by duty into several files of the one class:
//   SpecMain.cpp         constructor, instance and command line, control panel, small helpers
//   SpecMain_Create.cpp  start-up: FormCreate, FormShow, the spectrum history
//   SpecMain_Close.cpp   shut-down: FormClose
//   SpecMain_Timer.cpp   the 100 ms main loop Timer1Timer
//   SpecMain_Menu.cpp    the menu bar MainMenu1 and its handlers, application help
//   SpecDisplay_Layout.cpp, SpecDisplay_Waterfall.cpp, SpecDisplay_Graph.cpp
//                        the spectrum displays: range, scales, layout, waterfall, graph
//   SpecMain_Wave.cpp    wave-file analysis, playback and recording (through TWaveFileControl)
//   SpecMain_Profiles.cpp settings profiles and the quick-settings menu
//   SpecMain_Markers.cpp the frequency markers, the scale's range drag and pop-up
//   SpecMain_Readout.cpp the mouse read-outs of the graph, the scale and the waterfall
// GUI thread only.
#include <QMainWindow>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <string>

#include "engine/WindowBounds.h"
#include "mainwin/InstanceLock.h"
#include "mainwin/MainLoop.h"
#include "mainwin/SpectrumLines.h"
#include "mainwin/WindowWords.h"
#include "mainwin/forms/SpecMainLoop.h"
#include "mainwin/SpectrumHistory.h"
#include "mainwin/forms/SpecDisplay.h"
#include "mainwin/FreqMarkers.h"

class QAction;
class QImage;
class QLineEdit;
class QPainter;
class QToolButton;
class TSpecGroup;
class TSpecImage;
class TMarkerImage;
class QTabWidget;
struct AlertRangeResult;
struct DebugMainWindowInfo;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPushButton;
class QScrollBar;
class QTimer;
class TWaveFileControl;
class TConfigDlg;

class TSndMainForm : public QMainWindow, public IWindowWordsHost {
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
  // Set before a close asked by a signal (SIGTERM and the like, nobody to answer a box): the
  // close then reports what it could not save on stderr and in the debug log, not in a box.
  bool CloseAskedBySignal = false;
  // Set by the close when something could not be saved (the program's exit status).
  bool SaveFailedOnClose = false;
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
  // The help context of the area holding w (the nearest "HelpContext" property), else 200.
  int HelpContextAt(const QWidget* w) const;

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
  void FilterControlWindow1Click();
  void MultiToneGenerator1Click();
  void Menu_ViewCircuitClick();
  // The signal-path window's calls up to the scopes and the main window.
  void InstallCircuitUpcalls();
  void Menu_ViewWatchWindowClick();
  void Menu_SecondSpectrogramClick();
  void DCF77decoderClick();
  void Menu_DigimodeTerminalClick();
  // The colour palette: load, save, edit (the colour bar's double click edits too).
  void LoadColorPalette1Click();
  void SaveColorPalette1Click();
  void EditColorPalette1Click();
  void Img_ColorLegendDblClick();
  // After the base palette changed: the waterfall table, the colour bar, the waterfall afresh.
  void ApplyBasePalette();
  void About1Click();
  void ExitClick();
  void Menu_HelpIndexClick();
  void Menu_HelpDisplayClick();
  void Menu_HelpComponentsClick();
  void Menu_HelpPeriodicClick();
  void Menu_HelpInterpreterClick();
  void Menu_HelpWatchClick();

  // --- Setup menu: the configuration dialog on a page (SpecMain_Setup.cpp) ---
  void Menu_SetupAudioClick();
  void Menu_SetupAudioServerClick();
  void Menu_SetupFFTClick();
  void Menu_SetupInterfaceClick();
  void Menu_SetupSpectrumDisplayClick();
  void Menu_SetupSpectrumColorsClick();
  void Menu_SetupWaveFileClick();
  void Menu_MarkerSettingsClick();
  void Menu_FreqRespCalibClick();
  void SwitchToSystemSettings();
  QMenu* Setup1 = nullptr;
  QAction* Menu_SetupAudio = nullptr;
  QAction* Menu_SetupAudioServer = nullptr;
  QAction* Menu_SetupFFT = nullptr;
  QAction* Menu_SetupInterface = nullptr;
  QAction* Menu_SetupSpectrumDisplay = nullptr;
  QAction* Menu_SetupSpectrumColors = nullptr;
  QAction* Menu_SetupWaveFile = nullptr;
  QAction* Menu_MarkerSettings = nullptr;
  QAction* Menu_FreqRespCalib = nullptr;
  QAction* Menu_SetupSystem = nullptr;
  // --- Command window, periodic and scheduled actions (SpecMain_MenuInterp.cpp) ---
  void AddInterpreterMenuItems();  // into View1
  void Menu_ViewCmdInterpreterClick();
  void Menu_PeriodicActionsClick();
  // Pop-up menus of the graph and the waterfall, display switches, page openers.
  void CreatePopupMenus();
  void PopupSpectrumPopup();
  void Popup_WaterfallPopup();
  void Menu_SpecAmplitudeScaleClick();
  void Menu_SpecFrequencyScaleClick();
  void Menu_SpecRotatedClick();
  void Menu_WaterRotated90Click();
  void Menu_WaterTimeScaleClick();
  void Menu_WaterFreqScaleClick();
  void Menu_SpectrumGraphVisibleClick();
  void Menu_WaterfallVisibleClick();
  void Menu_VisualizeAlertParamsClick();
  void Menu_VisualizeAlertPeaksClick();
  void Menu_VisualizeNoiseLevelClick();
  void Menu_PlotSmoothedInputClick();
  void Menu_PlotSearchPatternMatchClick();
  void Menu_StartSpectrumWaterfallClick();
  void StopSpectrumWaterfall1Click();
  void Menu_StartSoundOutputClick();
  void StopSoundOutput1Click();
  void Menu_FFTsettingsClick();
  void Menu_SpecPlotConfigClick();
  void Menu_WaterConfigClick();
  void Btn_DisplaySettingsClick();
  void Img_ColorLegendScaleClick();
  void Menu_DisplayColorsClick();
  void Menu_WaterDisplayColorsClick();
  void MM_WaveFileSettingsClick();
  void Menu_PopSpectrumRefClick();
  void Menu_ViewControlsClick();
  void Grp_ControlsDblClick();
  void Menu_LoadReferenceClick();
  void Menu_SaveReferenceClick();
  void Menu_SpecHelpClick();
  void Menu_WaterHelpClick();
  void Menu_ScheduledActionsClick();
  void Menu_ExportClick();
  void Menu_AlertConfigClick();
  QAction* Menu_Export = nullptr;
  QAction* Menu_AlertConfig = nullptr;  // enabled at the first show
  QAction* Menu_ViewCmdInterpreter = nullptr;
  QAction* Menu_PeriodicActions = nullptr;
  QAction* Menu_ScheduledActions = nullptr;
  // --- Display captures and the image viewer (SpecMain_Capture.cpp) ---
  void SaveSpectrumAsFileClick();
  void SaveWaterfallasFileClick();
  void SaveSpectrumAndWaterfallClick();
  void Menu_ImageViewerClick();
  void Menu_ConvertImageClick();
  // The save dialog for an image: proposed is the last name; true with the chosen name.
  bool SaveImageDialog(const QString& what, std::string& name);
  // One display's picture through the save dialog, with its busy flag set meanwhile.
  void SavePictureAsFile(const QString& what, bool& busy, std::string& lastName,
                         const QImage& picture);
  // Graph, frequency scale and waterfall in one bitmap of Grp_Spectra's size, at their offsets.
  QImage ComposeDisplayBitmap() const;
  bool SaveDisplayAsImage(const std::string& fileName);
  // The interpreter's captioned waterfall capture; false when nothing was written.
  bool ComposeCaptureBitmap(const std::string& fileName) override;
  double CaptureClock() override;
  void ShowCaptureIndicator(const std::string& caption) override;
  bool StartWaveRecordingQuiet(int mode, const std::string& fileName, std::string* reason) override;
  void StopWaveRecording() override;
  // Saves bitmap; a failure is shown to the user with the logged reason.
  bool SaveImageOrTell(const std::string& fileName, const QImage& bitmap);
  // Routes the image writer's log into the debug window (level 20 for errors).
  static void InstallImageFileLog();

  // --- Settings profiles and the quick-settings menu (SpecMain_Profiles.cpp) ---
  // Loads a profile ("*.usr") into the running program and re-applies it (the file's own
  // "Includes" decides which parts; parts is not used). A missing or unreadable file is shown
  // and changes nothing; returns false then.
  bool LoadSettingsFile(const std::string& fileName, int parts);
  // Saves the running settings as a profile (parts: SETTINGS_PART_* bits). A write failure is
  // shown; returns false then.
  bool SaveSettingsFile(const std::string& fileName, int parts);
  void CreateQuickSettingsMenu();
  // The fixed quick presets 1..6: the preset's settings, then a full redraw.
  void ApplyQuickPreset(int preset);
  // The time decoder runs while its window is open and only then: SndConfig.Dcf77Active := 1
  // when the window is visible, else 0 (after a preset or profile, and at close).
  static void FollowTimeDecoderWindow();
  void Menu_SlowCW4Click();
  void Menu_SlowCW30Click();
  void Menu_SlowCW120Click();
  void Menu_FastCW1Click();
  void QSMenu_LoranWatcherClick();
  void QSMenu_MtHell7Click();
  void Menu_QuickSettingsClick();  // before the menu shows
  void UpdateQuickSettingsMenu();
  // Loads the profile of user menu entry index (0..9; others do nothing).
  void LoadUserQuickSetting(int index);
  void QSMenu_UserDefinedClick();
  void QSMenu_User1Click() { LoadUserQuickSetting(0); }
  void QSMenu_User2Click() { LoadUserQuickSetting(1); }
  void QSMenu_User3Click() { LoadUserQuickSetting(2); }
  void QSMenu_User4Click() { LoadUserQuickSetting(3); }
  void QSMenu_User5Click() { LoadUserQuickSetting(4); }
  void QSMenu_User6Click() { LoadUserQuickSetting(5); }
  void QSMenu_User7Click() { LoadUserQuickSetting(6); }
  void QSMenu_User8Click() { LoadUserQuickSetting(7); }
  void QSMenu_User9Click() { LoadUserQuickSetting(8); }
  void QSMenu_User10Click() { LoadUserQuickSetting(9); }
  QMenu* Menu_QuickSettings = nullptr;
  QAction* QSMenu_User[10] = {};  // QSMenu_User1 .. QSMenu_User10
  QAction* QSMenu_UserDefined = nullptr;

  // --- Wave files: analysis, playback and recording (SpecMain_Wave.cpp) ---
  void CreateWaveFileControl();  // after the menus and the control panel
  void AnalyzeInputFileClick();
  void AnalyzeAndPlayWAVClick();
  void LogToWavFileClick();
  void LogOutputToWAVClick();
  void Menu_LogDecimatedIQClick();
  bool OpenWaveFileForAnalysis(const std::string& fileName);
  bool AnalyzeWaveFileStep(int maxLines);
  void StopWaveFileAnalysis();
  bool IsAnalyzingWaveFile() const;
  void ChooseWaveRecordFile(int mode);
  bool StartWaveRecording(int mode, const std::string& fileName);
  void FlushWaveRecordBuffers();
  void UpdateWaveFileStatus();
  // The status button's only click handler: "Reset Alarm" acknowledges the alarm and returns
  // the button to idle; every other state goes to TWaveFileControl::ProgressButtonClick.
  void ProgressButtonClick();
  TWaveFileControl* WaveFiles = nullptr;

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
  // What the debug window shows of this window: the line producer's FFT, drawing and alert
  // times and the count of command messages received.
  DebugMainWindowInfo DebugInfo() const;
  // Lab_TimeView: the time of day of the newest line shown (t in Unix s).
  void ShowViewTime(double t);

  // --- Spectrum displays: range, mappings, scales and layout (SpecDisplay_Layout.cpp) ---
  // Creates Grp_Spectra with its three picture areas in DisplayArea, the frequency edits
  // with their step buttons and the colour bar with its dB scale in Grp_Controls.
  void CreateDisplayAreas();
  // The range the analyser delivers for a channel (display frequencies, with the offset).
  double GetMinDisplayableFreq(int channel) const;
  double GetMaxDisplayableFreq(int channel) const;
  // Clamps SndConfig.FreqMin/FreqMax into the displayable range; true when one changed.
  bool ClampFreqRange();
  // The one entry for a new range (zoom, drag, edits, interpreter): clamps, re-arranges when
  // the scale width changes, redraws the scale, places the markers, refreshes the edits and
  // restarts the waterfall's redraw from the history.
  void SetFreqRange(double fmin, double fmax);
  // Sets Disp.Mapping for a record with the given bin width and bin-0 frequency (Hz).
  void CalcFreqBinMapping(double binWidth, double bin0Freq);
  // Display frequency of the bin under a frequency-axis pixel of the record.
  double PixelToFrequency(const SpectrumBuffer* record, int pixel);
  // Frequency under a mouse position on Img_FreqScale1 (the whole axis, however wide).
  double FreqScale_MousePosToFreq(int x, int y) const;
  // Sets Disp.Ampl for the bitmap and level range; AmplToPixel/PixelToAmpl use it.
  void CalcAmplScaling(const QImage& bitmap, double levelMin, double levelMax);
  bool AmplToPixel(double level, int* pixel) const;
  bool PixelToAmpl(int pixel, double* level) const;
  // Draws the frequency scale (overlay: only the label ticks as a grid over a picture, in
  // penColour 0x00BBGGRR; firstLine >= 0 limits the ticks to firstLine..lastLine, -2 labels only).
  void DrawFrequencyScale(QImage& bitmap, bool overlay, bool labels, int firstLine, int lastLine,
                          uint32_t penColour);
  void RedrawFreqScale();  // Img_FreqScale1 with labels
  int CalcFreqScaleWidth() const;
  void DrawAmplitudeScale(QImage& bitmap);  // the dB strip Img_ColorLegendScale
  void ArrangeDisplayAreas();
  void FormResize();
  // Redraws and re-applies every display setting (the consumer of the request mask 65,535).
  void ReapplyDisplaySettings();
  void UpdateFreqEdits();
  double GetFreqStep();
  void StepFreqMin(int factor);
  void StepFreqMax(int factor);
  // A keystroke in a frequency edit (0 min, 1 max, 2 offset): arms its apply countdown.
  void Ed_FreqChange(int which);
  // Applies an edit's text when its countdown ran out; false (range unchanged, the edit shows
  // the value in force again) when the text is no valid expression.
  bool ApplyFreqEdit(int which);

  // --- Waterfall (SpecDisplay_Waterfall.cpp) ---
  void UpdateWaterfall(int n);     // the n newest history lines
  void ScrollWaterfall(int n);
  void DrawWaterfallLine(QImage& bitmap, const SpectrumBuffer* record, int d);
  void DrawWaterfallGridLine(QImage& bitmap, int d, int historyIndex);
  void DrawWaterfallTimeLabel(QImage& bitmap, int d, double time);
  QString WaterfallTimeText(double time) const;
  void SetWaterfallMarkerPen(QPainter& canvas, int style);
  void RedrawWaterfallFromHistory();  // one slice of at most 100 ms
  void RestartWaterfallRedraw();
  void SBR_TimeChange();
  void RealizePalettes();
  void DrawColorBar();
  const CSpectrumHistory& WaterfallHistory() const;  // Disp.HistorySource or History
  const SpectrumBuffer* WaterfallRecord(int k) const;  // history slot k (wrapped), or null

  // --- Spectrum graph (SpecDisplay_Graph.cpp) ---
  // Draws the graph into Img_SpectrumPlot and shows it.
  void ShowSpectrumGraph(const SpectrumBuffer* newest, const SpectrumBuffer* second);
  void UpdateSpectrumGraph(QImage& bitmap, const SpectrumBuffer* newest,
                           const SpectrumBuffer* second);
  void DrawSpectrumCurve(QPainter& canvas, QImage& bitmap, const double* values, int count,
                         double levelOffset, const int16_t* bins);
  void DrawAlertRange(QPainter& canvas, QImage& bitmap, const AlertRangeResult& r, uint32_t colour);

  // Hooks of the frequency markers: placing their images on the scale (force: also the
  // hints), and drawing over the graph after everything else.
  std::function<void(bool force)> PlaceMarkerLabelsHook;
  std::function<void(QPainter& canvas, QImage& bitmap)> DrawGraphMarkersHook;

  // --- Frequency markers, the scale's mouse handling and pop-up (SpecMain_Markers.cpp) ---
  // Makes the three marker images over Img_FreqScale1, the pop-up Popup_FreqScale and
  // installs PlaceMarkerLabelsHook and the scale's mouse callbacks.
  void CreateMarkerControls();
  // Places the marker images on the scale (force: also their hints from the markers' names).
  void PlaceMarkerLabels(bool force);
  // Runs marker n's SetProc with x = f, y = n; f becomes its freqNew (signal frequency, Hz).
  void SetFreqMarker(int n, double f);
  // The marker expressions of the main timer: each GetFunc that is not empty, of a marker not
  // dragged, gives the marker's freqNew; the images move when one changed.
  void UpdateMarkerExpressions();
  // Marker mouse handlers (x, y in the sender image; button as Qt::MouseButton).
  void FreqMarkerMouseDown(QWidget* sender, int n, int x, int y, int button);
  void Img_FreqMarker0MouseDown(int x, int y, int button);
  void Img_FreqMarker1MouseDown(int x, int y, int button);
  void Img_FreqMarker2MouseDown(int x, int y, int button);
  void Img_FreqMarkerMouseMove(QWidget* sender, int x, int y);
  void Img_FreqMarkerMouseUp(QWidget* sender, int x, int y, int button);
  void Img_FreqMarker0DblClick();
  void Img_FreqMarker1DblClick();
  void Img_FreqMarker2DblClick();
  // The configuration dialog on its marker page, row n + 1 of Sg_Markers selected.
  void ShowConfigMarkerPage(int n);
  // The frequency scale: range drag (left button), read-out, pop-up (right button).
  void Img_FreqScale1MouseDown(int x, int y, int button);
  void Img_FreqScale1MouseMove(int x, int y);
  void Img_FreqScale1MouseUp(int x, int y, int button);
  void Popup_FreqScalePopup();  // captions and enables, before the pop-up shows
  void Pop_ZoomInClick();
  void Pop_ZoomOutClick();
  void Pop_SetMarker1Click();
  void Pop_SetMarker2Click();
  void Pop_SetMarker3Click();
  void Pop_SetDecoderFreqClick();
  // Shows the digimode terminal (installed by the main window; unset: nothing is shown).
  std::function<void()> ShowDigimodeTerminalHook;

  // --- Mouse read-outs (SpecMain_Readout.cpp) ---
  void Img_SpectrumPlotMouseMove(int x, int y);
  void Img_WaterfallMouseMove(int x, int y);
  // Frequency, level and time of the history line under (x, y) of Img_Waterfall.
  void WaterfallMouseReadout(int x, int y);
  // The read-out at the cursor, when it lies over Img_Waterfall (after new lines).
  void RefreshWaterfallReadout();
  void Img_WaterfallClick();
  // The scale read-out at (x, y) of Img_FreqScale1: frequency and, while the mixer feeding
  // the spectrum runs, the sideband offset.
  void FreqScaleReadout(int x, int y);

  QTabWidget* PC_Controls = nullptr;
  QWidget* TS_Freq = nullptr;
  QWidget* TS_Time = nullptr;
  QGroupBox* Grp_Cursor = nullptr;
  QLabel* Lab_CursorX = nullptr;
  QLabel* Lab_CursorY = nullptr;
  QLabel* Lab_CursorT = nullptr;
  TMarkerImage* Img_FreqMarker[3] = {nullptr, nullptr, nullptr};
  QMenu* Popup_FreqScale = nullptr;
  QAction* Pop_ZoomIn = nullptr;
  QAction* Pop_ZoomOut = nullptr;
  QAction* Pop_SetMarker1 = nullptr;
  QAction* Pop_SetMarker2 = nullptr;
  QAction* Pop_SetMarker3 = nullptr;
  QAction* Pop_SetDecoderFreq = nullptr;

  // Marker and read-out state.
  int DraggedMarker = -1;          // marker being dragged, -1 none
  double DragStartFreq = 0;        // its freq at the drag's start (Hz)
  QPoint DragStartPos;             // the mouse at the drag's start, screen coordinates
  double PopupFreq = 0;            // display frequency of the last right click on the scale
  bool ScaleDragging = false;      // the range is being dragged on the scale
  QPoint ScaleDragPos;             // the mouse at the scale drag's start (scale coordinates)
  double ScaleDragMin = 0, ScaleDragMax = 0;  // the range at the scale drag's start
  int ReadoutHistoryIndex = -1;    // history slot of the last waterfall read-out, -1 none
  CFreqMarkerReports MarkerReports;

  TSpecDisplayState Disp;

  // --- Controls ---
  TSpecGroup* Grp_Spectra = nullptr;
  TSpecImage* Img_SpectrumPlot = nullptr;
  TSpecImage* Img_FreqScale1 = nullptr;
  TSpecImage* Img_Waterfall = nullptr;
  TSpecImage* Img_ColorLegend = nullptr;
  TSpecImage* Img_ColorLegendScale = nullptr;
  QLineEdit* Ed_FreqMin = nullptr;
  QLineEdit* Ed_FreqMax = nullptr;
  QLineEdit* Ed_FreqOffset = nullptr;
  QToolButton* Btn_FreqMinUp = nullptr;
  QToolButton* Btn_FreqMinDown = nullptr;
  QToolButton* Btn_FreqMaxUp = nullptr;
  QToolButton* Btn_FreqMaxDown = nullptr;
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
  QAction* SaveSpectrumAsFile;
  QAction* SaveWaterfallasFile;
  QAction* SaveSpectrumAndWaterfall;
  QAction* Menu_ImageViewer;
  QAction* Menu_ConvertImage;
  QLabel* Lab_Capture = nullptr;
  QLabel* Lab_TimeNow = nullptr;   // the clock, set by the main loop every second
  QLabel* Lab_TimeView = nullptr;  // time of the newest line shown (live or in the history)
  QAction* DebuggingWindow1;
  QAction* Menu_ViewErrorHistory;
  QAction* Menu_CpuPerformanceWindow;
  QAction* ViewInputMonitor;
  QAction* ViewOutputMonitor;
  QAction* FilterControlWindow1;
  QAction* MultiToneGenerator1;
  QAction* Menu_ViewCircuit;
  QAction* Menu_ViewWatchWindow;
  QAction* Menu_SecondSpectrogram;
  QAction* DCF77decoder;
  QAction* Menu_DigimodeTerminal = nullptr;
  QMenu* Menu_ColorPalette;
  QMenu* PopupSpectrum = nullptr;
  QMenu* Popup_Waterfall = nullptr;
  QPushButton* Btn_DisplaySettings = nullptr;
  QAction* Menu_ViewControls = nullptr;
  QAction* Menu_StartSpectrumWaterfall = nullptr;
  QAction* StopSpectrumWaterfall1 = nullptr;
  QAction* Menu_StartSoundOutput = nullptr;
  QAction* StopSoundOutput1 = nullptr;
  QAction* LoadColorPalette1;
  QAction* SaveColorPalette1;
  QAction* EditColorPalette1;
  QAction* Menu_HelpIndex;
  QAction* Menu_HelpDisplay;
  QAction* Menu_HelpComponents;
  QAction* Menu_HelpPeriodic;
  QAction* Menu_HelpInterpreter;
  QAction* Menu_HelpWatch;
  QAction* About1;

  void setVisible(bool visible) override;

protected:
  void closeEvent(QCloseEvent* e) override;

private:
  void CreateControlPanel();
  void CreateMainMenu();
  void CreateSetupMenu();
  void ShowConfigPage(QWidget* (*page)(TConfigDlg*));
  void SBR_BrightnessChange();
  void SBR_ContrastChange();
  void ShowDebugPage(QWidget* page);
  void FreqEditChanged(FreqEdit which);

  QStringList m_args;
  CInstanceLocks m_locks;
  bool m_shownOnce = false;
  bool m_closed = false;
  // The placement read from the settings (frame corner, client size, as stored) and where
  // FormCreate put the window with it; the first show places it again once the displays are
  // arranged and the layout's minimum size is known.
  TWindowBounds m_storedBounds;  // may be damaged: PlaceWindowOnScreens limits it
  QRect m_createdBounds;
  bool m_RateFromFile = false;  // UpdateSampleRateInfo last used an off-line file's rate
};

extern TSndMainForm* SndMainForm;

// What the idle status button says about the audio thread: "Running" ("Running on loop-back:
// no sound device" while the loop-back device stands in for a missing one), "Starting"
// (created, not yet resumed) or "Stopped" (none, or it has ended). It comes back whenever the
// button is free: after the growing FFT has reached its size, a file has ended, an alarm or
// an error was clicked away.
QString SoundThreadStateText();

// Context numbers of the main window's areas (the help pages by number, see HelpBrowser.h).
constexpr int HELP_CONTEXT_COMMAND = 1;
// Section of the user settings file that keeps the image viewer's placement.
inline constexpr const char* kPicViewSection = "PicViewFrm";
